/** @file main_window_test.cpp
 * The main window around its fields, on Qt's offscreen platform through the program's own loop:
 * sizing, the status line, the Edit and View menus, and the find bar. */
#include "app_driver.h"

#include "app/application.h"
#include "app/find_bar.h"
#include "app/layout.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "editor/code_editor.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(StatusText, TellsTheCaretTheSelectionTheLinesAndModified) {
    EXPECT_EQ(status_text({1, 1, 0, 1, false}), u"Line 1, Column 1  |  1 line");
    EXPECT_EQ(status_text({12, 5, 14, 240, true}), u"Line 12, Column 5  |  14 selected  |  240 lines  |  Modified");
}

TEST(GoToField, TakesALineOrLineAndColumnWithinTheText) {
    struct Case {
        const char16_t* text;
        GoToParse result;
        long line, column;
    };
    const Case cases[] = {
        {u"12", GO_TO_LINE, 12, 1},
        {u" 12 : 5 ", GO_TO_LINE, 12, 5},
        {u"240", GO_TO_LINE, 240, 1},
        {u"241", GO_TO_OUT_OF_RANGE, 0, 0},
        {u"0", GO_TO_OUT_OF_RANGE, 0, 0},
        {u"3:0", GO_TO_COLUMN_ZERO, 0, 0},
        {u"", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"abc", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"-3", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"3:", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"3:4:5", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"1 2", GO_TO_NOT_A_NUMBER, 0, 0},
        {u"9999999999", GO_TO_NOT_A_NUMBER, 0, 0},
    };
    for (const Case& c : cases) {
        long line = 0, column = 0;
        EXPECT_EQ(parse_go_to(c.text, 240, &line, &column), c.result) << "case " << (&c - cases);
        if (c.result != GO_TO_LINE) continue;
        EXPECT_EQ(line, c.line) << "case " << (&c - cases);
        EXPECT_EQ(column, c.column) << "case " << (&c - cases);
    }
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        application_start();
        started_ = true;
        ASSERT_NE(main_window(), nullptr);
        main_window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
    }
    void TearDown() override {
        if (started_) application_end();
    }
    ScratchDirectory scratch_;
    bool started_ = false;
};

int menu_bar_height() { return main_window()->findChild<QMenuBar*>()->height(); }

QString status() { return static_cast<QLabel*>(gadget_widget(GADGET_STATUS))->text(); }
bool shown(long long gadget) { return gadget_widget(gadget)->isVisible(); }
bool focused(long long gadget) { return QApplication::focusWidget() == gadget_widget(gadget); }
QString bar_text(long long gadget) {
    QWidget* widget = gadget_widget(gadget);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    return static_cast<QLineEdit*>(widget)->text();
}
bool ticked(long long gadget) { return static_cast<QCheckBox*>(gadget_widget(gadget))->isChecked(); }
// Types a new entry into the go-to field and presses Enter.
bool go_to(const char* entry) {
    auto* field = static_cast<QLineEdit*>(gadget_widget(GADGET_GO_TO_FIELD));
    field->selectAll();
    QTest::keyClicks(field, entry);
    QTest::keyClick(field, Qt::Key_Return);
    return true;
}
std::intptr_t code(unsigned message, std::uintptr_t wparam = 0) { return scintilla_send(GADGET_CODE, message, wparam); }

// The drop-down at that place of the bar, opened as a click would open it, and its items' texts
// with "-" for separators and "(off)" after a greyed item.
QString opened_menu(int place) {
    QMenuBar* bar = main_window()->findChild<QMenuBar*>();
    QMenu* menu = bar->actions()[place]->menu();
    menu->popup(QPoint(0, 0));
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text() + (action->isEnabled() ? "" : "(off)"));
    menu->hide();
    // The offscreen platform lets the menu take the activation; a desktop leaves it with the window.
    main_window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(main_window()));
    return items.join("|");
}

bool placed(long long gadget, const GadgetPlace& place) {
    return gadget_widget(gadget)->geometry() == QRect(place.x, place.y, place.width, place.height);
}

