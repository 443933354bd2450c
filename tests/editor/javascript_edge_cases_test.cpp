/** @file javascript_edge_cases_test.cpp
 * The JavaScript set-up's styles and completion at the edges of their rules, one table each: a
 * line (or two) and the style of every byte, and a line with the caret in it and the completion
 * list it opens. */
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

// One character per byte: "." the default style, else the style's digit (2 keyword, 3 comment,
// 4 string, 5 number, 6 a call).
std::string style_letters(const std::vector<int>& styles) {
    std::string letters;
    for (int style : styles) letters += style == STYLE_DEFAULT ? '.' : char('0' + style);
    return letters;
}

TEST_F(JavaScriptEdges, EveryByteTakesTheStyleItsRulesGive) {
    struct Case {
        const char* text;
        const char* styles;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        set_utf8(c.text);
        ensure_styled();
        EXPECT_EQ(style_letters(snapshot().styles), c.styles) << c.text;
    }
}

TEST_F(JavaScriptEdges, CompletionTakesTheWordAtTheCaretWhateverFollowsIt) {
    struct Case {
        const char* text;
        int caret;
        const char* list;  // the items joined by blanks; "" when no list opens
    };
    const Case cases[] = {
        {"fun", 3, "function"},
        {"fun(a)", 3, "function"},  // text after the caret
        {"Fun(a)", 3, "function"},  // either case
        {"fun (a)", 3, ""},         // the blanks before "(" join the word, as in styling
        {"a.fun()", 5, "function"},
        {"x = typ + 1", 7, "typeof"},
        {"def(x)", 3, "default"},
        {"funx", 3, ""},    // the word at the caret goes on past it
        {"new(a)", 3, ""},  // the only candidate is the word itself
        {"fu(a)", 2, ""},   // too short
        {"ret;", 3, ""},    // ";" is part of the word
    };
    for (const Case& c : cases) {
        set_utf8(c.text);
        send(SCI_GOTOPOS, c.caret);
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
        EXPECT_EQ(shown, c.list) << c.text << " at " << c.caret;
        send(SCI_AUTOCCANCEL);
    }
}

}  // namespace
