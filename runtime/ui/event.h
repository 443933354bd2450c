/** @file event.h
 * The program's one stream of numbered events: the event codes, event_wait and what it read, and
 * the toolkit window procedure, a plain function over Windows message numbers that turns
 * messages into events. The event record and queue are in event_internal.h. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/window.h"

// Event codes.
inline constexpr int EVENT_WINDOW_MOVED = 3;
inline constexpr int EVENT_WINDOW_SIZED = 5;
inline constexpr int EVENT_REPAINT = 15;
inline constexpr int EVENT_CLOSE_WINDOW = 16;
inline constexpr int EVENT_GADGET = 13100;
inline constexpr int EVENT_MENU = 13101;
inline constexpr int EVENT_TRAY = 13102;
inline constexpr int EVENT_WINDOW_ACTIVATED = 13104;
inline constexpr int EVENT_WINDOW_DROP = 13105;
inline constexpr int EVENT_GADGET_DROP = 13106;
inline constexpr int EVENT_WINDOW_MINIMIZED = 13107;
inline constexpr int EVENT_WINDOW_MAXIMIZED = 13108;
inline constexpr int EVENT_WINDOW_RESTORED = 13109;
inline constexpr int EVENT_TIMER = 13110;

// Event types of gadget focus changes.
inline constexpr int GADGET_EVENT_FOCUS = 14000;
inline constexpr int GADGET_EVENT_LOST_FOCUS = 14001;
// Event types of keys in a gadget created with GADGET_KEY_EVENTS_FLAG.
inline constexpr int GADGET_EVENT_RETURN = 14002;
inline constexpr int GADGET_EVENT_SHIFT_RETURN = 14003;
inline constexpr int GADGET_EVENT_ESCAPE = 14004;
inline constexpr int GADGET_EVENT_TAB = 14005;
inline constexpr int GADGET_EVENT_SHIFT_TAB = 14006;
// Event types of the arrow and page keys in a field created with GADGET_ARROW_EVENTS_FLAG.
inline constexpr int GADGET_EVENT_UP = 14007;
inline constexpr int GADGET_EVENT_DOWN = 14008;
inline constexpr int GADGET_EVENT_PAGE_UP = 14009;
inline constexpr int GADGET_EVENT_PAGE_DOWN = 14010;

// Windows message numbers the window procedure knows.
inline constexpr unsigned WM_NULL = 0;
inline constexpr unsigned WM_MOVE = 3;
inline constexpr unsigned WM_SIZE = 5;
inline constexpr unsigned WM_ACTIVATE = 6;
inline constexpr unsigned WM_SETFOCUS = 7;
inline constexpr unsigned WM_KILLFOCUS = 8;
inline constexpr unsigned WM_CLOSE = 0x10;
inline constexpr unsigned WM_ERASEBKGND = 0x14;
inline constexpr unsigned WM_SYSCOLORCHANGE = 0x15;
inline constexpr unsigned WM_GETMINMAXINFO = 0x24;
inline constexpr unsigned WM_NOTIFY = 0x4E;
inline constexpr unsigned WM_NCDESTROY = 0x82;
inline constexpr unsigned WM_KEYDOWN = 0x100;
inline constexpr unsigned WM_COMMAND = 0x111;
inline constexpr unsigned WM_TIMER = 0x113;
// A drop-down is about to open: wParam its native menu, the low word of lParam its place on the bar.
inline constexpr unsigned WM_INITMENUPOPUP = 0x117;
inline constexpr unsigned WM_HSCROLL = 0x114;
inline constexpr unsigned WM_VSCROLL = 0x115;
inline constexpr unsigned WM_MENUCHAR = 0x120;
inline constexpr unsigned WM_CTLCOLOREDIT = 0x133;
inline constexpr unsigned WM_CTLCOLORLISTBOX = 0x134;
inline constexpr unsigned WM_CTLCOLORBTN = 0x135;
inline constexpr unsigned WM_CTLCOLORSTATIC = 0x138;
inline constexpr unsigned WM_MOUSEMOVE = 0x200;
inline constexpr unsigned WM_LBUTTONDOWN = 0x201;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x204;
inline constexpr unsigned WM_RBUTTONDBLCLK = 0x206;
// The toolkit's own messages.
inline constexpr unsigned WM_TOOLKIT_TRAY = 12501;
inline constexpr unsigned WM_TOOLKIT_WINDOW_DROP = 13105;
inline constexpr unsigned WM_TOOLKIT_GADGET_DROP = 13106;
inline constexpr unsigned WM_TOOLKIT_GADGET = 13120;

inline constexpr std::uintptr_t SIZE_RESTORED = 0;
inline constexpr std::uintptr_t SIZE_MINIMIZED = 1;
inline constexpr std::uintptr_t SIZE_MAXIMIZED = 2;

// BN_CLICKED, EN_CHANGE, EN_UPDATE: notification codes in the high word of a control's WM_COMMAND.
inline constexpr int BN_CLICKED = 0;
inline constexpr int EN_CHANGE = 0x300;
inline constexpr int EN_UPDATE = 0x400;

// A window callback's answer that lets the toolkit go on with the message.
inline constexpr std::intptr_t CALLBACK_CONTINUE = static_cast<std::intptr_t>(0xE0E0E0E1u);
// A gadget kind's answer for a message it leaves alone.
inline constexpr std::intptr_t NOT_HANDLED = static_cast<std::intptr_t>(0xD0D0D0D1u);

// The identifier of a toolbar's buttons: their WM_COMMAND is a menu event.
inline constexpr ObjectNumber TOOLBAR_IDENTIFIER = -10000;

inline constexpr std::uintptr_t make_wparam(unsigned low, unsigned high) {
    return (std::uintptr_t(high & 0xFFFF) << 16) | (low & 0xFFFF);
}
inline constexpr unsigned low_word(std::uintptr_t value) { return unsigned(value & 0xFFFF); }
inline constexpr unsigned high_word(std::uintptr_t value) { return unsigned((value >> 16) & 0xFFFF); }

// The NMHDR layout that starts every WM_NOTIFY record (a Scintilla notification included).
struct NotifyHeader {
    NativeHandle hwndFrom;  // the control that sends the notification
    std::uintptr_t idFrom;  // its identifier (the gadget number)
    unsigned code;
};

// The MINMAXINFO layout of WM_GETMINMAXINFO.
struct MinMaxPoint {
    std::int32_t x, y;
};
struct MinMaxInfo {
    MinMaxPoint reserved, max_size, max_position, min_track_size, max_track_size;
};

// Waits for the next event: -1 without limit, 0 not at all, else up to that many milliseconds.
// The event code, or 0 when nothing arrived.
int event_wait(int timeout = -1);
// Ends the running event_wait early, or the next one when none runs, which then returns 0. The one
// call that other threads may make: a worker wakes the application's loop with it.
void event_wake();
// The published object of the last event; the same field under the names used after EVENT_MENU
// and after EVENT_GADGET.
ObjectNumber event_object();
ObjectNumber event_menu();
ObjectNumber event_gadget();
// The published window and type of the last event.
ObjectNumber event_window();
std::intptr_t event_type();

// ---------------------------------------------------------------------------------------------
// The window procedure and the platform beneath it.

// The platform services the window procedure and event_wait need (gadget kinds made outside the
// toolkit ask them too). The Qt adapter installs one; tests may install their own.
struct WindowHost {
    NativeHandle (*parent)(NativeHandle native);                       // the parent widget, null at a top-level window
    std::intptr_t (*get_prop)(NativeHandle native, const char* name);  // 0 when absent
    void (*set_prop)(NativeHandle native, const char* name, std::intptr_t value);
    void (*remove_prop)(NativeHandle native, const char* name);
    ObjectNumber (*control_identifier)(NativeHandle control);  // GWL_ID; -1 when none
    NativeHandle (*focus_in_window)(NativeHandle window);      // the focused child of that window
    void (*set_focus)(NativeHandle native);
    void (*move_focus)(bool forward);
    std::intptr_t (*default_procedure)(NativeHandle native, unsigned message, std::uintptr_t wparam,
                                       std::intptr_t lparam);
    void (*post_message)(NativeHandle native, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
    // Runs the platform's dispatcher once: waits up to timeout milliseconds (-1 without limit, 0 not at
    // all) for something to happen and dispatches what is there.
    void (*pump)(int timeout);
};
const WindowHost* window_host();

// The toolkit window procedure: messages to a toolkit window or one of its descendants.
std::intptr_t window_procedure(NativeHandle hwnd, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
// SendMessageW to a toolkit window: runs the window procedure now and returns its result. The menus use
// it for a chosen item: window_send_message(window, WM_COMMAND, item, 0).
std::intptr_t window_send_message(NativeHandle hwnd, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
