/** @file text_convert.cpp
 * Conversions between runtime strings and UTF-16, UTF-8 or the locale's narrow code page in
 * memory, through ICU. */
#include <langinfo.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/core/strings.h"

namespace {

constexpr UChar32 REPLACEMENT = 0xFFFD;

// The narrow code page is the locale's character set; the converter is reopened when the
// locale's set changes (Qt switches the process to the user's locale after start-up).
UConverter* g_narrow = nullptr;
std::string g_narrow_name;
bool g_narrow_is_utf8 = false;

UConverter* narrow_converter() {
    const char* codeset = nl_langinfo(CODESET);
    if (!codeset || !*codeset) codeset = "US-ASCII";
    if (g_narrow && g_narrow_name == codeset) return g_narrow;
    if (g_narrow) ucnv_close(g_narrow);
    UErrorCode error = U_ZERO_ERROR;
    g_narrow = ucnv_open(codeset, &error);
    if (U_FAILURE(error)) {
        error = U_ZERO_ERROR;
        g_narrow = ucnv_open("US-ASCII", &error);
    }
    g_narrow_name = codeset;
    g_narrow_is_utf8 = false;
    if (g_narrow) {
        error = U_ZERO_ERROR;
        g_narrow_is_utf8 = std::strcmp(ucnv_getName(g_narrow, &error), "UTF-8") == 0;
        // Characters the code page lacks become '?', as the system's converter writes them.
        error = U_ZERO_ERROR;
        ucnv_setSubstChars(g_narrow, "?", 1, &error);
    }
    return g_narrow;
}

bool use_utf8(int format) {
    if (format == TEXT_UTF8) return true;
    narrow_converter();
    return g_narrow_is_utf8 || !g_narrow;
}

// Encodes n units; with a null target only measures. Returns the byte count.
std::int32_t encode(const char16_t* text, std::int32_t n, int format, char* target, std::int32_t capacity) {
    if (n == 0) return 0;
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    if (use_utf8(format)) {
        u_strToUTF8WithSub(target, capacity, &length, reinterpret_cast<const UChar*>(text), n, REPLACEMENT, nullptr,
                           &error);
    } else {
        UConverter* converter = narrow_converter();
        ucnv_resetFromUnicode(converter);
        length = ucnv_fromUChars(converter, target, capacity, reinterpret_cast<const UChar*>(text), n, &error);
    }
    if (U_FAILURE(error) && error != U_BUFFER_OVERFLOW_ERROR) return 0;
    return length;
}

// The most bytes n units can encode to: three per unit in UTF-8 (a surrogate pair takes four),
// the converter's longest character per unit otherwise.
std::int32_t most_bytes(std::int32_t n, int format) {
    const std::int64_t per_unit = use_utf8(format)     ? 3
                                  : narrow_converter() ? ucnv_getMaxCharSize(narrow_converter())
                                                       : 1;
    const std::int64_t most = per_unit * n;
    return most > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(most);
}

// Decodes n bytes; with a null target only measures. Returns the unit count.
std::int32_t decode(const char* bytes, std::int32_t n, int format, char16_t* target, std::int32_t capacity) {
    if (n == 0) return 0;
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    if (use_utf8(format)) {
        u_strFromUTF8WithSub(reinterpret_cast<UChar*>(target), capacity, &length, bytes, n, REPLACEMENT, nullptr,
                             &error);
    } else {
        UConverter* converter = narrow_converter();
        ucnv_resetToUnicode(converter);
        length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(target), capacity, bytes, n, &error);
    }
    if (U_FAILURE(error) && error != U_BUFFER_OVERFLOW_ERROR) return 0;
    return length;
}

}  // namespace

void text_convert_end() {
    if (g_narrow) ucnv_close(g_narrow);
    g_narrow = nullptr;
    g_narrow_name.clear();
    g_narrow_is_utf8 = false;
}

std::int32_t string_byte_length(const char16_t* text, int format) {
    if (!text) return 0;
    const std::int32_t n = string_len(text);
    if (format == TEXT_UTF16) return n * 2;
    return encode(text, n, format, nullptr, 0);
}

char16_t* string_from_memory(const void* address, std::int32_t length, int format, std::int32_t at) {
    if (!address) {
        char16_t* target = temp_reserve(0, at);
        target[0] = 0;
        return target;
    }
    if (length < -1) length = 0;
    const std::int32_t located = temp_locate(address);

    if (format == TEXT_UTF16) {
        // Units are read bytewise: a memory block need not be aligned for 16-bit access.
        const auto* bytes = static_cast<const unsigned char*>(address);
        std::int32_t count = 0;
        while (length == -1 || count < length) {
            if (bytes[count * 2] == 0 && bytes[count * 2 + 1] == 0) break;
            ++count;
        }
        char16_t* target = temp_reserve(count, at);
        const char* source =
            located ? reinterpret_cast<const char*>(temp_address(0)) + located - 1 : static_cast<const char*>(address);
        std::memmove(target, source, static_cast<std::size_t>(count) * 2);
        target[count] = 0;
        return target;
    }

    const char* bytes = static_cast<const char*>(address);
    const std::int32_t n = length == -1 ? static_cast<std::int32_t>(std::strlen(bytes)) : length;
    // Decoding expands the text, so bytes lying in the area are taken out before the result
    // overwrites them.
    std::string detached;
    if (located) {
        detached.assign(bytes, static_cast<std::size_t>(n));
        bytes = detached.data();
    }
    const std::int32_t units = decode(bytes, n, format, nullptr, 0);
    char16_t* target = temp_reserve(units, at);
    decode(bytes, n, format, target, units);
    target[units] = 0;
    return target;
}

std::int32_t string_to_memory(void* address, const char16_t* text, std::int32_t max_units, int format) {
    if (!address) return 0;
    if (!text) {
        std::memset(address, 0, format == TEXT_UTF16 ? 2 : 1);
        return 0;
    }
    // A bound stops the count there: a piece of a long text is never measured to its end.
    std::int32_t n = 0;
    if (max_units < 0) {
        n = string_len(text);
    } else {
        while (n < max_units && text[n]) ++n;
    }
    if (format == TEXT_UTF16) {
        std::memmove(address, text, static_cast<std::size_t>(n) * 2);
        std::memset(static_cast<char*>(address) + n * 2, 0, 2);
        return n * 2;
    }
    // One pass: the caller's buffer holds the whole conversion, so the capacity given is the
    // most any n units can take, never a count of its own.
    const std::int32_t written = encode(text, n, format, static_cast<char*>(address), most_bytes(n, format));
    static_cast<char*>(address)[written] = 0;
    return written;
}
