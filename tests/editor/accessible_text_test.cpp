// The code editor's accessible text through Qt's interfaces, as a screen reader reads it: offsets
// in UTF-16 units around the caret after typing, surrogate pairs, the events of an edit, and a
// random document against a walk through its whole text.
#include <Qsci/qsciscintillabase.h>

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QTextBoundaryFinder>
#include <random>
#include <tuple>

#include "editor_support.h"

namespace {

// The text events as a client gets them: kind, offset, text.
using SeenEvent = std::tuple<int, int, std::string>;
std::vector<SeenEvent> seen;

void record_event(QAccessibleEvent* event) {
    if (event->type() == QAccessible::TextInserted) {
        auto* inserted = static_cast<QAccessibleTextInsertEvent*>(event);
        seen.emplace_back(event->type(), inserted->changePosition(), inserted->textInserted().toStdString());
    } else if (event->type() == QAccessible::TextRemoved) {
        auto* removed = static_cast<QAccessibleTextRemoveEvent*>(event);
        seen.emplace_back(event->type(), removed->changePosition(), removed->textRemoved().toStdString());
    } else if (event->type() == QAccessible::TextCaretMoved) {
        seen.emplace_back(event->type(), static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition(), "");
    }
}

class AccessibleText : public TypingTest {
protected:
    void TearDown() override {
        QAccessible::installUpdateHandler(nullptr);
        if (QAccessible::isActive()) set_accessibility_active(false);
        seen.clear();
    }

    QAccessibleInterface* accessible() const { return QAccessible::queryAccessibleInterface(widget()); }
    QAccessibleTextInterface* text() const { return accessible()->textInterface(); }

