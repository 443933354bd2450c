/** @file code_bytes.cpp
 * The code's bytes, copied straight out of the component's buffer. */
#include "app/code_bytes.h"

#include <algorithm>
#include <cstdint>

#include "app/application.h"
#include "editor/scintilla.h"

namespace {

std::shared_ptr<std::string> the_copy;   // the code last read; the component's text while !the_changed
std::shared_ptr<std::string> the_spare;  // memory made ready for the next copy
bool the_changed = true;

}  // namespace

void code_bytes_changed() { the_changed = true; }

// The parts before and after the component's gap are copied as they lie, so that the gap stays
// where the caret is (moving it costs the next keystroke), into the previous copy's memory when
// nothing else holds that any more.
std::shared_ptr<const std::string> code_bytes() {
    if (!the_changed && the_copy) return the_copy;
    if (!the_copy || the_copy.use_count() > 1)
        the_copy = the_spare ? std::move(the_spare) : std::make_shared<std::string>();
    const std::intptr_t length = std::max<std::intptr_t>(0, scintilla_send(GADGET_CODE, SCI_GETLENGTH));
    const std::intptr_t gap = std::clamp<std::intptr_t>(scintilla_send(GADGET_CODE, SCI_GETGAPPOSITION), 0, length);
    the_copy->resize(static_cast<std::size_t>(length));
    char* out = the_copy->data();
    for (auto [start, count] : {std::pair{std::intptr_t(0), gap}, std::pair{gap, length - gap}}) {
        if (count <= 0) continue;
        auto* part = reinterpret_cast<const char*>(
            scintilla_send(GADGET_CODE, SCI_GETRANGEPOINTER, static_cast<std::uintptr_t>(start), count));
        if (part) std::copy_n(part, count, out + start);
    }
    the_changed = false;
    return the_copy;
}

void code_bytes_make_room() {
    constexpr std::size_t growth_room = 64 * 1024;
    const std::size_t wanted = code_bytes()->size() + growth_room;
    if (!the_spare || the_spare->capacity() < wanted) the_spare = std::make_shared<std::string>(wanted, '\0');
}

void code_bytes_release() {
    the_copy.reset();
    the_spare.reset();
    the_changed = true;
}
