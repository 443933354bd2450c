// The extension file: exact bytes of what is written, what the reader gives back (or why it
// gives nothing), round trips over random texts, and saves the application itself refuses.
#include "files/file_test_support.h"
#include "files/unprivileged.h"

#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "app/extension_file.h"
#include "runtime/files/filesystem.h"

using namespace file_test;

namespace {

// Plain copies of the five texts, for comparing and printing.
struct Texts {
    std::u16string extension, author, description, help, code;
    bool operator==(const Texts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Texts& t) {
    auto show = [&](const char* name, const std::u16string& s) {
        out << name << "=[";
        for (char16_t c : s) {
            if (c >= 0x20 && c < 0x7f)
                out << static_cast<char>(c);
            else
                out << "\\u" << std::hex << static_cast<int>(c) << std::dec;
        }
        out << "] ";
    };
    show("extension", t.extension);
    show("author", t.author);
    show("description", t.description);
    show("help", t.help);
    show("code", t.code);
    return out;
}

std::u16string text_of(const char16_t* var) { return var ? std::u16string(var) : std::u16string(); }

// ExtensionTexts built from plain texts; the caller frees them.
ExtensionTexts texts_of(const Texts& t) {
    ExtensionTexts texts{};
    string_var_assign(&texts.extension, t.extension.c_str());
    string_var_assign(&texts.author, t.author.c_str());
    string_var_assign(&texts.description, t.description.c_str());
    string_var_assign(&texts.help, t.help.c_str());
    string_var_assign(&texts.code, t.code.c_str());
    return texts;
}

int write_texts(const std::u16string& path, const Texts& t) {
    ExtensionTexts texts = texts_of(t);
    int result = write_extension_texts(path.c_str(), texts);
    extension_texts_free(&texts);
    return result;
}

Texts read_texts(const std::u16string& path) {
    ExtensionTexts texts = read_extension_texts(path.c_str());
    Texts t{text_of(texts.extension), text_of(texts.author), text_of(texts.description), text_of(texts.help),
            text_of(texts.code)};
    extension_texts_free(&texts);
    return t;
}

Texts read_raw(const std::string& bytes) {
    write_raw("raw.qex", bytes);
    return read_texts(u"raw.qex");
}

std::u16string temp_result(char16_t* result, std::int32_t p0) {
    std::u16string text(result);
    temp_reset(p0);
    return text;
}

std::u16string file_path_for(const char16_t* name) {
    std::int32_t p0 = temp_position();
    return temp_result(extension_file_path(name, p0), p0);
}

std::u16string name_from(const char16_t* path) {
    std::int32_t p0 = temp_position();
    return temp_result(extension_name_from_path(path, p0), p0);
}

class ExtensionFile : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        ASSERT_EQ(directory_create(u"Extensions"), 1);
    }
};

const Texts SPARKLE{u"Sparkle", u"Ann", u"Adds sparkles to a sprite.\r\nTwo kinds are offered.",
                    u"Call sparkle(x, y) once per step.", u"function sparkle(x, y) {\r\nreturn x + y;\r\n}"};

}  // namespace

TEST_F(ExtensionFile, AllTextsEmptyIsSeventyFourBytes) {
    ASSERT_EQ(write_texts(u"Extensions/Empty.qex", Texts{}), 1);
    std::string bytes = read_bytes("Extensions/Empty.qex");
    EXPECT_EQ(bytes.size(), 74u);
    EXPECT_EQ(bytes,
              "[EXTENSION]\r\n\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n"
              "[HELP]\r\n\r\n\r\n[CODE]\r\n\r\n\r\n");
    EXPECT_EQ(read_texts(u"Extensions/Empty.qex"), Texts{});
}

TEST_F(ExtensionFile, TheSparkleExampleIsEighteenLines) {
    ASSERT_EQ(write_texts(file_path_for(u"Sparkle"), SPARKLE), 1);
    EXPECT_EQ(read_bytes("Extensions/Sparkle.qex"),
              "[EXTENSION]\r\nSparkle\r\n\r\n"
              "[AUTHOR]\r\nAnn\r\n\r\n"
              "[DESCRIPTION]\r\nAdds sparkles to a sprite.\r\nTwo kinds are offered.\r\n\r\n"
              "[HELP]\r\nCall sparkle(x, y) once per step.\r\n\r\n"
              "[CODE]\r\nfunction sparkle(x, y) {\r\nreturn x + y;\r\n}\r\n\r\n");
    EXPECT_EQ(read_texts(u"Extensions/Sparkle.qex"), SPARKLE);
}

