/** @file requester_internal.h
 * Inside the requesters: their own decisions (button sets and defaults, the pattern string, the
 * default file's folder and name) and what requester.cpp asks of its Qt adapter
 * (requester_qt.cpp). For the toolkit's own files and their tests. */
#pragma once

#include "runtime/ui/requester.h"

#include <cstdint>
#include <string>
#include <vector>

// Start-up (nothing to initialise over Qt; kept for the start-up order).
void requester_start();

// ---------------------------------------------------------------------------------------------
// Their own decisions, without Qt.

// The buttons of a flags value, as result codes in the order shown; empty for an unknown set.
std::vector<int> requester_buttons(int flags);
// Index of the default button among them (0 to 3, limited to the last button).
int requester_default_button(int flags);

struct RequesterFilter {
    std::u16string description;
    std::u16string patterns;  // ";"-separated, as given
};
// The "|"-separated pairs; a description without its pattern gets an empty pattern.
std::vector<RequesterFilter> requester_parse_pattern(const char16_t* pattern);

struct RequesterDefault {
    std::u16string directory;  // initial folder; empty for none
    std::u16string name;       // preset file name; empty for none
};
// Splits a default file at its last "/" (or "\") found after the first character: the folder
// before it and the name after it; otherwise the whole text is the name. A name that is not a
// valid file name (a wildcard, say) is dropped, so only the folder is used.
RequesterDefault requester_split_default(const char16_t* default_file);

// ---------------------------------------------------------------------------------------------
// The Qt side (requester_qt.cpp).

// Disables the program's other visible, enabled top-level windows (not the active one) and takes
// them out of the topmost band; requester_windows_restore undoes it for this thread's entries.
void requester_windows_away();
void requester_windows_restore();
int requester_native_message(const std::u16string& title, const std::u16string& text, int flags);
// The chosen path, or "" on cancel.
std::u16string requester_native_open_file(const std::u16string& title, const RequesterDefault& start,
                                          const std::vector<RequesterFilter>& filters, int position);
