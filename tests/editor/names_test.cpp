/** @file names_test.cpp
 * The code's own names: what the scanner takes for a name, the order of the completion list,
 * Complete Word in the real component, and the marks on the occurrences of the name at the caret. */
#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>

#include "editor/names/names.h"
#include "editor/search/find.h"
#include "editor_support.h"

namespace {

std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::string_view name : names) text += (text.empty() ? "" : " ") + std::string(name);
    return text;
}

TEST(NameScan, TakesNamesOfThreeCharactersOutsideStringsCommentsAndNumbers) {
    using S = NameScanState;
    const struct {
        const char* text;
        S start;
        const char* names;
        S end;
    } cases[] = {
        {"var abc = ab + x1y2;", S::CODE, "var abc x1y2", S::CODE},
        {"one // two three\nfour", S::CODE, "one four", S::CODE},
        {"one /* two\nthree */ four /* five", S::CODE, "one four", S::BLOCK_COMMENT},
        {"still comment */ after", S::BLOCK_COMMENT, "after", S::CODE},
        {"\"in 'double'\" + 'in \\' single' + out", S::CODE, "out", S::CODE},
        {"'open string\nnext", S::CODE, "next", S::CODE},
        {"`tpl ${inner}\nmore` tail `open", S::CODE, "tail", S::TEMPLATE},
        {"end of tpl` code", S::TEMPLATE, "code", S::CODE},
        {"0x1Fabc 123abc 1.5e10 _ab $ab $_", S::CODE, "_ab $ab", S::CODE},
        {"caf\xC3\xA9 n\xC3\xA9 \xC3\xA9t\xC3\xA9", S::CODE, "caf\xC3\xA9 \xC3\xA9t\xC3\xA9", S::CODE},
    };
    for (const auto& c : cases) {
        std::vector<std::string_view> names;
        EXPECT_EQ(scan_names(c.text, c.start, &names), c.end) << c.text;
        EXPECT_EQ(joined(names), c.names) << c.text;
    }
}

