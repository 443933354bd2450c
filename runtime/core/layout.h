/** @file layout.h
 * Structure layout tables: where a structure keeps its strings and containers, so that
 * elements of lists, maps and arrays can be initialised, cleared and deep-copied generically. */
#pragma once

#include <cstdint>

// One entry of a layout table. Entries are pointer-wide because some operands are the
// addresses of nested tables; a table ends with LAYOUT_END.
using LayoutEntry = std::intptr_t;

// First word of an entry; 0 and up is the byte offset of a string field (one word).
inline constexpr LayoutEntry LAYOUT_END = -1;
inline constexpr LayoutEntry LAYOUT_FIXED_ARRAY = -2;  // count, offset, stride, nested table
inline constexpr LayoutEntry LAYOUT_STRUCTURE = -3;    // offset, size, nested table
inline constexpr LayoutEntry LAYOUT_ARRAY = -4;        // offset, element size, count, type, element table
inline constexpr LayoutEntry LAYOUT_LIST = -5;         // offset, element size, element table, type
inline constexpr LayoutEntry LAYOUT_MAP = -6;          // offset, element size, element table, bucket count

// Element type codes of lists, arrays and sort keys.
inline constexpr int TYPE_BYTE = 1;        // signed 8-bit
inline constexpr int TYPE_WORD = 3;        // signed 16-bit
inline constexpr int TYPE_LONG = 5;        // signed 32-bit
inline constexpr int TYPE_STRING = 8;      // StringVar: pointer to UTF-16 text or null
inline constexpr int TYPE_FLOAT = 9;       // 32-bit float
inline constexpr int TYPE_CHARACTER = 11;  // unsigned 16-bit (a UTF-16 unit)
inline constexpr int TYPE_DOUBLE = 12;     // 64-bit float
inline constexpr int TYPE_QUAD = 13;       // signed 64-bit
inline constexpr int TYPE_INTEGER = 21;    // pointer-sized signed integer (std::intptr_t)
inline constexpr int TYPE_ASCII = 24;      // unsigned 8-bit
inline constexpr int TYPE_UNICODE = 25;    // unsigned 16-bit

// A nested table as an operand of an entry.
inline LayoutEntry layout_ref(const LayoutEntry* table) { return reinterpret_cast<LayoutEntry>(table); }

// True when the table (directly or inside nested structures and fixed arrays) holds a
// dynamic array, list or map field, which must be created before the structure is used.
// A null table needs nothing.
bool layout_needs_init(const LayoutEntry* table);

// Creates the containers of every array, list and map field; strings stay null.
void layout_initialise(void* address, const LayoutEntry* table);

// Frees every string and container field. The fields are not reset: callers zero or free
// the structure right afterwards.
void layout_clear(void* address, const LayoutEntry* table);

// Clears through the table (when there is one), then zeroes size bytes (size <= 0 zeroes nothing).
void layout_reset(void* address, std::intptr_t size, const LayoutEntry* table);

// Deep copy of one structure over another one of the same layout: plain bytes unchanged,
// strings duplicated, containers rebuilt with copies of the source's elements. A null
// table copies size bytes.
void layout_copy(void* destination, std::intptr_t size, const LayoutEntry* table, const void* source);
