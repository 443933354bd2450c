// Styling that stops at the requested range and goes on when the component asks again, from
// where it has styled to, must end in the styles, fold levels and line states of a full run:
// random edits on a large document against a fresh full restyle; and invariants on real
// JavaScript from npm.
#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "editor_support.h"
#include "fuzz/line_styler_property.h"

namespace {

constexpr ObjectNumber kFresh = 13;

std::string sample_document(int functions) {
    std::string text;
    for (int i = 0; i < functions; ++i) {
        text += "/* Function " + std::to_string(i) + "\n * does things\n */\n";
        text += "function f" + std::to_string(i) + "(a, b) {\n";
        text += "    var s = \"it's /* not a comment\"; // note " + std::to_string(i) + "\n";
        text += "    if (a > " + std::to_string(i) + ".5) {\n        return foo (a) + 'x';\n    } else {\n";
        text += "        b = [1, 2.5, .5];\n    }\n}\n";
    }
    return text;
}

class LazyRestyle : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(EDITOR_LINE_NUMBERS, true);
        ASSERT_NE(code_editor_create(kFresh, 0, 0, 100, 100, nullptr, EDITOR_LINE_NUMBERS), 0);
        code_editor_configure_javascript(kFresh);
    }

    line_styler_fuzz::Picture fresh_full_run(const std::string& text) {
        std::u16string wide = utf16(text);
        code_editor_set_text(kFresh, wide.c_str(), 1);
        code_editor_restyle_lines(kFresh, 0, -1, -1);
        return line_styler_fuzz::picture(kFresh);
    }
};

TEST_F(LazyRestyle, RandomEditsEndLikeAFreshFullRun) {
    set_utf8(sample_document(150));
    std::mt19937 random(20261207);
    const char* pieces[] = {"/*", "*/",     "{", "}",   "\n",       "// x", "\"",
                            "'",  " foo (", ")", "1.5", "} else {", "\r\n", "var "};
    for (int round = 0; round < 40; ++round) {
        for (int edit = 0; edit < 5; ++edit) {
            const int n = length();
            const int at = static_cast<int>(random() % static_cast<unsigned>(n + 1));
            if (random() % 3 == 0 && n > 10) {
                send(SCI_DELETERANGE, static_cast<std::uintptr_t>(at > n - 5 ? n - 5 : at), 1 + random() % 4);
            } else {
                const char* piece = pieces[random() % std::size(pieces)];
                send(SCI_INSERTTEXT, static_cast<std::uintptr_t>(at), reinterpret_cast<std::intptr_t>(piece));
            }
            // The component asks for styles up to where it needs them (a screen below the edit).
            style_to(std::min(length(), at + static_cast<int>(random() % 3000)));
        }
        style_to(length());
        SCOPED_TRACE(round);
        const line_styler_fuzz::Picture lazy = line_styler_fuzz::picture(kEditor);
        const line_styler_fuzz::Picture full = fresh_full_run(text_utf8());
        ASSERT_EQ(lazy.states, full.states);
        ASSERT_EQ(lazy.levels, full.levels);
        ASSERT_EQ(lazy.styles, full.styles);
    }
}

TEST_F(LazyRestyle, OpeningACommentAtTheTopStylesOnlyWhatIsAskedFor) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "var a" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    set_utf8(text);
    ensure_styled();
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("/*"));
    style_to(static_cast<int>(send(SCI_POSITIONFROMLINE, 30)));
    EXPECT_EQ(line_state(29), 1);
    EXPECT_EQ(style_at(static_cast<int>(send(SCI_POSITIONFROMLINE, 29))), 3);
    // The rest waits until it is needed: the component knows it is not styled yet.
    EXPECT_LE(send(SCI_GETENDSTYLED), send(SCI_POSITIONFROMLINE, 31));
    EXPECT_EQ(line_state(60), 0);
    style_to(length());
    for (int line = 0; line < 100; ++line) ASSERT_EQ(line_state(line), 1) << line;
    EXPECT_EQ(style_at(find("var a99")), 3);
    // Closing it turns every line back.
    send(SCI_INSERTTEXT, 2, reinterpret_cast<std::intptr_t>("*/"));
    style_to(length());
    for (int line = 0; line < 101; ++line) ASSERT_EQ(line_state(line), 0) << line;
    EXPECT_EQ(style_at(find("var a99")), 2);
    EXPECT_EQ(line_styler_fuzz::picture(kEditor), fresh_full_run(text_utf8()));
}

