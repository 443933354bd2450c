/** @file extension_reader_property.h
 * The property the extension reader must keep for any bytes at all, shared by the fuzz target
 * and the test that replays its saved corpus: reading ends, and what it gives writes and reads
 * back unchanged. Runs in a current directory that has an Extensions folder. */
#pragma once

#include <fstream>
#include <string>

#include "app/extension_file.h"

namespace extension_fuzz {

inline std::u16string text_of(const char16_t* var) { return var ? std::u16string(var) : std::u16string(); }

inline bool is_marker(const std::u16string& line) {
    for (const char16_t* marker : {u"[EXTENSION]", u"[AUTHOR]", u"[DESCRIPTION]", u"[HELP]", u"[CODE]"})
        if (line == marker) return true;
    return false;
}

// Empty when the property holds, else what went wrong.
inline std::string check_round_trip(const std::string& bytes) {
    {
        std::ofstream out("input.qex", std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ExtensionTexts first = read_extension_texts(u"input.qex");
    std::u16string before[5] = {text_of(first.extension), text_of(first.author), text_of(first.description),
                                text_of(first.help), text_of(first.code)};
    std::string problem;
    // Lines joined without separator can spell a marker; written back as one line it would
    // switch the section, which the format cannot avoid.
    bool writable = !is_marker(before[0]) && !is_marker(before[1]);
    for (const std::u16string& text : before)
        for (char16_t c : text)
            if (c == 0) problem = "a text holds a NUL unit";
    if (problem.empty() && writable) {
        if (write_extension_texts(u"Extensions/RoundTrip.qex", first) != 1) {
            problem = "writing what was read failed";
        } else {
            ExtensionTexts second = read_extension_texts(u"Extensions/RoundTrip.qex");
            std::u16string after[5] = {text_of(second.extension), text_of(second.author), text_of(second.description),
                                       text_of(second.help), text_of(second.code)};
            for (int i = 0; i < 5 && problem.empty(); ++i)
                if (before[i] != after[i]) problem = "member " + std::to_string(i) + " changed on write and read";
            extension_texts_free(&second);
        }
    }
    extension_texts_free(&first);
    return problem;
}

}  // namespace extension_fuzz
