/** @file font.h
 * Numbered fonts: font_load from a face name, a size in points and style flags; the native
 * handle is the font object that gadgets and the code editor are given. */
#pragma once

#include "runtime/core/types.h"

#include <cstdint>

// Flags of font_load.
inline constexpr std::uint32_t FONT_UNDERLINE = 0x4;
inline constexpr std::uint32_t FONT_STRIKEOUT = 0x8;
inline constexpr std::uint32_t FONT_HIGH_QUALITY = 0x10;
inline constexpr std::uint32_t FONT_BOLD = 0x100;
inline constexpr std::uint32_t FONT_ITALIC = 0x200;

// A font's native handle: a pointer to its QFont (see font_qt.h); null = none.
using FontHandle = void*;

struct FontRecord {
    FontHandle handle;   // null = free
};

// What CreateFontW is asked for, worked out from the arguments of font_load.
struct FontRequest {
    int height;          // negative: the character height in pixels
    int weight;          // 700 bold, else 400
    bool italic;
    bool underline;
    bool strike_out;
    int quality;         // 2 (proof) for FONT_HIGH_QUALITY, else 0 (default)
};
// MulDiv: a * b / c rounded half away from zero, in 64 bits; -1 when c is 0.
int font_mul_div(int a, int b, int c);
FontRequest font_request(int points, std::uint32_t flags, int dots_per_inch);

// Dynamic number for ANY_NUMBER, else the native handle; 0 when no display can be asked for its
// resolution or the font cannot be made. name may be null (the default face).
ObjectNumber font_load(ObjectNumber number, const char16_t* name, int points, std::uint32_t flags);
FontHandle font_handle(ObjectNumber number);
int font_free(ObjectNumber number);
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
