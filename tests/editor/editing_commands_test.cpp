/** @file editing_commands_test.cpp
 * What the code editor does beyond styling: the bracket at the caret and its partner, commenting
 * lines out and in as one undo step, going to a line and column, the line numbers following the
 * zoom, and undo and the clipboard through the gadget's edit slot. */
#include "editor_support.h"

#include <Qsci/qsciscintillabase.h>
#include <QClipboard>
#include <QGuiApplication>

#include "runtime/ui/gadget.h"

namespace {

class EditingCommands : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(EDITOR_LINE_NUMBERS, true);
    }
    // The text with its selection from `anchor` to the caret.
    void select(std::intptr_t anchor, std::intptr_t caret) const { send(SCI_SETSEL, anchor, caret); }
};

TEST_F(EditingCommands, TheBracketAtTheCaretFindsItsPartnerPastStringsAndComments) {
    struct Case {
        const char* text;
        int caret;
        int brace;    // -1: none
        int partner;  // BRACE_NONE when unmatched
    };
    const Case cases[] = {
        {"f(a[1], {b: 2});", 2, 1, 14},                        // the bracket before the caret first
        {"f(a[1], {b: 2});", 3, 3, 5},                         // else the one after it
        {"((a)(b))", 0, 0, 7},                                 // nesting counts
        {"((a)(b))", 8, 7, 0},                                 // and backwards
        {"(a, ')', b)", 1, 0, 10},                             // a bracket in a string is no partner
        {"{ // }\n}", 0, 0, 7},                                // nor one in a line comment
        {"( /* ) */ )", 0, 0, 10},                             // nor one in a block comment
        {"s = '(' + a;", 6, -1, 0},                            // and one in a string has none
        {"(a", 1, 0, int(BRACE_NONE)},                         // unmatched
        {"a)", 2, 1, int(BRACE_NONE)},  {"a = b;", 2, -1, 0},  // no bracket at the caret
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        set_utf8(c.text);
        ensure_styled();
        send(SCI_GOTOPOS, c.caret);
        const BraceHighlight shown = code_editor_highlight_braces(kEditor);
        EXPECT_EQ(shown.brace, c.brace);
        if (c.brace >= 0) {
            EXPECT_EQ(shown.partner, c.partner);
        }
    }
}

TEST_F(EditingCommands, TheWalkStylesTheTextAheadAndStopsAtItsLimits) {
    // The partner lies below what is styled, within the styling ahead; the ")" in the comment on
    // the way is skipped.
    auto lines = [](int count) {
        std::string text = "(\n";
        for (int i = 0; i < count; ++i) text += "x = 1;\n";
        return text + "// )\n)";
    };
    const int within = int(BRACE_STYLE_AHEAD / 8), beyond = int(BRACE_STYLE_AHEAD / 4);
    set_utf8(lines(within));
    EXPECT_EQ(code_editor_brace_partner(kEditor, 0), length() - 1);
    // Further below unstyled text it is not looked for: neither matched nor called unmatched;
    // once styled, it is found.
    set_utf8(lines(beyond));
    EXPECT_EQ(code_editor_brace_partner(kEditor, 0), BRACE_UNKNOWN);
    ensure_styled();
    EXPECT_EQ(code_editor_brace_partner(kEditor, 0), length() - 1);
    // Nor is one beyond the walk's limit, either way.
    set_utf8("(" + std::string(std::size_t(BRACE_SEARCH_LIMIT) + 10, 'x') + ")");
    ensure_styled();
    EXPECT_EQ(code_editor_brace_partner(kEditor, 0), BRACE_UNKNOWN);
    EXPECT_EQ(code_editor_brace_partner(kEditor, length() - 1), BRACE_UNKNOWN);
}