TEST_F(ExtensionFile, FileNameAndExtensionMemberAreIndependent) {
    Texts texts = SPARKLE;
    texts.extension = u"Glitter \u2728";
    ASSERT_EQ(write_texts(file_path_for(u"Other name"), texts), 1);
    EXPECT_EQ(listing("Extensions"), std::vector<std::string>{"Other name.qex"});
    std::string bytes = read_bytes("Extensions/Other name.qex");
    EXPECT_EQ(bytes.substr(0, 28), "[EXTENSION]\r\nGlitter \xE2\x9C\xA8\r\n\r\n");
    EXPECT_EQ(read_texts(u"Extensions/Other name.qex").extension, u"Glitter \u2728");
    EXPECT_EQ(name_from(u"/somewhere/Extensions/Other name.qex"), u"Other name");
}

TEST_F(ExtensionFile, NamesAndPaths) {
    EXPECT_EQ(file_path_for(u"Sparkle"), u"Extensions/Sparkle.qex");
    EXPECT_EQ(name_from(u"Sparkle.qex.qex"), u"Sparkle");
    EXPECT_EQ(name_from(u"x.qexy.qex"), u"xy");
    EXPECT_EQ(name_from(u"Sparkle.QEX"), u"Sparkle.QEX");
    EXPECT_EQ(file_path_for(name_from(u"Sparkle.QEX").c_str()), u"Extensions/Sparkle.QEX.qex");
    // Only "/" separates folders; a backslash or a quote belongs to the name.
    EXPECT_EQ(name_from(u"\"C:\\Games\\Fire.qex\""), u"\"C:\\Games\\Fire\"");
    EXPECT_EQ(name_from(u"in/a\\b.qex"), u"a\\b");
    EXPECT_EQ(name_from(u"in/my \"q\".qex"), u"my \"q\"");
    EXPECT_EQ(name_from(u"/home/ann/.qex"), u"");
    EXPECT_EQ(file_path_for(u""), u"Extensions/.qex");
    EXPECT_EQ(file_path_for(nullptr), u"Extensions/.qex");
    // A name built in the area at the very position the path goes to.
    std::int32_t p0 = temp_position();
    temp_append(u"Built");
    EXPECT_EQ(temp_result(extension_file_path(temp_address(p0), p0), p0), u"Extensions/Built.qex");
}

TEST_F(ExtensionFile, EmptyNameIsSavedLikeAnyOther) {
    ASSERT_EQ(write_texts(file_path_for(u""), SPARKLE), 1);
    EXPECT_EQ(listing("Extensions"), std::vector<std::string>{".qex"});
    EXPECT_EQ(read_texts(u"Extensions/.qex"), SPARKLE);
}

TEST_F(ExtensionFile, ReaderFollowsTheMarkers) {
    // Lines before the first marker are dropped; sections in any order; a missing one is empty.
    EXPECT_EQ(read_raw("junk\r\n[CODE]\r\nx();\r\n\r\n[AUTHOR]\r\nAnn\r\n\r\n"),
              (Texts{u"", u"Ann", u"", u"", u"x();"}));
    // Markers are whole lines in exact case; anything else is text of the current section.
    EXPECT_EQ(read_raw("[HELP]\r\n[help]\r\n [CODE]\r\n[CODE] \r\n[Code]\r\n\r\n"),
              (Texts{u"", u"", u"", u"[help]\r\n [CODE]\r\n[CODE] \r\n[Code]", u""}));
    // A marker line inside a text switches the section.
    EXPECT_EQ(read_raw("[CODE]\r\nlet a;\r\n[HELP]\r\nlet b;\r\n\r\n"), (Texts{u"", u"", u"", u"let b;", u"let a;"}));
    // Two author lines join without separator; blank lines add nothing to a one-line member.
    EXPECT_EQ(read_raw("[AUTHOR]\r\nAnn\r\n\r\nBob\r\n\r\n"), (Texts{u"", u"AnnBob", u"", u"", u""}));
    // A repeated section appends, line by line.
    EXPECT_EQ(read_raw("[CODE]\r\na\r\n\r\n[EXTENSION]\r\nN\r\n\r\n[CODE]\r\nb\r\n\r\n[EXTENSION]\r\n2\r\n"),
              (Texts{u"N2", u"", u"", u"", u"a\r\nb"}));
}

