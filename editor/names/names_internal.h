/** @file names_internal.h
 * The state of an editor's names (names.h), shared by the gathering, Complete Word and the
 * occurrence marks, and the component's bytes read in place. */
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "editor/editor_internal.h"
#include "editor/names/names.h"

using NamesClock = std::chrono::steady_clock;

struct NamesState {
    // The names of the whole text as last gathered, each once, in the order of their lower-case
    // spelling, and whether the text has stayed as it was when that gathering began.
    std::vector<std::string> table;
    bool table_current = false;
    // The gathering: waiting for typing to pause, or running from `next` (a line start) in the
    // state the scan had there.
    enum class Gathering { IDLE, WAITING, RUNNING } gathering = Gathering::WAITING;
    NamesClock::time_point changed_at{};
    std::intptr_t next = 0;
    NameScanState next_state = NameScanState::CODE;
    std::unordered_set<std::string> gathered;

    // The occurrence marks: whether they are on, their colour, whether a rest of the caret is
    // being waited for and since when, and the name they mark (its place at the caret) while shown.
    bool occurrences = true;
    int colour = OCCURRENCE_COLOUR;
    bool rest_due = false;
    NamesClock::time_point moved_at{};
    bool shown = false;
    bool text_changed = false;  // since the last SCN_UPDATEUI (marks of its own also count as content)
    std::string name;
    std::intptr_t name_start = 0;
    std::intptr_t name_end = 0;
    std::intptr_t marked_start = 0;
    std::intptr_t marked_end = 0;
};

inline std::intptr_t names_send(ObjectNumber gadget, unsigned message, std::intptr_t wparam = 0,
                                std::intptr_t lparam = 0) {
    return scintilla_send(gadget, message, static_cast<std::uintptr_t>(wparam), lparam);
}

// The bytes from start to end in place, or copied into `scratch` when they straddle the
// component's gap (reading them in place would move it, and the next keystroke would move it back).
std::string_view names_component_bytes(ObjectNumber gadget, std::intptr_t start, std::intptr_t end,
                                       std::string* scratch);

// The lines on screen as a byte range, no longer than `most` (around the caret when it is more).
struct NamesSpan {
    std::intptr_t start;
    std::intptr_t end;
};
NamesSpan names_screen_span(ObjectNumber gadget, std::intptr_t most);

// The occurrence marks' indicator, set up once per editor.
void occurrences_configure(ObjectNumber gadget, const NamesState& state);
// Milliseconds until the caret's rest is over; -1 while none is awaited.
int occurrences_wait_time(const NamesState& state);
void occurrences_tick(ObjectNumber gadget, NamesState& state);
