/** @file window.h
 * Top-level toolkit windows: the window record and registry, opening and closing, and the pure
 * arithmetic that turns window flags into styles and places a window on the screen. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

struct ObjectRegistry;
struct AcceleratorEntry;
struct AcceleratorTable;

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

// The flags that choose how a window looks: all but centring, no-gadgets and invisible. A window
// given none of them gets a plain title bar.
inline constexpr std::uint32_t WINDOW_LOOK_FLAGS =
    ~(WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_NO_GADGETS | WINDOW_INVISIBLE);
// The toolkit's bits that share the low end with the Windows style bits; the window is created
// without them.
inline constexpr std::uint32_t WINDOW_TOOLKIT_LOW_BITS = WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_TOOL;
// Opening minimised or maximised: the window counts as such until it is restored.
inline constexpr std::uint32_t WINDOW_MIN_MAX_STATES = WINDOW_MINIMIZE | WINDOW_MAXIMIZE;
// What a tool window never has: those states and their title-bar buttons.
inline constexpr std::uint32_t WINDOW_MIN_MAX_BITS = WINDOW_MIN_MAX_STATES | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

inline constexpr int COORD_IGNORE = -65535;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Hooks a window may have; same contract as the window procedure.
using WindowCallback = std::intptr_t (*)(NativeHandle window, unsigned message, std::uintptr_t wparam,
                                         std::intptr_t lparam);
using BackgroundPainter = int (*)(void* device_context, NativeHandle window);

struct WindowRecord {
    NativeHandle handle;                 // zero = free
    AcceleratorEntry* shortcuts;         // null when there are none
    AcceleratorTable* accelerator_table; // built from shortcuts; null when there are none
    WindowCallback window_callback;
    std::int32_t shortcut_count;
    void* background_brush;
    NativeHandle mdi_client;
    BackgroundPainter background_painter;
    std::uint16_t min_width, min_height, max_width, max_height;   // 0 = not set
    std::int32_t min_or_max;             // 1 while minimised or maximised
};

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

// The live record, or null.
WindowRecord* window_lookup(ObjectNumber number);
// The windows registry (for enumeration with registry_rewind / registry_next).
ObjectRegistry* window_registry();
// The number of the toolkit window at or above this native window (widget), or -1.
ObjectNumber window_number_of(NativeHandle native);

// Start-up: the windows registry, the event record and queue, the icon, the key filter.
void window_start();
// Shutdown: closes every window and frees the event record's drop data.
void window_end();

// ---------------------------------------------------------------------------------------------
// Pure logic, independent of Qt.

struct WindowStyle {
    std::uint32_t style;     // WS_* bits kept, the toolkit's low three bits still in
    std::uint32_t ex_style;  // WS_EX_TOOLWINDOW or 0
};
// The style and extended style window_open creates a window with, from its flags.
WindowStyle window_style_from_flags(std::uint32_t flags);

struct WindowRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Frame extents that the window system adds around a client area.
struct WindowFrameMetrics {
    int caption_height;   // added on top for a WS_CAPTION window
    int border;           // added on every side for a framed window
};
// Outer size of a window whose client area has the given size (AdjustWindowRectEx).
void window_outer_size(std::uint32_t style, int client_width, int client_height, const WindowFrameMetrics& frame,
                       int* outer_width, int* outer_height);

struct WindowPlacement {
    int x, y, width, height;   // outer position and size; x, y may be CW_USEDEFAULT
};
// Where window_open puts a window of that outer size: centred on the screen (shrunk to fit it) or
// on the reference, else at (x, y), or CW_USEDEFAULT for the system's choice when a coordinate is
// ignored. reference is the parent's (else the active window's) outer rectangle, or null when
// there is neither.
WindowPlacement window_place(int x, int y, int outer_width, int outer_height, std::uint32_t flags, int screen_width,
                             int screen_height, const WindowRect* reference);
