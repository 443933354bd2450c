/** @file code_check_test.cpp
 * The syntax check in the running program on the offscreen platform. */
#include "app_driver.h"

#include "app/code_check.h"
#include "editor/code_editor.h"
#include "editor/names/symbols.h"
#include "editor/scintilla.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::intptr_t send(unsigned message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(GADGET_CODE, message, wparam, lparam);
}

// The 1-based line of the first error marker; 0 when none is shown.
int marked_line() { return static_cast<int>(send(SCI_MARKERNEXT, 0, 1 << MARKER_SYNTAX_ERROR)) + 1; }

// The names of the symbol index the check handed over, "-" before any.
std::string symbol_names() {
    const auto index = code_check_symbols();
    if (!index) return "-";
    std::string names;
    for (std::size_t i = 0; i < index->size(); ++i) names += std::string(index->at(i).name) + " ";
    return names;
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
        EXPECT_EQ(marked_line(), 2);
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
        EXPECT_EQ(marked_line(), 0);
        EXPECT_EQ(field_text(GADGET_STATUS_MESSAGE), u"");
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
        if (marked_line() == 0) return false;
        EXPECT_EQ(marked_line(), 2);
        EXPECT_EQ(code_check_status_text(), u"Line 2, column 15: missing ] after element list");
        EXPECT_EQ(symbol_names(), "f ");
        return true;
    });
    driver.key(Qt::Key_N, Qt::ControlModifier).answer("Confirm", "Create a new extension?", "Yes");
    driver.then("New clears the marks", [] { return marked_line() == 0 && code_check_status_text().empty(); });
    CodeCheckFigures before{};
    driver.then("type a broken call, ask for its check and fix the call before the answer is taken", [&before] {
        type_into(gadget_widget(GADGET_CODE), "function g() {}\nf(;");
        before = code_check_figures();
        code_check_texts_settled();
        code_check_tick();
        send(SCI_INSERTTEXT, send(SCI_GETLENGTH) - 1, reinterpret_cast<std::intptr_t>(")"));
        return true;
    });
    driver.then("the answer and index of the broken call are dropped; the fixed text is checked", [&before] {
        if (code_check_figures().dropped != before.dropped + 1) return false;
        EXPECT_EQ(code_check_figures().shown, before.shown);
        EXPECT_EQ(symbol_names(), "");
        code_check_texts_settled();
        return true;
    });
    driver.then("and found clean, with no mark", [&before] {
        if (code_check_figures().shown == before.shown) return false;
        EXPECT_EQ(marked_line(), 0);
        EXPECT_EQ(code_check_status_text(), u"");
        EXPECT_EQ(symbol_names(), "g ");
        return true;
    });
    driver.exit_program().run_application();
}

}  // namespace
