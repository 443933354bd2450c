/** @file find_bar.h
 * The bar under the code editor that finds, replaces and goes to a line: its gadgets and their
 * rows, the keys and clicks in it, and what it shows. Searching itself is the code editor's
 * (editor/search/find.h); the bar hands it the query and shows its reports. */
#pragma once

#include <cstdint>
#include <string>

#include "app/layout.h"
#include "app/settings.h"
#include "runtime/core/types.h"

enum FindBarMode {
    FIND_BAR_FIND,     // the pattern's row and the toggles
    FIND_BAR_REPLACE,  // and the replacement's row
    FIND_BAR_GO_TO,    // as it is (the find rows when it was closed), the caret in the go-to field
};

// Creates the bar's gadgets, hidden, with the toggles as the settings remember them.
void find_bar_create(const Settings& settings);
// The toggles to remember (all but "in selection", which a new run never starts with).
void find_bar_store_settings(Settings* settings);

bool find_bar_shown();
// The bar's height for that width (its rows wrap), 0 while it is closed.
int find_bar_height(int width);
// Puts the bar's gadgets into its place.
void find_bar_place(const GadgetPlace& bar);

// Ctrl+F, Ctrl+H, Ctrl+G: opens the bar (or changes its rows) and gives its field the caret.
// Find and Replace take a selection on one line as the pattern and search from it.
void find_bar_open(FindBarMode mode);
// Escape: closes it, forgets the query and gives the caret back to the code.
void find_bar_close();
// F3 and Shift+F3 (the bar opens first when it is closed).
void find_bar_step(bool forward);
// Whether there is a pattern to look for (Find Next and Previous can act).
bool find_bar_has_pattern();

// A gadget event of one of the bar's gadgets (a click, a change of a field, a key); false for
// any other gadget.
bool find_bar_event(ObjectNumber gadget, std::intptr_t type);
// For the application's loop: how long it may wait before find_bar_tick has something to do
// (-1: nothing due), and the tick that counts the matches and shows the count.
int find_bar_wait_time();
void find_bar_tick();

// What the go-to field holds: "line" or "line:column", blanks around either allowed.
enum GoToParse { GO_TO_LINE, GO_TO_NOT_A_NUMBER, GO_TO_OUT_OF_RANGE, GO_TO_COLUMN_ZERO };
GoToParse parse_go_to(const std::u16string& text, long last_line, long* line, long* column);
