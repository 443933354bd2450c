/** @file shortcut.h
 * Keyboard shortcuts: one accelerator table per window, packed as the Windows ACCEL entries, and
 * the choice of table before a key is dispatched. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/window.h"

// A shortcut value: the virtual-key code in the low 16 bits, modifiers above.
inline constexpr int SHORTCUT_SHIFT = 0x10000;
inline constexpr int SHORTCUT_CONTROL = 0x20000;
inline constexpr int SHORTCUT_ALT = 0x40000;
inline constexpr int SHORTCUT_ALL = -1;

// fVirt bits.
inline constexpr std::uint8_t FVIRTKEY = 0x01;
inline constexpr std::uint8_t FNOINVERT = 0x02;
inline constexpr std::uint8_t FSHIFT = 0x04;
inline constexpr std::uint8_t FCONTROL = 0x08;
inline constexpr std::uint8_t FALT = 0x10;

// The focus-navigation commands of the two Tab entries every window starts with.
inline constexpr int COMMAND_FOCUS_NEXT = 64001;
inline constexpr int COMMAND_FOCUS_PREVIOUS = 64002;

// Virtual-key codes. Letters and digits of the main block are their upper-case ASCII codes.
inline constexpr std::uint16_t VK_BACK = 0x08;
inline constexpr std::uint16_t VK_TAB = 0x09;
inline constexpr std::uint16_t VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_ESCAPE = 0x1B;
inline constexpr std::uint16_t VK_SPACE = 0x20;
inline constexpr std::uint16_t VK_PRIOR = 0x21;
inline constexpr std::uint16_t VK_NEXT = 0x22;
inline constexpr std::uint16_t VK_END = 0x23;
inline constexpr std::uint16_t VK_HOME = 0x24;
inline constexpr std::uint16_t VK_LEFT = 0x25;
inline constexpr std::uint16_t VK_UP = 0x26;
inline constexpr std::uint16_t VK_RIGHT = 0x27;
inline constexpr std::uint16_t VK_DOWN = 0x28;
inline constexpr std::uint16_t VK_INSERT = 0x2D;
inline constexpr std::uint16_t VK_DELETE = 0x2E;
inline constexpr std::uint16_t VK_NUMPAD0 = 0x60;   // to VK_NUMPAD9 = 0x69
inline constexpr std::uint16_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint16_t VK_ADD = 0x6B;
inline constexpr std::uint16_t VK_SEPARATOR = 0x6C;
inline constexpr std::uint16_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint16_t VK_DECIMAL = 0x6E;
inline constexpr std::uint16_t VK_DIVIDE = 0x6F;
inline constexpr std::uint16_t VK_F1 = 0x70;        // to VK_F24 = 0x87
// The punctuation keys, named by what they type on a US keyboard.
inline constexpr std::uint16_t VK_OEM_1 = 0xBA;      // ; :
inline constexpr std::uint16_t VK_OEM_PLUS = 0xBB;   // = +
inline constexpr std::uint16_t VK_OEM_COMMA = 0xBC;  // , <
inline constexpr std::uint16_t VK_OEM_MINUS = 0xBD;  // - _
inline constexpr std::uint16_t VK_OEM_PERIOD = 0xBE; // . >
inline constexpr std::uint16_t VK_OEM_2 = 0xBF;      // / ?
inline constexpr std::uint16_t VK_OEM_3 = 0xC0;      // ` ~
inline constexpr std::uint16_t VK_OEM_4 = 0xDB;      // [ {
inline constexpr std::uint16_t VK_OEM_5 = 0xDC;      // \ |
inline constexpr std::uint16_t VK_OEM_6 = 0xDD;      // ] }
inline constexpr std::uint16_t VK_OEM_7 = 0xDE;      // ' "
inline constexpr std::uint16_t VK_OEM_102 = 0xE2;    // the extra key beside left Shift on ISO keyboards

// The Windows ACCEL layout: 6 bytes.
struct AcceleratorEntry {
    std::uint8_t fVirt;
    std::uint16_t key;
    std::uint16_t cmd;
};
static_assert(sizeof(AcceleratorEntry) == 6, "an accelerator entry is the 6-byte ACCEL");

// Our accelerator table: the entries it was built from, as CreateAcceleratorTableW keeps them.
struct AcceleratorTable {
    std::int32_t count;
    AcceleratorEntry entries[1];   // count entries
};

// fVirt for a shortcut value: 3, Shift 7, Control + 8, Alt + 0x10.
std::uint8_t shortcut_fvirt(int value);

AcceleratorTable* accelerator_table_create(const AcceleratorEntry* entries, int count);
void accelerator_table_destroy(AcceleratorTable* table);
// TranslateAcceleratorW's match: the command of the entry for that key and fVirt, or -1.
int accelerator_table_find(const AcceleratorTable* table, std::uint16_t key, std::uint8_t fvirt);

// The window's entries, pure: replace the command of an entry with the same key and fVirt, else
// append one (the array grows by exactly one entry). Returns the entry's index.
int shortcut_entries_add(AcceleratorEntry** entries, std::int32_t* count, int value, int command);
// Removes the entry with the same key and fVirt (or every entry for SHORTCUT_ALL); 1 when something
// was removed. A list left empty is freed (null, count 0).
int shortcut_entries_remove(AcceleratorEntry** entries, std::int32_t* count, int value);

// Gives a new window its two Tab entries and their table.
void shortcut_install_defaults(WindowRecord* record);
// Frees the window's entries and table.
void shortcut_free(WindowRecord* record);

// Rebuilds the window's table; returns it (null for an invalid window).
AcceleratorTable* shortcut_add(ObjectNumber window, int value, int command);
int shortcut_remove(ObjectNumber window, int value);

// What the key filter knows about the focused control when it chooses a table.
struct ShortcutFocus {
    bool has_focus;            // a control of the window has the focus
    bool multiline_editor;     // the focused control is a multi-line editor ("Rich...")
    bool read_only;
    bool hotkey;               // the focused control has "QZ_Hotkey"
};
// The table to translate with for a key of the active window (its record may be null), or null.
const AcceleratorTable* shortcut_choose_table(const WindowRecord* active, const ShortcutFocus& focus,
                                              std::uint16_t key, std::uint8_t fvirt);
