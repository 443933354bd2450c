/** @file font.h
 * Numbered fonts: font_load from a face name, a size in points and style flags; the native
 * handle is the font object that gadgets and the code editor are given. font_load's arithmetic
 * and the Qt side are in font_internal.h. */
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

// Dynamic number for ANY_NUMBER, else the native handle; 0 when no display can be asked for its
// resolution or the font cannot be made. name may be null (the default face).
ObjectNumber font_load(ObjectNumber number, const char16_t* name, int points, std::uint32_t flags);
FontHandle font_handle(ObjectNumber number);
int font_free(ObjectNumber number);
