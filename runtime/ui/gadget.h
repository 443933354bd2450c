/** @file gadget.h
 * Gadgets: numbered native controls inside toolkit windows, their records and per-kind tables of
 * operations (a kind made outside the toolkit, the code editor, registers through them), the
 * kinds the program uses, text, font, data and colour operations, and the per-window gadget
 * lists. The rest of the toolkit's gadget work is declared in gadget_internal.h. */
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/types.h"
#include "runtime/ui/window.h"

struct ObjectRegistry;

inline constexpr int GADGET_KIND_BUTTON = 1;
inline constexpr int GADGET_KIND_STRING = 2;
inline constexpr int GADGET_KIND_TEXT = 3;
inline constexpr int GADGET_KIND_CHECKBOX = 4;
inline constexpr int GADGET_KIND_LIST = 6;
inline constexpr int GADGET_KIND_EDITOR = 22;
inline constexpr int GADGET_KIND_CODE_EDITOR = 31;

inline constexpr int COLOR_FRONT = 1;
inline constexpr int COLOR_BACK = 2;

// Creation flag of text and string gadgets: a sunken border for a label, none for a field.
inline constexpr int GADGET_BORDER_FLAG = 0x20000;
// Creation flag of string, checkbox and button gadgets: Enter, Escape and Tab (with or without
// Shift) in the control are gadget events (GADGET_EVENT_RETURN and the others, event.h) instead
// of keys the control handles. Tab arrives only where the window's focus keys leave it alone.
inline constexpr int GADGET_KEY_EVENTS_FLAG = 0x40000;
// Creation flag of string gadgets: Up, Down, Page Up and Page Down are gadget events
// (GADGET_EVENT_UP and the others), so that a field can move through a list under it while the
// caret stays in the field.
inline constexpr int GADGET_ARROW_EVENTS_FLAG = 0x80000;
// Creation flag of text gadgets: a text too long for the label is shown shortened with "…" at its
// end, while the label gives back, and reads out as its accessible name, the whole text.
inline constexpr int GADGET_SHORTEN_FLAG = 0x100000;

// What gadget_edit does in a field: its own undo history, the clipboard and its selection.
inline constexpr int EDIT_UNDO = 1;
inline constexpr int EDIT_REDO = 2;
inline constexpr int EDIT_CUT = 3;
inline constexpr int EDIT_COPY = 4;
inline constexpr int EDIT_PASTE = 5;
inline constexpr int EDIT_SELECT_ALL = 6;

struct GadgetKindTable;

struct GadgetRecord {
    NativeHandle handle;  // the control widget; zero = free
    GadgetKindTable* kind_table;
    std::intptr_t user_data;  // gadget_set_data's value
    void* previous_procedure;
    std::intptr_t back_color;   // text, string, editor: background colour, -1 the system's
    std::intptr_t front_color;  // text, string, editor: text colour, -1 the system's
    std::intptr_t brush;        // text, string: the cached brush of back_color (a GadgetBrush)
    std::intptr_t line_state;   // editor: the line state used when text is appended
};

// Answers NOT_HANDLED (event.h) for a message it leaves alone.
using GadgetParentHandler = std::intptr_t (*)(GadgetRecord* gadget, NativeHandle parent, unsigned message,
                                              std::uintptr_t wparam, std::intptr_t lparam);
using GadgetFreeHandler = void (*)(GadgetRecord* gadget);
using GadgetGetText = char16_t* (*)(GadgetRecord* gadget, std::int32_t at);
using GadgetSetText = void (*)(GadgetRecord* gadget, const char16_t* text);
using GadgetSetColor = void (*)(GadgetRecord* gadget, int color_kind, std::intptr_t color);
using GadgetGetColor = std::intptr_t (*)(GadgetRecord* gadget, int color_kind);
// Does the EDIT_* action when perform is true; answers whether it can act (1) or not (0).
using GadgetEdit = int (*)(GadgetRecord* gadget, int action, bool perform);

// One table per kind, 38 pointer-wide slots; an empty slot means the generic behaviour.
struct GadgetKindTable {
    std::intptr_t kind;                               // 0
    std::intptr_t size;                               // 1: sizeof(GadgetKindTable)
    GadgetParentHandler parent_message;               // 2: WM_COMMAND, WM_NOTIFY, scroll, WM_CTLCOLOR...
    GadgetFreeHandler free;                           // 3: the control is being destroyed
    std::intptr_t (*get_state)(GadgetRecord*);        // 4
    void (*set_state)(GadgetRecord*, std::intptr_t);  // 5
    GadgetGetText get_text;                           // 6
    GadgetSetText set_text;                           // 7
    void* item_operations[22];                        // 8 to 29: not used by this program
    GadgetSetColor set_color;                         // 30
    GadgetGetColor get_color;                         // 31
    GadgetEdit edit;                                  // 32: undo, clipboard and select all
    void* reserved[5];                                // 33 to 37
};
static_assert(sizeof(GadgetKindTable) == 38 * sizeof(void*), "38 slots");

