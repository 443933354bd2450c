/** @file code_bytes.h
 * The code editor's text in the component's own bytes (UTF-8), copied out of its buffer only when
 * it changed since the last copy, so that the recovery copy and the syntax check share one copy. */
#pragma once

#include <memory>
#include <string>

// The code is about to change: the component announced an insertion or a removal.
void code_bytes_changed();
// The code's bytes: the last copy while the code is unchanged, else a new one.
std::shared_ptr<const std::string> code_bytes();
// Makes memory ready for the next copy (the current size and room to grow), best done while
// nobody types, so that the first copy while typing pays for no fresh pages.
void code_bytes_make_room();
// Forgets the copy and the memory kept ready; the next read copies again (a new component).
void code_bytes_release();