// The lines that would read back as markers, found wherever the reader would find them.
TEST_F(ExtensionFile, LinesTheReaderWouldTakeForMarkersAreFound) {
    const struct {
        Texts texts;
        int member;
        std::u16string marker;
    } cases[] = {
        {SPARKLE, -1, u""},
        {{u"", u"", u"", u"see\r\n[CODE]\r\nmore help", u""}, 3, u"[CODE]"},
        {{u"[CODE]", u"", u"", u"", u""}, 0, u"[CODE]"},
        {{u"", u"", u"", u"", u"a\n[EXTENSION]\nb"}, 4, u"[EXTENSION]"},
        {{u"", u"", u"x\r[HELP]", u"", u""}, 2, u"[HELP]"},
        {{u"", u"", u"", u"", u"[DESCRIPTION]\r\n"}, 4, u"[DESCRIPTION]"},
        {{u"", u"[AUTHOR]", u"", u"", u"[CODE]"}, 1, u"[AUTHOR]"},  // the first member's line
        {{u"[code]", u" [HELP]", u"[HELP] ", u"x[CODE]", u"[CODE]x\r\n[CODE"}, -1, u""},
    };
    for (const auto& c : cases) {
        ExtensionTexts texts = texts_of(c.texts);
        const ExtensionMarkerLine found = extension_texts_marker_line(texts);
        extension_texts_free(&texts);
        EXPECT_EQ(found.member, c.member) << c.texts;
        EXPECT_EQ(found.marker ? std::u16string(found.marker) : u"", c.marker) << c.texts;
    }
}

TEST_F(ExtensionFile, ReaderAcceptsEveryLineEnd) {
    EXPECT_EQ(read_raw("[HELP]\nline 1\nline 2\n\n[CODE]\rone\rtwo\r\r"),
              (Texts{u"", u"", u"", u"line 1\r\nline 2", u"one\r\ntwo"}));
    // The last line needs no line end.
    EXPECT_EQ(read_raw("[CODE]\r\nlast"), (Texts{u"", u"", u"", u"", u"last"}));
    EXPECT_EQ(read_raw(""), Texts{});
    EXPECT_EQ(read_raw("no markers\r\nat all"), Texts{});
}

TEST_F(ExtensionFile, ByteOrderMarkAtTheStartIsSkippedOrMakesTheFileUtf16) {
    EXPECT_EQ(read_raw("\xEF\xBB\xBF[EXTENSION]\r\nSparkle\r\n\r\n"), (Texts{u"Sparkle", u"", u"", u"", u""}));
    // Only at the very start: elsewhere it is a character of the text.
    EXPECT_EQ(read_raw("[EXTENSION]\r\n\xEF\xBB\xBFSparkle\r\n"), (Texts{u"\ufeffSparkle", u"", u"", u"", u""}));
    EXPECT_EQ(read_raw("\xEF\xBB\xBF\r\n[AUTHOR]\r\nAnn\r\n"), (Texts{u"", u"Ann", u"", u"", u""}));
    // A UTF-16 mark, in either byte order, makes the file read as UTF-16.
    ASSERT_EQ(write_texts(u"Extensions/Sparkle.qex", SPARKLE), 1);
    for (const bool big_endian : {false, true}) {
        std::string utf16 = big_endian ? "\xFE\xFF" : "\xFF\xFE";
        for (const char byte : read_bytes("Extensions/Sparkle.qex"))
            utf16 += big_endian ? std::string{'\0', byte} : std::string{byte, '\0'};
        EXPECT_EQ(read_raw(utf16), SPARKLE) << big_endian;
    }
}

