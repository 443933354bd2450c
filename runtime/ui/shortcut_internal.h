/** @file shortcut_internal.h
 * Inside keyboard shortcuts: one accelerator table per window, packed as the Windows ACCEL
 * entries, the two Tab entries every window starts with, and the choice of table before a key is
 * dispatched (the key filter of shortcut_qt.cpp asks it). */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/shortcut.h"
#include "runtime/ui/window_internal.h"

// fVirt bits.
inline constexpr std::uint8_t FVIRTKEY = 0x01;
inline constexpr std::uint8_t FNOINVERT = 0x02;
inline constexpr std::uint8_t FSHIFT = 0x04;
inline constexpr std::uint8_t FCONTROL = 0x08;
inline constexpr std::uint8_t FALT = 0x10;

// The focus-navigation commands of the two Tab entries every window starts with.
inline constexpr int COMMAND_FOCUS_NEXT = 64001;
inline constexpr int COMMAND_FOCUS_PREVIOUS = 64002;

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
    AcceleratorEntry entries[1];  // count entries
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

// A control with this property set (non-zero) takes every key itself, shortcuts included.
inline constexpr const char* SHORTCUT_HOTKEY_PROPERTY = "QZ_Hotkey";

// What the key filter knows about the focused control when it chooses a table.
struct ShortcutFocus {
    bool has_focus;         // a control of the window has the focus
    bool multiline_editor;  // the focused control is a multi-line editor ("Rich...")
    bool read_only;
    bool hotkey;     // the focused control has SHORTCUT_HOTKEY_PROPERTY
    bool takes_tab;  // the focused control has SHORTCUT_TAKES_TAB_PROPERTY
};
// The table to translate with for a key of the active window (its record may be null), or null.
const AcceleratorTable* shortcut_choose_table(const WindowRecord* active, const ShortcutFocus& focus, std::uint16_t key,
                                              std::uint8_t fvirt);
