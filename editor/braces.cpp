/** @file braces.cpp
 * Brace highlighting: the bracket beside the caret and its partner, found by walking the text
 * in the component's own buffer and skipping brackets that the styler put in strings or comments. */
#include <algorithm>

#include "editor/code_editor.h"

namespace {

// The text is walked in pieces of this size, each read in place and styled before it is read.
constexpr std::intptr_t WALK_PIECE = 16 * 1024;

bool in_string_or_comment(ObjectNumber gadget, std::intptr_t position) {
    const auto style = int(scintilla_send(gadget, SCI_GETSTYLEAT, std::uintptr_t(position)));
    return style == STYLE_STRING || style == STYLE_COMMENT;
}

// The other bracket of a pair, 0 for any other byte; `opens` tells the direction of the walk.
char partner_of(char c, bool* opens) {
    static constexpr char pairs[] = "()[]{}";
    for (int i = 0; i < 6; ++i)
        if (pairs[i] == c) {
            *opens = i % 2 == 0;
            return pairs[i ^ 1];
        }
    return 0;
}

char char_at(ObjectNumber gadget, std::intptr_t position) {
    return char(scintilla_send(gadget, SCI_GETCHARAT, std::uintptr_t(position)));
}

// Styles the text up to `end` when it is not yet; the position up to which styles are known.
std::intptr_t styled_up_to(ObjectNumber gadget, std::intptr_t end) {
    std::intptr_t styled = scintilla_send(gadget, SCI_GETENDSTYLED);
    if (styled < end) {
        scintilla_send(gadget, SCI_COLOURISE, std::uintptr_t(styled), end);
        styled = scintilla_send(gadget, SCI_GETENDSTYLED);
    }
    return styled;
}

}  // namespace

std::intptr_t code_editor_brace_at(ObjectNumber gadget, std::intptr_t caret) {
    if (!code_editor_record(gadget)) return -1;
    const std::intptr_t length = scintilla_send(gadget, SCI_GETLENGTH);
    for (std::intptr_t position : {caret - 1, caret}) {
        if (position < 0 || position >= length) continue;
        bool opens = false;
        if (partner_of(char_at(gadget, position), &opens) && !in_string_or_comment(gadget, position)) return position;
    }
    return -1;
}

std::intptr_t code_editor_brace_partner(ObjectNumber gadget, std::intptr_t position) {
    if (!code_editor_record(gadget)) return BRACE_NONE;
    const char brace = char_at(gadget, position);
    bool forward = false;
    const char partner = partner_of(brace, &forward);
    if (!partner) return BRACE_NONE;
    const std::intptr_t length = scintilla_send(gadget, SCI_GETLENGTH);
    const std::intptr_t limit = forward ? std::min(length, position + 1 + BRACE_SEARCH_LIMIT)
                                        : std::max<std::intptr_t>(0, position - BRACE_SEARCH_LIMIT);
    // Styles are known before the caret's screen; forward, the walk styles this much beyond them.
    const std::intptr_t style_limit = scintilla_send(gadget, SCI_GETENDSTYLED) + BRACE_STYLE_AHEAD;
    int depth = 1;
    // Forward from after the bracket, backward from before it; each piece is read where it lies
    // (the caret's side of the component's gap), without copying the text.
    std::intptr_t next = forward ? position + 1 : position;
    while (forward ? next < limit : next > limit) {
        const std::intptr_t start = forward ? next : std::max(limit, next - WALK_PIECE);
        const std::intptr_t end = forward ? std::min(limit, next + WALK_PIECE) : next;
        const std::intptr_t known = forward ? styled_up_to(gadget, std::min(end, style_limit)) : end;
        if (known <= start) return BRACE_UNKNOWN;
        const auto* text = reinterpret_cast<const char*>(
            scintilla_send(gadget, SCI_GETRANGEPOINTER, std::uintptr_t(start), std::min(end, known) - start));
        if (!text) return BRACE_UNKNOWN;
        const std::intptr_t count = std::min(end, known) - start;
        for (std::intptr_t k = 0; k < count; ++k) {
            const std::intptr_t i = forward ? k : count - 1 - k;
            const char c = text[i];
            if (c != brace && c != partner) continue;
            if (in_string_or_comment(gadget, start + i)) continue;
            depth += c == brace ? 1 : -1;
            if (depth == 0) return start + i;
        }
        if (forward && known < end) return BRACE_UNKNOWN;
        next = forward ? end : start;
    }
    const bool whole_text = forward ? limit == length : limit == 0;
    return whole_text ? BRACE_NONE : BRACE_UNKNOWN;
}

BraceHighlight code_editor_highlight_braces(ObjectNumber gadget) {
    BraceHighlight shown{-1, BRACE_UNKNOWN};
    if (!code_editor_record(gadget)) return shown;
    shown.brace = code_editor_brace_at(gadget, scintilla_send(gadget, SCI_GETCURRENTPOS));
    if (shown.brace >= 0) shown.partner = code_editor_brace_partner(gadget, shown.brace);
    if (shown.brace >= 0 && shown.partner >= 0)
        scintilla_send(gadget, SCI_BRACEHIGHLIGHT, std::uintptr_t(shown.brace), shown.partner);
    else if (shown.brace >= 0 && shown.partner == BRACE_NONE)
        scintilla_send(gadget, SCI_BRACEBADLIGHT, std::uintptr_t(shown.brace));
    else
        scintilla_send(gadget, SCI_BRACEHIGHLIGHT, std::uintptr_t(-1), -1);
    return shown;
}
