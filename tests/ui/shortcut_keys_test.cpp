// Shortcuts driven by key presses on real widgets: a window's shortcut acts before the focused
// widget sees the key (Ctrl+X is a command and cuts nothing), menus and shortcuts give the same
// event, the controls that keep keys to themselves, and keys as virtual keys under any layout.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <vector>

#include <gtest/gtest.h>

#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/shortcut_qt.h"
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

// The xkb keycode (native scan code on X11 and Wayland) of a key of the main block: evdev code + 8.
constexpr quint32 KEYCODE_1 = 10, KEYCODE_2 = 11, KEYCODE_Q = 24, KEYCODE_S = 39, KEYCODE_X = 53, KEYCODE_COMMA = 59,
                  KEYCODE_LESS_GREATER = 94;
constexpr int CYRILLIC_YERU = 0x42B, CYRILLIC_CHE = 0x427;  // the keys labelled S and X in Russian

QKeyEvent key_event(int key, Qt::KeyboardModifiers modifiers, quint32 scan_code = 0) {
    return QKeyEvent(QEvent::KeyPress, key, modifiers, scan_code, 0, 0);
}

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
    collect();  // the field's focus event
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
    field->setProperty(SHORTCUT_HOTKEY_PROPERTY, 1);
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

TEST(ShortcutVirtualKey, LettersStayTheLayoutsOwnOtherCharactersComeFromTheKeysPlace) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scan_code;
        std::uint16_t vk;
    };
    const Case cases[] = {
        // A Latin layout's own letter, wherever it lies (AZERTY's A is where US has Q).
        {Qt::Key_A, Qt::ControlModifier, KEYCODE_Q, 'A'},
        {Qt::Key_S, Qt::ControlModifier, 0, 'S'},
        // Characters that are no Latin letter or digit: the key's place.
        {CYRILLIC_YERU, Qt::ControlModifier, KEYCODE_S, 'S'},
        {CYRILLIC_CHE, Qt::NoModifier, KEYCODE_X, 'X'},
        {Qt::Key_Exclam, Qt::ShiftModifier, KEYCODE_1, '1'},
        {Qt::Key_Eacute, Qt::NoModifier, KEYCODE_2, '2'},
        {CYRILLIC_YERU, Qt::NoModifier, 0, 0},
        // The keypad's own keys.
        {Qt::Key_0, Qt::KeypadModifier, 0, VK_NUMPAD0},
        {Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier, 0, VK_NUMPAD0 + 1},
        {Qt::Key_9, Qt::KeypadModifier, 0, VK_NUMPAD0 + 9},
        {Qt::Key_Asterisk, Qt::KeypadModifier, 0, VK_MULTIPLY},
        {Qt::Key_Plus, Qt::KeypadModifier, 0, VK_ADD},
        {Qt::Key_Comma, Qt::KeypadModifier, 0, VK_SEPARATOR},
        {Qt::Key_Minus, Qt::KeypadModifier, 0, VK_SUBTRACT},
        {Qt::Key_Period, Qt::KeypadModifier, 0, VK_DECIMAL},
        {Qt::Key_Slash, Qt::KeypadModifier, 0, VK_DIVIDE},
        {Qt::Key_Enter, Qt::KeypadModifier, 0, VK_RETURN},
        {Qt::Key_Home, Qt::KeypadModifier, 0, VK_HOME},
        // Punctuation: its OEM key at either level; the key beside left Shift is one key.
        {Qt::Key_Semicolon, Qt::NoModifier, 0, VK_OEM_1},
        {Qt::Key_Colon, Qt::ShiftModifier, 0, VK_OEM_1},
        {Qt::Key_Equal, Qt::NoModifier, 0, VK_OEM_PLUS},
        {Qt::Key_Comma, Qt::NoModifier, 0, VK_OEM_COMMA},
        {Qt::Key_Less, Qt::ShiftModifier, KEYCODE_COMMA, VK_OEM_COMMA},
        {Qt::Key_Underscore, Qt::ShiftModifier, 0, VK_OEM_MINUS},
        {Qt::Key_Period, Qt::NoModifier, 0, VK_OEM_PERIOD},
        {Qt::Key_Question, Qt::ShiftModifier, 0, VK_OEM_2},
        {Qt::Key_QuoteLeft, Qt::NoModifier, 0, VK_OEM_3},
        {Qt::Key_BracketLeft, Qt::NoModifier, 0, VK_OEM_4},
        {Qt::Key_Backslash, Qt::NoModifier, 0, VK_OEM_5},
        {Qt::Key_BraceRight, Qt::ShiftModifier, 0, VK_OEM_6},
        {Qt::Key_Apostrophe, Qt::NoModifier, 0, VK_OEM_7},
        {Qt::Key_Less, Qt::NoModifier, KEYCODE_LESS_GREATER, VK_OEM_102},
        // Named keys.
        {Qt::Key_Backtab, Qt::ShiftModifier, 0, VK_TAB},
        {Qt::Key_F12, Qt::NoModifier, 0, VK_F1 + 11},
        {Qt::Key_Delete, Qt::NoModifier, 0, VK_DELETE},
    };
    for (const Case& c : cases) {
        const QKeyEvent event = key_event(c.key, c.modifiers, c.scan_code);
        EXPECT_EQ(shortcut_virtual_key(event), c.vk)
            << std::hex << "key 0x" << c.key << " scan code " << std::dec << c.scan_code;
    }
}

// Under a layout without Latin letters Qt gives the Cyrillic key; the shortcut still acts and
// cuts nothing, and Ctrl with keypad 1 is no Ctrl+1.
TEST_F(ShortcutKeys, ShortcutsFollowTheKeysUnderANonLatinLayout) {
    auto* field = qobject_cast<QLineEdit*>(control(7));
    field->setFocus();
    field->selectAll();
    shortcut_add(WINDOW, SHORTCUT_CONTROL | '1', 7);
    auto press = [&](int key, Qt::KeyboardModifiers modifiers, quint32 scan_code) {
        QKeyEvent event = key_event(key, modifiers, scan_code);
        QApplication::sendEvent(field, &event);
    };
    press(CYRILLIC_CHE, Qt::ControlModifier, KEYCODE_X);
    press(CYRILLIC_YERU, Qt::ControlModifier, KEYCODE_S);
    press(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier, 0);
    auto seen = collect();
    EXPECT_EQ(menu_events(seen, 6), 1);
    EXPECT_EQ(menu_events(seen, 4), 1);
    EXPECT_EQ(menu_events(seen, 7), 0);
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
    EXPECT_TRUE(field->hasSelectedText());
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
