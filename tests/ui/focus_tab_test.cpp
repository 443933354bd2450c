// Tab and Shift+Tab pressed on real widgets: the focus moves through the tab stops with wrap-around
// while the window has its Tab entries, and never once they are removed (fields keep the key,
// multi-line editors insert it).
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/window_internal.h"
#include "runtime/ui/window_qt.h"

namespace {

QWidget* control(ObjectNumber gadget) { return static_cast<QWidget*>(gadget_lookup(gadget)->handle); }

constexpr ObjectNumber WINDOW = 80;

class FocusTab : public testing::Test {
protected:
    void SetUp() override {
        window_open(WINDOW, 0, 0, 400, 300, u"Tab", 0xC80001);
        string_gadget_create(7, 10, 10, 200, 22, u"a");
        text_gadget_create(ANY_NUMBER, 10, 40, 200, 22, u"label");  // no tab stop
        string_gadget_create(8, 10, 70, 200, 22, u"b");
        button_gadget_create(12, 10, 100, 80, 25, u"OK");
        editor_gadget_create(9, 10, 130, 200, 100);
        window = window_widget(window_handle(WINDOW));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        control(7)->setFocus();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), control(7));
    }
    void TearDown() override {
        window_close(WINDOW);
        while (event_wait(0)) {}
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QCoreApplication::processEvents();
    }
    QWidget* window = nullptr;
};

TEST_F(FocusTab, TabWalksTheStopsAndWrapsAround) {
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(8));
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(12));
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(9));
    // In a writable multi-line editor a plain Tab is typed, even while the Tab entries exist.
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(9));
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control(9))->toPlainText(), QStringLiteral("\t"));
    // Shift+Tab leaves it backward.
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), control(12));
}

TEST_F(FocusTab, ShiftTabOnTheFirstStopGoesToTheLast) {
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), control(9));
    // And Tab from a read-only editor moves on, wrapping to the first stop.
    qobject_cast<QPlainTextEdit*>(control(9))->setReadOnly(true);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
}

TEST_F(FocusTab, DisabledStopsAreSkipped) {
    control(8)->setEnabled(false);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(12));
}

TEST_F(FocusTab, WithoutTabEntriesTabNeverMovesTheFocus) {
    shortcut_remove(WINDOW, SHORTCUT_ALL);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
    EXPECT_EQ(qobject_cast<QLineEdit*>(control(7))->text(), QStringLiteral("a"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
    control(9)->setFocus();
    QCoreApplication::processEvents();
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(9));
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control(9))->toPlainText(), QStringLiteral("\t"));
    // A new shortcut afterwards makes a one-entry table, still without Tab.
    shortcut_add(WINDOW, 0x2004E, 2);
    WindowRecord* record = window_lookup(WINDOW);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->shortcut_count, 1);
    ASSERT_NE(record->accelerator_table, nullptr);
    EXPECT_EQ(record->accelerator_table->count, 1);
    control(7)->setFocus();
    QCoreApplication::processEvents();
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
}

TEST_F(FocusTab, FocusComesBackToItsControlWhenTheWindowIsActivatedAgain) {
    control(8)->setFocus();
    QCoreApplication::processEvents();
    window_open(WINDOW + 1, 0, 0, 200, 100, u"Other", 0xC80001);
    QWidget* other = window_widget(window_handle(WINDOW + 1));
    other->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(other));
    window_activate(WINDOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), control(8));
    bool activated = false;
    while (int code = event_wait(0))
        if (code == EVENT_WINDOW_ACTIVATED && event_object() == WINDOW) activated = true;
    EXPECT_TRUE(activated);
    window_close(WINDOW + 1);
}

TEST_F(FocusTab, ASavedFocusWhoseControlWasDestroyedIsForgotten) {
    control(8)->setFocus();
    QCoreApplication::processEvents();
    window_open(WINDOW + 1, 0, 0, 200, 100, u"Other", 0xC80001);
    QWidget* other = window_widget(window_handle(WINDOW + 1));
    other->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(other));
    // The control that had the focus goes while its window is inactive.
    delete control(8);
    EXPECT_FALSE(gadget_exists(8));
    window_activate(WINDOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == nullptr || focus->window() == window);
    window_close(WINDOW + 1);
}

}  // namespace
