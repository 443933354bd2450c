/** @file settings.cpp
 * Reading the settings line by line through the runtime's files, and writing them with one
 * file_replace. */
#include "app/settings.h"

#include <cstdint>
#include <string_view>

#include "runtime/core/strings.h"
#include "runtime/files/files.h"
#include "runtime/files/replace.h"
#include "runtime/files/state_folder.h"

namespace {

constexpr const char* PROGRAM_FOLDER = "quorval-extension-maker";
constexpr const char* FILE_NAME = "/settings.conf";
// A settings file is a few lines; more than this is no settings file.
constexpr int MOST_LINES = 100;
// Sizes beyond any screen are damage, not a wish.
constexpr int LARGEST_SIZE = 16384;

struct Entry {
    const char* key;
    int Settings::*number;  // or
    bool Settings::*flag;
    int least, most;
};

const Entry entries[] = {
    {"width", &Settings::width, nullptr, MAIN_MIN_WIDTH, LARGEST_SIZE},
    {"height", &Settings::height, nullptr, MAIN_MIN_HEIGHT, LARGEST_SIZE},
    {"maximized", nullptr, &Settings::maximized, 0, 1},
    {"zoom", &Settings::zoom, nullptr, ZOOM_LEAST, ZOOM_MOST},
    {"match_case", nullptr, &Settings::match_case, 0, 1},
    {"whole_word", nullptr, &Settings::whole_word, 0, 1},
    {"regular_expression", nullptr, &Settings::regular_expression, 0, 1},
    {"highlight_occurrences", nullptr, &Settings::highlight_occurrences, 0, 1},
};

// An optional minus and one to six digits, nothing else.
bool parse_number(std::u16string_view text, int* value) {
    const bool negative = !text.empty() && text.front() == u'-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 6) return false;
    int result = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        result = result * 10 + (c - u'0');
    }
    *value = negative ? -result : result;
    return true;
}

bool key_is(std::u16string_view key, const char* name) {
    std::size_t i = 0;
    for (; name[i]; ++i)
        if (i >= key.size() || key[i] != char16_t(name[i])) return false;
    return i == key.size();
}

bool write_lines(ObjectNumber file, const void* context) {
    const std::string& text = *static_cast<const std::string*>(context);
    TempScope scope;
    string_from_memory(text.data(), std::int32_t(text.size()), TEXT_UTF8, scope.start());
    return file_write_text(file, scope.text(), TEXT_UTF8) == std::int64_t(text.size());
}

}  // namespace

bool settings_read_line(Settings* settings, const char16_t* line) {
    const std::u16string_view text = line ? std::u16string_view(line) : std::u16string_view();
    const std::size_t equals = text.find(u'=');
    if (equals == std::u16string_view::npos) return false;
    int value = 0;
    if (!parse_number(text.substr(equals + 1), &value)) return false;
    for (const Entry& entry : entries) {
        if (!key_is(text.substr(0, equals), entry.key)) continue;
        if (value < entry.least || value > entry.most) return false;
        if (entry.number)
            settings->*entry.number = value;
        else
            settings->*entry.flag = value != 0;
        return true;
    }
    return false;
}

std::string settings_text(const Settings& settings) {
    std::string text;
    for (const Entry& entry : entries) {
        const int value = entry.number ? settings.*entry.number : int(settings.*entry.flag);
        text += std::string(entry.key) + "=" + std::to_string(value) + "\n";
    }
    return text;
}

std::string settings_path() {
    const std::string folder = config_folder(PROGRAM_FOLDER);
    return folder.empty() ? folder : folder + FILE_NAME;
}

Settings settings_load() {
    Settings settings;
    const std::string path = settings_path();
    if (path.empty()) return settings;
    TempScope scope;
    string_from_memory(path.c_str(), -1, TEXT_UTF8, scope.start());
    const ObjectNumber file = file_read(ANY_NUMBER, scope.text());
    if (!file) return settings;
    for (int lines = 0; lines < MOST_LINES && !file_at_end(file); ++lines) {
        TempScope line;
        if (file_read_line(file, TEXT_UTF8, line.start())) settings_read_line(&settings, line.text());
    }
    file_close(file);
    return settings;
}

bool settings_save(const Settings& settings) {
    const std::string path = settings_path();
    if (path.empty() || !folder_make_private(config_folder(PROGRAM_FOLDER))) return false;
    const std::string text = settings_text(settings);
    TempScope scope;
    string_from_memory(path.c_str(), -1, TEXT_UTF8, scope.start());
    StringVar held = nullptr;
    scope.take(&held);
    const bool saved = file_replace(held, write_lines, &text) != 0;
    string_var_free(held);
    return saved;
}
