/** @file syntax_marks.cpp
 * A syntax error's marks on the component: a squiggle under the token at fault, a marker in the
 * fold margin on its line, and its message in a call tip while the mouse rests on the squiggle.
 * The component moves both marks with the text as it is edited; the next check replaces them. */
#include <algorithm>
#include <cstring>

#include "editor/editor_internal.h"
#include "editor/search/find.h"
#include "editor/theme.h"
#include "runtime/core/memory.h"

// Both kinds of marks may stand on one token.
static_assert(INDICATOR_SYNTAX_ERROR != FIND_INDICATOR);

namespace {

// How long the mouse rests on the squiggle before its message shows (milliseconds).
constexpr std::intptr_t DWELL_TIME = 500;

std::intptr_t send(ObjectNumber gadget, unsigned message, std::intptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(gadget, message, static_cast<std::uintptr_t>(wparam), lparam);
}

// The position of a 1-based column (in characters) on a line, at most the line's end.
std::intptr_t position_on_line(ObjectNumber gadget, std::intptr_t line, int column) {
    const std::intptr_t start = send(gadget, SCI_POSITIONFROMLINE, line);
    const std::intptr_t end = send(gadget, SCI_GETLINEENDPOSITION, line);
    std::intptr_t position = start;
    for (int moved = 1; moved < column && position < end; ++moved) position = send(gadget, SCI_POSITIONAFTER, position);
    return std::min(position, end);
}

bool opens_literal(char c) { return c == '"' || c == '\'' || c == '`' || c == '/'; }

// The squiggle's end: the word at the position, a literal left open to the line's end, else the one
// character there.
std::intptr_t squiggle_end(ObjectNumber gadget, std::intptr_t position, std::intptr_t line_end) {
    const std::intptr_t word_end = send(gadget, SCI_WORDENDPOSITION, position, 1);
    if (word_end > position) return word_end;
    const auto c = static_cast<char>(send(gadget, SCI_GETCHARAT, position));
    if (opens_literal(c)) return line_end;
    return send(gadget, SCI_POSITIONAFTER, position);
}

void clear_marks(EditorRecord* record) {
    const ObjectNumber gadget = record->gadget;
    send(gadget, SCI_SETINDICATORCURRENT, INDICATOR_SYNTAX_ERROR);
    send(gadget, SCI_INDICATORCLEARRANGE, 0, send(gadget, SCI_GETLENGTH));
    send(gadget, SCI_MARKERDELETEALL, MARKER_SYNTAX_ERROR);
    if (send(gadget, SCI_CALLTIPACTIVE)) send(gadget, SCI_CALLTIPCANCEL);
    heap_free(runtime_heap(), record->syntax_message);
    record->syntax_message = nullptr;
    record->syntax_column = 0;
}

}  // namespace

SyntaxMarkColors syntax_mark_colors_of(const EditorTheme& theme) {
    return {theme.error_indicator, theme.error_marker_back, theme.tip_back, theme.tip_fore, theme.tip_highlight};
}

void code_editor_configure_syntax_marks(ObjectNumber gadget, const SyntaxMarkColors& colors) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    send(gadget, SCI_INDICSETSTYLE, INDICATOR_SYNTAX_ERROR, INDIC_SQUIGGLE);
    send(gadget, SCI_MARKERDEFINE, MARKER_SYNTAX_ERROR, SC_MARK_FULLRECT);
    // An editor that follows the desktop's light or dark table takes the marks' colours from it.
    if (record->theme_colours) {
        const EditorTheme& theme = theme_table(record->theme_kind);
        code_editor_set_syntax_mark_colors(gadget, syntax_mark_colors_of(theme));
    } else {
        code_editor_set_syntax_mark_colors(gadget, colors);
    }
    // The fold margin is always shown; a marker in the hidden marker margin would colour the whole line.
    const std::intptr_t mask = send(gadget, SCI_GETMARGINMASKN, MARGIN_FOLD);
    send(gadget, SCI_SETMARGINMASKN, MARGIN_FOLD, mask | (std::intptr_t{1} << MARKER_SYNTAX_ERROR));
    send(gadget, SCI_SETMOUSEDWELLTIME, DWELL_TIME);
}

