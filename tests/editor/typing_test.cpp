// Typing into the real component as a person does (key and mouse events on the widget):
// the completion list, auto-indent, folding by margin clicks, the line-number margin, and
// a screenshot of highlighted, folded code with a completion list open.
#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPainter>
#include <QTest>

#include "editor_support.h"
#include "runtime/core/strings.h"

namespace {

class Typing : public TypingTest {
protected:
    bool list_open() const { return send(SCI_AUTOCACTIVE) != 0; }
    // Chooses the selected item with Tab: the component replaces the characters that were
    // typed when the list opened, so the result shows how many the editor said they were.
    std::string choose() {
        press(Qt::Key_Return);
        return text_utf8();
    }

    // The component makes a new list window each time; emptied earlier ones may linger.
    QListWidget* list_widget() const {
        for (QWidget* w : QApplication::allWidgets())
            if (auto* list = qobject_cast<QListWidget*>(w); list && list->isVisible() && list->count() > 0) return list;
        return nullptr;
    }
    std::vector<std::string> list_items() const {
        std::vector<std::string> items;
        if (QListWidget* list = list_widget())
            for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
        return items;
    }

    void click_fold_margin(int line) {
        const int height = static_cast<int>(send(SCI_TEXTHEIGHT, line));
        const int x = static_cast<int>(send(SCI_GETMARGINWIDTHN, 0) + send(SCI_GETMARGINWIDTHN, 1)) + 12;
        QTest::mouseClick(widget()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, line * height + height / 2));
        QApplication::processEvents();
    }
};

TEST_F(Typing, CompletionOpensOnTheThirdCharacterWithMatchingKeywordsOnly) {
    type("fu");
    EXPECT_FALSE(list_open());
    type("n");
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"function"}));
    // Typing on refreshes the list; a blank (a one-character word) closes it.
    type("c");
    EXPECT_TRUE(list_open());
    type(" ");
    EXPECT_FALSE(list_open());
    EXPECT_EQ(text_utf8(), "func ");
    type("fun");
    EXPECT_EQ(choose(), "func function");
    type(" func");
    EXPECT_EQ(choose(), "func function function");
    // New text removes the old first, which closes the list as any removal does.
    type(" fun");
    ASSERT_TRUE(list_open());
    set_utf8("function f() {}");
    EXPECT_FALSE(list_open());
}

TEST_F(Typing, CompletionIgnoresCaseAndOffersEveryKeywordOfThePrefix) {
    const std::int32_t area = temp_position();
    type("Fun");
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"function"}));
    EXPECT_EQ(choose(), "function");
    type(" con");
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"continue"}));
    press(Qt::Key_Escape);
    type(" de");
    EXPECT_FALSE(list_open());
    type("l");
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"delete"}));
    press(Qt::Key_Escape);
    type(" TR");
    EXPECT_FALSE(list_open());
    type("u");
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"true"}));
    EXPECT_EQ(choose(), "function con del true");
    // Each list was made in the temporary area, which is given back.
    EXPECT_EQ(temp_position(), area);
}

TEST_F(Typing, TheWholeWordAsOnlyCandidateClosesTheList) {
    type("functio");
    ASSERT_TRUE(list_open());
    const std::int32_t area = temp_position();
    type("n");
    EXPECT_FALSE(list_open());
    EXPECT_EQ(temp_position(), area);
    type(" var");
    EXPECT_FALSE(list_open());
    type(" new");
    EXPECT_FALSE(list_open());
    // Words that are no keyword's prefix offer nothing.
    type(" xyz");
    EXPECT_FALSE(list_open());
}

TEST_F(Typing, DeletingBackToThreeCharactersReopensTheList) {
    type("func");
    press(Qt::Key_Escape);
    ASSERT_FALSE(list_open());
    press(Qt::Key_Backspace);
    ASSERT_TRUE(list_open());
    EXPECT_EQ(list_items(), (std::vector<std::string>{"function"}));
    press(Qt::Key_Backspace);
    EXPECT_FALSE(list_open());
    type("n");
    EXPECT_EQ(choose(), "function");
    // Deleting forwards and undoing a typed character are deletions too.
    type(" retx");
    press(Qt::Key_Escape);
    press(Qt::Key_Left);
    key(Qt::Key_Delete);
    ASSERT_TRUE(list_open());
    QApplication::processEvents();
    EXPECT_EQ(list_items(), (std::vector<std::string>{"return"}));
    type("u");
    press(Qt::Key_Escape);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text_utf8(), "function ret");
    EXPECT_TRUE(list_open());
}

