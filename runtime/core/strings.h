/** @file strings.h
 * Runtime strings (NUL-terminated UTF-16, null = empty): the temporary string area in which
 * every intermediate string is built, string variables, and the string operations. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

// ---------------------------------------------------------------------------------------------
// Temporary string area. Positions are byte offsets from the area's base; the base may move when
// the area grows, so callers keep offsets, never pointers, across a call that may reserve.
//
// Protocol: remember p0 = temp_position(); build pieces one after another at the current
// position; the finished string is at temp_address(p0); consume it; temp_reset(p0). TempScope
// (below) does the remembering and the reset.
// A string operation takes the position its result goes to (normally the current position),
// writes its result there with a terminator behind it, leaves the current position on that
// terminator and returns the result's address. Its text arguments may lie anywhere in the area,
// including at the position it writes to.

// Every string block holds this many bytes more than it needs: a variable's block beyond its text
// (the terminator and spare room), the area's block beyond its usable capacity.
inline constexpr std::int32_t STRING_BLOCK_SPARE_BYTES = 10;

struct TempStringArea {
    char16_t* base;
    std::int32_t position;  // bytes; a terminator always stands here
    std::int32_t capacity;  // usable bytes (the block has STRING_BLOCK_SPARE_BYTES more after the first growth)
};

// The one area of the process (its base is null before runtime_core_start()).
TempStringArea& temp_area();
// Creates the area in the string heap (start state: position 0, capacity 16); called by
// runtime_core_start().
void temp_area_start();
// Forgets the area (its block goes with the string heap) and releases the text converters;
// called by runtime_core_end().
void temp_area_end();
// Releases the converters of the text formats (text_convert.cpp); temp_area_end() calls it.
void text_convert_end();

std::int32_t temp_position();
// Ensures room for n units at `at`, returns base + at and sets position = at + 2n. A reservation
// the area cannot take ends the program; code that reserves for outside input asks first.
char16_t* temp_reserve(std::int32_t n, std::int32_t at);
// temp_reserve that refuses instead: null, with the area unchanged, when n units and their
// terminator would pass the area's size limit or the memory for them is refused.
char16_t* temp_try_reserve(std::int64_t n, std::int32_t at);
// How many units a reservation at `at` may still take within the size limit (memory permitting).
std::int32_t temp_room(std::int32_t at);
// The area's size limit in bytes: just under 2 GiB, since positions are 32-bit. Tests lower it
// to reach the limit without gigabytes of text; 0 (or any value out of range) and
// temp_area_start() restore the default.
std::int32_t temp_limit();
void temp_set_limit(std::int32_t bytes);
// Appends the text and its terminator at the current position; returns the terminator's address.
char16_t* temp_append(const char16_t* text);
// Returns the unfilled rest of a reservation: position -= 2n.
void temp_give_back(std::int32_t n);
// position = at, with a terminator written there.
void temp_reset(std::int32_t at);
char16_t* temp_address(std::int32_t offset);
// 0 when the pointer lies outside [base, base + position]; else its byte offset + 1.
std::int32_t temp_locate(const void* pointer);

// ---------------------------------------------------------------------------------------------
// String variables: null (the empty string) or a block of the string heap owned by the variable.

using StringVar = char16_t*;

// Allocates and copies; a null text leaves the variable untouched.
void string_var_init(StringVar* var, const char16_t* text);
// Null text: frees the block, sets null, returns 2. Otherwise returns units * 2 + 2. The text may
// lie inside the variable's own block.
std::int32_t string_var_assign(StringVar* var, const char16_t* text);
// Takes the area's content from p0 to the current position into the variable; position = p0.
void string_var_take_temp(StringVar* var, std::int32_t p0);
// Frees a non-null block (the caller drops the pointer).
void string_var_free(char16_t* block);
// 1 when both texts hold the same units (null = empty), else 0.
int string_equal(const char16_t* a, const char16_t* b);

// The protocol above as a scope: it remembers temp_position() and resets the area there however
// the scope is left, early returns included. keep() leaves what was built for the caller instead;
// take() moves it into a string variable.
class TempScope {
public:
    TempScope() : start_(temp_position()) {}
    ~TempScope() {
        if (!kept_) temp_reset(start_);
    }
    // One scope, one reset.
    TempScope(const TempScope&) = delete;
    TempScope& operator=(const TempScope&) = delete;

    // The remembered position: where the scope's first string goes.
    std::int32_t start() const { return start_; }
    // The string built at start().
    char16_t* text() const { return temp_address(start_); }
    // The area stays as it is when the scope ends.
    void keep() { kept_ = true; }
    // string_var_take_temp from start(): the variable gets what was built, the area is back at start().
    void take(StringVar* var) const { string_var_take_temp(var, start_); }

private:
    std::int32_t start_;
    bool kept_ = false;
};

// ---------------------------------------------------------------------------------------------
// String operations. Lengths count UTF-16 units; positions in texts are 1-based; `at` is the byte
// offset in the temporary area where the result goes.

std::int32_t string_len(const char16_t* text);
std::int32_t string_first_code(const char16_t* text);
char16_t* string_from_code(std::int32_t code, std::int32_t at);
// Each unit mapped by its simple lower-case mapping; surrogates unchanged.
char16_t* string_lower(const char16_t* text, std::int32_t at);
char16_t* string_left(const char16_t* text, std::int32_t n, std::int32_t at);
char16_t* string_mid(const char16_t* text, std::int32_t start, std::int32_t n, std::int32_t at);
std::int32_t string_find(const char16_t* text, const char16_t* search, std::int32_t start);
std::int32_t string_count(const char16_t* text, const char16_t* search);
char16_t* string_field(const char16_t* text, std::int32_t index, const char16_t* separator, std::int32_t at);
// Null chars trims spaces; only the first unit of chars counts.
char16_t* string_trim(const char16_t* text, const char16_t* chars, std::int32_t at);

// Flags of string_replace.
inline constexpr int REPLACE_NO_CASE = 1;   // ASCII letters compare without case
inline constexpr int REPLACE_IN_PLACE = 2;  // overwrite the matches inside the text itself

// Normal mode: the result in the area. In-place mode: writes the replacement over each match of
// the (writable) text, never past the match, and returns the text; nothing goes to the area.
char16_t* string_replace(const char16_t* text, const char16_t* search, const char16_t* replacement, int flags,
                         std::int32_t start, std::int32_t at);
char16_t* string_from_int(std::int32_t value, std::int32_t at);
char16_t* string_from_int64(std::int64_t value, std::int32_t at);

// Conversions in a text format (TEXT_UTF16, TEXT_UTF8, anything else = the narrow "ANSI" code
// page of the locale). Invalid input decodes to U+FFFD; unpaired surrogates encode as U+FFFD
// in UTF-8 and characters the narrow code page lacks as '?'.
std::int32_t string_byte_length(const char16_t* text, int format);
// length -1: up to the terminator (a NUL unit for UTF-16, a NUL byte otherwise); below -1: 0.
char16_t* string_from_memory(const void* address, std::int32_t length, int format, std::int32_t at);
// Encodes at most max_units units (max_units < 0: all) with a terminator; returns the bytes
// written without the terminator. The caller sizes the buffer (string_byte_length + terminator).
std::int32_t string_to_memory(void* address, const char16_t* text, std::int32_t max_units, int format);
