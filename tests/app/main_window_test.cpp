/** @file main_window_test.cpp
 * The main window around its fields, on Qt's offscreen platform through the program's own loop:
 * sizing, the status line, the Edit and View menus, the find bar, Go to Symbol and Qt's -reverse. */
#include "app_driver.h"

#include "app/application.h"
#include "app/find_bar.h"
#include "app/layout.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/symbol_bar.h"
#include "editor/code_editor.h"
#include "editor/names/names.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QScreen>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(GoToField, TakesALineOrLineAndColumnWithinTheText) {
    struct Case {
        const char16_t* text;
        GoToParse result;
        long line = 0, column = 0;
    };
    const Case cases[] = {
        {u"12", GO_TO_LINE, 12, 1},          {u" 12 : 5 ", GO_TO_LINE, 12, 5}, {u"240", GO_TO_LINE, 240, 1},
        {u"241", GO_TO_OUT_OF_RANGE},        {u"0", GO_TO_OUT_OF_RANGE},       {u"3:0", GO_TO_COLUMN_ZERO},
        {u"", GO_TO_NOT_A_NUMBER},           {u"abc", GO_TO_NOT_A_NUMBER},     {u"-3", GO_TO_NOT_A_NUMBER},
        {u"3:", GO_TO_NOT_A_NUMBER},         {u"3:4:5", GO_TO_NOT_A_NUMBER},   {u"1 2", GO_TO_NOT_A_NUMBER},
        {u"9999999999", GO_TO_NOT_A_NUMBER},
    };
    for (const Case& c : cases) {
        long line = 0, column = 0;
        SCOPED_TRACE(QString::fromStdU16String(c.text).toStdString());
        EXPECT_EQ(parse_go_to(c.text, 240, &line, &column), c.result);
        if (c.result != GO_TO_LINE) continue;
        EXPECT_EQ(std::pair(line, column), std::pair(c.line, c.column));
    }
}

TEST(GoToSymbolCount, GroupsThousandsWithCommas) {
    for (auto [number, text] : {std::pair<std::size_t, const char16_t*>{0, u"0"},
                                {999, u"999"},
                                {1000, u"1,000"},
                                {17952, u"17,952"},
                                {1234567, u"1,234,567"}})
        EXPECT_EQ(grouped_number(number), text) << number;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        application_start();
        ASSERT_NE(main_window(), nullptr);
        main_window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
    }
    void TearDown() override { application_end(); }
    ScratchDirectory scratch_;
};

int menu_bar_height() { return main_window()->findChild<QMenuBar*>()->height(); }
QString message(long long gadget = GADGET_FIND_MESSAGE) { return static_cast<QLabel*>(gadget_widget(gadget))->text(); }
QString status() { return message(GADGET_STATUS); }
bool shown(long long gadget) { return gadget_widget(gadget)->isVisible(); }
bool focused(long long gadget) { return QApplication::focusWidget() == gadget_widget(gadget); }
bool ticked(long long gadget) { return static_cast<QCheckBox*>(gadget_widget(gadget))->isChecked(); }
std::intptr_t code(unsigned message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(GADGET_CODE, message, wparam, lparam);
}
bool placed(long long gadget, const GadgetPlace& place) {
    return gadget_widget(gadget)->geometry() == QRect(place.x, place.y, place.width, place.height);
}
// Steps' actions, each done at once and so true.
bool clicked(long long gadget) {
    click(gadget_widget(gadget));
    return true;
}
bool typed(long long gadget, const char* text) {  // clicked into first
    type_into(gadget_widget(gadget), text);
    return true;
}
bool keys(long long gadget, const char* text) {  // where the caret is
    QTest::keyClicks(gadget_widget(gadget), text);
    return true;
}
// A new entry in the go-to field, and Enter.
bool go_to(const char* entry) {
    static_cast<QLineEdit*>(gadget_widget(GADGET_GO_TO_FIELD))->selectAll();
    keys(GADGET_GO_TO_FIELD, entry);
    QTest::keyClick(gadget_widget(GADGET_GO_TO_FIELD), Qt::Key_Return);
    return true;
}

// The drop-down at that place of the bar, opened as a click would open it, and its items' texts
// with "-" for separators, "(off)" after a greyed item and "(checked)" after one with a check mark.
QString opened_menu(int place) {
    QMenu* menu = main_window()->findChild<QMenuBar*>()->actions()[place]->menu();
    menu->popup(QPoint(0, 0));
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-")
                                        : action->text() + (action->isEnabled() ? "" : "(off)") +
                                              (action->isChecked() ? "(checked)" : ""));
    menu->hide();
    // The offscreen platform lets the menu take the activation; a desktop leaves it with the window.
    main_window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(main_window()));
    return items.join("|");
}

