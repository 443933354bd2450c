/** @file menu.h
 * Window menu bars built from a short sequence of calls (create, title, items, separators), and
 * image menus whose items the toolkit measures and draws itself: image, label, right-aligned
 * shortcut text, highlight, check mark, separators and the greyed look. The records, the
 * measuring rules and the Qt side are in menu_internal.h. */
#pragma once

#include "runtime/core/types.h"
#include "runtime/ui/image.h"
#include "runtime/ui/window.h"

#include <cstdint>

// Dynamic number for ANY_NUMBER, else the native menu; 0 on failure. Becomes the current menu.
ObjectNumber menu_create(ObjectNumber number, NativeHandle owner);
// As menu_create, and makes the menu an image menu of style 0.
ObjectNumber image_menu_create(ObjectNumber number, NativeHandle owner);
// Starts a new drop-down on the current menu bar.
int menu_title(const char16_t* text);
// Appends an item to the current drop-down; image may be null.
int menu_item(ObjectNumber identifier, const char16_t* text, ImageHandle image);
int menu_separator();
// state 1 greys the item out (it cannot be chosen), 0 enables it again; 0 when the menu is none.
int menu_item_disable(ObjectNumber menu, ObjectNumber item, int state);
// state 1 shows a check mark before the item (it becomes an item that can be checked), 0 takes it
// away; 0 when the menu is none.
int menu_item_check(ObjectNumber menu, ObjectNumber item, int state);
int menu_free(ObjectNumber number);