    // What an input method hands over: emoji come this way, not as key presses.
    void commit(const QString& characters) {
        QInputMethodEvent event;
        event.setCommitString(characters);
        QApplication::sendEvent(widget(), &event);
        QApplication::processEvents();
    }
    QString at(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const {
        return text()->textAtOffset(offset, type, start, end);
    }
};

TEST_F(AccessibleText, TypedCodeIsReadAroundTheCaret) {
    widget()->setAccessibleName("Code");
    code_editor_set_options(kEditor, OPTION_STYLING | OPTION_FOLDING);  // no completion list in the way
    type("var total = 1;");
    press(Qt::Key_Return);
    type("total += 2;");
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(accessible()->text(QAccessible::Name), "Code");
    EXPECT_TRUE(accessible()->state().editable && accessible()->state().multiLine);
    ASSERT_NE(accessible()->editableTextInterface(), nullptr);
    EXPECT_EQ(text()->characterCount(), 27);  // CR LF counts two
    EXPECT_EQ(text()->cursorPosition(), 25);
    int start = 0, end = 0;
    EXPECT_EQ(at(-2, QAccessible::CharBoundary, &start, &end), "2");
    EXPECT_EQ(text()->textBeforeOffset(-2, QAccessible::WordBoundary, &start, &end), " ");
    EXPECT_EQ(std::pair(start, end), std::pair(24, 25));
    EXPECT_EQ(at(-2, QAccessible::LineBoundary, &start, &end), "total += 2;");
    EXPECT_EQ(std::pair(start, end), std::pair(16, 27));
    EXPECT_EQ(text()->textBeforeOffset(-2, QAccessible::LineBoundary, &start, &end), "var total = 1;\r\n");
    EXPECT_EQ(std::pair(start, end), std::pair(0, 16));
    EXPECT_EQ(text()->textAfterOffset(3, QAccessible::WordBoundary, &start, &end), "total");
    EXPECT_EQ(text()->text(4, 9), "total");
}

TEST_F(AccessibleText, ACharacterBeyondTheBasicPlaneCountsTwoUnits) {
    type("a");
    commit(QString::fromUtf8("\xF0\x9F\x98\x80"));  // U+1F600
    type("b");
    press(Qt::Key_Return);
    type("xyz");
    press(Qt::Key_Up);
    press(Qt::Key_Home);
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(text()->characterCount(), 9);
    EXPECT_EQ(text()->cursorPosition(), 3);
    EXPECT_EQ(text()->text(0, 3), "a" + emoji);
    EXPECT_EQ(text()->text(6, 9), "xyz");
    EXPECT_EQ(text()->text(2, 4), emoji.mid(1) + "b");  // cut inside the pair, as QString::mid cuts
    int start = 0, end = 0;
    EXPECT_EQ(at(2, QAccessible::CharBoundary, &start, &end), emoji);
    EXPECT_EQ(std::pair(start, end), std::pair(1, 3));
    // Setting the caret by offset lands where the offset says.
    text()->setCursorPosition(4);
    EXPECT_EQ(send(SCI_GETCURRENTPOS), 6);  // a, four bytes of the emoji, b
}

TEST_F(AccessibleText, EditsSendTheirEventsWithTheirOffsets) {
    set_utf8(
        "var s = 'a\xF0\x9F\x98\x80"
        "b';");
    send(SCI_GOTOPOS, 9);  // after the opening quote
    set_accessibility_active(true);
    QAccessible::installUpdateHandler(record_event);
    for (int i = 0; i < 3; ++i) press(Qt::Key_Right, Qt::ShiftModifier);
    seen.clear();
    press(Qt::Key_Backspace);
    const std::string removed =
        "a\xF0\x9F\x98\x80"
        "b";
    EXPECT_EQ(seen,
              (std::vector<SeenEvent>{{QAccessible::TextRemoved, 9, removed}, {QAccessible::TextCaretMoved, 9, ""}}));
    seen.clear();
    type("x");
    EXPECT_EQ(seen,
              (std::vector<SeenEvent>{{QAccessible::TextInserted, 9, "x"}, {QAccessible::TextCaretMoved, 10, ""}}));
    // Through the interface itself, too.
    seen.clear();
    accessible()->editableTextInterface()->insertText(0, QString::fromStdString(removed));
    EXPECT_EQ(seen,
              (std::vector<SeenEvent>{{QAccessible::TextInserted, 0, removed}, {QAccessible::TextCaretMoved, 14, ""}}));
}

// A document of every kind of character and line end, against its whole text as one QString.
std::string random_document(std::mt19937& random, int pieces) {
    const char* alphabet[] = {
        "a",    "Z",  "x1", " ",   "\t",  ".", "(", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF0\x9D\x84\x9E",
        "\r\n", "\n", "\r", "// ", "var "};
    std::string text;
    for (int i = 0; i < pieces; ++i) text += alphabet[random() % std::size(alphabet)];
    return text;
}

TEST_F(AccessibleText, ARandomDocumentReadsAsAWalkThroughItsWholeText) {
    std::mt19937 random(1207);
    const std::string document = random_document(random, 4000);
    set_utf8(document, 1);
    QString whole = QString::fromUtf8(document);
    ASSERT_EQ(text()->characterCount(), whole.size());
    auto any_offset = [&] { return static_cast<int>(random() % static_cast<unsigned>(whole.size() + 1)); };
    for (int i = 0; i < 200; ++i) {
        int a = any_offset(), b = any_offset();
        if (a > b) std::swap(a, b);
        ASSERT_EQ(text()->text(a, b), whole.mid(a, b - a)) << a << ".." << b;
    }
    // The caret at character starts chosen by byte position.
    for (int i = 0; i < 100; ++i) {
        std::size_t position = random() % (document.size() + 1);
        while (position < document.size() && (static_cast<unsigned char>(document[position]) & 0xC0) == 0x80)
            ++position;
        send(SCI_GOTOPOS, position);
        ASSERT_EQ(text()->cursorPosition(), QString::fromUtf8(document.substr(0, position)).size()) << position;
    }
    // Characters, words and sentences cut as Qt's boundary rules cut the whole text; lines end
    // after CR LF, LF or CR.
    const std::pair<QAccessible::TextBoundaryType, QTextBoundaryFinder::BoundaryType> kinds[] = {
        {QAccessible::CharBoundary, QTextBoundaryFinder::Grapheme},
        {QAccessible::WordBoundary, QTextBoundaryFinder::Word},
        {QAccessible::SentenceBoundary, QTextBoundaryFinder::Sentence}};
    for (int i = 0; i < 150; ++i) {
        const int offset = static_cast<int>(random() % static_cast<unsigned>(whole.size()));
        for (auto [kind, rule] : kinds) {
            QTextBoundaryFinder finder(rule, whole);
            finder.setPosition(offset);
            const int start = finder.isAtBoundary() ? offset : static_cast<int>(finder.toPreviousBoundary());
            finder.setPosition(offset);
            const int end = static_cast<int>(finder.toNextBoundary());
            int s = 0, e = 0;
            ASSERT_EQ(at(offset, kind, &s, &e), whole.mid(start, end - start)) << offset << " kind " << kind;
            ASSERT_EQ(std::pair(s, e), std::pair(start, end));
        }
        int line_start = offset;
        while (line_start > 0 && whole[line_start - 1] != '\n' &&
               !(whole[line_start - 1] == '\r' && whole[line_start] != '\n'))
            --line_start;
        int line_end = offset;
        while (line_end < whole.size() && whole[line_end] != '\n' && whole[line_end] != '\r') ++line_end;
        if (line_end < whole.size()) line_end += whole.mid(line_end, 2) == "\r\n" ? 2 : 1;
        int s = 0, e = 0;
        ASSERT_EQ(at(offset, QAccessible::LineBoundary, &s, &e), whole.mid(line_start, line_end - line_start))
            << offset;
        ASSERT_EQ(std::pair(s, e), std::pair(line_start, line_end));
    }
    // Edits by offset land where a walk puts them.
    QAccessibleEditableTextInterface* editable = accessible()->editableTextInterface();
    for (int i = 0; i < 30; ++i) {
        int a = any_offset(), b = any_offset();
        if (a > b) std::swap(a, b);
        while (a > 0 && a < whole.size() && whole[a].isLowSurrogate()) --a;
        while (b < whole.size() && whole[b].isLowSurrogate()) ++b;
        const QString piece = QString::fromUtf8(random_document(random, 3));
        if (i % 2) {
            editable->replaceText(a, b, piece);
            whole.replace(a, b - a, piece);
        } else {
            editable->insertText(a, piece);
            whole.insert(a, piece);
        }
    }
    EXPECT_EQ(text()->text(0, -1), whole);
    EXPECT_EQ(QString::fromStdString(text_utf8()), whole);
}

}  // namespace
