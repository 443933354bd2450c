/** @file window.cpp
 * The toolkit windows without Qt: the registry, what opening and closing a window does with its
 * number and record, flags to styles, outer size and placement. The widgets are made and
 * destroyed by window_qt.cpp. */
#include "runtime/ui/window.h"

#include <algorithm>

#include "runtime/core/registry.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/window_internal.h"

namespace {

ObjectRegistry* the_registry = nullptr;

// Lets go of everything the window's number holds (gadget list, shortcuts, brush) and of the
// number itself.
void release_number(ObjectNumber number, WindowRecord* record) {
    gadget_list_forget(record->handle);
    shortcut_free(record);
    record->background_brush = nullptr;
    registry_release(the_registry, number);
}

}  // namespace

ObjectRegistry* window_registry() { return the_registry; }

WindowRecord* window_lookup(ObjectNumber number) {
    return the_registry ? static_cast<WindowRecord*>(registry_lookup(the_registry, number)) : nullptr;
}

void window_start() {
    if (!the_registry)
        the_registry = registry_create(sizeof(WindowRecord), 16, [](ObjectNumber n) { window_close(n); });
    event_start();
    window_native_start();
}

void window_end() {
    if (the_registry) registry_free_all(the_registry);
    registry_destroy(the_registry);
    the_registry = nullptr;
    event_end();
    window_native_end();
}

// ---------------------------------------------------------------------------------------------

ObjectNumber window_open(ObjectNumber number, int x, int y, int width, int height, const char16_t* title,
                         std::uint32_t flags, NativeHandle parent) {
    if (!the_registry || !window_native_ready()) return 0;
    ObjectNumber id = number;
    auto* record = static_cast<WindowRecord*>(registry_obtain(the_registry, number, &id));
    if (!record) return 0;

    const WindowStyle style = window_style_from_flags(flags);
    const std::uint32_t created_style = style.style & ~WINDOW_TOOLKIT_LOW_BITS;
    const WindowSurroundings around = window_native_surroundings(parent);
    int outer_width = 0, outer_height = 0;
    window_outer_size(created_style, width, height, around.frame, &outer_width, &outer_height);
    const WindowPlacement place =
        window_place(x, y, outer_width, outer_height, flags, around.screen.width(), around.screen.height(),
                     around.has_reference ? &around.reference : nullptr);
    WindowCreation creation{};
    creation.id = id;
    creation.style = WindowStyle{created_style, style.ex_style};
    // A window limited to the screen loses client area, as the outer size shrinks.
    creation.client_width = std::max(0, width - (outer_width - place.width));
    creation.client_height = std::max(0, height - (outer_height - place.height));
    // An ignored coordinate left as passed (parent-centred with nothing to centre on) is the
    // system's choice too, never a window placed 65535 pixels off the screen.
    creation.system_place = place.x == CW_USEDEFAULT || place.x == COORD_IGNORE || place.y == COORD_IGNORE;
    creation.x = place.x + around.screen.left;
    creation.y = place.y + around.screen.top;
    creation.title = title;
    NativeHandle window = window_native_create(creation, parent);
    const WindowHost* host = window_host();
    host->set_prop(window, WINDOW_ID_PROPERTY, id + 1);
    if (style.ex_style & WS_EX_TOOLWINDOW) host->set_prop(window, WINDOW_TOOL_PROPERTY, 1);

    *record = WindowRecord{};
    record->handle = window;
    record->min_or_max = (created_style & WINDOW_MIN_MAX_STATES) ? 1 : 0;
    shortcut_install_defaults(record);
    record->mdi_client = nullptr;

    window_native_show(window, flags);
    if (!(flags & WINDOW_NO_GADGETS)) gadget_list_use(window);
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(window);
}

int window_close(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    NativeHandle window = record->handle;
    // Activation returns to the owner before the window goes.
    if (!record->mdi_client) window_native_activate_owner(window);
    window_host()->remove_prop(window, WINDOW_ID_PROPERTY);
    window_procedure(window, WM_NCDESTROY, 0, 0);
    // The number goes before the widget so that nothing its destruction raises finds it, and what
    // was queued for it goes after.
    release_number(number, record);
    window_native_destroy(window);
    event_queue_remove_window(number);
    return 1;
}

void window_destroyed(ObjectNumber number, NativeHandle window) {
    WindowRecord* record = window_lookup(number);
    if (!record || record->handle != window) return;
    release_number(number, record);
    event_queue_remove_window(number);
}

NativeHandle window_handle(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    return record ? record->handle : nullptr;
}

int window_disable(ObjectNumber number, int state) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    window_native_set_enabled(record->handle, state == 0);
    return 1;
}

int window_set_topmost(ObjectNumber number, int state) {
    WindowRecord* record = window_lookup(number);
    if (!record || record->mdi_client) return 0;
    window_native_set_topmost(record->handle, state != 0);
    return 1;
}

int window_activate(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    window_native_activate(record->handle);
    return 1;
}

