/** @file occurrences.cpp
 * The marks on every whole-word occurrence of the name at the caret, on the lines on screen, once
 * the caret has rested there; they follow scrolling, go when the caret leaves the name, and give
 * way to find's marks. */
#include <algorithm>

#include "editor/names/names_internal.h"
#include "editor/search/find.h"
#include "runtime/ui/event.h"

namespace {

// The most text looked through for marks (of a very long line, the part around the caret), and
// the most marks.
constexpr std::intptr_t MARK_BYTES = 1 << 20;
constexpr std::size_t MARKS_MOST = 2000;
constexpr int MARK_ALPHA = 80;
constexpr int MARK_OUTLINE_ALPHA = 160;

double ms_since(NamesClock::time_point start) {
    return std::chrono::duration<double, std::milli>(NamesClock::now() - start).count();
}

NamesState* state_of(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    return record ? record->names : nullptr;
}

unsigned char byte_at(ObjectNumber gadget, std::intptr_t position) {
    return static_cast<unsigned char>(names_send(gadget, SCI_GETCHARAT, position));
}

// Strings, comments, keywords and numbers hold no names to mark.
bool is_name_style(int style) {
    return style != STYLE_STRING && style != STYLE_COMMENT && style != STYLE_KEYWORD && style != STYLE_NUMBER;
}

bool find_marks_shown(ObjectNumber gadget) { return find_active(gadget) && find_report(gadget).outcome == FIND_FOUND; }

void clear(ObjectNumber gadget, NamesState& state) {
    if (!state.shown) return;
    if (state.marked_end > state.marked_start) {
        names_send(gadget, SCI_SETINDICATORCURRENT, OCCURRENCE_INDICATOR);
        names_send(gadget, SCI_INDICATORCLEARRANGE, state.marked_start, state.marked_end - state.marked_start);
    }
    state.shown = false;
    state.marked_start = state.marked_end = 0;
}

// Styles the text up to `end` when the component has not yet (lines scrolled into view are
// styled only when they are painted).
void style_to(ObjectNumber gadget, std::intptr_t end) {
    const std::intptr_t styled = names_send(gadget, SCI_GETENDSTYLED);
    if (styled < end) names_send(gadget, SCI_COLOURISE, styled, end);
}

// The name the caret is in or just after, outside strings and comments: [start, end), or an
// empty span.
NamesSpan name_at_caret(ObjectNumber gadget) {
    if (!names_send(gadget, SCI_GETSELECTIONEMPTY)) return {0, 0};
    const std::intptr_t caret = names_send(gadget, SCI_GETCURRENTPOS);
    const std::intptr_t line = names_send(gadget, SCI_LINEFROMPOSITION, caret);
    const std::intptr_t line_start = names_send(gadget, SCI_POSITIONFROMLINE, line);
    const std::intptr_t line_end = names_send(gadget, SCI_GETLINEENDPOSITION, line);
    NamesSpan name{caret, caret};
    while (name.start > line_start && is_name_byte(byte_at(gadget, name.start - 1))) --name.start;
    while (name.end < line_end && is_name_byte(byte_at(gadget, name.end))) ++name.end;
    if (name.end == name.start) return {0, 0};
    const unsigned char first = byte_at(gadget, name.start);
    style_to(gadget, name.end);
    if ((first >= '0' && first <= '9') ||
        !is_name_style(static_cast<int>(names_send(gadget, SCI_GETSTYLEAT, name.start))))
        return {0, 0};
    return name;
}

// The marks of state.name on the lines on screen, in place of those shown.
void refresh(ObjectNumber gadget, NamesState& state) {
    const NamesSpan screen = names_screen_span(gadget, MARK_BYTES);
    style_to(gadget, screen.end);
    std::string scratch;
    const std::string_view text = names_component_bytes(gadget, screen.start, screen.end, &scratch);
    const std::string_view name = state.name;
    std::vector<std::intptr_t> found;
    for (std::size_t at = text.find(name); at != std::string_view::npos && found.size() < MARKS_MOST;
         at = text.find(name, at + 1)) {
        const std::size_t after = at + name.size();
        const bool whole = (at == 0 || !is_name_byte(static_cast<unsigned char>(text[at - 1]))) &&
                           (after >= text.size() || !is_name_byte(static_cast<unsigned char>(text[after])));
        const std::intptr_t position = screen.start + static_cast<std::intptr_t>(at);
        if (whole && is_name_style(static_cast<int>(names_send(gadget, SCI_GETSTYLEAT, position))))
            found.push_back(position);
    }
    clear(gadget, state);
    names_send(gadget, SCI_SETINDICATORCURRENT, OCCURRENCE_INDICATOR);
    for (std::intptr_t position : found)
        names_send(gadget, SCI_INDICATORFILLRANGE, position, static_cast<std::intptr_t>(name.size()));
    state.shown = true;
    state.marked_start = screen.start;
    state.marked_end = screen.end;
}

void mark(ObjectNumber gadget, NamesState& state) {
    const NamesSpan at = name_at_caret(gadget);
    if (at.end == at.start || find_marks_shown(gadget)) return;
    std::string scratch;
    state.name = std::string(names_component_bytes(gadget, at.start, at.end, &scratch));
    state.name_start = at.start;
    state.name_end = at.end;
    refresh(gadget, state);
}

// A rest of the caret starts now. A caret moved by a key raises no event, so a loop waiting for
// one is told to look at the new due time.
void await_rest(NamesState& state) {
    const bool was_due = state.rest_due;
    state.rest_due = true;
    state.moved_at = NamesClock::now();
    if (!was_due) event_wake();
}

}  // namespace

