/** @file commands.cpp
 * Editing commands on the component's text: commenting lines out and back in, and going to a
 * line and column. */
#include <algorithm>
#include <cstring>

#include "editor/code_editor.h"

namespace {

constexpr const char* COMMENT_MARK = "//";
constexpr const char* COMMENT_PREFIX = "// ";

struct LineRange {
    std::intptr_t first, last;
};

// The lines the selection touches; a selection that ends at the start of a line leaves that
// line out.
LineRange selected_lines(ObjectNumber gadget) {
    const std::intptr_t start = scintilla_send(gadget, SCI_GETSELECTIONSTART);
    const std::intptr_t end = scintilla_send(gadget, SCI_GETSELECTIONEND);
    LineRange lines{scintilla_send(gadget, SCI_LINEFROMPOSITION, std::uintptr_t(start)),
                    scintilla_send(gadget, SCI_LINEFROMPOSITION, std::uintptr_t(end))};
    if (end > start && lines.last > lines.first &&
        end == scintilla_send(gadget, SCI_POSITIONFROMLINE, std::uintptr_t(lines.last)))
        --lines.last;
    return lines;
}

// Where the line's text starts after its indentation; -1 for a line of blanks alone.
std::intptr_t text_start(ObjectNumber gadget, std::intptr_t line) {
    const std::intptr_t start = scintilla_send(gadget, SCI_GETLINEINDENTPOSITION, std::uintptr_t(line));
    return start == scintilla_send(gadget, SCI_GETLINEENDPOSITION, std::uintptr_t(line)) ? -1 : start;
}

bool starts_with(ObjectNumber gadget, std::intptr_t position, const char* text) {
    for (std::size_t i = 0; text[i]; ++i)
        if (scintilla_send(gadget, SCI_GETCHARAT, std::uintptr_t(position) + i) != text[i]) return false;
    return true;
}

}  // namespace

int code_editor_toggle_comment(ObjectNumber gadget) {
    if (!code_editor_record(gadget)) return 0;
    const LineRange lines = selected_lines(gadget);
    bool any_text = false, all_commented = true;
    for (std::intptr_t line = lines.first; line <= lines.last; ++line) {
        const std::intptr_t start = text_start(gadget, line);
        if (start < 0) continue;
        any_text = true;
        if (!starts_with(gadget, start, COMMENT_MARK)) all_commented = false;
    }
    const bool uncomment = any_text && all_commented;
    scintilla_send(gadget, SCI_BEGINUNDOACTION);
    for (std::intptr_t line = lines.first; line <= lines.last; ++line) {
        const std::intptr_t start = text_start(gadget, line);
        if (start < 0 && any_text) continue;
        if (uncomment) {
            const std::intptr_t mark = std::intptr_t(std::strlen(COMMENT_MARK));
            const std::intptr_t length = starts_with(gadget, start, COMMENT_PREFIX) ? mark + 1 : mark;
            scintilla_send(gadget, SCI_DELETERANGE, std::uintptr_t(start), length);
        } else {
            const std::intptr_t line_start = scintilla_send(gadget, SCI_POSITIONFROMLINE, std::uintptr_t(line));
            scintilla_send(gadget, SCI_INSERTTEXT, std::uintptr_t(line_start),
                           reinterpret_cast<std::intptr_t>(COMMENT_PREFIX));
        }
    }
    scintilla_send(gadget, SCI_ENDUNDOACTION);
    return uncomment ? -1 : 1;
}

namespace {

// Unfolds the line and scrolls it into view, in the middle when it was off the screen.
void bring_into_view(ObjectNumber gadget, std::uintptr_t index) {
    scintilla_send(gadget, SCI_ENSUREVISIBLEENFORCEPOLICY, index);
    const std::intptr_t shown = scintilla_send(gadget, SCI_VISIBLEFROMDOCLINE, index);
    const std::intptr_t top = scintilla_send(gadget, SCI_GETFIRSTVISIBLELINE);
    const std::intptr_t height = scintilla_send(gadget, SCI_LINESONSCREEN);
    if (shown < top || shown >= top + height)
        scintilla_send(gadget, SCI_SETFIRSTVISIBLELINE, std::uintptr_t(std::max<std::intptr_t>(0, shown - height / 2)));
}

}  // namespace

bool code_editor_go_to(ObjectNumber gadget, long line, long column) {
    if (!code_editor_record(gadget)) return false;
    const std::intptr_t lines = scintilla_send(gadget, SCI_GETLINECOUNT);
    if (line < 1 || line > lines || column < 1) return false;
    const auto index = std::uintptr_t(line - 1);
    bring_into_view(gadget, index);
    scintilla_send(gadget, SCI_GOTOPOS, std::uintptr_t(scintilla_send(gadget, SCI_FINDCOLUMN, index, column - 1)));
    return true;
}

bool code_editor_go_to_byte(ObjectNumber gadget, long line, long byte) {
    if (!code_editor_record(gadget)) return false;
    if (line < 1 || line > scintilla_send(gadget, SCI_GETLINECOUNT) || byte < 0) return false;
    const auto index = std::uintptr_t(line - 1);
    bring_into_view(gadget, index);
    const std::intptr_t start = scintilla_send(gadget, SCI_POSITIONFROMLINE, index);
    const std::intptr_t end = scintilla_send(gadget, SCI_GETLINEENDPOSITION, index);
    // A byte inside a character (the index may be a check behind the text) goes to its start.
    std::intptr_t at = end;
    if (start + byte < end) {
        const std::intptr_t after = scintilla_send(gadget, SCI_POSITIONAFTER, std::uintptr_t(start + byte));
        at = scintilla_send(gadget, SCI_POSITIONBEFORE, std::uintptr_t(after));
    }
    scintilla_send(gadget, SCI_GOTOPOS, std::uintptr_t(at));
    return true;
}
