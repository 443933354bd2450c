/** @file symbol_bar.h
 * Go to Symbol: a bar under the code editor with a field that filters the code's symbols as it is
 * typed and a list of those that match (kind, name, container, line), best first, with a count.
 * Enter goes to the chosen symbol, Escape puts the caret back where it was. The symbols are the
 * check's index (app/code_check.h); the filter is editor/names/symbol_filter.h. */
#pragma once

#include <cstdint>
#include <string>

#include "app/layout.h"
#include "runtime/core/types.h"

// Creates the bar's gadgets, hidden.
void symbol_bar_create();

bool symbol_bar_shown();
// The bar's height while it is open (0 when closed), for a code editor that would be
// `code_height` high without it: a row for the field and a list of what fits in about half of it.
int symbol_bar_height(int code_height);
// Puts the bar's gadgets into its place.
void symbol_bar_place(const GadgetPlace& bar);

// Ctrl+Shift+O: opens the bar with every symbol listed and gives its field the caret.
void symbol_bar_open();
// Escape: closes it and puts the caret (and the view) back where they were when it opened.
void symbol_bar_cancel();

// A gadget event of one of the bar's gadgets; false for any other gadget.
bool symbol_bar_event(ObjectNumber gadget, std::intptr_t type);
// For the application's loop: a newer index that arrived while the bar is open is listed.
void symbol_bar_tick();

// "17,952": thousands grouped with commas, as the count shows them.
std::u16string grouped_number(std::size_t number);