// A size remembered from a larger screen: the window opens fitted to this one, menu bar and all,
// and the fields follow.
TEST(RememberedSize, TooLargeForTheScreenOpensFittedToIt) {
    ScratchDirectory scratch;
    const std::string path = settings_path();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, "width=3000\nheight=1075\nzoom=3\nwhole_word=1\n");
    application_start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(main_window()->frameGeometry())) << main_window()->frameGeometry().height();
    const QRect client = main_window()->geometry();
    const QSize size(client.width(), client.height() - menu_bar_height());
    const MainLayout layout = main_layout(size.width(), size.height(), 0);
    EXPECT_TRUE(placed(GADGET_CODE, layout.code));
    // The zoom and the find toggles come back too.
    EXPECT_EQ(scintilla_send(GADGET_CODE, SCI_GETZOOM), 3);
    EXPECT_TRUE(static_cast<QCheckBox*>(gadget_widget(GADGET_WHOLE_WORD))->isChecked());
    application_end();
    std::filesystem::remove(path);
}

TEST_F(MainWindow, TheFieldsFollowTheWindowsSizeDownToItsLeast) {
    AppDriver driver;
    for (QSize size : {QSize(1300, 900), QSize(800, 600), QSize(MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT)}) {
        driver.then("size the window", [size] {
            main_window()->resize(size.width(), size.height() + menu_bar_height());
            return true;
        });
        driver.then("the code editor and Help follow", [size] {
            const MainLayout layout = main_layout(size.width(), size.height(), 0);
            return placed(GADGET_CODE, layout.code) && placed(GADGET_HELP, layout.help);
        });
    }
    driver.then("the window goes no smaller", [] {
        main_window()->resize(300, 200);
        return main_window()->size() == main_window()->minimumSize();
    });
    driver.exit_program().run_application();
}

TEST_F(MainWindow, TheStatusLineFollowsTheCaretTheSelectionAndTheUnsavedTexts) {
    AppDriver driver;
    driver.then("nothing typed yet", [] { return status() == "Line 1, Column 1  |  1 line"; });
    driver.then("type two lines, the second indented by a tab", [] {
        type_into(gadget_widget(GADGET_CODE), "x\n\ty");
        return true;
    });
    // Auto-indent gives no tab here (the first line has none); the tab counts four columns.
    driver.then("the caret's place", [] { return status() == "Line 2, Column 6  |  2 lines  |  Modified"; });
    driver.key(Qt::Key_Left, Qt::ShiftModifier).key(Qt::Key_Left, Qt::ShiftModifier);
    driver.then("the selection", [] { return status() == "Line 2, Column 1  |  2 selected  |  2 lines  |  Modified"; });
    driver.then("undo back to the start", [] {
        if (code_text().empty()) return true;
        press(Qt::Key_Z, Qt::ControlModifier);
        return false;
    });
    driver.then("the code is as it started", [] { return status() == "Line 1, Column 1  |  1 line"; });
    driver.then("a field changed", [] {
        type_into(gadget_widget(GADGET_AUTHOR), "A");
        return true;
    });
    driver.then("is unsaved", [] { return status().endsWith("Modified"); });
    driver.key(Qt::Key_Backspace);
    driver.then("and saved again when it is as it was", [] { return !status().endsWith("Modified"); });
    driver.then("a further message", [] {
        status_line_set_message(u"Line 2, column 9: Unexpected token", u"Syntax error on line 2");
        QWidget* message = gadget_widget(GADGET_STATUS_MESSAGE);
        EXPECT_EQ(static_cast<QLabel*>(message)->text(), "Line 2, column 9: Unexpected token");
        EXPECT_EQ(QAccessible::queryAccessibleInterface(message)->text(QAccessible::Name), "Syntax error on line 2");
        return true;
    });
    driver.exit_program().run_application();
}