void occurrences_configure(ObjectNumber gadget, const NamesState& state) {
    names_send(gadget, SCI_INDICSETSTYLE, OCCURRENCE_INDICATOR, INDIC_ROUNDBOX);
    names_send(gadget, SCI_INDICSETFORE, OCCURRENCE_INDICATOR, state.colour);
    names_send(gadget, SCI_INDICSETALPHA, OCCURRENCE_INDICATOR, MARK_ALPHA);
    names_send(gadget, SCI_INDICSETOUTLINEALPHA, OCCURRENCE_INDICATOR, MARK_OUTLINE_ALPHA);
    names_send(gadget, SCI_INDICSETUNDER, OCCURRENCE_INDICATOR, 1);
}

int occurrences_wait_time(const NamesState& state) {
    if (!state.rest_due) return -1;
    return std::max(0, OCCURRENCE_REST_MS - static_cast<int>(ms_since(state.moved_at)));
}

void occurrences_tick(ObjectNumber gadget, NamesState& state) {
    if (!state.rest_due || ms_since(state.moved_at) < OCCURRENCE_REST_MS) return;
    state.rest_due = false;
    if (state.occurrences) mark(gadget, state);
}

void names_note_update(EditorRecord* record, const SCNotification* notification) {
    NamesState* state = record ? record->names : nullptr;
    if (!state || !state->occurrences) return;
    const ObjectNumber gadget = record->gadget;
    const int updated = notification->updated;
    // The component counts a change of the marks as one of the content: only the text's own counts here.
    const bool text_changed = state->text_changed;
    state->text_changed = false;
    if (text_changed || (updated & SC_UPDATE_SELECTION)) {
        if (state->shown) {
            // A change of the text may have moved every mark; a caret still in the name keeps them.
            const std::intptr_t caret = names_send(gadget, SCI_GETCURRENTPOS);
            if (text_changed || caret < state->name_start || caret > state->name_end ||
                !names_send(gadget, SCI_GETSELECTIONEMPTY) || find_marks_shown(gadget))
                clear(gadget, *state);
        }
        if (!state->shown) await_rest(*state);
    } else if ((updated & SC_UPDATE_V_SCROLL) && state->shown) {
        if (find_marks_shown(gadget))
            clear(gadget, *state);
        else
            refresh(gadget, *state);
    }
}

void code_editor_set_occurrences(ObjectNumber gadget, bool on) {
    NamesState* state = state_of(gadget);
    if (!state) return;
    state->occurrences = on;
    if (!on) {
        clear(gadget, *state);
        state->rest_due = false;
    } else if (!state->shown) {
        await_rest(*state);
    }
}

bool code_editor_occurrences_on(ObjectNumber gadget) {
    const NamesState* state = state_of(gadget);
    return state && state->occurrences;
}

void code_editor_set_occurrence_colour(ObjectNumber gadget, int colour) {
    NamesState* state = state_of(gadget);
    if (!state) return;
    state->colour = colour;
    names_send(gadget, SCI_INDICSETFORE, OCCURRENCE_INDICATOR, colour);
}