// Enter ends lines with CR LF, as the extension file's lines are ended.
TEST_F(Typing, EnterCopiesThePreviousLinesIndentation) {
    set_utf8("\tif (a) {");
    send(SCI_GOTOPOS, static_cast<std::uintptr_t>(length()));
    press(Qt::Key_Return);
    EXPECT_EQ(text_utf8(), "\tif (a) {\r\n\t");
    EXPECT_EQ(send(SCI_GETCURRENTPOS), length());
    type("x");
    EXPECT_EQ(text_utf8(), "\tif (a) {\r\n\tx");

    set_utf8("plain");
    send(SCI_GOTOPOS, static_cast<std::uintptr_t>(length()));
    press(Qt::Key_Return);
    EXPECT_EQ(text_utf8(), "plain\r\n");
    EXPECT_EQ(send(SCI_GETCURRENTPOS), length());
}

TEST_F(Typing, AutoIndentIsAnOption) {
    code_editor_set_options(kEditor, OPTION_STYLING | OPTION_FOLDING);
    set_utf8("\tx");
    send(SCI_GOTOPOS, static_cast<std::uintptr_t>(length()));
    press(Qt::Key_Return);
    EXPECT_EQ(text_utf8(), "\tx\r\n");
}

TEST_F(Typing, MarginClickFoldsOnAHeaderLineOnly) {
    set_utf8("function f() {\n    var a = 1;\n    return a;\n}\nx();\n");
    ensure_styled();
    ASSERT_NE(fold_level(0) & SC_FOLDLEVELHEADERFLAG, 0);
    click_fold_margin(1);  // inside the function: nothing happens
    EXPECT_EQ(send(SCI_GETFOLDEXPANDED, 0), 1);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 1), 1);
    click_fold_margin(0);
    EXPECT_EQ(send(SCI_GETFOLDEXPANDED, 0), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 1), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 3), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 4), 1);
    click_fold_margin(0);
    EXPECT_EQ(send(SCI_GETFOLDEXPANDED, 0), 1);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 1), 1);
}

TEST_F(Typing, TextThatMustBeShownIsUnfolded) {
    set_utf8("function f() {\n    if (a) {\n        b();\n    }\n}\nx();\n");
    ensure_styled();
    send(SCI_TOGGLEFOLD, 1);
    ASSERT_EQ(send(SCI_GETLINEVISIBLE, 2), 0);
    // The component asks for a range to be shown; a header at its end shows its first child.
    SCNotification n{};
    n.nmhdr.code = SCN_NEEDSHOWN;
    n.position = find("if");
    n.length = 2;
    EXPECT_EQ(on_editor_notification(kEditor, &n), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 2), 1);

    send(SCI_TOGGLEFOLD, 0);
    ASSERT_EQ(send(SCI_GETLINEVISIBLE, 2), 0);
    n.position = find("b()");
    n.length = 1;
    on_editor_notification(kEditor, &n);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 2), 1);
    EXPECT_EQ(send(SCI_GETFOLDEXPANDED, 0), 1);
}

TEST_F(Typing, FoldAnyLineTogglesFromAnyLine) {
    code_editor_set_options(kEditor, 39 | OPTION_FOLD_ANY_LINE);
    set_utf8("function f() {\n    var a = 1;\n    return a;\n}\n");
    ensure_styled();
    click_fold_margin(1);
    // The component folds the fold that the line belongs to.
    EXPECT_EQ(send(SCI_GETFOLDEXPANDED, 0), 0);
    EXPECT_EQ(send(SCI_GETLINEVISIBLE, 1), 0);
}