// A size remembered from a larger screen: the window opens fitted to this one, menu bar and all,
// and the fields follow; the zoom and the find toggles come back too. (Resizing by hand is tried
// under Xvfb.)
TEST(RememberedSize, TooLargeForTheScreenOpensFittedToIt) {
    ScratchDirectory scratch;
    std::filesystem::create_directories(std::filesystem::path(settings_path()).parent_path());
    write_file(settings_path(), "width=3000\nheight=1075\nzoom=3\nwhole_word=1\n");
    application_start();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(main_window()->frameGeometry()));
    EXPECT_EQ(main_window()->minimumSize(), QSize(MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT + menu_bar_height()));
    const QRect client = main_window()->geometry();
    const MainLayout layout = main_layout(client.width(), client.height() - menu_bar_height(), 0);
    EXPECT_TRUE(placed(GADGET_CODE, layout.code) && placed(GADGET_HELP, layout.help));
    EXPECT_EQ(code(SCI_GETZOOM), 3);
    EXPECT_TRUE(ticked(GADGET_WHOLE_WORD));
    application_end();
    std::filesystem::remove(settings_path());
}

TEST_F(MainWindow, TheStatusLineFollowsTheCaretTheSelectionAndTheUnsavedTexts) {
    AppDriver driver;
    driver.then("nothing typed yet", [] { return status() == "Line 1, Column 1  |  1 line"; });
    driver.then("type two lines, the second indented by a tab", [] { return typed(GADGET_CODE, "x\n\ty"); });
    // Auto-indent gives no tab here (the first line has none); the tab counts four columns.
    driver.then("the caret's place", [] { return status() == "Line 2, Column 6  |  2 lines  |  Modified"; });
    driver.key(Qt::Key_Left, Qt::ShiftModifier).key(Qt::Key_Left, Qt::ShiftModifier);
    driver.then("the selection", [] { return status() == "Line 2, Column 1  |  2 selected  |  2 lines  |  Modified"; });
    driver.then("undo back to the start", [] {
        if (code_text().empty()) return status() == "Line 1, Column 1  |  1 line";
        press(Qt::Key_Z, Qt::ControlModifier);
        return false;
    });
    driver.then("a field changed", [] { return typed(GADGET_AUTHOR, "A"); });
    driver.then("is unsaved", [] { return status().endsWith("Modified"); });
    driver.key(Qt::Key_Backspace);
    driver.then("and saved again when it is as it was", [] { return !status().endsWith("Modified"); });
    driver.then("a further message", [] {
        status_line_set_message(u"Line 2, column 9: Unexpected token", u"Syntax error on line 2");
        EXPECT_EQ(message(GADGET_STATUS_MESSAGE), "Line 2, column 9: Unexpected token");
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(gadget_widget(GADGET_STATUS_MESSAGE));
        EXPECT_EQ(spoken->text(QAccessible::Name), "Syntax error on line 2");
        return true;
    });
    driver.exit_program().run_application();
}