TEST_F(ExtensionFile, InnerBlankLinesAreKept) {
    Texts texts{u"Para", u"Ann", u"First paragraph.\r\n\r\nSecond paragraph.", u"\r\n\r\nafter two blanks\r\n\r\n",
                u"\r\nfunction f() {\r\n\r\n  return 1;\r\n}\r\n"};
    ASSERT_EQ(write_texts(u"Extensions/Para.qex", texts), 1);
    EXPECT_EQ(read_texts(u"Extensions/Para.qex"), texts);
    // Save, open, save: the same bytes.
    std::string first = read_bytes("Extensions/Para.qex");
    ASSERT_EQ(write_texts(u"Extensions/Para.qex", read_texts(u"Extensions/Para.qex")), 1);
    EXPECT_EQ(read_bytes("Extensions/Para.qex"), first);
}

namespace {

// Random text pieces: any Unicode (surrogate pairs too), every line end, blank lines, and lines
// that look like markers in another case or with blanks around them.
std::u16string random_text(std::mt19937& random, bool one_line) {
    static const std::u16string pieces[] = {
        u"[code]",       u"[Extension]", u" [HELP]", u"[AUTHOR] ", u"[DESCRIPTION", u"\U0001F680",   u"\u00e9\u00df",
        u"\u4e2d\u6587", u"\ufeff",      u"\t",      u" ",         u"var x = 1;",   u"\u0627\u0644", u"\U00010348"};
    static const std::u16string ends[] = {u"\r\n", u"\n", u"\r"};
    std::u16string text;
    int length = random() % 12;
    for (int i = 0; i < length; ++i) {
        int choice = random() % 10;
        if (choice < 4) {
            text += pieces[random() % std::size(pieces)];
        } else if (choice < 7) {
            int run = random() % 20;
            for (int k = 0; k < run; ++k) text += static_cast<char16_t>(0x20 + random() % 0x5f);
        } else if (choice < 8) {
            text += static_cast<char16_t>(0xa0 + random() % 0xd700);  // somewhere in the BMP below the surrogates
        } else if (!one_line || random() % 4 == 0) {
            text += ends[random() % 3];
        }
    }
    return text;
}

// What the reader must give back for a text the writer wrote: all line ends become CR LF for a
// multi-line member; a one-line member loses its line ends.
std::u16string expected_back(const std::u16string& text, bool multi_line) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            if (multi_line) out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// True when some line of the text would read as a marker (the generator avoids those).
bool has_marker_line(const std::u16string& text) {
    std::u16string normal = expected_back(text, true);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = normal.find(u"\r\n", start);
        std::u16string line = normal.substr(start, end == std::u16string::npos ? end : end - start);
        for (const char16_t* marker : {u"[EXTENSION]", u"[AUTHOR]", u"[DESCRIPTION]", u"[HELP]", u"[CODE]"})
            if (line == marker) return true;
        if (end == std::u16string::npos) return false;
        start = end + 2;
    }
}

}  // namespace

