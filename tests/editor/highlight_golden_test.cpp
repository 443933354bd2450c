// Golden files of the JavaScript highlighting: each input in tests/highlight/ has its expected
// styles (.styled) and fold levels with line states (.folded). A mismatch writes a .new file
// beside the expected one for a person to read and promote. Typing the text piece by piece,
// typing it bottom-up (each piece styled as the component asks for it), and CR LF line ends
// must all give the same result. A file from the npm registry, fetched at test time, keeps only
// our result here: its style runs and fold levels, without its text.
#include <Qsci/qsciscintillabase.h>

#include <filesystem>

#include "editor/scintilla.h"
#include "editor_support.h"

namespace {

const std::string kHighlightDir = std::string(QEM_SOURCE_DIR) + "/tests/highlight/";

std::vector<std::string> inputs() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kHighlightDir))
        if (entry.path().extension() == ".js") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

class HighlightGolden : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(EDITOR_LINE_NUMBERS, true);
    }

    std::string styled() const { return format_styled(text_utf8(), snapshot().styles); }
    std::string folded() const {
        EditorSnapshot shot = snapshot();
        return format_folded(text_utf8(), shot.fold_levels, shot.line_states);
    }

    // Compares with the expected file, writing a .new file on a mismatch.
    void expect_golden(const std::string& path, const std::string& actual) {
        std::string expected = read_file(path);
        if (expected != actual) {
            write_file(path + ".new", actual);
            ADD_FAILURE() << path << " differs; the result is in " << path << ".new";
        } else {
            std::filesystem::remove(path + ".new");
        }
    }

    void insert_at(int position, const std::string& text) {
        send(SCI_INSERTTEXT, static_cast<std::uintptr_t>(position), reinterpret_cast<std::intptr_t>(text.c_str()));
    }
};

TEST_F(HighlightGolden, FullRestyleMatchesTheExpectedFiles) {
    const auto names = inputs();
    ASSERT_GE(names.size(), 3u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        set_utf8(read_file(kHighlightDir + name));
        ensure_styled();
        expect_golden(kHighlightDir + name + ".styled", styled());
        // The spare styles are configured, but no token of the JavaScript set-up takes them.
        for (int style : snapshot().styles)
            EXPECT_TRUE(style < STYLE_SPARE_TEAL || style > STYLE_SPARE_RED_BOLD) << style;
        expect_golden(kHighlightDir + name + ".folded", folded());
    }
}

TEST_F(HighlightGolden, TypingLineByLineGivesTheSameResult) {
    for (const std::string& name : inputs()) {
        SCOPED_TRACE(name);
        const std::string source = read_file(kHighlightDir + name);
        set_utf8(source);
        ensure_styled();
        const EditorSnapshot full = snapshot();

        set_utf8("");
        std::size_t start = 0;
        while (start < source.size()) {
            std::size_t end = source.find('\n', start);
            end = end == std::string::npos ? source.size() : end + 1;
            // A line goes in as two pieces, each styled as the component asks for it.
            std::size_t middle = start + (end - start) / 2;
            insert_at(length(), source.substr(start, middle - start));
            style_to(length());
            insert_at(length(), source.substr(middle, end - middle));
            style_to(length());
            start = end;
        }
        ASSERT_EQ(text_utf8(), source);
        EXPECT_EQ(snapshot(), full);
    }
}

TEST_F(HighlightGolden, TypingBottomUpCarriesCommentStatesDownwards) {
    for (const std::string& name : inputs()) {
        SCOPED_TRACE(name);
        const std::string source = read_file(kHighlightDir + name);
        set_utf8(source);
        ensure_styled();
        const EditorSnapshot full = snapshot();

        std::vector<std::string> lines;
        for (std::size_t start = 0; start < source.size();) {
            std::size_t end = source.find('\n', start);
            end = end == std::string::npos ? source.size() : end + 1;
            lines.push_back(source.substr(start, end - start));
            start = end;
        }
        set_utf8("");
        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            insert_at(0, *line);
            // The component asks for what it shows, here a screen of three lines; the rest
            // when it comes into view.
            style_to(line_count() > 3 ? static_cast<int>(send(SCI_POSITIONFROMLINE, 3)) : length());
        }
        style_to(length());
        ASSERT_EQ(text_utf8(), source);
        EXPECT_EQ(snapshot(), full);
    }
}

TEST_F(HighlightGolden, CrLfLineEndsStyleAsLf) {
    for (const std::string& name : inputs()) {
        SCOPED_TRACE(name);
        set_utf8(crlf(read_file(kHighlightDir + name)));
        ensure_styled();
        EXPECT_EQ(styled(), crlf(read_file(kHighlightDir + name + ".styled")));
        EXPECT_EQ(folded(), read_file(kHighlightDir + name + ".folded"));
    }
}

TEST_F(HighlightGolden, FetchedNpmFileMatchesItsExpectedRuns) {
    const std::string path = npm_input_path("lodash.debounce-4.0.8/package/index.js");
    SKIP_WITHOUT_NPM_INPUT(path);
    set_utf8(read_file(path));
    ensure_styled();
    expect_golden(kHighlightDir + "npm/lodash.debounce-4.0.8.runs", format_runs(text_utf8(), snapshot()));
}

}  // namespace