TEST_F(MainWindow, EditAndViewMenusActWhereTheyCan) {
    const QString find_items =
        "Find...|Find Next(off)|Find Previous(off)|Replace...|Go to Line...|Go to Symbol...|Go to Error(off)";
    AppDriver driver;
    driver.then("the menus with nothing to act on", [find_items] {
        QGuiApplication::clipboard()->clear();
        focus_on(gadget_widget(GADGET_CODE));
        EXPECT_EQ(opened_menu(1), "Undo(off)|Redo(off)|-|Cut(off)|Copy(off)|Paste(off)|Select All(off)|-|" +
                                      find_items + "|-|Toggle Comment|Complete Word");
        EXPECT_EQ(opened_menu(2), "Zoom In|Zoom Out|Normal Size(off)|-|Highlight Occurrences(checked)");
        return true;
    });
    driver.then("View > Highlight Occurrences turns the marks off", [] {
        for (QAction* action : main_window()->findChild<QMenuBar*>()->actions()[2]->menu()->actions())
            if (action->text() == "Highlight Occurrences") action->trigger();
        return !code_editor_occurrences_on(GADGET_CODE) &&
               opened_menu(2) == "Zoom In|Zoom Out|Normal Size(off)|-|Highlight Occurrences";
    });
    // The clipboard items act in the field with the focus.
    driver.then("type in the author field", [] { return typed(GADGET_AUTHOR, "Ann"); });
    driver.key(Qt::Key_A, Qt::ControlModifier).key(Qt::Key_C, Qt::ControlModifier);
    driver.then("the items that can act now", [find_items] {
        EXPECT_EQ(opened_menu(1), "Undo|Redo(off)|-|Cut|Copy|Paste|Select All|-|" + find_items +
                                      "|-|Toggle Comment|Complete Word(off)");
        focus_on(gadget_widget(GADGET_CODE));
        return true;
    });
    // Then in the code: each key, and the code and zoom it leaves. The paste after the cut pastes
    // what was cut; Ctrl+Shift+Z redoes, and there is nothing left to redo.
    const int C = Qt::ControlModifier, S = Qt::ShiftModifier;
    const struct {
        int key, modifiers;
        const char16_t* code;
        int zoom;
    } steps[] = {
        {Qt::Key_V, C, u"Ann", 0},        {Qt::Key_V, C, u"AnnAnn", 0},     {Qt::Key_A, C, u"AnnAnn", 0},
        {Qt::Key_Delete, S, u"", 0},      {Qt::Key_Z, C, u"AnnAnn", 0},     {Qt::Key_Y, C, u"", 0},
        {Qt::Key_Z, C | S, u"", 0},       {Qt::Key_V, C, u"AnnAnn", 0},     {Qt::Key_Slash, C, u"// AnnAnn", 0},
        {Qt::Key_Slash, C, u"AnnAnn", 0}, {Qt::Key_Equal, C, u"AnnAnn", 1}, {Qt::Key_Plus, C | S, u"AnnAnn", 2},
        {Qt::Key_Minus, C, u"AnnAnn", 1}, {Qt::Key_0, C, u"AnnAnn", 0}};
    for (const auto& step : steps)
        driver.key(step.key, step.modifiers).then("the code and its zoom after the key", [step] {
            return code_text() == step.code && code(SCI_GETZOOM) == step.zoom;
        });
    driver.exit_program().run_application();
}

