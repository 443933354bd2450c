/** @file find.h
 * Find and replace in a code editor: the query of a find bar, moving to the next or previous
 * match with wrap-around, "3 of 120", replacing one match or all of them as one undo step, and
 * every match on screen marked with an indicator. Qt-free: it drives the component through
 * scintilla_send and searches the component's own bytes (search.h) on both sides of its gap,
 * without a copy of the text; regular expressions, which may take long, are searched by a
 * worker thread (search_worker.h) on a copy taken once per change of the text, and their
 * answers come through find_tick.
 *
 * How a bar uses it:
 *   - each change of the field or of a toggle: find_set_query(); it selects the first match at or
 *     after where this search began (incremental search), and marks the matches on screen;
 *   - Enter / F3: find_next(); Shift+Enter / Shift+F3: find_previous();
 *   - Replace: find_replace(); Replace All: find_replace_all(); for a regular expression the worker
 *     works them out and find_tick carries them out, and a Replace All too large to carry out
 *     comes once as find_report's FIND_TOO_LARGE;
 *   - after each call, show find_status_text(report) (and a notice when report.wrapped), which
 *     says "Searching…" while the worker looks for a regular expression's match;
 *   - Escape: find_close(), which clears the marks and forgets the query.
 *
 * Typing in the code stays as fast with the marks on: a change re-searches only the lines on
 * screen (and a page above and below), when the component repaints; the total is counted again
 * only once typing pauses, in slices of a few milliseconds, from the application's loop:
 *
 *     int wait = find_wait_time(GADGET_CODE);           // -1: nothing due
 *     ... wait = the shorter of that and the loop's other waits (recovery_wait_time()) ...
 *     event_wait(wait); ... handle the event ...
 *     if (find_tick(GADGET_CODE)) { ... show find_status_text(find_report(GADGET_CODE)) ... }
 *
 * Messages, notices and replacements are UTF-8; positions are the component's byte positions. */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/types.h"

// The indicator that marks the matches on screen (the first one the component leaves to its
// container), and its colour, 0xBBGGRR. A theme changes the colour with find_set_highlight_colour.
inline constexpr int FIND_INDICATOR = 8;
inline constexpr int FIND_HIGHLIGHT_COLOUR = 0x00C8FF;

struct FindQuery {
    std::string pattern;  // UTF-8; empty: nothing is searched and nothing is marked
    bool match_case = false;
    bool whole_word = false;
    bool regex = false;
    // Only the last selection the user made in the code is searched (the one when the first
    // query was set, or one made since by mouse or keys; never a match the search selected);
    // that range follows the edits made in it.
    bool in_selection = false;
    bool operator==(const FindQuery&) const = default;
};

enum FindOutcome : int {
    FIND_NONE,          // no query, or an empty pattern
    FIND_FOUND,         // the pattern occurs; `current` tells whether the selection is one of its matches
    FIND_NO_MATCH,      // the pattern occurs nowhere in the searched text
    FIND_INVALID,       // the pattern does not compile; `error` says why
    FIND_TOO_COMPLEX,   // the engine's limits stopped the search: "The pattern is too complex for this text"
    FIND_NO_SELECTION,  // "in selection" with no selection of the user's: nothing is searched
    // Replace All would leave more than FIND_REPLACED_TEXT_MAX bytes (`result_bytes`): nothing was replaced.
    FIND_TOO_LARGE,
    // A regular expression's move is being searched by the worker: "Searching…".
    FIND_SEARCHING,
};

struct FindReport {
    FindOutcome outcome = FIND_NONE;
    // The last move went past the end (or, backwards, the start) and came round.
    bool wrapped = false;
    // The selected match's number, from 1; 0 when the selection is no match or it is not known yet.
    std::intptr_t current = 0;
    // Matches in the searched text; -1 while they are being counted.
    std::intptr_t total = -1;
    // After Replace All: how many matches were replaced; -1 otherwise.
    std::intptr_t replaced = -1;
    // FIND_INVALID: the engine's message and the character where it stopped.
    std::string error;
    // FIND_TOO_LARGE: the size of the text that Replace All would have left.
    std::size_t result_bytes = 0;
    // The last move went backwards (a wrap then came round the start).
    bool backward = false;
};

inline constexpr char FIND_TOO_COMPLEX_TEXT[] = "The pattern is too complex for this text";
inline constexpr char FIND_NO_MATCHES_TEXT[] = "No matches";
inline constexpr char FIND_NO_SELECTION_TEXT[] = "No selection to search in";
inline constexpr char FIND_SEARCHING_TEXT[] = "Searching…";
// The most text Replace All leaves in the code, in bytes. Its new text is built whole before it
// goes in, and the component then holds it beside its undo step: a few times this in memory,
// which a machine that edits such files has. Beyond it nothing is built nor replaced.
inline constexpr std::size_t FIND_REPLACED_TEXT_MAX = std::size_t{256} << 20;

// Sets the query and searches incrementally: selects the first match at or after the place
// where this search began (the selection's start when the first query was set, moved by each
// find_next, find_previous or find_replace), going round the end when needed.
FindReport find_set_query(ObjectNumber gadget, const FindQuery& query);

// Selects the next match after the selection (or the caret), or the previous one before it,
// going round the end of the searched text; scrolls it into view.
FindReport find_next(ObjectNumber gadget);
FindReport find_previous(ObjectNumber gadget);

// Replaces the selected text when it is a match (with groups expanded for a regular
// expression), then selects the next match. When the selection is no match, only selects the next.
FindReport find_replace(ObjectNumber gadget, const std::string& replacement);

// Replaces every match in the searched text in one change, one undo step; report.replaced
// tells how many (0 when there was none, and nothing changes). A text that would grow beyond
// FIND_REPLACED_TEXT_MAX is left as it is (FIND_TOO_LARGE): its size is measured as the scan goes,
// and the replaced text is built only up to that limit.
FindReport find_replace_all(ObjectNumber gadget, const std::string& replacement);

// The state as it stands: the current query's outcome, and the count once it is known; once,
// after the worker found a Replace All too large, FIND_TOO_LARGE (nothing was replaced).
FindReport find_report(ObjectNumber gadget);

// What the bar shows for a report: "3 of 120", "120 matches", "No matches", "Counting matches…"
// (while the count waits for typing to pause), "Replaced 12 matches", the pattern's error,
// "The pattern is too complex for this text", or "" for no query.
std::string find_status_text(const FindReport& report);

// The selected text when it lies on one line (a find bar's first pattern), else "".
std::string find_selection_seed(ObjectNumber gadget);

// Whether a query is set on the editor.
bool find_active(ObjectNumber gadget);

// Clears the marks and forgets the query (the bar closes); the selection stays.
void find_close(ObjectNumber gadget);

// Milliseconds until find_tick has something to do; -1 while it has nothing to do, or while it
// waits for the search worker, which calls the wake function when it answers.
int find_wait_time(ObjectNumber gadget);
// Counts the matches once typing has paused, a slice at a time; takes the worker's answer. True
// when the report changed (a move was made, the count is complete): the bar then shows
// find_report again.
bool find_tick(ObjectNumber gadget);
// Whether an answer of the search worker is awaited (find_tick takes it).
bool find_searching(ObjectNumber gadget);
// What the search worker calls, from its own thread, when it has an answer for find_tick (the
// toolkit's event_wake); null for nothing, as in tests that poll find_searching.
void find_set_wake(void (*wake)());

// The colour of the marks (0xBBGGRR), for a theme.
void find_set_highlight_colour(ObjectNumber gadget, int colour);
