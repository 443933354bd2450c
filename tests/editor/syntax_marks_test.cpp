/** @file syntax_marks_test.cpp
 * A syntax error's marks on the real component: squiggle, margin marker, go to error, hover message. */
#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QTest>

#include <tuple>

#include "editor_support.h"

namespace {

class SyntaxMarks : public TypingTest {
protected:
    void SetUp() override {
        TypingTest::SetUp();
        code_editor_configure_syntax_marks(kEditor, SYNTAX_MARK_COLORS);
    }
    void mark(int line, int column, const char* message = "missing ) after argument list") {
        JsSyntaxError error{line, column, message};
        code_editor_mark_syntax_error(kEditor, &error);
    }
    std::string squiggled() const {
        std::string under;
        const std::string text = text_utf8();
        for (int at = 0; at < length(); ++at)
            if (send(SCI_INDICATORVALUEAT, INDICATOR_SYNTAX_ERROR, at)) under += text[at];
        return under;
    }
    std::vector<int> marked_lines() const {
        std::vector<int> lines;
        for (int line = 0; line < line_count(); ++line)
            if (send(SCI_MARKERGET, line) & (1 << MARKER_SYNTAX_ERROR)) lines.push_back(line + 1);
        return lines;
    }
};

TEST_F(SyntaxMarks, TheSquiggleTheMarkerAndGoToErrorAndNothingOnceCleared) {
    // The text, the error's line and column, what is squiggled, and the error's byte position.
    const std::tuple<const char*, int, int, const char*, int> cases[] = {
        {"var abc = 1;\nfoo(bar baz);\n", 2, 9, "baz", 21},
        {"x = 1 +* 2;\n", 1, 8, "*", 7},
        {"var s = 'open\nx;\n", 1, 9, "'open", 8},                 // a string left open: to the line's end
        {"var \xC3\xA9 = '\xC3\xBC\nx;\n", 1, 9, "'\xC3\xBC", 9},  // columns count characters
        {"x = 1 +\n", 1, 8, "+", 7},                               // at the line's end: the character before
        {"f(\n", 2, 1, "", 3},                                     // an empty last line: the marker alone
        {"a;\r\nb c;\r\n", 2, 3, "c", 6},
    };
    for (const auto& [text, line, column, squiggle, caret] : cases) {
        SCOPED_TRACE(text);
        set_utf8(text);
        mark(line, column);
        EXPECT_EQ(squiggled(), squiggle);
        EXPECT_EQ(marked_lines(), std::vector<int>{line});
        send(SCI_GOTOPOS, 0);
        EXPECT_TRUE(code_editor_go_to_syntax_error(kEditor));
        EXPECT_EQ(send(SCI_GETCURRENTPOS), caret);
        code_editor_mark_syntax_error(kEditor, nullptr);
        EXPECT_EQ(squiggled(), "");
        EXPECT_TRUE(marked_lines().empty());
        EXPECT_FALSE(code_editor_go_to_syntax_error(kEditor));
    }
}

TEST_F(SyntaxMarks, TheMarksMoveWithTheTextAndANewErrorReplacesTheOld) {
    set_utf8("a();\nb(;\n");
    mark(2, 3);
    send(SCI_GOTOPOS, 0);
    type("x = 1;");
    press(Qt::Key_Return);
    EXPECT_EQ(marked_lines(), std::vector<int>{3});
    EXPECT_EQ(squiggled(), ";");
    ASSERT_TRUE(code_editor_go_to_syntax_error(kEditor));
    EXPECT_EQ(send(SCI_GETCURRENTPOS), find("b(;") + 2);
    mark(1, 1, "other");
    EXPECT_EQ(marked_lines(), std::vector<int>{1});
    EXPECT_EQ(squiggled(), "x");
}

// The mouse resting on the squiggle shows the message; elsewhere, or once it moves on, nothing.
TEST_F(SyntaxMarks, TheMessageShowsWhileTheMouseRestsOnTheSquiggle) {
    set_utf8("var total = (1 + 2;\n");
    mark(1, 19, "missing ) in parenthetical");
    EXPECT_GT(send(SCI_GETMOUSEDWELLTIME), 0);
    send(SCI_SETMOUSEDWELLTIME, 100);  // the test need not wait as long as a person
    const auto tip_after_resting_on = [&](const char* text) {
        const int at = find(text);
        QTest::mouseMove(widget()->viewport(), QPoint(int(send(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0, at)) + 2,
                                                      int(send(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0, at)) + 4));
        QTest::qWait(300);
        return send(SCI_CALLTIPACTIVE) != 0;
    };
    EXPECT_FALSE(tip_after_resting_on("total"));
    EXPECT_TRUE(tip_after_resting_on(";"));
    EXPECT_FALSE(tip_after_resting_on("total"));
}

}  // namespace