// The find bar: seeded, incremental, next and previous round the ends, the toggles, a bad
// pattern, Escape, Replace All, and going to a line.
TEST_F(MainWindow, TheFindBarFindsReplacesAndGoesToALine) {
    AppDriver driver;
    driver.then("type the code and select the first \"var\"", [] {
        typed(GADGET_CODE, "var a = 1;\nvar b = a + a;\nvar c = 'a';");
        code(SCI_SETSEL, 0, 3);
        return true;
    });
    driver.key(Qt::Key_F, Qt::ControlModifier).then("the bar opens seeded, the caret in its field", [] {
        return shown(GADGET_FIND_FIELD) && focused(GADGET_FIND_FIELD) && field_text(GADGET_FIND_FIELD) == u"var" &&
               message() == "1 of 3" && !shown(GADGET_REPLACE_FIELD) && gadget_widget(GADGET_CODE)->height() < 703;
    });
    driver.key(Qt::Key_Return).then("Enter goes to the next", [] { return message() == "2 of 3"; });
    driver.key(Qt::Key_Return, Qt::ShiftModifier).key(Qt::Key_Return, Qt::ShiftModifier);
    driver.then("Shift+Enter back, and round the start with a notice", [] {
        return message() == "3 of 3, search wrapped to the bottom" && code(SCI_GETSELECTIONSTART) == 28;
    });
    driver.key(Qt::Key_F3).then("F3 round the end", [] { return message() == "1 of 3, search wrapped to the top"; });
    driver.key(Qt::Key_A, Qt::ControlModifier).then("type another pattern", [] {
        return keys(GADGET_FIND_FIELD, "a");
    });
    driver.then("searched as typed", [] { return message().endsWith(" of 7"); });
    driver.then("whole words", [] { return clicked(GADGET_WHOLE_WORD); });
    driver.then("fewer matches", [] { return message().endsWith(" of 4"); });
    driver.then("a bad regular expression", [] {
        return clicked(GADGET_WHOLE_WORD) && clicked(GADGET_REGULAR_EXPRESSION) && keys(GADGET_FIND_FIELD, "(");
    });
    driver.then("says what is wrong",
                [] { return !message().isEmpty() && !message().contains("of") && message() != "No matches"; });
    driver.then("a selection over lines", [] {
        code(SCI_SETSEL, 0, 20);
        return clicked(GADGET_REGULAR_EXPRESSION);
    });
    driver.key(Qt::Key_F, Qt::ControlModifier).then("does not tick \"in selection\" by itself", [] {
        return focused(GADGET_FIND_FIELD) && !ticked(GADGET_IN_SELECTION) && field_text(GADGET_FIND_FIELD) == u"a(";
    });
    driver.key(Qt::Key_Escape).then("Escape closes it and gives the code the caret", [] {
        return !shown(GADGET_FIND_FIELD) && focused(GADGET_CODE) && gadget_widget(GADGET_CODE)->height() == 703;
    });
    // The bar selects its field's text when it opens: typing replaces it.
    driver.key(Qt::Key_H, Qt::ControlModifier).then("replace every \"a\" by \"x\"", [] {
        return focused(GADGET_FIND_FIELD) && keys(GADGET_FIND_FIELD, "a") && typed(GADGET_REPLACE_FIELD, "x") &&
               clicked(GADGET_REPLACE_ALL);
    });
    driver.then("all of them, and says how many", [] {
        return code_text() == u"vxr x = 1;\r\nvxr b = x + x;\r\nvxr c = 'x';" && message() == "Replaced 7 matches";
    });
    driver.key(Qt::Key_G, Qt::ControlModifier).then("a line that is not there", [] {
        if (!focused(GADGET_GO_TO_FIELD)) return false;
        code(SCI_GOTOPOS);
        return go_to("4");
    });
    driver.then("is refused where it was typed, and nothing moves", [] {
        return message(GADGET_GO_TO_MESSAGE) == "The lines go from 1 to 3" && code(SCI_GETCURRENTPOS) == 0 &&
               focused(GADGET_GO_TO_FIELD);
    });
    driver.then("nor is a word", [] { return go_to("two"); });
    driver.then("which is refused too", [] {
        return message(GADGET_GO_TO_MESSAGE) == "Type a line number, or line:column" && code(SCI_GETCURRENTPOS) == 0;
    });
    driver.then("a line and column", [] { return go_to("2:5"); });
    driver.then("takes the caret there", [] {
        return focused(GADGET_CODE) && status().startsWith("Line 2, Column 5") &&
               message(GADGET_GO_TO_MESSAGE).isEmpty();
    });
    driver.exit_program().run_application();
}

// "In selection" searches the lines the user selected by keys, whether it is ticked before or
// after the pattern is typed: the match the incremental search selects never becomes the scope.
void replace_in_keyboard_selection(bool tick_first) {
    AppDriver driver;
    driver.then("five lines, the caret at the start of the second", [] {
        typed(GADGET_CODE, "alpha 1\nalpha 2\nalpha 3\nalpha 4\nalpha 5");
        code(SCI_GOTOLINE, 1);
        return true;
    });
    // Home first: the caret keeps the column it was typed at for moves up and down.
    driver.key(Qt::Key_Home)
        .key(Qt::Key_Down, Qt::ShiftModifier)
        .key(Qt::Key_Down, Qt::ShiftModifier)
        .key(Qt::Key_Down, Qt::ShiftModifier);
    driver.key(Qt::Key_H, Qt::ControlModifier).then("tick In selection and type the pattern, in either order", [=] {
        if (tick_first) clicked(GADGET_IN_SELECTION);
        keys(GADGET_FIND_FIELD, "alpha");
        if (!tick_first) clicked(GADGET_IN_SELECTION);
        return typed(GADGET_REPLACE_FIELD, "ZZ") && clicked(GADGET_REPLACE_ALL);
    });
    driver.then("only the three selected lines change", [] {
        return message() == "Replaced 3 matches" && code_text() == u"alpha 1\r\nZZ 2\r\nZZ 3\r\nZZ 4\r\nalpha 5";
    });
    driver.exit_program().run_application();
}

// The list's rows as it shows them, "|" between, and the selected row's number.
QString symbol_rows() {
    const QAbstractItemModel* model = static_cast<QListView*>(gadget_widget(GADGET_SYMBOL_LIST))->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) rows << model->index(row, 0).data().toString();
    return rows.join("|");
}
int selected_symbol() { return static_cast<QListView*>(gadget_widget(GADGET_SYMBOL_LIST))->currentIndex().row(); }
QString spoken(long long gadget) {
    return QAccessible::queryAccessibleInterface(gadget_widget(gadget))->text(QAccessible::Name);
}

