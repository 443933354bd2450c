/** @file window.cpp
 * The pure part of the toolkit windows: flags to styles, outer size and placement, and the
 * windows registry. Opening and closing the Qt windows is in window_qt.cpp. */
#include "runtime/ui/window_internal.h"

#include "runtime/core/registry.h"

namespace {
ObjectRegistry* the_registry = nullptr;
}

ObjectRegistry* window_registry() { return the_registry; }

// Registry set-up is shared with window_qt.cpp's start-up.
void window_registry_create() {
    if (!the_registry) the_registry = registry_create(sizeof(WindowRecord), 16, [](ObjectNumber n) { window_close(n); });
}

void window_registry_destroy() {
    registry_destroy(the_registry);
    the_registry = nullptr;
}

WindowRecord* window_lookup(ObjectNumber number) {
    return the_registry ? static_cast<WindowRecord*>(registry_lookup(the_registry, number)) : nullptr;
}

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
