/** @file font.cpp
 * The fonts registry and font_load's arithmetic: points to a character height in pixels at the
 * display's resolution, flags to weight, style and quality. */
#include "runtime/ui/font_internal.h"

#include "runtime/core/registry.h"
#include "runtime/ui/free_listeners.h"

#include <cstdlib>

namespace {

ObjectRegistry* fonts = nullptr;
FreeListeners<FontHandle> free_listeners;

void free_callback(ObjectNumber number) { font_free(number); }

}  // namespace

int font_mul_div(int a, int b, int c) {
    if (c == 0) return -1;
    const long long product = static_cast<long long>(a) * b;
    long long quotient = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    if ((product < 0) != (c < 0)) quotient = -quotient;
    return static_cast<int>(quotient);
}

FontRequest font_request(int points, std::uint32_t flags, int dots_per_inch) {
    FontRequest request{};
    request.height = -font_mul_div(points, dots_per_inch, 72);
    request.weight = (flags & FONT_BOLD) ? 700 : 400;
    request.italic = (flags & FONT_ITALIC) != 0;
    request.underline = (flags & FONT_UNDERLINE) != 0;
    request.strike_out = (flags & FONT_STRIKEOUT) != 0;
    request.quality = (flags & FONT_HIGH_QUALITY) ? 2 : 0;
    return request;
}

ObjectNumber font_load(ObjectNumber number, const char16_t* name, int points, std::uint32_t flags) {
    if (!fonts) return 0;
    ObjectNumber id = 0;
    auto* record = static_cast<FontRecord*>(registry_obtain(fonts, number, &id));
    if (!record) return 0;
    const int dpi = font_display_dpi();
    FontHandle font = dpi > 0 ? font_native_create(name, font_request(points, flags, dpi)) : nullptr;
    if (!font) {
        if (number == ANY_NUMBER) registry_release(fonts, id);
        return 0;
    }
    record->handle = font;
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(font);
}

FontHandle font_handle(ObjectNumber number) {
    if (!fonts) return nullptr;
    auto* record = static_cast<FontRecord*>(registry_lookup(fonts, number));
    return record ? record->handle : nullptr;
}

int font_free(ObjectNumber number) {
    if (!fonts) return 0;
    auto* record = static_cast<FontRecord*>(registry_lookup(fonts, number));
    if (!record) return 0;
    free_listeners.tell(record->handle);
    font_native_delete(record->handle);
    record->handle = nullptr;
    registry_release(fonts, number);
    return 1;
}

int font_listen_for_free(FontFreeListener listener) { return free_listeners.add(listener); }

void font_start() {
    if (!fonts) fonts = registry_create(sizeof(FontRecord), 16, free_callback);
}

void font_end() {
    if (!fonts) return;
    registry_free_all(fonts);
    registry_destroy(fonts);
    fonts = nullptr;
}