TEST_F(MainWindow, EditAndViewMenusActWhereTheyCan) {
    AppDriver driver;
    driver.then("the menus with nothing to act on", [] {
        QGuiApplication::clipboard()->clear();
        focus_on(gadget_widget(GADGET_NAME));
        EXPECT_EQ(opened_menu(1),
                  "Undo(off)|Redo(off)|-|Cut(off)|Copy(off)|Paste(off)|Select All(off)|-|Find...|"
                  "Find Next(off)|Find Previous(off)|Replace...|Go to Line...|Go to Error(off)|-|Toggle Comment");
        EXPECT_EQ(opened_menu(2), "Zoom In|Zoom Out|Normal Size(off)");
        return true;
    });
    // The clipboard items act in the field with the focus.
    driver.then("type in the author field", [] {
        type_into(gadget_widget(GADGET_AUTHOR), "Ann");
        return true;
    });
    driver.key(Qt::Key_A, Qt::ControlModifier).key(Qt::Key_C, Qt::ControlModifier);
    driver.then("copied from the field", [] { return QGuiApplication::clipboard()->text() == "Ann"; });
    driver.then("the items that can act now", [] {
        EXPECT_EQ(opened_menu(1),
                  "Undo|Redo(off)|-|Cut|Copy|Paste|Select All|-|Find...|"
                  "Find Next(off)|Find Previous(off)|Replace...|Go to Line...|Go to Error(off)|-|Toggle Comment");
        focus_on(gadget_widget(GADGET_CODE));
        return true;
    });
    driver.key(Qt::Key_V, Qt::ControlModifier).key(Qt::Key_V, Qt::ControlModifier);
    driver.then("pasted twice into the code", [] { return code_text() == u"AnnAnn"; });
    driver.key(Qt::Key_A, Qt::ControlModifier).key(Qt::Key_Delete, Qt::ShiftModifier);
    driver.then("Shift+Delete cut it",
                [] { return code_text().empty() && QGuiApplication::clipboard()->text() == "AnnAnn"; });
    driver.key(Qt::Key_Z, Qt::ControlModifier);
    driver.then("undone", [] { return code_text() == u"AnnAnn"; });
    driver.key(Qt::Key_Y, Qt::ControlModifier);
    driver.then("and done again", [] { return code_text().empty(); });
    driver.key(Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
    driver.then("Ctrl+Shift+Z undoes no more", [] { return code_text().empty(); });
    // Toggle Comment and the zoom act on the code.
    driver.then("type code", [] {
        type_into(gadget_widget(GADGET_CODE), "a();");
        return true;
    });
    driver.key(Qt::Key_Slash, Qt::ControlModifier);
    driver.then("commented", [] { return code_text() == u"// a();"; });
    driver.key(Qt::Key_Slash, Qt::ControlModifier);
    driver.then("uncommented", [] { return code_text() == u"a();"; });
    driver.key(Qt::Key_Equal, Qt::ControlModifier).key(Qt::Key_Plus, Qt::ShiftModifier | Qt::ControlModifier);
    driver.then("zoomed in twice", [] { return code(SCI_GETZOOM) == 2; });
    driver.key(Qt::Key_Minus, Qt::ControlModifier);
    driver.then("zoomed out", [] { return code(SCI_GETZOOM) == 1; });
    driver.key(Qt::Key_0, Qt::ControlModifier);
    driver.then("normal size", [] { return code(SCI_GETZOOM) == 0; });
    driver.exit_program().run_application();
}

// The find bar: seeded, incremental, next and previous round the ends, the toggles, a bad
// pattern, Escape, Replace All as one undo step, and going to a line.
TEST_F(MainWindow, TheFindBarFindsReplacesAndGoesToALine) {
    const std::u16string original = u"var a = 1;\r\nvar b = a + a;\r\nvar c = 'a';";
    AppDriver driver;
    driver.then("type the code and select the first \"var\"", [] {
        type_into(gadget_widget(GADGET_CODE), "var a = 1;\nvar b = a + a;\nvar c = 'a';");
        scintilla_send(GADGET_CODE, SCI_SETSEL, 0, 3);
        return true;
    });
    driver.key(Qt::Key_F, Qt::ControlModifier);
    driver.then("the bar opens seeded, the caret in its field", [] {
        return shown(GADGET_FIND_FIELD) && focused(GADGET_FIND_FIELD) && bar_text(GADGET_FIND_FIELD) == "var" &&
               bar_text(GADGET_FIND_MESSAGE) == "1 of 3" && !shown(GADGET_REPLACE_FIELD) &&
               gadget_widget(GADGET_CODE)->height() < 703;
    });
    driver.key(Qt::Key_Return);
    driver.then("Enter goes to the next", [] { return bar_text(GADGET_FIND_MESSAGE) == "2 of 3"; });
    driver.key(Qt::Key_Return, Qt::ShiftModifier).key(Qt::Key_Return, Qt::ShiftModifier);
    driver.then("Shift+Enter back, and round the start with a notice", [] {
        return bar_text(GADGET_FIND_MESSAGE) == "3 of 3, search wrapped to the bottom" &&
               code(SCI_GETSELECTIONSTART) == 28;
    });
    driver.key(Qt::Key_F3);
    driver.then("F3 round the end",
                [] { return bar_text(GADGET_FIND_MESSAGE) == "1 of 3, search wrapped to the top"; });
    driver.key(Qt::Key_A, Qt::ControlModifier).then("type another pattern", [] {
        QTest::keyClicks(gadget_widget(GADGET_FIND_FIELD), "a");
        return true;
    });
    driver.then("searched as typed", [] { return bar_text(GADGET_FIND_MESSAGE).endsWith(" of 7"); });
    driver.then("whole words", [] {
        click(gadget_widget(GADGET_WHOLE_WORD));
        return true;
    });
    driver.then("fewer matches", [] { return bar_text(GADGET_FIND_MESSAGE).endsWith(" of 4"); });
    driver.then("a bad regular expression", [] {
        click(gadget_widget(GADGET_WHOLE_WORD));
        click(gadget_widget(GADGET_REGULAR_EXPRESSION));
        QTest::keyClicks(gadget_widget(GADGET_FIND_FIELD), "(");
        return true;
    });
    driver.then("says what is wrong", [] {
        const QString message = bar_text(GADGET_FIND_MESSAGE);
        return !message.isEmpty() && !message.contains("of") && message != "No matches";
    });
    driver.then("a selection over lines", [] {
        click(gadget_widget(GADGET_REGULAR_EXPRESSION));
        scintilla_send(GADGET_CODE, SCI_SETSEL, 0, 20);
        return true;
    });
    driver.key(Qt::Key_F, Qt::ControlModifier);
    driver.then("does not tick \"in selection\" by itself", [] {
        return focused(GADGET_FIND_FIELD) && !ticked(GADGET_IN_SELECTION) && bar_text(GADGET_FIND_FIELD) == "a(";
    });
    driver.key(Qt::Key_Escape);
    driver.then("Escape closes it and gives the code the caret", [] {
        return !shown(GADGET_FIND_FIELD) && focused(GADGET_CODE) && gadget_widget(GADGET_CODE)->height() == 703;
    });
    driver.key(Qt::Key_H, Qt::ControlModifier).then("replace every \"a\" by \"x\"", [] {
        if (!focused(GADGET_FIND_FIELD)) return false;
        // The bar selects its field's text when it opens: typing replaces it.
        QTest::keyClicks(gadget_widget(GADGET_FIND_FIELD), "a");
        type_into(gadget_widget(GADGET_REPLACE_FIELD), "x");
        click(gadget_widget(GADGET_REPLACE_ALL));
        return true;
    });
    driver.then("all of them, and says how many", [] {
        return code_text() == u"vxr x = 1;\r\nvxr b = x + x;\r\nvxr c = 'x';" &&
               bar_text(GADGET_FIND_MESSAGE) == "Replaced 7 matches";
    });
    driver.key(Qt::Key_Z, Qt::ControlModifier);
    driver.then("one undo brings every one back", [original] { return code_text() == original; });
    driver.key(Qt::Key_G, Qt::ControlModifier).then("a line that is not there", [] {
        if (!focused(GADGET_GO_TO_FIELD)) return false;
        scintilla_send(GADGET_CODE, SCI_GOTOPOS, 0);
        return go_to("4");
    });
    driver.then("is refused where it was typed, and nothing moves", [] {
        return bar_text(GADGET_GO_TO_MESSAGE) == "The lines go from 1 to 3" && code(SCI_GETCURRENTPOS) == 0 &&
               focused(GADGET_GO_TO_FIELD);
    });
    driver.then("nor is a word", [] { return go_to("two"); });
    driver.then("which is refused too", [] {
        return bar_text(GADGET_GO_TO_MESSAGE) == "Type a line number, or line:column" && code(SCI_GETCURRENTPOS) == 0;
    });
    driver.then("a line and column", [] { return go_to("2:5"); });
    driver.then("takes the caret there", [] {
        return focused(GADGET_CODE) && status().startsWith("Line 2, Column 5") &&
               bar_text(GADGET_GO_TO_MESSAGE).isEmpty();
    });
    driver.exit_program().run_application();
}

}  // namespace
