/** @file window_internal.h
 * Inside the toolkit windows: the window record and registry, the pure arithmetic that turns
 * window flags into styles and places a window on the screen, and what window.cpp asks of the
 * Qt adapter (window_qt.cpp). For the toolkit's own files and their tests. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/window.h"

struct ObjectRegistry;
struct AcceleratorEntry;
struct AcceleratorTable;

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

// A position the system chooses.
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Properties of a toolkit window's native window: its number + 1, the control that had the focus
// when it was deactivated, and 1 for a tool window.
inline constexpr const char* WINDOW_ID_PROPERTY = "QZ_WindowID";
inline constexpr const char* WINDOW_FOCUS_PROPERTY = "QZ_Focus";
inline constexpr const char* WINDOW_TOOL_PROPERTY = "QZ_ToolWindow";

// Hooks a window may have; same contract as the window procedure.
using WindowCallback = WindowMessageHook;
using BackgroundPainter = int (*)(void* device_context, NativeHandle window);

struct WindowRecord {
    NativeHandle handle;                  // zero = free
    AcceleratorEntry* shortcuts;          // null when there are none
    AcceleratorTable* accelerator_table;  // built from shortcuts; null when there are none
    WindowCallback window_callback;
    std::int32_t shortcut_count;
    void* background_brush;
    NativeHandle mdi_client;
    BackgroundPainter background_painter;
    std::uint16_t min_width, min_height, max_width, max_height;  // 0 = not set
    std::int32_t min_or_max;                                     // 1 while minimised or maximised
};

// The live record, or null.
WindowRecord* window_lookup(ObjectNumber number);
// The windows registry (for enumeration with registry_rewind / registry_next).
ObjectRegistry* window_registry();

// Start-up: the windows registry, the event record and queue, the platform beneath the window
// procedure, the icon and the key filter.
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
    int caption_height;  // added on top for a WS_CAPTION window
    int border;          // added on every side for a framed window
};
// Outer size of a window whose client area has the given size (AdjustWindowRectEx).
void window_outer_size(std::uint32_t style, int client_width, int client_height, const WindowFrameMetrics& frame,
                       int* outer_width, int* outer_height);

struct WindowPlacement {
    int x, y, width, height;  // outer position and size; x, y may be CW_USEDEFAULT
};
// Where window_open puts a window of that outer size: centred on the screen (shrunk to fit it) or
// on the reference, else at (x, y), or CW_USEDEFAULT for the system's choice when a coordinate is
// ignored. reference is the parent's (else the active window's) outer rectangle, or null when
// there is neither.
WindowPlacement window_place(int x, int y, int outer_width, int outer_height, std::uint32_t flags, int screen_width,
                             int screen_height, const WindowRect* reference);

// Where a window goes so that it fits the work area: `frame` is its outer rectangle now, `client_*`
// its client size and `min_client_*` the least it may have (0: none). A window that fits is left
// as it is (returns false). One that does not loses what it must of its client size, keeping at
// least the minimum, and is centred in the area (never left or above it). *client_width and
// *client_height receive the new client size and *x, *y the new outer position.
bool window_fit_area(const WindowRect& frame, const WindowRect& area, int min_client_width, int min_client_height,
                     int* client_width, int* client_height, int* x, int* y);

// ---------------------------------------------------------------------------------------------
// The Qt side (window_qt.cpp), called by the operations above.

// Whether windows can be made at all (there is an application object).
bool window_native_ready();

// What placing a new window depends on: the work area of the primary screen (the screen less
// the desktop's panels), the frame the window system adds,
// and the rectangle to centre on (the parent's, else the active window's), when there is one.
struct WindowSurroundings {
    WindowRect screen;
    WindowFrameMetrics frame;
    bool has_reference;
    WindowRect reference;
};
WindowSurroundings window_native_surroundings(NativeHandle parent);

// A new hidden top-level window for number `id` owned by parent (may be null), with the client
// area's size, fixed unless the style has a sizing border, at screen position (x, y) unless
// system_place leaves that to the system. Its events reach the window procedure from now on.
struct WindowCreation {
    ObjectNumber id;
    WindowStyle style;  // without the toolkit's low bits
    int client_width, client_height;
    int x, y;
    bool system_place;
    const char16_t* title;  // may be null
};
NativeHandle window_native_create(const WindowCreation& creation, NativeHandle parent);
// Shows the window as the flags ask: maximised, minimised, normally or (invisible) not at all.
void window_native_show(NativeHandle window, std::uint32_t flags);
// Gives activation back to the window's owner, as a closing window does.
void window_native_activate_owner(NativeHandle window);
// Deletes the window's widgets; what their destruction raises no longer reaches the window procedure.
void window_native_destroy(NativeHandle window);
void window_native_set_enabled(NativeHandle window, bool enabled);
void window_native_set_topmost(NativeHandle window, bool topmost);
void window_native_activate(NativeHandle window);
// The platform beneath the window procedure, the window filter, the key filter and the icon;
// their removal.
void window_native_start();
void window_native_end();

// The client area's size; the outer rectangle in screen coordinates (the frame the window system
// adds included, or estimated while it is not known yet); the work area of the window's screen.
void window_native_client_size(NativeHandle window, int* width, int* height);
WindowRect window_native_frame(NativeHandle window);
WindowRect window_native_work_area(NativeHandle window);
// Gives the client area this size and moves the window's outer top-left corner to (x, y).
void window_native_place(NativeHandle window, int x, int y, int client_width, int client_height);
// The least and largest client sizes the user may size the window to (0: no limit).
void window_native_set_bounds(NativeHandle window, int min_width, int min_height, int max_width, int max_height);
int window_native_state(NativeHandle window);

// Called when a window's widget is destroyed without window_close (with its owner): lets go of
// everything its number holds, if the number is still that window's.
void window_destroyed(ObjectNumber number, NativeHandle window);