TEST_F(EditingCommands, ToggleCommentPutsOrTakesTheMarkOnEveryLineAsOneUndoStep) {
    struct Case {
        const char* text;
        int anchor, caret;
        const char* toggled;
    };
    const Case cases[] = {
        {"var a;", 2, 2, "// var a;"},     // the caret's line
        {"// var a;", 0, 0, "var a;"},     // taken away with its blank
        {"  //x", 0, 0, "  x"},            // after the indentation, with no blank
        {"\t\tx", 0, 0, "// \t\tx"},       // put at the line's start
        {"a\n\nb", 0, 4, "// a\n\n// b"},  // lines of blanks stay as they are
        {"// a\n\n  // b", 0, 11, "a\n\n  b"},
        {"// a\nb", 0, 6, "// // a\n// b"},     // not every line has it: all get it
        {"a\nb\nc", 0, 2, "// a\nb\nc"},        // a selection ending at a line's start
        {"a\nb\nc", 5, 1, "// a\n// b\n// c"},  // backwards
        {"", 0, 0, "// "},                      // an empty line gets the mark
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        set_utf8(c.text);
        select(c.anchor, c.caret);
        code_editor_toggle_comment(kEditor);
        EXPECT_EQ(text_utf8(), c.toggled);
        send(SCI_UNDO);
        EXPECT_EQ(text_utf8(), c.text);
        EXPECT_EQ(send(SCI_CANUNDO), 0);
    }
}

TEST_F(EditingCommands, GoToMovesTheCaretToALineAndColumnAndShowsItOrRefuses) {
    // A tab stands for four columns.
    set_utf8("a\n\tb\nccc");
    EXPECT_TRUE(code_editor_go_to(kEditor, 2, 5));
    EXPECT_EQ(send(SCI_GETCURRENTPOS), 3);
    EXPECT_TRUE(code_editor_go_to(kEditor, 3, 99));  // past the end: the line's end
    EXPECT_EQ(send(SCI_GETCURRENTPOS), length());
    for (auto [line, column] : {std::pair{0L, 1L}, {4L, 1L}, {1L, 0L}, {-1L, 1L}}) {
        EXPECT_FALSE(code_editor_go_to(kEditor, line, column)) << line << ":" << column;
        EXPECT_EQ(send(SCI_GETCURRENTPOS), length());
    }
    // A far line comes into the middle of the view, a folded one is unfolded first.
    std::string text = "function f() {\n";
    for (int i = 0; i < 999; ++i) text += "x = 1;\n";
    set_utf8(text + "}\n");
    widget()->window()->show();
    ensure_styled();
    send(SCI_TOGGLEFOLD, 0);
    ASSERT_EQ(send(SCI_GETLINEVISIBLE, 500), 0);
    EXPECT_TRUE(code_editor_go_to(kEditor, 501, 1));
    EXPECT_NE(send(SCI_GETLINEVISIBLE, 500), 0);
    const std::intptr_t top = send(SCI_GETFIRSTVISIBLELINE);
    EXPECT_LE(top, 500);
    EXPECT_GT(top + send(SCI_LINESONSCREEN), 500);
}

TEST_F(EditingCommands, TheLineNumbersFollowTheZoom) {
    set_utf8("a\nb");
    const std::intptr_t normal = send(SCI_GETMARGINWIDTHN, MARGIN_LINE_NUMBERS);
    send(SCI_SETZOOM, 8);
    EXPECT_GT(send(SCI_GETMARGINWIDTHN, MARGIN_LINE_NUMBERS), normal);
    send(SCI_SETZOOM, 0);
    EXPECT_EQ(send(SCI_GETMARGINWIDTHN, MARGIN_LINE_NUMBERS), normal);
}

TEST_F(EditingCommands, UndoAndTheClipboardThroughTheGadget) {
    set_utf8("");
    QGuiApplication::clipboard()->clear();
    for (int action : {EDIT_UNDO, EDIT_REDO, EDIT_CUT, EDIT_COPY, EDIT_PASTE, EDIT_SELECT_ALL})
        EXPECT_EQ(gadget_can_edit(kEditor, action), 0) << action;
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("abc"));
    EXPECT_EQ(gadget_edit(kEditor, EDIT_SELECT_ALL), 1);
    EXPECT_EQ(gadget_edit(kEditor, EDIT_CUT), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "abc");
    EXPECT_EQ(gadget_edit(kEditor, EDIT_PASTE), 1);
    EXPECT_EQ(gadget_edit(kEditor, EDIT_PASTE), 1);
    EXPECT_EQ(text_utf8(), "abcabc");
    EXPECT_EQ(gadget_edit(kEditor, EDIT_UNDO), 1);
    EXPECT_EQ(text_utf8(), "abc");
    EXPECT_EQ(gadget_edit(kEditor, EDIT_REDO), 1);
    EXPECT_EQ(text_utf8(), "abcabc");
}

}  // namespace
