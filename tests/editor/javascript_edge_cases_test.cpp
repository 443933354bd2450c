/** @file javascript_edge_cases_test.cpp
 * The JavaScript set-up's styles and completion at the edges of their rules, one table each: the
 * style of every byte of a line, and the list that completion opens at a caret with text after it. */
#include <QApplication>
#include <QListWidget>

#include "editor_support.h"

namespace {

class JavaScriptEdges : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(EDITOR_LINE_NUMBERS, true);
    }
};

// Each byte's style as one character: "." the default, else the style's digit (2 keyword,
// 3 comment, 4 string, 5 number, 6 a call).
TEST_F(JavaScriptEdges, EveryByteTakesTheStyleItsRulesGive) {
    const std::pair<const char*, const char*> cases[] = {
        {"var x = 10;", "222........"},                  // "10;" is no number: ";" separates nothing
        {"foo (a)", "66666.6"},                          // a word before "(" takes its blanks along
        {"foo  bar(", ".....6666"},                      // but not across another word
        {"\"it's\" 'say \"hi\"'", "444444.4444444444"},  // the other quote neither ends nor nests
        {"x = \"open\ny = 1", "....44444.....5"},        // an open quote stops at the line end
        {"1.5 .5 1. a.b", "555.55.55...."},
        {"1.2.3", "..555"},  // two dots: "1", ".", then the number "2.3"
        {"a.", ".."},        // a lone trailing dot is no number
        {"x = .", "....."},
        {"FUNCTION Function fUnCtIoN", "22222222.22222222.22222222"},  // keywords ignore case
        {"FALSE CAtch tYpEoF", "22222.22222.222222"},                  // A and Y fold too
        {"} else {", "2.2222.2"},
        {"}else{ {x };", "............"},  // braces inside longer words are plain
        {"x = 1; // note", ".......3333333"},
        {"f();// c", "666.3333"},    // "//" right after ";" opens a comment
        {"a;// c", "......"},        // but not after a word that only ends in ";"
        {"foo()// c", "66666...."},  // nor right after ")"
        {"///", "333"},
        {"a/* c */b", ".3333333."},  // "/*" opens a comment right after a token
        {"/**/ */ /", "3333....."},  // "*/" outside a comment and a lone "/" are plain
        {"a = 1; /* x\ny */ b = 2;", ".......3333.3333......."},
    };
    for (auto [text, expected] : cases) {
        set_utf8(text);
        ensure_styled();
        std::string styles;
        for (int style : snapshot().styles) styles += style == STYLE_DEFAULT ? '.' : char('0' + style);
        EXPECT_EQ(styles, expected) << text;
    }
}

TEST_F(JavaScriptEdges, CompletionTakesTheWordAtTheCaretWhateverFollowsIt) {
    // "|" marks the caret; then the list's items joined by blanks, "" when no list opens.
    const std::pair<const char*, const char*> cases[] = {
        {"fun|", "function"},    {"a.fun|()", "function"}, {"x = typ| + 1", "typeof"},
        {"def|(x)", "default"},  {"fun|(a)", "function"},  // text after the caret
        {"Fun|(a)", "function"},                           // either case
        {"fun| (a)", ""},                                  // the blanks before "(" join the word, as in styling
        {"fun|x", ""},                                     // the word at the caret goes on past it
        {"new|(a)", ""},                                   // the only candidate is the word itself
        {"fu|(a)", ""},                                    // too short
        {"ret|;", ""},                                     // ";" is part of the word
    };
    for (auto [marked, expected] : cases) {
        std::string text = marked;
        const std::size_t caret = text.find('|');
        set_utf8(text.erase(caret, 1));
        send(SCI_GOTOPOS, caret);
        update_completion(code_editor_record(kEditor));
        std::string shown;
        if (send(SCI_AUTOCACTIVE)) {
            // The component makes a new list window each time; emptied earlier ones may linger.
            for (QWidget* w : QApplication::allWidgets())
                if (auto* list = qobject_cast<QListWidget*>(w); list && list->isVisible() && list->count() > 0) {
                    for (int i = 0; i < list->count(); ++i)
                        shown += (i ? " " : "") + list->item(i)->text().toStdString();
                    break;
                }
        }
        EXPECT_EQ(shown, expected) << marked;
        send(SCI_AUTOCCANCEL);
    }
}

}  // namespace