// Ctrl+Shift+O lists the check's symbols; typing filters them, word-part matches first; Up and
// Down move in the list while the caret stays in the field; Enter goes to the name, Escape puts
// the caret back.
TEST_F(MainWindow, GoToSymbolFiltersAsTypedAndGoesToTheName) {
    AppDriver driver;
    driver.then("code with a function and a class", [] {
        code(SCI_SETTEXT, 0,
             reinterpret_cast<std::intptr_t>("function reparse() {}\r\nclass Parser {\r\n  parseExpression() {}\r\n"
                                             "  parseStatement() {}\r\n}\r\n"));
        code(SCI_GOTOPOS, 5);
        return true;
    });
    driver.key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier).then("every symbol, counted, once checked", [] {
        if (!focused(GADGET_SYMBOL_FIELD) || message(GADGET_SYMBOL_COUNT) != "4 of 4") return false;
        EXPECT_EQ(symbol_rows(),
                  "reparse \u2014 function, line 1|Parser \u2014 class, line 2|parseExpression \u2014 method in "
                  "Parser, line 3|parseStatement \u2014 method in Parser, line 4");
        EXPECT_EQ(selected_symbol(), 0);
        EXPECT_LT(gadget_widget(GADGET_CODE)->height(), 703 - gadget_widget(GADGET_SYMBOL_LIST)->height());
        for (long long gadget : {GADGET_SYMBOL_LABEL, GADGET_SYMBOL_FIELD, GADGET_SYMBOL_CLOSE, GADGET_SYMBOL_LIST})
            EXPECT_TRUE(shown(gadget) && !spoken(gadget).isEmpty()) << gadget;
        EXPECT_EQ(spoken(GADGET_SYMBOL_COUNT), "4 of 4 symbols");
        return keys(GADGET_SYMBOL_FIELD, "parse");
    });
    driver.then("the names that start with it first, then those that hold it", [] {
        return symbol_rows().startsWith("Parser") &&
               symbol_rows().contains("Statement \u2014 method in Parser, line 4|reparse") &&
               message(GADGET_SYMBOL_COUNT) == "4 of 4";
    });
    driver.key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Up);
    driver.then("Down, Down, Up: the second row, the caret still in the field",
                [] { return selected_symbol() == 1 && focused(GADGET_SYMBOL_FIELD); });
    driver.key(Qt::Key_Return).then("Enter goes to the name, the bar closed", [] {
        return focused(GADGET_CODE) && !shown(GADGET_SYMBOL_LIST) && code(SCI_GETCURRENTPOS) == 25 + 16;
    });
    driver.key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier).then("the initials of word parts", [] {
        return focused(GADGET_SYMBOL_FIELD) && keys(GADGET_SYMBOL_FIELD, "pS");
    });
    driver.then("find the one name", [] {
        return symbol_rows() == "parseStatement \u2014 method in Parser, line 4" &&
               message(GADGET_SYMBOL_COUNT) == "1 of 4";
    });
    driver.key(Qt::Key_Escape).then("Escape puts the caret back", [] {
        return focused(GADGET_CODE) && !shown(GADGET_SYMBOL_FIELD) && code(SCI_GETCURRENTPOS) == 25 + 16;
    });
    driver.exit_program().run_application();
}

// The code editor holding f(a[1]); and lines enough for a scroll bar, as drawn, with the keyboard
// in the author field so that no caret blinks in the picture.
QImage drawn_code() {
    const std::string text = "f(a[1]);" + std::string(100, '\n');
    code(SCI_SETTEXT, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
    type_into(gadget_widget(GADGET_AUTHOR), "Ann");
    QCoreApplication::processEvents();  // the component shows its scroll bar then
    return gadget_widget(GADGET_CODE)->grab().toImage();
}

// Under Qt's -reverse the window and its messages are mirrored, but the code, and what pops up from
// it, is drawn as without.
TEST(RightToLeft, TheWindowIsMirroredButNotTheCode) {
    ScratchDirectory scratch;
    application_start();
    const QImage plain = drawn_code();
    application_end();
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);  // what -reverse does before the program starts
    struct Back {
        ~Back() { QGuiApplication::setLayoutDirection(Qt::LeftToRight); }
    } back;
    application_start();
    EXPECT_TRUE(drawn_code() == plain) << "the code is drawn otherwise";
    QMenuBar* bar = main_window()->findChild<QMenuBar*>();
    EXPECT_GT(bar->actionGeometry(bar->actions()[0]).left(), bar->width() / 2) << "File is not on the right";
    EXPECT_TRUE(gadget_widget(GADGET_AUTHOR)->isRightToLeft());
    code(SCI_AUTOCSHOW, 0, reinterpret_cast<std::intptr_t>("alpha alphabet"));
    code(SCI_CALLTIPSHOW, 0, reinterpret_cast<std::intptr_t>("f(a[1])"));
    QStringList popups;
    for (QWidget* popup : gadget_widget(GADGET_CODE)->findChildren<QWidget*>())
        if (popup->isWindow() && popup->isVisible()) popups << (popup->isLeftToRight() ? "LTR" : "RTL");
    EXPECT_EQ(popups.join(' ').toStdString(), "LTR LTR");
    AppDriver driver;
    driver.key(Qt::Key_X, Qt::ControlModifier).then("the exit question is mirrored", [] {
        if (!open_message()) return false;
        EXPECT_TRUE(open_message()->isRightToLeft());
        return true;
    });
    driver.answer("Confirm", "Exit from Quorval Extension Maker?", "Yes").run_application();
}