TEST_F(ExtensionFile, RandomTextsReadBackAsTheReaderMust) {
    std::mt19937 random(1207);
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        Texts texts{random_text(random, true), random_text(random, true), random_text(random, false),
                    random_text(random, false), random_text(random, false)};
        if (has_marker_line(texts.extension + u"\n" + texts.author) || has_marker_line(texts.description) ||
            has_marker_line(texts.help) || has_marker_line(texts.code))
            continue;
        Texts expected{expected_back(texts.extension, false), expected_back(texts.author, false),
                       expected_back(texts.description, true), expected_back(texts.help, true),
                       expected_back(texts.code, true)};
        ASSERT_EQ(write_texts(u"Extensions/Random.qex", texts), 1);
        Texts back = read_texts(u"Extensions/Random.qex");
        ASSERT_EQ(back, expected) << "round " << round << "\nwritten: " << texts;
        // What was read writes the same bytes as a file written from CR LF texts, and reads back
        // unchanged.
        std::string first = read_bytes("Extensions/Random.qex");
        ASSERT_EQ(write_texts(u"Extensions/Again.qex", back), 1);
        ASSERT_EQ(read_texts(u"Extensions/Again.qex"), back) << "round " << round;
        ASSERT_EQ(write_texts(u"Extensions/Third.qex", read_texts(u"Extensions/Again.qex")), 1);
        ASSERT_EQ(read_bytes("Extensions/Third.qex"), read_bytes("Extensions/Again.qex"));
        if (texts == back) {
            ASSERT_EQ(read_bytes("Extensions/Again.qex"), first);
        }
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

TEST_F(ExtensionFile, ExtensionsIsAFileInsteadOfAFolder) {
    std::filesystem::remove("Extensions");
    write_raw("Extensions", "not a folder");
    EXPECT_EQ(write_texts(file_path_for(u"Sparkle"), SPARKLE), 0);
    EXPECT_EQ(read_bytes("Extensions"), "not a folder");
    EXPECT_EQ(listing(), std::vector<std::string>{"Extensions"});
    EXPECT_EQ(read_texts(file_path_for(u"Sparkle")), Texts{});
}

TEST_F(ExtensionFile, NamesAreRefusedOnlyWhereTheSystemWouldNotTakeThemAsTheyAre) {
    // With these folders present, "a/b" and "../x" would otherwise be writable paths.
    ASSERT_EQ(directory_create(u"Extensions/a"), 1);
    write_raw("Extensions/a/b.qex", "previous");
    std::vector<std::string> before = listing(), before_inside = listing("Extensions");
    const std::u16string longest(251, u'n');  // with ".qex", the 255 bytes a name may have
    for (const std::u16string& name :
         std::vector<std::u16string>{u"a/b", u"../x", longest + u"n", std::u16string(u"a\xD800")}) {
        EXPECT_EQ(file_path_for(name.c_str()), u"") << name.size();
        EXPECT_EQ(write_texts(file_path_for(name.c_str()), SPARKLE), 0);
    }
    // Paths built by hand with a file name the system would not take fail the same way.
    EXPECT_EQ(write_texts(u"Extensions/" + longest + u"n.qex", SPARKLE), 0);
    EXPECT_EQ(write_texts(u"Extensions/", SPARKLE), 0);
    EXPECT_EQ(write_texts(u"", SPARKLE), 0);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(listing("Extensions"), before_inside);
    EXPECT_EQ(listing("Extensions/a"), std::vector<std::string>{"b.qex"});
    EXPECT_EQ(read_bytes("Extensions/a/b.qex"), "previous");
    // Everything else is a name, saved under exactly that file name.
    for (const std::u16string& name : std::vector<std::u16string>{u"a|b", u"a:b", u"a\\b", u"what?", u"tab\there",
                                                                  u"\"q\"", u"\u00e9" + longest.substr(2)}) {
        EXPECT_EQ(file_path_for(name.c_str()), u"Extensions/" + name + u".qex");
        EXPECT_EQ(write_texts(file_path_for(name.c_str()), SPARKLE), 1);
        EXPECT_EQ(read_texts(u"Extensions/" + name + u".qex"), SPARKLE);
    }
}

TEST_F(ExtensionFile, ReadingAMissingPathCreatesNothing) {
    EXPECT_EQ(read_texts(u"Extensions/Missing.qex"), Texts{});
    EXPECT_EQ(read_texts(u"Nowhere/Missing.qex"), Texts{});
    EXPECT_EQ(read_texts(u""), Texts{});
    EXPECT_EQ(read_texts(u"Extensions"), Texts{});
    EXPECT_TRUE(listing("Extensions").empty());
    EXPECT_EQ(listing(), std::vector<std::string>{"Extensions"});
}

TEST_F(ExtensionFile, ReaderSaysWhyAFileGivesNoTexts) {
    if (rerun_unprivileged()) return;
    auto outcome_of = [](const char16_t* path) {
        ExtensionReadOutcome outcome = EXTENSION_READ;
        ExtensionTexts texts = read_extension_texts(path, &outcome);
        EXPECT_TRUE(!texts.extension && !texts.author && !texts.description && !texts.help && !texts.code);
        extension_texts_free(&texts);
        return outcome;
    };
    EXPECT_EQ(outcome_of(u"Extensions/Missing.qex"), EXTENSION_MISSING);
    EXPECT_EQ(outcome_of(u"Nowhere/Missing.qex"), EXTENSION_MISSING);
    ASSERT_EQ(directory_create(u"Extensions/Dir.qex"), 1);
    EXPECT_EQ(outcome_of(u"Extensions/Dir.qex"), EXTENSION_NOT_REGULAR);
    ASSERT_EQ(::mkfifo("Extensions/Pipe.qex", 0600), 0);
    EXPECT_EQ(outcome_of(u"Extensions/Pipe.qex"), EXTENSION_NOT_REGULAR);
    ASSERT_EQ(write_texts(u"Extensions/Locked.qex", SPARKLE), 1);
    ASSERT_EQ(::chmod("Extensions/Locked.qex", 0), 0);
    EXPECT_EQ(outcome_of(u"Extensions/Locked.qex"), EXTENSION_UNREADABLE);
    EXPECT_EQ(outcome_of(u"/proc/self/mem"), EXTENSION_UNREADABLE);  // opens, but reading fails
    write_raw("wide.qex", std::string("\xFF\xFE\0\0[\0\0\0", 8));    // a UTF-32 mark
    EXPECT_EQ(outcome_of(u"wide.qex"), EXTENSION_NOT_TEXT);

    // Every text must fit in the string area: one line too long, or many lines together.
    std::int32_t p0 = temp_position();
    AreaLimit limit(p0 + 2 * 1000 + 5);
    write_raw("long-line.qex", "[CODE]\r\n" + std::string(1001, 'x') + "\r\n");
    EXPECT_EQ(outcome_of(u"long-line.qex"), EXTENSION_TOO_LARGE);
    write_raw("long-text.qex", "[HELP]\r\n" + std::string(600, 'x') + "\r\n" + std::string(600, 'y') + "\r\n");
    EXPECT_EQ(outcome_of(u"long-text.qex"), EXTENSION_TOO_LARGE);
    write_raw("fits.qex", "[HELP]\r\n" + std::string(500, 'x') + "\r\n" + std::string(498, 'y') + "\r\n");
    ExtensionReadOutcome outcome = EXTENSION_MISSING;
    ExtensionTexts texts = read_extension_texts(u"fits.qex", &outcome);
    EXPECT_EQ(outcome, EXTENSION_READ);
    EXPECT_EQ(text_of(texts.help).size(), 1000u);
    extension_texts_free(&texts);
    EXPECT_EQ(temp_position(), p0);
    EXPECT_EQ(listing("Extensions"), (std::vector<std::string>{"Dir.qex", "Locked.qex", "Pipe.qex"}));
}

// Whatever memory the system refuses, a text grows geometrically: it is copied a bounded number
// of times, so reading stays linear in the file's size instead of regrowing line by line.
TEST_F(ExtensionFile, UnderAMemoryLimitATextStillGrowsGeometrically) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer keeps freed blocks mapped, which a limit on address space would count";
#endif
    std::string code;
    while (code.size() < (8u << 20)) code += "var line = 'of some length';\r\n";
    write_raw("big.qex", "[CODE]\r\n" + code);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for the text (two bytes a unit) and a little more, not for the reader's generous
        // first reservation (twice as many units as the file has bytes).
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        ::getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = pages * ::sysconf(_SC_PAGESIZE) + 3 * code.size();
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(3);
        const std::size_t before = heap_resize_count(string_heap());
        ExtensionReadOutcome outcome = EXTENSION_MISSING;
        ExtensionTexts texts = read_extension_texts(u"big.qex", &outcome);
        const std::size_t resizes = heap_resize_count(string_heap()) - before;
        // Measured without a copy: there is no room for one.
        const bool whole = outcome == EXTENSION_READ && string_len(texts.code) == std::int32_t(code.size() - 2);
        ::_exit(!whole ? 1 : resizes > 64 ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not read whole, 2: regrown too often, 3: no limit";
}

TEST_F(ExtensionFile, LargeTextsReadBackWhole) {
    // Short LF lines make the text longer than the file in units; two large members share a file.
    std::u16string code, expected_code;
    for (int i = 0; i < 120000; ++i) {
        code += (i % 7 == 0) ? u"\n" : u"y\n";
        expected_code += (i % 7 == 0) ? u"\r\n" : u"y\r\n";
    }
    std::u16string description;
    for (int i = 0; i < 30000; ++i) description += u"\u00e9t\u00e9 \U0001F600 line\r\n";
    Texts texts{u"Large", u"Ann", description, u"", code};
    ASSERT_EQ(write_texts(u"Extensions/Large.qex", texts), 1);
    Texts back = read_texts(u"Extensions/Large.qex");
    EXPECT_EQ(back.description, description);
    EXPECT_EQ(back.code.size(), expected_code.size());
    EXPECT_TRUE(back.code == expected_code);
    EXPECT_EQ(back.extension, u"Large");
}
