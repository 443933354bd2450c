/** @file strings.cpp
 * The temporary string area, string variables and the string operations that build their
 * results in the area. */
#include "runtime/core/strings.h"

#include <unicode/uchar.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/core/memory.h"

namespace {

TempStringArea g_area{};
const char16_t EMPTY_TEXT[1] = {0};

// The block has spare bytes beyond the capacity, and every offset must stay a signed 32-bit value.
constexpr std::int32_t DEFAULT_LIMIT = INT32_MAX - STRING_BLOCK_SPARE_BYTES;
std::int32_t g_limit = DEFAULT_LIMIT;

[[noreturn]] void out_of_string_memory() {
    std::fputs("string heap exhausted\n", stderr);
    std::abort();
}

char* area_bytes() { return reinterpret_cast<char*>(g_area.base); }

std::int32_t units_of(const char16_t* text) {
    return text ? static_cast<std::int32_t>(std::char_traits<char16_t>::length(text)) : 0;
}

// An argument that may lie in the area: its offset is kept, so that its address can be
// re-derived after a reservation has moved the area.
class Argument {
public:
    explicit Argument(const char16_t* text) : text_(text ? text : EMPTY_TEXT), located_(temp_locate(text)) {}
    const char16_t* get() const {
        return located_ ? reinterpret_cast<const char16_t*>(area_bytes() + located_ - 1) : text_;
    }

private:
    const char16_t* text_;
    std::int32_t located_;
};

// Copies units [from, from + n) of an argument to `at` as the whole result. The copy goes
// forward with memmove, so a source overlapping the destination is safe.
char16_t* emit_slice(const Argument& source, std::int32_t from, std::int32_t n, std::int32_t at) {
    char16_t* target = temp_reserve(n, at);
    std::memmove(target, source.get() + from, static_cast<std::size_t>(n) * 2);
    target[n] = 0;
    return target;
}

char16_t fold_ascii(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit; }

bool units_match(const char16_t* a, const char16_t* b, std::int32_t n, bool ignore_case) {
    if (!ignore_case) return std::memcmp(a, b, static_cast<std::size_t>(n) * 2) == 0;
    for (std::int32_t i = 0; i < n; ++i)
        if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Temporary area

TempStringArea& temp_area() { return g_area; }

void temp_area_start() {
    g_limit = DEFAULT_LIMIT;
    g_area.base = static_cast<char16_t*>(heap_alloc(string_heap(), 16));
    if (!g_area.base) out_of_string_memory();
    g_area.position = 0;
    g_area.capacity = 16;
    g_area.base[0] = 0;
}

void temp_area_end() {
    g_area = TempStringArea{};
    text_convert_end();
}

std::int32_t temp_position() { return g_area.position; }

char16_t* temp_reserve(std::int32_t n, std::int32_t at) {
    char16_t* target = temp_try_reserve(n, at);
    if (!target) out_of_string_memory();
    return target;
}

char16_t* temp_try_reserve(std::int64_t n, std::int32_t at) {
    if (n < 0) n = 0;
    if (n > temp_room(at)) return nullptr;
    // Measured from the larger of the current position and `at`, so a caller that writes
    // beyond the current position still gets room.
    const std::int64_t from = at > g_area.position ? at : g_area.position;
    const std::int64_t end = from + n * 2;
    if (end >= g_area.capacity - 4) {
        if (end >= g_limit - 4) return nullptr;  // only when the limit was lowered below the position
        const std::int64_t capacity = end + 16384 < g_limit ? end + 16384 : g_limit;
        void* block =
            heap_realloc(string_heap(), g_area.base, static_cast<std::size_t>(capacity + STRING_BLOCK_SPARE_BYTES));
        if (!block) return nullptr;
        g_area.base = static_cast<char16_t*>(block);
        g_area.capacity = static_cast<std::int32_t>(capacity);
    }
    g_area.position = at + static_cast<std::int32_t>(n) * 2;
    return reinterpret_cast<char16_t*>(area_bytes() + at);
}

std::int32_t temp_room(std::int32_t at) {
    // The end of a reservation stays below limit - 4, as below capacity - 4 without a limit.
    const std::int64_t from = at > g_area.position ? at : g_area.position;
    const std::int64_t room = (std::int64_t{g_limit} - 5 - from) / 2;
    return room > 0 ? static_cast<std::int32_t>(room) : 0;
}

std::int32_t temp_limit() { return g_limit; }

void temp_set_limit(std::int32_t bytes) { g_limit = bytes > 32 && bytes <= DEFAULT_LIMIT ? bytes : DEFAULT_LIMIT; }

char16_t* temp_append(const char16_t* text) {
    if (!text) {
        char16_t* end = temp_address(g_area.position);
        *end = 0;
        return end;
    }
    Argument piece(text);
    const std::int32_t n = units_of(text);
    char16_t* target = temp_reserve(n, g_area.position);
    std::memmove(target, piece.get(), static_cast<std::size_t>(n) * 2);
    target[n] = 0;
    return target + n;
}

void temp_give_back(std::int32_t n) { g_area.position -= n * 2; }

void temp_reset(std::int32_t at) {
    g_area.position = at;
    *temp_address(at) = 0;
}

char16_t* temp_address(std::int32_t offset) { return reinterpret_cast<char16_t*>(area_bytes() + offset); }

std::int32_t temp_locate(const void* pointer) {
    if (!g_area.base || !pointer) return 0;
    const auto address = reinterpret_cast<std::uintptr_t>(pointer);
    const auto base = reinterpret_cast<std::uintptr_t>(g_area.base);
    if (address < base || address > base + static_cast<std::uintptr_t>(g_area.position)) return 0;
    return static_cast<std::int32_t>(address - base) + 1;
}

// ---------------------------------------------------------------------------------------------
// String variables

void string_var_init(StringVar* var, const char16_t* text) {
    if (!text) return;
    const std::int32_t n = units_of(text);
    auto* block =
        static_cast<char16_t*>(heap_alloc(string_heap(), static_cast<std::size_t>(n) * 2 + STRING_BLOCK_SPARE_BYTES));
    if (!block) out_of_string_memory();
    std::memcpy(block, text, static_cast<std::size_t>(n) * 2 + 2);
    *var = block;
}

std::int32_t string_var_assign(StringVar* var, const char16_t* text) {
    if (!text) {
        string_var_free(*var);
        *var = nullptr;
        return 2;
    }
    const std::int32_t n = units_of(text);
    char16_t* block = *var;
    // A text taken from the variable's own block (a = mid(a, ...)) moves to the block's start
    // first, since shrinking the block could cut it off.
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    if (block && address >= start && address <= start + static_cast<std::uintptr_t>(units_of(block)) * 2) {
        std::memmove(block, text, static_cast<std::size_t>(n) * 2);
        block[n] = 0;
        text = nullptr;
    }
    block = static_cast<char16_t*>(
        heap_realloc(string_heap(), block, static_cast<std::size_t>(n) * 2 + STRING_BLOCK_SPARE_BYTES));
    if (!block) out_of_string_memory();
    if (text) std::memcpy(block, text, static_cast<std::size_t>(n) * 2);
    block[n] = 0;
    *var = block;
    return n * 2 + 2;
}

void string_var_take_temp(StringVar* var, std::int32_t p0) {
    const std::int32_t bytes = g_area.position - p0;
    const std::int32_t length = bytes > 0 ? bytes : 0;
    auto* block = static_cast<char16_t*>(
        heap_realloc(string_heap(), *var, static_cast<std::size_t>(length) + STRING_BLOCK_SPARE_BYTES));
    if (!block) out_of_string_memory();
    std::memcpy(block, area_bytes() + p0, static_cast<std::size_t>(length));
    block[length / 2] = 0;
    *var = block;
    temp_reset(p0);
}

void string_var_free(char16_t* block) {
    if (block) heap_free(string_heap(), block);
}

int string_equal(const char16_t* a, const char16_t* b) {
    if (!a) a = EMPTY_TEXT;
    if (!b) b = EMPTY_TEXT;
    return std::u16string_view(a) == std::u16string_view(b) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// String operations

std::int32_t string_len(const char16_t* text) { return units_of(text); }

std::int32_t string_first_code(const char16_t* text) { return text ? text[0] : 0; }

char16_t* string_from_code(std::int32_t code, std::int32_t at) {
    char16_t* target = temp_reserve(1, at);
    target[0] = static_cast<char16_t>(code);
    target[1] = 0;
    return target;
}

char16_t* string_lower(const char16_t* text, std::int32_t at) {
    Argument source(text);
    const std::int32_t n = units_of(text);
    char16_t* target = emit_slice(source, 0, n, at);
    for (std::int32_t i = 0; i < n; ++i) {
        const char16_t unit = target[i];
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        const UChar32 lower = u_tolower(unit);
        if (lower <= 0xFFFF) target[i] = static_cast<char16_t>(lower);
    }
    return target;
}

char16_t* string_left(const char16_t* text, std::int32_t n, std::int32_t at) {
    Argument source(text);
    const std::int32_t length = units_of(text);
    if (n < 0) n = 0;
    if (n > length) n = length;
    return emit_slice(source, 0, n, at);
}

char16_t* string_mid(const char16_t* text, std::int32_t start, std::int32_t n, std::int32_t at) {
    Argument source(text);
    const std::int32_t length = units_of(text);
    if (start < 1) start = 1;
    if (n < 0) n = 0;
    // Reserving only what can be filled: a huge n must not grow the area for nothing.
    std::int32_t count = 0;
    if (start <= length) count = n < length - start + 1 ? n : length - start + 1;
    return emit_slice(source, count ? start - 1 : 0, count, at);
}

std::int32_t string_find(const char16_t* text, const char16_t* search, std::int32_t start) {
    if (!text || !search || !*text || !*search) return 0;
    if (start < 1) start = 1;
    const std::u16string_view haystack(text);
    if (static_cast<std::size_t>(start) > haystack.size()) return 0;
    const std::size_t found = haystack.find(std::u16string_view(search), static_cast<std::size_t>(start) - 1);
    return found == std::u16string_view::npos ? 0 : static_cast<std::int32_t>(found) + 1;
}

std::int32_t string_count(const char16_t* text, const char16_t* search) {
    if (!text || !search || !*search) return 0;
    const std::u16string_view haystack(text);
    const std::u16string_view needle(search);
    std::int32_t count = 0;
    for (std::size_t from = haystack.find(needle); from != std::u16string_view::npos;
         from = haystack.find(needle, from + needle.size()))
        ++count;
    return count;
}

char16_t* string_field(const char16_t* text, std::int32_t index, const char16_t* separator, std::int32_t at) {
    Argument source(text);
    const std::int32_t length = units_of(text);
    const char16_t* units = source.get();
    if (index < 1) return emit_slice(source, 0, 0, at);
    if (!separator || !*separator) return emit_slice(source, 0, index == 1 ? length : 0, at);
    const char16_t mark = separator[0];
    std::int32_t field_start = 0;
    for (std::int32_t field = 1; field < index; ++field) {
        while (field_start < length && units[field_start] != mark) ++field_start;
        if (field_start >= length) return emit_slice(source, 0, 0, at);  // fewer fields than index
        ++field_start;
    }
    std::int32_t field_end = field_start;
    while (field_end < length && units[field_end] != mark) ++field_end;
    return emit_slice(source, field_start, field_end - field_start, at);
}

char16_t* string_trim(const char16_t* text, const char16_t* chars, std::int32_t at) {
    Argument source(text);
    const std::int32_t length = units_of(text);
    if (chars && !*chars) return emit_slice(source, 0, length, at);
    const char16_t unit = chars ? chars[0] : u' ';
    const char16_t* units = source.get();
    std::int32_t first = 0;
    std::int32_t last = length;
    while (first < last && units[first] == unit) ++first;
    while (last > first && units[last - 1] == unit) --last;
    return emit_slice(source, first, last - first, at);
}

char16_t* string_replace(const char16_t* text, const char16_t* search, const char16_t* replacement, int flags,
                         std::int32_t start, std::int32_t at) {
    const bool ignore_case = flags & REPLACE_NO_CASE;
    if (start < 1) start = 1;
    if (flags & REPLACE_IN_PLACE) {
        char16_t* writable = const_cast<char16_t*>(text);
        const std::int32_t length = units_of(text);
        const std::int32_t search_length = units_of(search);
        // Never writes past the match, so a longer replacement cannot run over the text's end.
        const std::int32_t replace_length =
            units_of(replacement) < search_length ? units_of(replacement) : search_length;
        if (search_length == 0) return writable;
        // Written as a difference: start - 1 + search_length may overflow for a start near the limit.
        for (std::int32_t i = start - 1; i <= length - search_length;) {
            if (units_match(writable + i, search, search_length, ignore_case)) {
                std::memmove(writable + i, replacement, static_cast<std::size_t>(replace_length) * 2);
                i += search_length;
            } else {
                ++i;
            }
        }
        return writable;
    }

    // Arguments built in the area would be overwritten by the result, so they are copied out.
    std::u16string text_copy, search_copy, replacement_copy;
    auto detach = [](const char16_t* argument, std::u16string& copy) -> const char16_t* {
        if (!argument) return EMPTY_TEXT;
        if (!temp_locate(argument)) return argument;
        copy.assign(argument);
        return copy.c_str();
    };
    text = detach(text, text_copy);
    search = detach(search, search_copy);
    replacement = detach(replacement, replacement_copy);

    const std::int32_t length = units_of(text);
    const std::int32_t search_length = units_of(search);
    const std::int32_t replace_length = units_of(replacement);
    std::int64_t matches = 0;
    if (search_length > 0) {
        for (std::int32_t i = start - 1; i <= length - search_length;) {
            if ((ignore_case || text[i] == search[0]) && units_match(text + i, search, search_length, ignore_case)) {
                ++matches;
                i += search_length;
            } else {
                ++i;
            }
        }
    }
    const std::int64_t total = (std::int64_t{replace_length} - search_length) * matches + length;
    if (total > INT32_MAX / 4) out_of_string_memory();
    char16_t* target = temp_reserve(static_cast<std::int32_t>(total), at);
    if (matches == 0) {
        std::memcpy(target, text, static_cast<std::size_t>(length) * 2);
        target[length] = 0;
        return target;
    }
    char16_t* out = target;
    std::memcpy(out, text, static_cast<std::size_t>(start - 1) * 2);
    out += start - 1;
    for (std::int32_t i = start - 1; i < length;) {
        if (i + search_length <= length && (ignore_case || text[i] == search[0]) &&
            units_match(text + i, search, search_length, ignore_case)) {
            std::memcpy(out, replacement, static_cast<std::size_t>(replace_length) * 2);
            out += replace_length;
            i += search_length;
        } else {
            *out++ = text[i++];
        }
    }
    *out = 0;
    return target;
}

namespace {

// Writes the decimal digits of a magnitude, behind a minus sign when asked, with a terminator;
// returns the units written. The magnitude is unsigned so the most negative value needs no
// special text.
std::int32_t write_decimal(char16_t* target, std::uint64_t magnitude, bool negative) {
    char16_t digits[24];
    std::int32_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    std::int32_t written = 0;
    if (negative) target[written++] = u'-';
    while (count) target[written++] = digits[--count];
    target[written] = 0;
    return written;
}

}  // namespace

char16_t* string_from_int(std::int32_t value, std::int32_t at) {
    char16_t* target = temp_reserve(32, at);
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    temp_give_back(32 - write_decimal(target, magnitude, value < 0));
    return target;
}

char16_t* string_from_int64(std::int64_t value, std::int32_t at) {
    if (value >= INT32_MIN && value <= INT32_MAX) return string_from_int(static_cast<std::int32_t>(value), at);
    char16_t* target = temp_reserve(64, at);
    std::uint64_t magnitude = value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    temp_give_back(64 - write_decimal(target, magnitude, value < 0));
    return target;
}