TEST(CompletionEntries, DeclaredThenOtherNamesThenKeywordsEachOnceIgnoringCase) {
    using V = std::vector<std::string_view>;
    const V declared = {"debounce", "Debug", "render"};
    const V names = {"debtor", "debounce", "decide", "DEBIT", "deb"};
    const V keywords = {"debugger", "delete"};
    const struct {
        const char* word;
        std::size_t most;
        std::vector<std::string> entries;
    } cases[] = {
        {"deb", COMPLETION_MOST, {"debounce", "Debug", "DEBIT", "debtor", "debugger"}},
        {"DEB", COMPLETION_MOST, {"debounce", "Debug", "deb", "DEBIT", "debtor", "debugger"}},
        {"de", 3, {"debounce", "Debug", "deb"}},
        {"", COMPLETION_MOST, {"debounce", "Debug", "render"}},
        {"zzz", COMPLETION_MOST, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(completion_entries(c.word, declared, names, keywords, c.most), c.entries) << c.word;
}

class Names : public TypingTest {
protected:
    void SetUp() override {
        TypingTest::SetUp();
        names_start(kEditor, true);
    }
    void put(const std::string& text, const std::string& caret_after) {
        set_utf8(text);
        ensure_styled();
        send(SCI_GOTOPOS, static_cast<std::uintptr_t>(find(caret_after) + caret_after.size()));
        QApplication::processEvents();
    }
    void gather() {
        for (int i = 0; i < 1000 && !names_gathered(kEditor); ++i) {
            QTest::qWait(std::max(0, names_wait_time(kEditor)));
            names_tick(kEditor);
        }
        ASSERT_TRUE(names_gathered(kEditor));
    }
    // The items of the completion list on screen.
    static std::vector<std::string> list_items() {
        std::vector<std::string> items;
        for (QWidget* w : QApplication::allWidgets())
            if (auto* view = qobject_cast<QListWidget*>(w); view && view->isVisible() && view->count() > 0)
                for (int i = 0; i < view->count(); ++i) items.push_back(view->item(i)->text().toStdString());
        return items;
    }
    std::vector<std::string> offered(const std::vector<std::string_view>& declared) {
        return code_editor_complete_word(kEditor, declared) ? list_items() : std::vector<std::string>{};
    }
    // The ranges that carry the occurrence indicator, as "start-end".
    std::string marks() const {
        std::string ranges;
        for (std::intptr_t at = 0; at < length();) {
            const std::intptr_t end = std::max(at + 1, send(SCI_INDICATOREND, OCCURRENCE_INDICATOR, at));
            if (send(SCI_INDICATORVALUEAT, OCCURRENCE_INDICATOR, at))
                ranges += (ranges.empty() ? "" : " ") + std::to_string(at) + "-" + std::to_string(end);
            at = end;
        }
        return ranges;
    }
    // The caret rests long enough.
    void rest() {
        QApplication::processEvents();
        QTest::qWait(OCCURRENCE_REST_MS + 30);
        names_tick(kEditor);
    }
};

TEST_F(Names, CompleteWordOffersDeclaredNamesFirstThenTheCodesNamesThenKeywords) {
    const std::string code =
        "function debounce(fn) { return fn; }\n"
        "var debtor = 'debstring'; // debcomment\n"
        "var Debit = debounce(1);\n";
    const struct {
        std::string typed;
        std::vector<std::string_view> declared;
        std::vector<std::string> offered;
    } cases[] = {
        {"deb", {"debounce"}, {"debounce", "Debit", "debtor", "debugger"}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        put(code + c.typed, code + c.typed);
        EXPECT_EQ(offered(c.declared), c.offered) << c.typed;
        send(SCI_AUTOCCANCEL);
    }
    // Choosing an entry replaces the word before the caret, whatever its case.
    put(code + "DEBO", code + "DEBO");
    ASSERT_EQ(offered({}), (std::vector<std::string>{"debounce"}));
    press(Qt::Key_Return);
    EXPECT_EQ(text_utf8(), code + "debounce");
}

TEST_F(Names, CompleteWordFindsNamesOffScreenOnceGatheredAndTheKeywordListStaysAsItWas) {
    std::string code = "var faraway = 1;\n";
    for (int i = 0; i < 400; ++i) code += "x = 1;\n";
    put(code + "far", code + "far");
    EXPECT_EQ(offered({}), std::vector<std::string>{}) << "not gathered yet, and not on screen";
    gather();
    EXPECT_EQ(offered({}), (std::vector<std::string>{"faraway"}));
    send(SCI_AUTOCCANCEL);
    // Typing "fun" in code full of names beginning with it still offers the keyword alone.
    put("var funny = fungus;\n", "fungus;\n");
    EXPECT_FALSE(names_gathered(kEditor)) << "the text changed since";
    gather();
    type("fun");
    ASSERT_TRUE(send(SCI_AUTOCACTIVE));
    EXPECT_EQ(list_items(), std::vector<std::string>{"function"});
}

TEST_F(Names, OccurrencesOfTheNameAtTheCaretAreMarkedOnceItRests) {
    const std::string code = "var total = total + 1; // total\nf('total', totals, total);\n";
    const struct {
        const char* caret_after;  // the caret goes after the first occurrence of this text
        const char* marks;
    } cases[] = {
        {"var tot", "4-9 12-17 51-56"},    // inside the name
        {"var total", "4-9 12-17 51-56"},  // just after it
        {"// tot", ""},                    // in a comment
        {"('tot", ""},                     // in a string
        {"totals", "43-49"},
        {"va", ""},  // a keyword
    };
    for (const auto& c : cases) {
        put(code, c.caret_after);
        rest();
        EXPECT_EQ(marks(), c.marks) << c.caret_after;
    }
    // The caret leaves the name: the marks go at once; within it they stay.
    put(code, "var tot");
    rest();
    send(SCI_GOTOPOS, 6);
    QApplication::processEvents();
    EXPECT_EQ(marks(), "4-9 12-17 51-56");
    send(SCI_GOTOPOS, 2);
    QApplication::processEvents();
    EXPECT_EQ(marks(), "");
    // Find's marks take their place, and the View item turns them off.
    put(code, "var tot");
    find_set_query(kEditor, {"total"});
    send(SCI_GOTOPOS, 6);
    rest();
    EXPECT_EQ(marks(), "");
    find_close(kEditor);
    code_editor_set_occurrences(kEditor, false);
    put(code, "var tot");
    rest();
    EXPECT_EQ(marks(), "");
    code_editor_set_occurrences(kEditor, true);
    rest();
    EXPECT_EQ(marks(), "4-9 12-17 51-56");
}

}  // namespace
