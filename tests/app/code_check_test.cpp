/** @file code_check_test.cpp
 * The syntax check in the running program on the offscreen platform: a broken line typed is marked
 * after the pause and cleared once fixed, an opened file is checked at once, and an answer about a
 * text changed since it was asked for is dropped. */
#include "app_driver.h"

#include "app/code_check.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::intptr_t send(unsigned message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(GADGET_CODE, message, wparam, lparam);
}

// The 1-based lines that carry the error marker.
std::vector<int> marked_lines() {
    std::vector<int> lines;
    const std::intptr_t count = send(SCI_GETLINECOUNT);
    for (std::intptr_t line = 0; line < count; ++line)
        if (send(SCI_MARKERGET, static_cast<std::uintptr_t>(line)) & (1 << MARKER_SYNTAX_ERROR))
            lines.push_back(static_cast<int>(line) + 1);
    return lines;
}

bool squiggle_anywhere() {
    for (std::intptr_t at = 0; at < send(SCI_GETLENGTH); ++at)
        if (send(SCI_INDICATORVALUEAT, INDICATOR_SYNTAX_ERROR, static_cast<std::uintptr_t>(at))) return true;
    return false;
}

class CodeCheck : public ::testing::Test {
protected:
    void start(int pause) {
        code_check_set_pause(pause);
        application_start();
        started_ = true;
        main_window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
    }
    void TearDown() override {
        if (started_) application_end();
        code_check_set_pause(default_pause_);
    }
    ScratchDirectory scratch_;
    bool started_ = false;
    const int default_pause_ = code_check_pause();
};

TEST_F(CodeCheck, ABrokenLineIsMarkedAfterThePauseAndAFixClearsEverything) {
    start(200);
    AppDriver driver;
    driver.then("type a clean line, then a broken one", [] {
        type_into(gadget_widget(GADGET_CODE), "var a = 1;\nvar b = (a + 2;");
        return true;
    });
    driver.then("once typing pauses, the error is marked, its message beside the status line", [] {
        if (code_check_status_text().empty()) return false;
        EXPECT_EQ(code_check_status_text(), u"Line 2, column 15: missing ) in parenthetical");
        EXPECT_EQ(field_text(GADGET_STATUS_MESSAGE), code_check_status_text());
        EXPECT_EQ(gadget_widget(GADGET_STATUS_MESSAGE)->accessibleName(),
                  "Syntax error: Line 2, column 15: missing ) in parenthetical");
        EXPECT_EQ(marked_lines(), std::vector<int>{2});
        EXPECT_TRUE(squiggle_anywhere());
        send(SCI_GOTOPOS, 0);
        return true;
    });
    driver.key(Qt::Key_F8);
    driver.then("F8 from the top put the caret before the missing parenthesis; close it", [] {
        EXPECT_EQ(send(SCI_GETCURRENTPOS), send(SCI_POSITIONFROMLINE, 1) + 14);
        QTest::keyClicks(gadget_widget(GADGET_CODE), ")");
        return true;
    });
    driver.then("the next check clears everything", [] {
        if (!code_check_status_text().empty()) return false;
        EXPECT_TRUE(marked_lines().empty());
        EXPECT_FALSE(squiggle_anywhere());
        EXPECT_EQ(field_text(GADGET_STATUS_MESSAGE), u"");
        EXPECT_EQ(code_text(), u"var a = 1;\r\nvar b = (a + 2);");
        return true;
    });
    driver.exit_program().run_application();
}

// Open checks at once, without the pause; New clears the marks. An answer about a text edited
// since it was asked for is dropped, and the newer text gets its own check.
TEST_F(CodeCheck, OpenChecksAtOnceNewClearsAndAStaleAnswerIsDropped) {
    write_file("Broken.qex", extension_file("Broken", "", "", "", "function f() {\r\n  return [1, 2;\r\n}"));
    start(60 * 60 * 1000);
    AppDriver driver;
    driver.open_through_requester("Broken.qex");
    driver.then("the opened code is marked on its line", [] {
        if (marked_lines().empty()) return false;
        EXPECT_EQ(marked_lines(), std::vector<int>{2});
        EXPECT_EQ(code_check_status_text(), u"Line 2, column 15: missing ] after element list");
        return true;
    });
    driver.key(Qt::Key_N, Qt::ControlModifier).answer("Confirm", "Create a new extension?", "Yes");
    driver.then("New clears the marks", [] { return marked_lines().empty() && code_check_status_text().empty(); });
    CodeCheckFigures before{};
    driver.then("type a broken call, ask for its check and fix the call before the answer is taken", [&before] {
        type_into(gadget_widget(GADGET_CODE), "f(;");
        before = code_check_figures();
        code_check_texts_settled();
        code_check_tick();
        EXPECT_EQ(code_check_wait_time(), -1);
        send(SCI_INSERTTEXT, 2, reinterpret_cast<std::intptr_t>(")"));
        return true;
    });
    driver.then("the answer about the broken call is dropped",
                [&before] { return code_check_figures().dropped == before.dropped + 1; });
    driver.then("unshown; the fixed text is checked", [&before] {
        EXPECT_EQ(code_check_figures().shown, before.shown);
        code_check_texts_settled();
        return true;
    });
    driver.then("and found clean, with no mark", [&before] {
        if (code_check_figures().shown == before.shown) return false;
        EXPECT_TRUE(marked_lines().empty());
        EXPECT_EQ(code_check_status_text(), u"");
        return true;
    });
    driver.exit_program().run_application();
}

}  // namespace
