/** @file settings.cpp
 * Reading the settings with a bound on the file and its lines, and writing them with one
 * file_replace, through a link only onto a file that holds nothing but settings. */
#include "app/settings.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "runtime/core/strings.h"
#include "runtime/files/files.h"
#include "runtime/files/replace.h"
#include "runtime/files/state_folder.h"

namespace {

constexpr const char* PROGRAM_FOLDER = "quorval-extension-maker";
constexpr const char* FILE_NAME = "/settings.conf";
// A settings file is a few short lines; a file or a line beyond these is no settings, and reading
// it whole would only cost memory.
constexpr int MOST_LINES = 100;
constexpr std::size_t MOST_BYTES = 64 * 1024;
constexpr std::size_t MOST_LINE_BYTES = 4 * 1024;
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

// What ends a line of settings: LF, CR LF, CR, and a NUL, so that damage costs only its line.
constexpr std::string_view LINE_ENDS{"\r\n\0", 3};

struct Line {
    std::string text;
    bool too_long = false;  // longer than MOST_LINE_BYTES: its text is not kept
};

// The lines of the file at the path (followed if a link), after a UTF-8 byte order mark, when it
// is a regular file of at most MOST_BYTES. false when there is no such file; `missing` then says
// whether nothing was there. No more than MOST_BYTES is ever read, whatever the file's size.
bool read_bounded_lines(const std::string& path, std::vector<Line>* lines, bool* missing) {
    *missing = false;
    // Non-blocking: a FIFO in the file's place must not hold the start-up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *missing = errno == ENOENT;
        return false;
    }
    struct stat info;
    std::string bytes;
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (whole) {
        bytes.resize(MOST_BYTES + 1);
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                whole = n == 0;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (!whole || bytes.size() > MOST_BYTES) return false;
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find_first_of(LINE_ENDS, at);
        if (end == std::string::npos) end = bytes.size();
        Line line;
        line.too_long = end - at > MOST_LINE_BYTES;
        if (!line.too_long) line.text = bytes.substr(at, end - at);
        lines->push_back(std::move(line));
        at = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return true;
}

std::u16string widened(const std::string& text) {
    // Keys and values are ASCII; any other byte only has to stay unlike them.
    return std::u16string(text.begin(), text.end());
}

// A line a settings file may hold: a setting of a known key (whatever its value), a blank, or a
// comment.
bool line_of_settings(const Line& line) {
    if (line.too_long) return false;
    const std::size_t first = line.text.find_first_not_of(" \t");
    if (first == std::string::npos || line.text[first] == '#' || line.text[first] == ';') return true;
    const std::size_t equals = line.text.find('=');
    if (equals == std::string::npos) return false;
    const std::u16string key = widened(line.text.substr(0, equals));
    for (const Entry& entry : entries)
        if (key_is(key, entry.key)) return true;
    return false;
}

// A settings file that is a link is the user's own arrangement (a dotfiles folder, say): it is
// written through only onto a file that holds settings, or nothing.
bool may_write_through(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::vector<Line> lines;
    bool missing = false;
    if (!read_bounded_lines(path, &lines, &missing)) return missing;
    for (const Line& line : lines)
        if (!line_of_settings(line)) return false;
    return true;
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
    std::vector<Line> lines;
    bool missing = false;
    const std::string path = settings_path();
    if (path.empty() || !read_bounded_lines(path, &lines, &missing)) return settings;
    for (std::size_t i = 0; i < lines.size() && i < std::size_t(MOST_LINES); ++i)
        if (!lines[i].too_long) settings_read_line(&settings, widened(lines[i].text).c_str());
    return settings;
}

bool settings_save(const Settings& settings) {
    const std::string path = settings_path();
    // The folder as the user keeps it: a link is followed, and its mode stays.
    if (path.empty() || !folder_make(config_folder(PROGRAM_FOLDER)) || !may_write_through(path)) return false;
    const std::string text = settings_text(settings);
    TempScope scope;
    string_from_memory(path.c_str(), -1, TEXT_UTF8, scope.start());
    StringVar held = nullptr;
    scope.take(&held);
    const bool saved = file_replace(held, write_lines, &text) != 0;
    string_var_free(held);
    return saved;
}
