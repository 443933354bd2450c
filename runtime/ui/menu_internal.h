/** @file menu_internal.h
 * Inside the menus: the menu and item records, the building state's depth, the measuring and
 * drawing rules of image-menu items (pure arithmetic), and what menu.cpp asks of its Qt adapter
 * (menu_qt.cpp). For the toolkit's own files and their tests. */
#pragma once

#include "runtime/core/types.h"
#include "runtime/ui/image.h"
#include "runtime/ui/menu.h"
#include "runtime/ui/window.h"

#include <cstdint>

struct Heap;

// Item style bit of a title that opens a drop-down inside an image menu.
inline constexpr std::int32_t MENU_STYLE_SUBMENU = 2;
// The identifier separators are appended with.
inline constexpr ObjectNumber MENU_SEPARATOR_IDENTIFIER = -1;
// Depth of the building state's parent stack.
inline constexpr int MENU_STACK_DEPTH = 64;

struct MenuRecord {
    void* menu;          // the menu bar (our QMenuBar); null = free
    NativeHandle owner;  // the window the bar belongs to, or null
    std::int32_t is_image_menu;
    Heap* item_heap;     // image menus: holds every item record and text; destroyed with the menu
    std::int32_t style;  // image menus: copied into every item record
};

// One item of an image menu (from the menu's item_heap).
struct MenuItemRecord {
    char16_t* text;      // null for a separator; may hold one tab before the shortcut text
    ImageHandle image;   // may be null
    std::int32_t style;  // the menu's style, + MENU_STYLE_SUBMENU for a title
};

// The live record, or null.
MenuRecord* menu_lookup(ObjectNumber number);

// Start-up: the menus registry and the building state. Shutdown: frees every menu.
void menu_start();
void menu_end();

// ---------------------------------------------------------------------------------------------
// Measuring and drawing rules of image-menu items (pure arithmetic; coordinates relative to the
// item's top-left corner, w and h its size).

struct MenuSize {
    int width, height;
};
struct MenuRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};
struct MenuPoint {
    int x, y;
};

// Separators (null text) measure 50 x 9. Otherwise text_width and text_height are the extent of
// the whole text, tab included: width + 28, plus 20 with a tab or for a title of a drop-down;
// height + 6.
MenuSize menu_measure_item(const char16_t* text, std::int32_t style, int text_width, int text_height);
// The separator's line: (0, 4, w, h - 4).
MenuRect menu_separator_line(int w, int h);
// Where the 16 x 16 image goes: (2, (h - 16) / 2 + 1).
MenuPoint menu_image_position(int h);
// The text rectangle: x from 28 to w - 8, the full height.
MenuRect menu_text_rect(int w, int h);
// Position of the first tab in the text, or -1.
int menu_tab_position(const char16_t* text);
// The check mark: seven vertical strokes, 3 pixels long, at x = 7..13 from these tops.
inline constexpr int MENU_CHECK_FIRST_X = 7;
inline constexpr int MENU_CHECK_STROKE = 3;
inline constexpr int MENU_CHECK_TOPS[7] = {9, 10, 11, 10, 9, 8, 7};

// ---------------------------------------------------------------------------------------------
// The Qt side (menu_qt.cpp), called by the operations above.

// A new menu bar for the menu numbered id; its destruction (with its window) releases the record
// through menu_bar_destroyed.
void* menu_native_create_bar(ObjectNumber id);
void menu_native_delete_bar(void* bar);
// A new drop-down titled text appended to parent (a bar or a drop-down); item is the title's item
// record in an image menu (null otherwise). Before a drop-down of the bar opens, the owner's window
// procedure gets WM_INITMENUPOPUP with the drop-down and its place on the bar.
void* menu_native_add_dropdown(void* parent, const char16_t* text, bool image_menu, MenuItemRecord* item,
                               NativeHandle owner);
// An item or a separator (item may be null in a plain menu). Choosing it sends WM_COMMAND with the
// identifier to the owner's window procedure.
void menu_native_add_item(void* dropdown, ObjectNumber identifier, const char16_t* text, MenuItemRecord* item,
                          NativeHandle owner);
void menu_native_add_separator(void* dropdown, MenuItemRecord* item);
// Greys the bar's item with that identifier out (disabled true) or gives it back.
void menu_native_disable_item(void* bar, ObjectNumber identifier, bool disabled);
// Checks the bar's item with that identifier (checked true) or takes the check mark away.
void menu_native_check_item(void* bar, ObjectNumber identifier, bool checked);
// Shows the bar in the owner window (null bar: removes it).
void menu_native_set_bar(NativeHandle owner, void* bar);
// Every image-menu item that shows this image lets go of it (and is drawn again).
void menu_native_forget_image(ImageHandle image);
// Whether the native menu is a bar (else a drop-down).
bool menu_native_is_bar(void* menu);

// Called when a bar was destroyed with its window: releases the record of menu id if that bar is its.
void menu_bar_destroyed(void* bar, ObjectNumber id);
