/** @file shortcut.h
 * Keyboard shortcuts of a window: key codes and modifiers, adding and removing. The accelerator
 * entries and tables behind them are in shortcut_internal.h. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

struct AcceleratorTable;

// A shortcut value: the virtual-key code in the low 16 bits, modifiers above.
inline constexpr int SHORTCUT_SHIFT = 0x10000;
inline constexpr int SHORTCUT_CONTROL = 0x20000;
inline constexpr int SHORTCUT_ALT = 0x40000;
inline constexpr int SHORTCUT_ALL = -1;

// Virtual-key codes. Letters and digits of the main block are their upper-case ASCII codes.
inline constexpr std::uint16_t VK_A = 'A', VK_B = 'B', VK_C = 'C', VK_D = 'D', VK_E = 'E', VK_F = 'F', VK_G = 'G';
inline constexpr std::uint16_t VK_H = 'H', VK_I = 'I', VK_J = 'J', VK_K = 'K', VK_L = 'L', VK_M = 'M', VK_N = 'N';
inline constexpr std::uint16_t VK_O = 'O', VK_P = 'P', VK_Q = 'Q', VK_R = 'R', VK_S = 'S', VK_T = 'T', VK_U = 'U';
inline constexpr std::uint16_t VK_V = 'V', VK_W = 'W', VK_X = 'X', VK_Y = 'Y', VK_Z = 'Z';
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
inline constexpr std::uint16_t VK_NUMPAD0 = 0x60;  // to VK_NUMPAD9 = 0x69
inline constexpr std::uint16_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint16_t VK_ADD = 0x6B;
inline constexpr std::uint16_t VK_SEPARATOR = 0x6C;
inline constexpr std::uint16_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint16_t VK_DECIMAL = 0x6E;
inline constexpr std::uint16_t VK_DIVIDE = 0x6F;
inline constexpr std::uint16_t VK_F1 = 0x70;  // to VK_F24 = 0x87
inline constexpr std::uint16_t VK_F3 = 0x72;
inline constexpr std::uint16_t VK_F8 = 0x77;
// The punctuation keys, named by what they type on a US keyboard.
inline constexpr std::uint16_t VK_OEM_1 = 0xBA;       // ; :
inline constexpr std::uint16_t VK_OEM_PLUS = 0xBB;    // = +
inline constexpr std::uint16_t VK_OEM_COMMA = 0xBC;   // , <
inline constexpr std::uint16_t VK_OEM_MINUS = 0xBD;   // - _
inline constexpr std::uint16_t VK_OEM_PERIOD = 0xBE;  // . >
inline constexpr std::uint16_t VK_OEM_2 = 0xBF;       // / ?
inline constexpr std::uint16_t VK_OEM_3 = 0xC0;       // ` ~
inline constexpr std::uint16_t VK_OEM_4 = 0xDB;       // [ {
inline constexpr std::uint16_t VK_OEM_5 = 0xDC;       // \ |
inline constexpr std::uint16_t VK_OEM_6 = 0xDD;       // ] }
inline constexpr std::uint16_t VK_OEM_7 = 0xDE;       // ' "
inline constexpr std::uint16_t VK_OEM_102 = 0xE2;     // the extra key beside left Shift on ISO keyboards

// Adds a shortcut to the window, or gives an existing one (same key and modifiers) the new
// command; the window's table is rebuilt and returned (null for an invalid window). value is a
// virtual-key code plus SHORTCUT_SHIFT, SHORTCUT_CONTROL, SHORTCUT_ALT.
AcceleratorTable* shortcut_add(ObjectNumber window, int value, int command);
// Removes the window's shortcut for that value (every one for SHORTCUT_ALL); 1 when one went.
int shortcut_remove(ObjectNumber window, int value);

// Gives the window the keys that move the focus among its controls: Tab and Shift+Tab, and
// Ctrl+Tab and Ctrl+Shift+Tab, which also leave the controls that take Tab themselves (a
// writable multi-line field, the code editor). Returns the window's table, null for an invalid
// window.
AcceleratorTable* shortcut_add_focus_keys(ObjectNumber window);
