/** @file extension_file.cpp
 * Writer and reader of the extension file format. */
#include "app/extension_file.h"

#include <algorithm>
#include <string>
#include <sys/mman.h>

#include "runtime/core/memory.h"
#include "runtime/files/files.h"
#include "runtime/files/filesystem.h"
#include "runtime/files/replace.h"

namespace {

// The sections in the order they are written; from the description on, a text keeps its lines.
enum Section : int {
    SECTION_NONE = -1,  // the lines before the first marker
    SECTION_EXTENSION,
    SECTION_AUTHOR,
    SECTION_DESCRIPTION,
    SECTION_HELP,
    SECTION_CODE,
    SECTION_COUNT
};
constexpr Section FIRST_MULTI_LINE_SECTION = SECTION_DESCRIPTION;

const char16_t* const MARKERS[SECTION_COUNT] = {u"[EXTENSION]", u"[AUTHOR]", u"[DESCRIPTION]", u"[HELP]", u"[CODE]"};
// "[HELP]": no line shorter than this is a marker.
constexpr std::size_t SHORTEST_MARKER = 6;

// A text begins with room for this many units, and grows by doubling.
constexpr std::size_t FIRST_CAPACITY = 4096;
// From this size on, a file's multi-line texts get room for the whole file at once.
constexpr std::int64_t LARGE_FILE_BYTES = 1 << 16;

std::u16string copy_of(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// Writes text and CR LF. A write that comes up short or a text that cannot be converted marks
// the file, and file_sync reports it; this only catches a text that wrote nothing at all.
bool write_line_whole(ObjectNumber file, const char16_t* text) {
    bool wrote_text = file_write_text(file, text, TEXT_UTF8) > 0 || !text || !text[0];
    return file_write_text(file, u"\r\n", TEXT_UTF8) == 2 && wrote_text;
}

bool write_sections(ObjectNumber file, const void* context) {
    const ExtensionTexts& texts = *static_cast<const ExtensionTexts*>(context);
    const char16_t* members[SECTION_COUNT] = {texts.extension, texts.author, texts.description, texts.help, texts.code};
    bool whole = true;
    for (int i = 0; i < SECTION_COUNT; ++i) {
        whole = write_line_whole(file, MARKERS[i]) && whole;
        whole = write_line_whole(file, members[i]) && whole;
        whole = write_line_whole(file, u"") && whole;
    }
    return whole;
}

// A large text is written into fresh memory page by page; asking for large pages saves most
// of the page faults, which cost more than the copying itself.
void advise_large(void* block, std::size_t bytes) {
    constexpr std::uintptr_t large_page = 2u << 20;
    if (bytes < 4 * large_page) return;
    auto start = (reinterpret_cast<std::uintptr_t>(block) + large_page - 1) & ~(large_page - 1);
    auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(large_page - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// One member being read back, built straight into a block of the string heap, which becomes
// the member's string variable: a large code text is then copied once, not three times. A
// multi-line member holds back its blank lines until a non-blank line follows, so the blank
// line that closes a section can be dropped. A text longer than `limit` units, or one memory
// cannot take, marks the member failed: it could be neither shown whole nor saved again.
struct MemberReader {
    char16_t* block = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;  // units, the terminator not counted
    std::size_t limit = 0;
    bool failed = false;
    bool multi_line = false;
    long lines = 0;  // lines taken so far, across repeated sections
    long held_blanks = 0;
    std::size_t first_capacity = FIRST_CAPACITY;

    MemberReader() = default;
    MemberReader(const MemberReader&) = delete;  // owns its block
    MemberReader& operator=(const MemberReader&) = delete;
    ~MemberReader() { heap_free(string_heap(), block); }

    void append(const char16_t* text, std::size_t n) {
        if (failed) return;
        if (length + n > limit) {
            failed = true;
            return;
        }
        if (length + n > capacity && !grow(length + n)) {
            failed = true;
            return;
        }
        std::char_traits<char16_t>::copy(block + length, text, n);
        length += n;
    }

    // Room for at least `needed` units. It grows geometrically whatever memory allows, so a
    // text is copied a bounded number of times and reading stays linear in the file's size:
    // the generous first size, else double; where the system refuses that, a quarter more;
    // where it refuses even that, the text is too large. The generous size is asked for once.
    bool grow(std::size_t needed) {
        const std::size_t choices[] = {std::max({capacity * 2, needed, first_capacity}),
                                       std::max(needed, capacity + capacity / 4)};
        first_capacity = 0;
        for (std::size_t wanted : choices) {
            wanted = std::min(wanted, limit);
            // The terminator and the variable's spare bytes come on top, as for every variable.
            auto* grown =
                static_cast<char16_t*>(heap_realloc(string_heap(), block, wanted * 2 + STRING_BLOCK_SPARE_BYTES));
            if (grown) {
                block = grown;
                capacity = wanted;
                advise_large(block, wanted * 2);
                return true;
            }
        }
        return false;
    }

    void add_line(const char16_t* line, std::size_t n) {
        if (!multi_line) {
            append(line, n);
            return;
        }
        if (n == 0) {
            ++held_blanks;
            return;
        }
        release_blanks(held_blanks);
        append_line(line, n);
    }

    // At the end of a section: its last blank line was the writer's closing line.
    void end_section() {
        if (multi_line && held_blanks > 0) release_blanks(held_blanks - 1);
        held_blanks = 0;
    }

    void release_blanks(long count) {
        for (long i = 0; i < count; ++i) append_line(u"", 0);
        held_blanks = 0;
    }

    void append_line(const char16_t* line, std::size_t n) {
        if (lines++ > 0) append(u"\r\n", 2);
        append(line, n);
    }

    // Hands the text over as a string variable (null when empty).
    StringVar take() {
        if (length == 0) return nullptr;
        auto* fitted =
            static_cast<char16_t*>(heap_realloc(string_heap(), block, length * 2 + STRING_BLOCK_SPARE_BYTES));
        char16_t* text = fitted ? fitted : block;
        text[length] = 0;
        block = nullptr;
        length = capacity = 0;
        return text;
    }
};

int marker_index(const char16_t* line, std::size_t length) {
    if (length < SHORTEST_MARKER || line[0] != u'[' || line[length - 1] != u']') return SECTION_NONE;
    for (int i = 0; i < SECTION_COUNT; ++i)
        if (std::char_traits<char16_t>::length(MARKERS[i]) == length &&
            std::char_traits<char16_t>::compare(MARKERS[i], line, length) == 0)
            return i;
    return SECTION_NONE;
}

}  // namespace

void extension_texts_free(ExtensionTexts* texts) {
    for (StringVar* var : {&texts->extension, &texts->author, &texts->description, &texts->help, &texts->code}) {
        string_var_free(*var);
        *var = nullptr;
    }
}

char16_t* extension_file_path(const char16_t* name, std::int32_t at) {
    const std::u16string file_name = copy_of(name) + u".qex";  // the name may lie in the area at `at`
    temp_reset(at);
    if (!file_name_fits_system(file_name.c_str())) return temp_address(at);
    temp_append(u"Extensions/");
    temp_append(file_name.c_str());
    return temp_address(at);
}

char16_t* extension_name_from_path(const char16_t* path, std::int32_t at) {
    const std::u16string whole = copy_of(path);  // the path may lie in the area at `at`
    const std::size_t slash = whole.find_last_of(u'/');
    const std::u16string part = slash == std::u16string::npos ? whole : whole.substr(slash + 1);
    temp_reset(at);
    temp_append(part.c_str());
    return string_replace(temp_address(at), u".qex", u"", 0, 0, at);
}

ExtensionMarkerLine extension_texts_marker_line(const ExtensionTexts& texts) {
    const char16_t* members[SECTION_COUNT] = {texts.extension, texts.author, texts.description, texts.help, texts.code};
    for (int i = 0; i < SECTION_COUNT; ++i) {
        const char16_t* line = members[i];
        // Lines end where the reader ends them: at CR LF, a lone LF or a lone CR.
        for (const char16_t* end = line; line; ++end) {
            if (*end != 0 && *end != u'\r' && *end != u'\n') continue;
            int marker = marker_index(line, static_cast<std::size_t>(end - line));
            if (marker != SECTION_NONE) return {i, MARKERS[marker]};
            if (*end == 0) break;
            line = end + 1;
        }
    }
    return {-1, nullptr};
}

int write_extension_texts(const char16_t* path, const ExtensionTexts& texts, unsigned losses_allowed) {
    std::u16string target = copy_of(path);
    std::size_t slash = target.find_last_of(u'/');
    std::u16string name = slash == std::u16string::npos ? target : target.substr(slash + 1);
    if (!file_name_fits_system(name.c_str())) return 0;
    if (!file_replace(target.c_str(), write_sections, &texts, losses_allowed)) return 0;
    return path_size(target.c_str()) > 0 ? 1 : 0;
}

ExtensionTexts read_extension_texts(const char16_t* path, ExtensionReadOutcome* outcome) {
    ExtensionReadOutcome ignored;
    ExtensionReadOutcome& result = outcome ? *outcome : ignored;
    ExtensionTexts texts{};
    ObjectNumber file = file_read(ANY_NUMBER, path);
    if (!file) {
        int failure = file_open_failure();
        result = failure == FILE_FAILURE_MISSING       ? EXTENSION_MISSING
                 : failure == FILE_FAILURE_NOT_REGULAR ? EXTENSION_NOT_REGULAR
                                                       : EXTENSION_UNREADABLE;
        return texts;
    }

    // A UTF-16 file is read as UTF-16 (and saved again as UTF-8); a UTF-32 one not at all, nor
    // one whose lines do not decode (see below).
    const int format = file_take_byte_order_mark(file);
    if (format == FILE_TEXT_UNSUPPORTED) {
        file_close(file);
        result = EXTENSION_NOT_TEXT;
        return texts;
    }
    MemberReader members[SECTION_COUNT];
    // Every text must fit in the string area, through which it is shown and saved again.
    std::size_t limit = static_cast<std::size_t>(temp_room(temp_position()));
    // A large file is mostly one big text. Decoded from UTF-8 it takes at most one unit per byte
    // plus one more per line end (LF becomes CR LF), so room for twice the byte count is never
    // regrown (from UTF-16, half of that); the pages that are not written are never touched.
    std::int64_t size = path_size(path);
    if (format != TEXT_UTF8) size /= 2;
    for (int i = 0; i < SECTION_COUNT; ++i) {
        members[i].limit = limit;
        members[i].multi_line = i >= FIRST_MULTI_LINE_SECTION;
        if (members[i].multi_line && size > LARGE_FILE_BYTES)
            members[i].first_capacity = std::min(static_cast<std::size_t>(size) * 2, limit);
    }
    int section = SECTION_NONE;
    bool line_refused = false;
    while (!file_at_end(file)) {
        TempScope line_scope;  // each line is given back before the next one is read
        if (!file_read_line(file, format, line_scope.start())) {
            line_refused = true;
            break;
        }
        const char16_t* line = line_scope.text();
        std::size_t length = static_cast<std::size_t>(temp_position() - line_scope.start()) / 2;
        int marker = marker_index(line, length);
        if (marker != SECTION_NONE) {
            if (section != SECTION_NONE) members[section].end_section();
            section = marker;
        } else if (section != SECTION_NONE) {
            members[section].add_line(line, length);
        }
    }
    if (section != SECTION_NONE) members[section].end_section();
    bool read_failed = file_read_failed(file);
    // A NUL or bytes that do not decode came back changed (a line break, U+FFFD), and a Save
    // would write them so without a word: such a file is no text of ours. Asked once at the end,
    // so that the lines of a sound file cost nothing more.
    bool not_text = file_read_not_text(file);
    file_close(file);
    bool too_large = line_refused;
    for (const MemberReader& member : members) too_large = too_large || member.failed;
    if (read_failed || not_text || too_large) {
        result = read_failed ? EXTENSION_UNREADABLE : not_text ? EXTENSION_NOT_TEXT : EXTENSION_TOO_LARGE;
        return texts;
    }

    result = EXTENSION_READ;
    texts.extension = members[SECTION_EXTENSION].take();
    texts.author = members[SECTION_AUTHOR].take();
    texts.description = members[SECTION_DESCRIPTION].take();
    texts.help = members[SECTION_HELP].take();
    texts.code = members[SECTION_CODE].take();
    return texts;
}
