/** @file font_internal.h
 * Inside the fonts: the record, font_load's arithmetic (points to pixels, flags to weight, style
 * and quality), the listeners told of a font's end, and what font.cpp asks of its Qt adapter
 * (font_qt.cpp). For the toolkit's own files and their tests. */
#pragma once

#include "runtime/ui/font.h"

#include <cstdint>

struct FontRecord {
    FontHandle handle;  // null = free
};

// What CreateFontW is asked for, worked out from the arguments of font_load.
struct FontRequest {
    int height;  // negative: the character height in pixels
    int weight;  // 700 bold, else 400
    bool italic;
    bool underline;
    bool strike_out;
    int quality;  // 2 (proof) for FONT_HIGH_QUALITY, else 0 (default)
};
// MulDiv: a * b / c rounded half away from zero, in 64 bits; -1 when c is 0.
int font_mul_div(int a, int b, int c);
FontRequest font_request(int points, std::uint32_t flags, int dots_per_inch);

// Whoever keeps font handles (the gadgets' default font) hears of a font's end before its handle
// is deleted, and lets go of it. Listeners stay for the program's life; adding one twice adds it once.
using FontFreeListener = void (*)(FontHandle font);
int font_listen_for_free(FontFreeListener listener);

// Start-up: the fonts registry. Shutdown: frees every font.
void font_start();
void font_end();

// The Qt side (font_qt.cpp): a font for the request on the display, and its release. The
// resolution is that of the primary screen; 0 when there is none.
int font_display_dpi();
FontHandle font_native_create(const char16_t* name, const FontRequest& request);
void font_native_delete(FontHandle font);
