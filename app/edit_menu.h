/** @file edit_menu.h
 * The Edit and View menus: their items, shortcuts and commands in one table each, and which of
 * them can act when a menu opens. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/window.h"

// Appends "Edit" and "View" to the current menu bar (after "File") and adds their shortcuts to
// the main window.
void edit_menus_build();
// Runs the command of an Edit or View item; false for any other item.
bool edit_menus_command(ObjectNumber item);
// The main window's message hook: when the Edit or View menu opens, its items that cannot act
// now are greyed out.
std::intptr_t edit_menus_message(NativeHandle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);

// The code editor's zoom, in points added to its fonts (the View menu's Normal Size is 0).
int code_zoom();
void set_code_zoom(int zoom);
