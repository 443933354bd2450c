/** @file requester.cpp
 * The requesters' own decisions: button sets and defaults, the pattern string, the default
 * file's split into folder and name, and handing the chosen path back as a temporary string. */
#include "runtime/ui/requester_internal.h"

#include "runtime/core/strings.h"
#include "runtime/files/filesystem.h"

#include <cstring>

std::vector<int> requester_buttons(int flags) {
    switch (flags & 0xF) {
    case MB_OK:
        return {IDOK};
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
        return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default:
        return {};
    }
}

int requester_default_button(int flags) {
    const int wanted = (flags >> 8) & 0xF;
    const int count = int(requester_buttons(flags).size());
    // Windows falls back to the first button when the default names one the box does not have.
    return wanted < count ? wanted : 0;
}

std::vector<RequesterFilter> requester_parse_pattern(const char16_t* pattern) {
    std::vector<RequesterFilter> filters;
    if (!pattern) return filters;
    std::vector<std::u16string> parts;
    std::u16string part;
    for (const char16_t* p = pattern; *p; ++p) {
        if (*p == u'|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    parts.push_back(part);
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        // Windows ends the list at the first empty description.
        if (parts[i].empty()) break;
        filters.push_back({parts[i], i + 1 < parts.size() ? parts[i + 1] : std::u16string()});
    }
    return filters;
}

RequesterDefault requester_split_default(const char16_t* default_file) {
    RequesterDefault result;
    if (!default_file) return result;
    const std::u16string text(default_file);
    const std::size_t slash = text.find_last_of(u"/\\");
    if (slash != std::u16string::npos && slash > 0) {
        result.directory = text.substr(0, slash);
        result.name = text.substr(slash + 1);
    } else {
        result.name = text;
    }
    // No cut to 259 characters: a long name reaches the dialog whole (and a path too long for
    // the system then fails there, like any other failing path).
    if (!result.name.empty() && !file_name_is_valid(result.name.c_str())) result.name.clear();
    return result;
}

int requester_message(const char16_t* title, const char16_t* text, int flags) {
    requester_windows_away();
    const int result = requester_native_message(title ? std::u16string(title) : std::u16string(u"Error"),
                                                text ? std::u16string(text) : std::u16string(), flags);
    requester_windows_restore();
    return result;
}

char16_t* requester_open_file(const char16_t* title, const char16_t* default_file, const char16_t* pattern,
                              int position, std::int32_t at) {
    const RequesterDefault start = requester_split_default(default_file);
    const std::vector<RequesterFilter> filters = requester_parse_pattern(pattern);
    requester_windows_away();
    const std::u16string chosen =
        requester_native_open_file(title ? std::u16string(title) : std::u16string(), start, filters, position);
    requester_windows_restore();
    // The whole path, however long: it is never cut to a fixed buffer.
    const auto length = std::int32_t(chosen.size());
    char16_t* result = temp_reserve(length + 1, at);
    if (!result) return nullptr;
    if (length) std::memcpy(result, chosen.data(), std::size_t(length) * sizeof(char16_t));
    result[length] = 0;
    temp_give_back(1);
    return result;
}

void requester_start() {}