ObjectNumber window_number_of(NativeHandle native) { return window_find_toolkit(native, nullptr); }

int window_width(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    int width = 0, height = 0;
    if (record) window_native_client_size(record->handle, &width, &height);
    return width;
}

int window_height(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    int width = 0, height = 0;
    if (record) window_native_client_size(record->handle, &width, &height);
    return height;
}

int window_set_bounds(ObjectNumber number, int min_width, int min_height, int max_width, int max_height) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    auto bound = [](int value) { return std::uint16_t(std::clamp(value, 0, 0xFFFF)); };
    record->min_width = bound(min_width);
    record->min_height = bound(min_height);
    record->max_width = bound(max_width);
    record->max_height = bound(max_height);
    window_native_set_bounds(record->handle, record->min_width, record->min_height, record->max_width,
                             record->max_height);
    return 1;
}

int window_fit_screen(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    if (!record || window_native_state(record->handle) != WINDOW_STATE_NORMAL) return 0;
    int width = 0, height = 0, x = 0, y = 0;
    window_native_client_size(record->handle, &width, &height);
    if (!window_fit_area(window_native_frame(record->handle), window_native_work_area(record->handle),
                         record->min_width, record->min_height, &width, &height, &x, &y))
        return 0;
    window_native_place(record->handle, x, y, width, height);
    return 1;
}

int window_get_state(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    return record ? window_native_state(record->handle) : WINDOW_STATE_NORMAL;
}

int window_set_callback(ObjectNumber number, WindowMessageHook callback) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    record->window_callback = callback;
    return 1;
}

// ---------------------------------------------------------------------------------------------

WindowStyle window_style_from_flags(std::uint32_t flags) {
    WindowStyle result{flags & ~WINDOW_NO_GADGETS, 0};
    // Only the toolkit's own bits: a plain window with a title bar.
    if ((flags & WINDOW_LOOK_FLAGS) == 0) result.style |= WS_CAPTION;
    result.style &= ~WINDOW_INVISIBLE;
    if (flags & WINDOW_TOOL) {
        result.ex_style = WS_EX_TOOLWINDOW;
        result.style &= ~WINDOW_MIN_MAX_BITS;
        result.style |= WS_CAPTION;
    }
    return result;
}

void window_outer_size(std::uint32_t style, int client_width, int client_height, const WindowFrameMetrics& frame,
                       int* outer_width, int* outer_height) {
    int border = (style & (WS_BORDER | WS_THICKFRAME)) ? frame.border : 0;
    int caption = (style & WS_CAPTION) == WS_CAPTION ? frame.caption_height : 0;
    *outer_width = client_width + 2 * border;
    *outer_height = client_height + 2 * border + caption;
}

WindowPlacement window_place(int x, int y, int outer_width, int outer_height, std::uint32_t flags, int screen_width,
                             int screen_height, const WindowRect* reference) {
    WindowPlacement p{x, y, outer_width, outer_height};
    const bool centred = flags & (WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED);
    if ((x == COORD_IGNORE || y == COORD_IGNORE) && !centred) {
        p.x = CW_USEDEFAULT;
        p.y = CW_USEDEFAULT;
    }
    if (flags & WINDOW_SCREEN_CENTERED) {
        if (p.width > screen_width) p.width = screen_width;
        if (p.height > screen_height) p.height = screen_height;
        p.x = (screen_width - p.width) / 2;
        p.y = (screen_height - p.height) / 2;
    } else if ((flags & WINDOW_PARENT_CENTERED) && reference) {
        p.x = reference->left + (reference->width() - p.width) / 2;
        p.y = reference->top + (reference->height() - p.height) / 2;
        if (p.x < 0) p.x = 0;
        if (p.y < 0) p.y = 0;
    }
    return p;
}

bool window_fit_area(const WindowRect& frame, const WindowRect& area, int min_client_width, int min_client_height,
                     int* client_width, int* client_height, int* x, int* y) {
    // What the frame and the menu bar add around the client area stays as it is.
    const int extra_width = frame.width() - *client_width;
    const int extra_height = frame.height() - *client_height;
    int width = *client_width, height = *client_height;
    if (frame.width() > area.width()) width = std::max(min_client_width, area.width() - extra_width);
    if (frame.height() > area.height()) height = std::max(min_client_height, area.height() - extra_height);
    const int outer_width = width + extra_width, outer_height = height + extra_height;
    const bool shrunk = width != *client_width || height != *client_height;
    int left = shrunk ? area.left + (area.width() - outer_width) / 2 : frame.left;
    int top = shrunk ? area.top + (area.height() - outer_height) / 2 : frame.top;
    // Inside the area; where even the minimum is too large, the title bar and the menu stay on it.
    left = std::max(area.left, std::min(left, area.right - outer_width));
    top = std::max(area.top, std::min(top, area.bottom - outer_height));
    if (!shrunk && left == frame.left && top == frame.top) return false;
    *client_width = width;
    *client_height = height;
    *x = left;
    *y = top;
    return true;
}