TEST_F(MainWindow, InSelectionTickedFirstReplacesInTheUsersSelection) { replace_in_keyboard_selection(true); }
TEST_F(MainWindow, InSelectionTickedAfterTypingReplacesInTheUsersSelection) { replace_in_keyboard_selection(false); }

// What keeps a label from showing its whole text, "" when nothing does: the text's width in the
// label's font must fit the label, the label lie inside the window's client area, and its
// accessible name hold the whole text. A label that may shorten its text only reads out the rest.
std::string cut_label(long long gadget, const QString& expected, bool may_shorten = false) {
    auto* label = static_cast<QLabel*>(gadget_widget(gadget));
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    const QRect client = label->parentWidget()->rect();
    std::string fault;
    if (!label->text().startsWith(may_shorten ? expected.left(8) : expected))
        fault += " reads \"" + label->text().toStdString() + "\"";
    if (needed > label->contentsRect().width())
        fault +=
            " needs " + std::to_string(needed) + " of " + std::to_string(label->contentsRect().width()) + " pixels";
    if (!client.contains(label->geometry())) fault += " reaches outside the window";
    if (!QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name).contains(expected))
        fault += " has another accessible name";
    return fault;
}

TEST_F(MainWindow, EveryMessageIsShownWholeAtTheDefaultAndTheLeastSize) {
    AppDriver driver;
    for (const bool least : {false, true}) {
        const std::string size = least ? "at the least size: " : "at 1024 x 768: ";
        driver.then(size + "a short text and the replace row", [least] {
            if (least) main_window()->resize(MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT + menu_bar_height());
            code(SCI_SETTEXT, 0, reinterpret_cast<std::intptr_t>(""));
            typed(GADGET_CODE, "a\nb");
            return true;
        });
        driver.key(Qt::Key_H, Qt::ControlModifier).then(size + "an unclosed group", [] {
            if (!ticked(GADGET_REGULAR_EXPRESSION)) clicked(GADGET_REGULAR_EXPRESSION);
            return keys(GADGET_FIND_FIELD, "a(b");
        });
        driver.then(size + "go to a word", [] { return go_to("abc"); });
        driver.then(size + "the pattern's and the go-to field's messages", [] {
            EXPECT_EQ(cut_label(GADGET_FIND_MESSAGE, "Missing closing parenthesis at character"), "");
            EXPECT_EQ(cut_label(GADGET_GO_TO_MESSAGE, "Type a line number, or line:column"), "");
            return go_to("77");
        });
        driver.then(size + "the range of lines and the status line", [] {
            EXPECT_EQ(cut_label(GADGET_GO_TO_MESSAGE, "The lines go from 1 to 2"), "");
            EXPECT_EQ(cut_label(GADGET_STATUS, "Line 2, Column 2  |  2 lines  |  Modified"), "");
            // A syntax error's message beside it is shortened where the room ends.
            status_line_set_message(u"expected expression, got end of script; the statement before it is not closed",
                                    u"Syntax error: expected expression, got end of script; the statement before "
                                    u"it is not closed");
            EXPECT_EQ(cut_label(GADGET_STATUS_MESSAGE, "expected expression, got end of script; the statement", true),
                      "");
            status_line_set_message(u"", nullptr);
            return true;
        });
    }
    driver.exit_program().run_application();
}

}  // namespace