void code_editor_set_syntax_mark_colors(ObjectNumber gadget, const SyntaxMarkColors& colors) {
    if (!editor_record_of(gadget)) return;
    send(gadget, SCI_INDICSETFORE, INDICATOR_SYNTAX_ERROR, colors.squiggle);
    send(gadget, SCI_MARKERSETBACK, MARKER_SYNTAX_ERROR, colors.marker);
    // The tip's own colours: the tip style's are not the ones it is drawn in.
    send(gadget, SCI_CALLTIPSETBACK, colors.tip_back);
    send(gadget, SCI_CALLTIPSETFORE, colors.tip_fore);
    send(gadget, SCI_CALLTIPSETFOREHLT, colors.tip_highlight);
}

void code_editor_mark_syntax_error(ObjectNumber gadget, const JsSyntaxError* error) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    // Nothing to clear spares a large text a pass over its lines.
    if (record->syntax_message || !error) {
        if (!record->syntax_message && !error) return;
        clear_marks(record);
    }
    if (!error) return;
    const std::intptr_t line = std::clamp<std::intptr_t>(error->line - 1, 0, send(gadget, SCI_GETLINECOUNT) - 1);
    const std::intptr_t position = position_on_line(gadget, line, error->column);
    const std::intptr_t line_start = send(gadget, SCI_POSITIONFROMLINE, line);
    const std::intptr_t line_end = send(gadget, SCI_GETLINEENDPOSITION, line);
    std::intptr_t start = position, end = position < line_end ? squiggle_end(gadget, position, line_end) : position;
    // At the end of a line the squiggle takes the character before, where the line falls short.
    if (start == end && start > line_start) start = send(gadget, SCI_POSITIONBEFORE, start);
    if (end > start) {
        send(gadget, SCI_SETINDICATORCURRENT, INDICATOR_SYNTAX_ERROR);
        send(gadget, SCI_INDICATORFILLRANGE, start, end - start);
    }
    send(gadget, SCI_MARKERADD, line, MARKER_SYNTAX_ERROR);
    const std::size_t length = error->message.size();
    record->syntax_message = static_cast<char*>(heap_alloc(runtime_heap(), length + 1));
    if (record->syntax_message) std::memcpy(record->syntax_message, error->message.c_str(), length + 1);
    record->syntax_column = error->column;
}

bool code_editor_go_to_syntax_error(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !record->syntax_message) return false;
    const std::intptr_t line = send(gadget, SCI_MARKERNEXT, 0, std::intptr_t{1} << MARKER_SYNTAX_ERROR);
    if (line < 0) return false;
    send(gadget, SCI_ENSUREVISIBLE, line);
    send(gadget, SCI_GOTOPOS, position_on_line(gadget, line, record->syntax_column));
    return true;
}

void show_syntax_error_tip(EditorRecord* record, const SCNotification* n) {
    const ObjectNumber gadget = record->gadget;
    if (n->nmhdr.code == SCN_DWELLEND) {
        if (record->syntax_message && send(gadget, SCI_CALLTIPACTIVE)) send(gadget, SCI_CALLTIPCANCEL);
        return;
    }
    if (!record->syntax_message || n->position < 0 ||
        !send(gadget, SCI_INDICATORVALUEAT, INDICATOR_SYNTAX_ERROR, n->position))
        return;
    const std::intptr_t start = send(gadget, SCI_INDICATORSTART, INDICATOR_SYNTAX_ERROR, n->position);
    send(gadget, SCI_CALLTIPSHOW, start, reinterpret_cast<std::intptr_t>(record->syntax_message));
}
