/** @file name_scan.cpp
 * The names of plain bytes of JavaScript, read past strings, template literals, comments and
 * numbers, and the order of a completion list made of them. */
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "editor/names/names.h"

namespace {

constexpr std::array<bool, 256> name_bytes = [] {
    std::array<bool, 256> bytes{};
    for (int c = 0; c < 256; ++c)
        bytes[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
                   c >= 0x80;
    return bytes;
}();

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_line_end(char c) { return c == '\n' || c == '\r'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t characters(std::string_view name) {
    return static_cast<std::size_t>(
        std::count_if(name.begin(), name.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Just past the `close` that ends a quoted text (escapes skipped), or npos when the text ends
// first; with `at_line_end`, a line end ends it too, and stays.
std::size_t skip_quoted(std::string_view text, std::size_t at, char close, bool at_line_end) {
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\\') {
            at += 2;
        } else if (c == close) {
            return at + 1;
        } else if (at_line_end && is_line_end(c)) {
            return at;
        } else {
            ++at;
        }
    }
    return std::string_view::npos;
}

// Just past "*/" from `at`, or npos.
std::size_t block_comment_end(std::string_view text, std::size_t at) {
    const std::size_t end = text.find("*/", at);
    return end == std::string_view::npos ? end : end + 2;
}

}  // namespace

bool is_name_byte(unsigned char byte) { return name_bytes[byte]; }

bool name_before(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]);
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool name_begins_with(std::string_view name, std::string_view word) {
    if (name.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(name[i]) != lower(word[i])) return false;
    return true;
}

NameScanState scan_names(std::string_view text, NameScanState state, std::vector<std::string_view>* names) {
    std::size_t at = 0;
    if (state == NameScanState::BLOCK_COMMENT) {
        at = block_comment_end(text, 0);
        if (at == std::string_view::npos) return state;
    } else if (state == NameScanState::TEMPLATE) {
        at = skip_quoted(text, 0, '`', false);
        if (at == std::string_view::npos) return state;
    }
    while (at < text.size()) {
        const char c = text[at];
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        if (c == '/' && next == '/') {
            while (at < text.size() && !is_line_end(text[at])) ++at;
        } else if (c == '/' && next == '*') {
            at = block_comment_end(text, at + 2);
            if (at == std::string_view::npos) return NameScanState::BLOCK_COMMENT;
        } else if (c == '"' || c == '\'') {
            at = std::min(skip_quoted(text, at + 1, c, true), text.size());
        } else if (c == '`') {
            at = skip_quoted(text, at + 1, '`', false);
            if (at == std::string_view::npos) return NameScanState::TEMPLATE;
        } else if (is_name_byte(static_cast<unsigned char>(c))) {
            const std::size_t start = at;
            while (at < text.size() && is_name_byte(static_cast<unsigned char>(text[at]))) ++at;
            const std::string_view name = text.substr(start, at - start);
            if (!is_digit(c) && characters(name) >= NAME_LEAST_CHARACTERS) names->push_back(name);
        } else {
            ++at;
        }
    }
    return NameScanState::CODE;
}

std::vector<std::string> completion_entries(std::string_view word, const std::vector<std::string_view>& declared,
                                            const std::vector<std::string_view>& names,
                                            const std::vector<std::string_view>& keywords, std::size_t most) {
    std::vector<std::string> entries;
    std::unordered_set<std::string_view> taken;
    auto add_group = [&](const std::vector<std::string_view>& group) {
        std::vector<std::string_view> matching;
        for (std::string_view name : group)
            if (name != word && name_begins_with(name, word)) matching.push_back(name);
        std::sort(matching.begin(), matching.end(), name_before);
        for (std::string_view name : matching) {
            if (entries.size() >= most) return;
            if (taken.insert(name).second) entries.emplace_back(name);
        }
    };
    add_group(declared);
    if (word.empty()) return entries;
    add_group(names);
    add_group(keywords);
    return entries;
}
