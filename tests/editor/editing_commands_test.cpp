/** @file editing_commands_test.cpp
 * What the code editor does beyond styling: bracket partners, commenting lines out and in, going
 * to a line and column, line numbers that follow the zoom, and the menu of a right click or the
 * Menu key. Undo and the clipboard are tested through the main window's Edit menu. */
#include "editor_support.h"

#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "editor/scintilla.h"

namespace {

class EditingCommands : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(EDITOR_LINE_NUMBERS, true);
    }
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
        {"(b + ')')", 9, 8, 0},                                // backwards too
        {"( /* ( */ )", 11, 10, 0},                            // as one in a comment
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
        EXPECT_TRUE(c.brace < 0 || shown.partner == c.partner) << shown.partner;
    }
}

TEST_F(EditingCommands, TheWalkStylesTheTextAheadAndStopsAtItsLimits) {
    // A partner below the styled text is found within the styling ahead, past a ")" in a comment;
    auto lines = [](int count) {
        std::string text = "(\n";
        for (int i = 0; i < count; ++i) text += "x = 1;\n";
        return text + "// )\n)";
    };
    const int within = int(BRACE_STYLE_AHEAD / 8), beyond = int(BRACE_STYLE_AHEAD / 4);
    set_utf8(lines(within));
    EXPECT_EQ(code_editor_brace_partner(kEditor, 0), length() - 1);
    // further down it is left unknown until styled.
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
        send(SCI_SETSEL, c.anchor, c.caret);
        code_editor_toggle_comment(kEditor);
        EXPECT_EQ(text_utf8(), c.toggled);
        send(SCI_UNDO);
        EXPECT_EQ(text_utf8(), c.text);
        EXPECT_EQ(send(SCI_CANUNDO), 0);
    }
}

TEST_F(EditingCommands, GoToMovesTheCaretToALineAndColumnAndShowsItOrRefuses) {
    // A tab stands for four columns; past a line's end is its end; a refusal leaves the caret.
    set_utf8("a\n\tb\nccc");
    const struct {
        long line, column;
        bool done;
        int caret;
    } cases[] = {{2, 5, true, 3},  {3, 99, true, 8}, {0, 1, false, 8},
                 {4, 1, false, 8}, {1, 0, false, 8}, {-1, 1, false, 8}};
    for (const auto& c : cases) {
        EXPECT_EQ(code_editor_go_to(kEditor, c.line, c.column), c.done) << c.line << ":" << c.column;
        EXPECT_EQ(send(SCI_GETCURRENTPOS), c.caret) << c.line << ":" << c.column;
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

// Each item of the code's own menu acts, and is offered only when it can.
TEST_F(EditingCommands, TheMenuOfTheCodeActsOnIt) {
    QGuiApplication::clipboard()->clear();
    set_utf8("abc");
    auto* editor = static_cast<QsciScintillaBase*>(scintilla_widget(kEditor));
    // Opens the menu, from the Menu key or else a right click, and takes the item `chosen`;
    // answers the items offered.
    const auto choose = [editor](const QString& chosen, bool key = true) {
        QString offered;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions())
                if (!action->isSeparator() && action->isEnabled()) offered += action->text() + ",";
            for (QAction* action : menu->actions())
                if (action->text() == chosen) action->trigger();
            menu->close();
        });
        if (key) {
            QTest::keyClick(editor, Qt::Key_Menu);
        } else {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(1, 1),
                                    editor->viewport()->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(editor->viewport(), &click);
        }
        return offered;
    };
    EXPECT_EQ(choose("Select All"), "Select All,");
    EXPECT_EQ(send(SCI_GETSELECTIONEND), 3);
    EXPECT_EQ(choose("Delete"), "Cut,Copy,Delete,Select All,");
    EXPECT_EQ(text_utf8(), "");
    EXPECT_EQ(choose("Undo", false), "Undo,");
    EXPECT_EQ(text_utf8(), "abc");
}

}  // namespace
