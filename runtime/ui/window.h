/** @file window.h
 * Top-level toolkit windows: opening them with their flags, closing them, and the few
 * operations on an open window. The record, the registry and the placement arithmetic are in
 * window_internal.h. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

// A native handle is a pointer to our Qt-side object (for a window, its top-level widget); null = none.
using NativeHandle = void*;

// Flags of window_open: the toolkit's own bits ...
inline constexpr std::uint32_t WINDOW_SCREEN_CENTERED = 0x1;
inline constexpr std::uint32_t WINDOW_PARENT_CENTERED = 0x2;
inline constexpr std::uint32_t WINDOW_TOOL = 0x4;
inline constexpr std::uint32_t WINDOW_NO_GADGETS = 0x8;
inline constexpr std::uint32_t WINDOW_INVISIBLE = 0x10000000;
// ... and the Windows style bits, passed through.
inline constexpr std::uint32_t WINDOW_MAXIMIZE = 0x01000000;
inline constexpr std::uint32_t WINDOW_MINIMIZE = 0x20000000;
inline constexpr std::uint32_t WS_CAPTION = 0xC00000;
inline constexpr std::uint32_t WS_BORDER = 0x800000;
inline constexpr std::uint32_t WS_SYSMENU = 0x80000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x40000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x20000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x10000;
inline constexpr std::uint32_t WS_TABSTOP = 0x10000;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x80;

// A coordinate of window_open left to the system (unless the window is centred).
inline constexpr int COORD_IGNORE = -65535;

// ---------------------------------------------------------------------------------------------
// Operations. Every one of them does nothing and returns 0 for a number that names no window.

// The new dynamic number for ANY_NUMBER, otherwise the native handle (as an integer); 0 on failure.
// title may be null. parent (may be null) owns the new window.
ObjectNumber window_open(ObjectNumber number, int x, int y, int width, int height, const char16_t* title,
                         std::uint32_t flags, NativeHandle parent = nullptr);
int window_close(ObjectNumber number);
NativeHandle window_handle(ObjectNumber number);
// state 1 disables, 0 enables.
int window_disable(ObjectNumber number, int state);
int window_set_topmost(ObjectNumber number, int state);
int window_activate(ObjectNumber number);

// The number of the toolkit window at or above this native window (widget), or -1.
ObjectNumber window_number_of(NativeHandle native);

// The size of the window's client area (below its menu bar), in pixels.
int window_width(ObjectNumber number);
int window_height(ObjectNumber number);

// Limits within which the user may size a window with a sizing border, as sizes of its client
// area; 0 leaves that limit unset. The window grows to the minimum when it is smaller.
int window_set_bounds(ObjectNumber number, int min_width, int min_height, int max_width, int max_height);

// Fits the window (its frame included) into the work area of its screen (the screen less the
// desktop's panels): a window that does not fit is shrunk, no further than its minimum, and
// centred in that area. 1 when the window was changed.
int window_fit_screen(ObjectNumber number);

// How the window is shown now.
inline constexpr int WINDOW_STATE_NORMAL = 0;
inline constexpr int WINDOW_STATE_MINIMIZED = 1;
inline constexpr int WINDOW_STATE_MAXIMIZED = 2;
int window_get_state(ObjectNumber number);

// A hook that sees every message of the window before the toolkit handles it (the window record's
// window_callback). It answers CALLBACK_CONTINUE for the toolkit to go on, anything else to be the
// message's result. null removes it.
using WindowMessageHook = std::intptr_t (*)(NativeHandle window, unsigned message, std::uintptr_t wparam,
                                            std::intptr_t lparam);
int window_set_callback(ObjectNumber number, WindowMessageHook callback);