// New text is styled as far as the screen shows it; folding asks for the lines below.
TEST_F(LazyRestyle, NewTextIsStyledOnScreenAndFoldsWhole) {
    std::string text = "function long() {\n";
    for (int i = 0; i < 300; ++i) text += "    a" + std::to_string(i) + "();\n";
    text += "}\nafter();\n";
    set_utf8(text);
    const int screen = static_cast<int>(send(SCI_LINESONSCREEN));
    ASSERT_GT(screen, 10);
    EXPECT_EQ(fold_level(screen), SC_FOLDLEVELBASE + 1);
    EXPECT_LE(send(SCI_GETENDSTYLED), send(SCI_POSITIONFROMLINE, screen + 2));
    send(SCI_TOGGLEFOLD, 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 300), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 301), 0);  // the closing brace belongs to the fold
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 302), 1);
}

TEST_F(LazyRestyle, FoldedLinesAboveDoNotLeaveTheScreenUnstyled) {
    set_utf8(sample_document(20));
    ensure_styled();
    send(SCI_TOGGLEFOLD, 3);  // "function f0(a, b) {" hides its body
    ASSERT_EQ(send(SCI_GETLINEVISIBLE, 4), 0);
    // An edit above makes everything below unstyled; the paint asks for the screen.
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("x"));
    const int target_line = 40;
    style_to(static_cast<int>(send(SCI_POSITIONFROMLINE, target_line + 1) - 1));
    EXPECT_GE(send(SCI_GETENDSTYLED), send(SCI_POSITIONFROMLINE, target_line));
}

// Invariants on real code: every byte styled, levels never below the base, states 0 or 1
// exactly as block comments say.
void check_real_file(LazyRestyle& test, ObjectNumber gadget, const std::string& text) {
    const line_styler_fuzz::Picture p = line_styler_fuzz::picture(gadget);
    ASSERT_EQ(p.styles.size(), text.size());
    EXPECT_EQ(static_cast<std::size_t>(scintilla_send(gadget, SCI_GETENDSTYLED)), text.size());
    std::size_t line_start = 0;
    for (std::size_t line = 0; line < p.states.size(); ++line) {
        std::size_t end = text.find('\n', line_start);
        if (end == std::string::npos) end = text.size();
        const std::string content = text.substr(line_start, end - line_start);
        ASSERT_GE(p.levels[line] & SC_FOLDLEVELNUMBERMASK, SC_FOLDLEVELBASE);
        ASSERT_TRUE(p.states[line] == 0 || p.states[line] == 1);
        const bool before = line > 0 && p.states[line - 1] == 1;
        // A line ends inside a comment only when one was open before it or opens on it, and a
        // comment open before it ends on it only where "*/" stands in comment style.
        if (p.states[line] == 1 && !before) {
            const std::size_t open = content.find("/*");
            ASSERT_NE(open, std::string::npos) << line + 1 << ": " << content;
            EXPECT_EQ(p.styles[line_start + open], 3) << line + 1;
        }
        if (p.states[line] == 0 && before) {
            const std::size_t close = content.find("*/");
            ASSERT_NE(close, std::string::npos) << line + 1 << ": " << content;
            EXPECT_EQ(p.styles[line_start + close + 1], 3) << line + 1;
        }
        if (p.states[line] == 1 && before) {
            for (std::size_t i = 0; i < content.size() && content[i] != '\r'; ++i) {
                ASSERT_EQ(p.styles[line_start + i], 3) << line + 1;
            }
        }
        line_start = end + 1;
    }
    (void)test;
}

TEST_F(LazyRestyle, RealNpmFileKeepsTheInvariants) {
    const std::string path = npm_input_path("lodash.debounce-4.0.8/package/index.js");
    SKIP_WITHOUT_NPM_INPUT(path);
    const std::string text = read_file(path);
    ASSERT_GT(text.size(), 10000u);
    set_utf8(text);
    ensure_styled();
    check_real_file(*this, kEditor, text);
    int comment_lines = 0;
    for (int line = 0; line < line_count(); ++line) comment_lines += line_state(line);
    EXPECT_GT(comment_lines, 100);  // the file is mostly documentation comments
    EXPECT_EQ(style_at(find("function debounce")), 2);
    EXPECT_EQ(
        fold_level(static_cast<int>(send(SCI_LINEFROMPOSITION, find("function debounce")))) & SC_FOLDLEVELHEADERFLAG,
        SC_FOLDLEVELHEADERFLAG);
}

// The benchmark's file (bench/fetch_typescript.sh); CI fetches it, so that there the test never skips.
TEST_F(LazyRestyle, TypeScriptCompilerKeepsTheInvariants) {
    const std::string path = npm_input_path("typescript-5.4.5/package/lib/typescript.js");
    SKIP_WITHOUT_NPM_INPUT(path);
    const std::string text = read_file(path);
    set_utf8(text);
    ensure_styled();
    check_real_file(*this, kEditor, text);
}

}  // namespace