// ---------------------------------------------------------------------------------------------
// Creation: the dynamic number for ANY_NUMBER, otherwise the control handle; 0 on failure (also when
// no window is the current gadget list). x, y are client coordinates of the current gadget list window.
ObjectNumber text_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                int flags = 0);
ObjectNumber string_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                  int flags = 0);
ObjectNumber editor_gadget_create(ObjectNumber number, int x, int y, int width, int height, int flags = 0);
ObjectNumber button_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                  int flags = 0);
// A box the user ticks and clears, with its text beside it; a click is BN_CLICKED.
ObjectNumber checkbox_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                    int flags = 0);

// A list of rows of text, one selected or none. Its rows come from `row_text` (list_gadget_set_rows),
// asked only for the rows on screen, so that a list of many thousand rows costs what fits.
// gadget_get_state is the selected row (-1 none) and gadget_set_state selects one and scrolls it
// into view. A double click, or Enter with GADGET_KEY_EVENTS_FLAG, is GADGET_EVENT_RETURN.
ObjectNumber list_gadget_create(ObjectNumber number, int x, int y, int width, int height, int flags = 0);
// The text of a row, valid until the next call.
using ListRowText = const char16_t* (*)(void* context, int row);
// Gives the list `count` rows (none selected) and shows them.
void list_gadget_set_rows(ObjectNumber gadget, int count, ListRowText row_text, void* context);
// How many rows the list shows at once at its present size (at least 1).
int list_gadget_rows_shown(ObjectNumber gadget);
// The row a move of `by` rows (negative: up) reaches from `selected` in a list of `count` rows:
// it stops at the first and the last; from no selection, a move down starts at the first row.
// -1 when the list is empty.
int list_row_after_move(int selected, int by, int count);

// Binds a control (a widget created as a child of gadget_list_parent()) to a record from
// registry_obtain(gadget_registry(), number): its identifier property, default font, and the cleanup when the
// control is destroyed. The code editor registers its own kind through it.
ObjectNumber gadget_register(ObjectNumber number, GadgetRecord* record, NativeHandle control,
                             GadgetKindTable* kind_table);

// Operations; an invalid gadget number does nothing and returns 0.
void gadget_set_text(ObjectNumber gadget, const char16_t* text);
// The text as a temporary string at `at` (normally temp_position()); null for an invalid gadget.
char16_t* gadget_get_text(ObjectNumber gadget, std::int32_t at);
// The text in UTF-8, as a pattern or a filter takes it; empty for an invalid gadget.
std::string gadget_text_utf8(ObjectNumber gadget);
// font: a font handle (font_handle), or -1 for the default GUI font; gadget -1 sets the default font
// of gadgets created afterwards.
int gadget_set_font(ObjectNumber gadget, NativeHandle font);
int gadget_set_font(ObjectNumber gadget, int font_minus_one);
// The name assistive technology (a screen reader) announces for the control, normally the text of
// the label above it; null clears it.
void gadget_set_accessible_name(ObjectNumber gadget, const char16_t* name);
// Gives the gadget's control the keyboard focus; 1 when it had a control to give it to.
int gadget_set_focus(ObjectNumber gadget);
// The gadget that has the keyboard focus in that window (its control or a widget inside it), or -1.
ObjectNumber gadget_with_focus(ObjectNumber window);
// The width the control needs to show its whole text on one line, in its own font and with its
// margins: a label's layout makes room for a message with it. 0 for an invalid gadget.
int gadget_text_width(ObjectNumber gadget);
// Moves and sizes the control (client coordinates of its window).
int gadget_resize(ObjectNumber gadget, int x, int y, int width, int height);
// state 1 hides the control, 0 shows it again.
int gadget_hide(ObjectNumber gadget, int state);
// A checkbox's (or checkable button's) state: 1 ticked, 0 not.
std::intptr_t gadget_get_state(ObjectNumber gadget);
void gadget_set_state(ObjectNumber gadget, std::intptr_t state);
// An EDIT_* action in the gadget's control; 1 when it acted. gadget_can_edit tells whether it
// would (something to undo, a selection to copy, text on the clipboard to paste, ...).
int gadget_edit(ObjectNumber gadget, int action);
int gadget_can_edit(ObjectNumber gadget, int action);
void gadget_set_data(ObjectNumber gadget, std::intptr_t data);
std::intptr_t gadget_get_data(ObjectNumber gadget);
int gadget_exists(ObjectNumber gadget);
int gadget_kind(ObjectNumber gadget);
// color_kind COLOR_FRONT or COLOR_BACK; color -1 = the system colour.
void gadget_set_color(ObjectNumber gadget, int color_kind, std::intptr_t color);
std::intptr_t gadget_get_color(ObjectNumber gadget, int color_kind);
inline constexpr std::intptr_t rgb(int red, int green, int blue) {
    return std::intptr_t(red) + std::intptr_t(green) * 256 + std::intptr_t(blue) * 65536;
}

// The live record, or null.
GadgetRecord* gadget_lookup(ObjectNumber gadget);
ObjectRegistry* gadget_registry();
// The gadget whose control is this native handle (bound by gadget_register, its number still that
// control's), or null.
GadgetRecord* gadget_from_control(NativeHandle control, ObjectNumber* number = nullptr);

// Makes the window the current gadget list and returns the previous current one; null only returns it.
NativeHandle gadget_list_use(NativeHandle window);
// The window gadgets are created in now (null when no window is current).
NativeHandle gadget_list_current();
