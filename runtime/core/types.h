/** @file types.h
 * Types and constants shared by every layer of the runtime. */
#pragma once

#include <cstdint>

// Pointer-wide so that a dynamic record's identifier can be its address-derived
// handle without truncation on 64-bit builds.
using ObjectNumber = std::intptr_t;

inline constexpr ObjectNumber ANY_NUMBER = -1;

// Text formats of files and memory conversions; every value other than
// TEXT_UTF8 and TEXT_UTF16 means the narrow "ANSI" code page.
inline constexpr int TEXT_ANSI = 0;
inline constexpr int TEXT_UTF8 = 2;
inline constexpr int TEXT_UTF16 = 9;