// The margin follows every way lines come and go: typing, deleting, pasting, undo and redo.
TEST_F(Typing, TheLineNumberMarginWidensAtTheTenthLine) {
    set_utf8("1\n2\n3\n4\n5\n6\n7\n8\n9");
    const int nine = static_cast<int>(send(SCI_GETMARGINWIDTHN, 0));
    const int ninety_nine =
        static_cast<int>(send(SCI_TEXTWIDTH, STYLE_LINENUMBER, reinterpret_cast<std::intptr_t>("99")) + 10);
    auto margin = [this] { return static_cast<int>(send(SCI_GETMARGINWIDTHN, 0)); };
    EXPECT_EQ(nine, send(SCI_TEXTWIDTH, STYLE_LINENUMBER, reinterpret_cast<std::intptr_t>("9")) + 10);
    ASSERT_GT(ninety_nine, nine);
    send(SCI_GOTOPOS, static_cast<std::uintptr_t>(length()));
    key(Qt::Key_Return);
    EXPECT_EQ(line_count(), 10);
    EXPECT_EQ(margin(), ninety_nine);
    key(Qt::Key_Backspace);
    EXPECT_EQ(margin(), nine);
    key(Qt::Key_Z, Qt::ControlModifier);  // undo of the deletion brings the tenth line back
    EXPECT_EQ(line_count(), 10);
    EXPECT_EQ(margin(), ninety_nine);
    key(Qt::Key_Y, Qt::ControlModifier);  // redo takes it away again
    EXPECT_EQ(line_count(), 9);
    EXPECT_EQ(margin(), nine);
    QApplication::clipboard()->setText("a\r\nb\r\n");
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(line_count(), 11);
    EXPECT_EQ(margin(), ninety_nine);
    // A selection of two lines deleted at once.
    key(Qt::Key_Up, Qt::ShiftModifier);
    key(Qt::Key_Up, Qt::ShiftModifier);
    key(Qt::Key_Delete);
    EXPECT_EQ(line_count(), 9);
    EXPECT_EQ(margin(), nine);
}

TEST_F(Typing, TypedTextIsStyledAsTyped) {
    type("function Foo(a) {");
    press(Qt::Key_Return);
    type("return \"x\"; // done");
    press(Qt::Key_Return);
    type("}");
    QApplication::processEvents();
    widget()->grab();  // a paint asks for the styles of what is shown
    EXPECT_EQ(styles_of("function"), std::vector<int>(8, 2));
    EXPECT_EQ(styles_of("Foo("), std::vector<int>(4, 6));
    EXPECT_EQ(styles_of("\"x\""), std::vector<int>(3, 4));
    EXPECT_EQ(styles_of("// done"), std::vector<int>(7, 3));
    EXPECT_EQ(fold_level(0), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
    EXPECT_EQ(fold_level(1), SC_FOLDLEVELBASE + 1);
    EXPECT_EQ(fold_level(2), SC_FOLDLEVELBASE + 1);
    // Opening a block comment at the top turns the text below into comment as it is shown.
    send(SCI_GOTOPOS, 0);
    type("/*");
    widget()->grab();
    EXPECT_EQ(styles_of("return"), std::vector<int>(6, 3));
    EXPECT_EQ(line_state(0), 1);
    EXPECT_EQ(line_state(2), 1);
}

// Not an assertion of looks: it leaves a picture for a person to look at.
TEST_F(Typing, ScreenshotOfFoldedCodeWithACompletionList) {
    set_utf8(
        "// Quorval extension\n"
        "function greet(name) {\n"
        "    var text = \"Hello, \" + name;\n"
        "    return text.length * 2.5;\n"
        "}\n"
        "/* block\n"
        "   comment */\n"
        "function hidden() {\n"
        "    if (x) {\n"
        "        y(1);\n"
        "    } else {\n"
        "        z('q');\n"
        "    }\n"
        "}\n"
        "\n");
    ensure_styled();
    click_fold_margin(7);
    ASSERT_EQ(send(SCI_GETFOLDEXPANDED, 7), 0);
    send(SCI_GOTOPOS, static_cast<std::uintptr_t>(length()));
    type("ret");
    ASSERT_TRUE(list_open());
    QPixmap shot = widget()->grab();
    if (QListWidget* list = list_widget()) {
        QPainter painter(&shot);
        QWidget* popup = list->window();
        painter.drawPixmap(widget()->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    }
    const std::string path = std::string(QEM_BINARY_DIR) + "/editor-screenshot.png";
    EXPECT_TRUE(shot.save(QString::fromStdString(path)));
}

}  // namespace
