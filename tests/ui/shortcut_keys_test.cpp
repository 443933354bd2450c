// Shortcuts driven by key presses on real widgets: a window's shortcut acts before the focused
// widget sees the key (Ctrl+X is a command and cuts nothing), menus and shortcuts give the same
// event, and the controls that keep keys to themselves.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <vector>

#include <gtest/gtest.h>

#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/shortcut.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_qt.h"

namespace {

struct Seen {
    int code;
    ObjectNumber object;
};

std::vector<Seen> collect() {
    QCoreApplication::processEvents();
    std::vector<Seen> seen;
    while (int code = event_wait(0)) seen.push_back({code, event_object()});
    return seen;
}

int menu_events(const std::vector<Seen>& seen, ObjectNumber item) {
    int n = 0;
    for (const Seen& s : seen)
        if (s.code == EVENT_MENU && s.object == item) ++n;
    return n;
}

QWidget* control(ObjectNumber gadget) { return static_cast<QWidget*>(gadget_lookup(gadget)->handle); }

constexpr ObjectNumber WINDOW = 70;

// The main window's set-up: every shortcut removed, then Ctrl+N, Ctrl+O, Ctrl+S, Ctrl+X.
class ShortcutKeys : public testing::Test {
protected:
    void SetUp() override {
        window_open(WINDOW, 0, 0, 400, 300, u"Keys", 0xC80001);
        string_gadget_create(7, 10, 10, 200, 22, u"hello");
        editor_gadget_create(9, 10, 40, 200, 100);
        gadget_set_text(9, u"line one\r\nline two");
        shortcut_remove(WINDOW, SHORTCUT_ALL);
        shortcut_add(WINDOW, 0x2004E, 2);
        shortcut_add(WINDOW, 0x2004F, 3);
        shortcut_add(WINDOW, 0x20053, 4);
        shortcut_add(WINDOW, 0x20058, 6);
        window = window_widget(window_handle(WINDOW));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        collect();
    }
    void TearDown() override {
        window_close(WINDOW);
        collect();
    }
    QWidget* window = nullptr;
};

TEST_F(ShortcutKeys, CtrlXInAFieldIsTheExitCommandAndCutsNothing) {
    auto* field = qobject_cast<QLineEdit*>(control(7));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(menu_events(collect(), 6), 1);
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
}

TEST_F(ShortcutKeys, CtrlXInAMultiLineEditorIsTheExitCommandAndCutsNothing) {
    auto* editor = qobject_cast<QPlainTextEdit*>(control(9));
    editor->setFocus();
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(menu_events(collect(), 6), 1);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("line one\nline two"));
}

TEST_F(ShortcutKeys, WithoutTheShortcutCtrlXCutsAgain) {
    // The check above would pass for a filter that swallowed every Ctrl key; this one would not.
    shortcut_remove(WINDOW, 0x20058);
    auto* field = qobject_cast<QLineEdit*>(control(7));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(menu_events(collect(), 6), 0);
    EXPECT_EQ(field->text(), QString());
}

TEST_F(ShortcutKeys, EachShortcutGivesItsItemAndOnlyWithItsModifiers) {
    auto* field = qobject_cast<QLineEdit*>(control(7));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
    auto seen = collect();
    EXPECT_EQ(menu_events(seen, 2), 1);
    EXPECT_EQ(menu_events(seen, 3), 1);
    EXPECT_EQ(menu_events(seen, 4), 1);
    // Ctrl+Shift+S and plain S are other keys: no command; the plain key types.
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_S);
    seen = collect();
    EXPECT_EQ(menu_events(seen, 4), 0);
    EXPECT_EQ(field->text(), QStringLiteral("hellos"));
}

TEST_F(ShortcutKeys, MenuChoiceAndShortcutGiveTheSameEvent) {
    control(7)->setFocus();
    collect();   // the field's focus event
    window_send_message(window_handle(WINDOW), WM_COMMAND, make_wparam(4, 0), 0);
    auto by_menu = collect();
    QTest::keyClick(control(7), Qt::Key_S, Qt::ControlModifier);
    auto by_key = collect();
    // Repaints may come along; the menu events are one each, with the same object.
    auto menu_only = [](const std::vector<Seen>& seen) {
        std::vector<Seen> menus;
        for (const Seen& s : seen)
            if (s.code == EVENT_MENU) menus.push_back(s);
        return menus;
    };
    auto menu = menu_only(by_menu), key = menu_only(by_key);
    ASSERT_EQ(menu.size(), 1u);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_EQ(menu[0].object, 4);
    EXPECT_EQ(key[0].object, menu[0].object);
}

TEST_F(ShortcutKeys, AHotkeyControlKeepsItsKeys) {
    auto* field = qobject_cast<QLineEdit*>(control(7));
    field->setProperty("QZ_Hotkey", 1);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(menu_events(collect(), 6), 0);
    EXPECT_EQ(field->text(), QString());
}

TEST_F(ShortcutKeys, ShortcutsOfOneWindowDoNotActInAnother) {
    window_open(WINDOW + 1, 0, 0, 200, 100, u"Other", 0xC80001);
    string_gadget_create(20, 0, 0, 100, 20, u"other");
    auto* field = qobject_cast<QLineEdit*>(control(20));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(menu_events(collect(), 4), 0);
    window_close(WINDOW + 1);
}

TEST_F(ShortcutKeys, ShortcutAddOnAnInvalidWindowDoesNothing) {
    EXPECT_EQ(shortcut_add(999, 0x2004E, 2), nullptr);
    EXPECT_EQ(shortcut_remove(999, SHORTCUT_ALL), 0);
    // The table is rebuilt with every change and holds the window's entries.
    WindowRecord* record = window_lookup(WINDOW);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->shortcut_count, 4);
    ASSERT_NE(record->accelerator_table, nullptr);
    EXPECT_EQ(record->accelerator_table->count, 4);
    EXPECT_EQ(accelerator_table_find(record->accelerator_table, 0x58, 11), 6);
}

}  // namespace
