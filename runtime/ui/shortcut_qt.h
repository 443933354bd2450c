/** @file shortcut_qt.h
 * The Qt side of keyboard shortcuts: the virtual key and fVirt of a Qt key event, and the
 * application-wide key filter that turns a window's accelerator entries into WM_COMMAND. */
#pragma once

#include <cstdint>

class QKeyEvent;

// The virtual-key code of the key, 0 when it has none. A Latin letter or digit is itself (AZERTY's
// A is VK_A); keypad keys are the VK_NUMPAD... keys; punctuation its OEM key; any other character
// (Cyrillic, Greek, é) is taken from the key's place on the keyboard (the native scan code, an
// xkb keycode), so that Ctrl plus the key labelled S is VK_S under every layout.
std::uint16_t shortcut_virtual_key(const QKeyEvent& key);
// fVirt for the event's modifiers (Backtab counts as Shift+Tab).
std::uint8_t shortcut_key_fvirt(const QKeyEvent& key);

// A control with this property set (non-zero) receives Tab and Shift+Tab itself, as the code
// editor does for indenting; Ctrl+Tab still leaves it.
inline constexpr const char* SHORTCUT_TAKES_TAB_PROPERTY = "QZ_TakesTab";

// Installs (once) and removes the application-wide key filter.
void shortcut_filter_install();
void shortcut_filter_remove();
