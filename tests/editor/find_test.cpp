// Find and replace on the real component: moves round the ends and their count (which waits for
// typing to pause), "in selection" following edits, Replace and Replace All (one undo step), the
// marks of the matches on screen, and the bar's texts.
#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "editor/search/find.h"
#include "editor_support.h"

namespace {

using Span = std::pair<std::intptr_t, std::intptr_t>;

class Find : public TypingTest {
protected:
    void TearDown() override {
        find_close(kEditor);
        TypingTest::TearDown();
    }

    FindReport query(const std::string& pattern, bool regex = false, bool in_selection = false) {
        const FindReport report = find_set_query(kEditor, {pattern, false, false, regex, in_selection});
        return find_searching(kEditor) ? answered() : report;
    }
    Span selected() const { return {send(SCI_GETSELECTIONSTART), send(SCI_GETSELECTIONEND)}; }
    void select(std::intptr_t start, std::intptr_t end) const { send(SCI_SETSEL, start, end); }
    // The marked runs of the whole text.
    std::vector<Span> marks() const {
        std::vector<Span> runs;
        for (std::intptr_t at = 0, length = this->length(); at < length;) {
            const std::intptr_t end = std::max(at + 1, send(SCI_INDICATOREND, FIND_INDICATOR, at));
            if (send(SCI_INDICATORVALUEAT, FIND_INDICATOR, at)) runs.push_back({at, end});
            at = end;
        }
        return runs;
    }
    // The marks follow the screen when the component repaints.
    void repaint() const { QApplication::processEvents(); }
    // Replace All (or Replace) as the bar does it, with the search worker's answer for a regular expression.
    FindReport replace(const std::string& replacement, bool all = true) const {
        const FindReport report = all ? find_replace_all(kEditor, replacement) : find_replace(kEditor, replacement);
        return find_searching(kEditor) ? answered() : report;
    }
    // The search worker's answers (regular expressions), taken as the loop does when woken.
    FindReport answered() const {
        while (find_searching(kEditor)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            find_tick(kEditor);
        }
        return find_report(kEditor);
    }
    // The count once typing has paused, as the application's loop would run it.
    FindReport counted() const {
        for (int wait;;) {
            answered();
            if ((wait = find_wait_time(kEditor)) < 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            if (find_tick(kEditor) && !find_searching(kEditor)) break;
        }
        return find_report(kEditor);
    }
};

TEST_F(Find, MovesGoRoundTheEndsAndTellWhichMatchOfHowMany) {
    set_utf8("one two one\r\nthree\r\n  one");
    select(4, 4);
    // Incremental: the match grows where the search began.
    EXPECT_EQ(query("o").current, 2);
    EXPECT_EQ(selected(), (Span{6, 7}));
    FindReport report = query("one");
    EXPECT_EQ(selected(), (Span{8, 11}));
    EXPECT_EQ(find_status_text(report), "2 of 3");
    struct Step {
        FindReport (*move)(ObjectNumber);
        Span selected;
        bool wrapped;
        const char* status;
    };
    const Step steps[] = {
        {find_next, {22, 25}, false, "3 of 3"},    {find_next, {0, 3}, true, "1 of 3"},
        {find_previous, {22, 25}, true, "3 of 3"}, {find_previous, {8, 11}, false, "2 of 3"},
        {find_previous, {0, 3}, false, "1 of 3"},
    };
    for (const Step& step : steps) {
        report = step.move(kEditor);
        EXPECT_EQ(selected(), step.selected);
        EXPECT_EQ(report.wrapped, step.wrapped);
        EXPECT_EQ(find_status_text(report), step.status);
    }
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("one "));
    EXPECT_EQ(find_status_text(find_report(kEditor)), "Counting matches…");
    // Uncounted, a move back searches the text, where the last match may go on past the caret.
    select(13, 13);
    find_previous(kEditor);
    EXPECT_EQ(selected(), (Span{12, 15}));
    find_previous(kEditor);
    EXPECT_EQ(selected(), (Span{4, 7}));
    EXPECT_EQ(find_status_text(counted()), "2 of 4");
    // A caret on its own: the next match after it; nothing found leaves the selection.
    select(9, 9);
    EXPECT_EQ(find_next(kEditor).current, 3);
    EXPECT_EQ(find_status_text(query("four")), "No matches");
    EXPECT_EQ(selected(), (Span{12, 15}));
}

TEST_F(Find, TheBarsTexts) {
    set_utf8("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab x");
    const struct {
        const char* pattern;
        bool regex;
        const char* status;
    } texts[] = {
        {"", false, ""},
        {"x", false, "1 of 1"},
        {"(a", true, "Missing closing parenthesis at character 3"},
        {"\xC3\xA9(a", true, "Missing closing parenthesis at character 4"},  // characters, not bytes
        {"(a+)+$", true, FIND_TOO_COMPLEX_TEXT},
        {"(a", false, FIND_NO_MATCHES_TEXT},
    };
    for (const auto& text : texts) EXPECT_EQ(find_status_text(query(text.pattern, text.regex)), text.status);
    FindReport one;
    one.outcome = FIND_FOUND;
    one.total = 1;
    EXPECT_EQ(find_status_text(one), "1 match");
    select(0, 3);
    EXPECT_EQ(find_selection_seed(kEditor), "aaa");
    set_utf8("ab\r\ncd");
    select(1, 5);
    EXPECT_EQ(find_selection_seed(kEditor), "");
}

TEST_F(Find, ReplaceAllIsOneUndoStepAndReplaceGoesOn) {
    const std::string original = "let a = f(1, 2);\r\nlet b = f(3, 4);\r\nf(5,6)";
    set_utf8(original);
    // An edit in the middle leaves the component's gap there, inside a match.
    send(SCI_DELETERANGE, 28, 1);
    send(SCI_INSERTTEXT, 28, reinterpret_cast<std::intptr_t>("3"));
    EXPECT_EQ(query("f\\((\\d),\\s*(\\d)\\)", true).total, 3);
    EXPECT_EQ(find_status_text(replace("g($2, $1)")), "Replaced 3 matches");
    EXPECT_EQ(text_utf8(), "let a = g(2, 1);\r\nlet b = g(4, 3);\r\ng(6, 5)");
    EXPECT_EQ(answered().outcome, FIND_NO_MATCH);
    send(SCI_UNDO);
    EXPECT_EQ(text_utf8(), original);
    // Replace changes a selected match and selects the next; from any other selection it only moves.
    select(0, 0);
    query("let", false);
    EXPECT_EQ(selected(), (Span{0, 3}));
    replace("const", false);
    EXPECT_EQ(text_utf8().substr(0, 22), "const a = f(1, 2);\r\nle");
    EXPECT_EQ(selected(), (Span{20, 23}));
    select(1, 2);
    replace("var", false);
    EXPECT_EQ(selected(), (Span{20, 23}));
    EXPECT_EQ(text_utf8().substr(0, 5), "const");
}

// Empty matches step on, one place at a time, and Replace All counts each once; a result
// beyond the limit replaces nothing and says how large it would be.
TEST_F(Find, ReplaceAllOfEmptyMatchesStepsOnAndATooLargeResultChangesNothing) {
    const std::string text = "xa b\r\nax";
    const struct {
        const char* pattern;
        const char* status;
        const char* replaced;
    } rows[] = {
        {"^", "Replaced 2 matches", "|xa b\r\n|ax"},       {"$", "Replaced 2 matches", "xa b|\r\nax|"},
        {"\\b", "Replaced 6 matches", "|xa| |b|\r\n|ax|"}, {"(?=a)", "Replaced 2 matches", "x|a b\r\n|ax"},
        {"x\\K", "Replaced 2 matches", "x|a b\r\nax|"},    {"a*", "Replaced 8 matches", "|x|| |b|\r\n||x|"},
    };
    for (const auto& row : rows) {
        set_utf8(text);
        query(row.pattern, true);
        EXPECT_EQ(find_status_text(replace("|")), row.status) << row.pattern;
        EXPECT_EQ(text_utf8(), row.replaced) << row.pattern;
    }
    std::string big;
    while (big.size() < 1'000'000) big += "var v = f(a, b);\r\n";
    set_utf8(big);
    query("(?s).+", true);
    // The whole text 300 times: 300 MB.
    constexpr std::size_t COPIES = 300;
    std::string copies;
    for (std::size_t i = 0; i < COPIES; ++i) copies += "$0";
    const std::size_t result = big.size() * COPIES;
    EXPECT_EQ(find_status_text(replace(copies)), "The replaced text would be too large (" +
                                                     std::to_string((result + 500'000) / 1'000'000) +
                                                     " MB). Nothing was replaced.");
    EXPECT_TRUE(text_utf8() == big);
    EXPECT_EQ(send(SCI_CANUNDO), 0);
}

// Hostile patterns on a line of a million bytes and on a 9 MB script, searched and counted as
// the bar does: each row ends within two seconds with its count or "too complex" (a search step
// gets about a second), and empty matches step on instead of finding one place again.
// Back-references compare many bytes at each backtracking step, and `(?:ab)+\d` does a long but
// legal search from every place of the line, neither of which the engine's own limits count.
#ifdef __SANITIZE_ADDRESS__
// The sanitizers' checks multiply the time of every step but the engine's; there the outcome is
// what counts, and the optimised build holds the time.
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

TEST_F(Find, EveryPatternEndsWithItsCountOrTooComplexWithinTwoSeconds) {
    constexpr std::intptr_t TOO_COMPLEX = -1, EITHER = -2;
    std::string line;
    while (line.size() < 1'000'000) line += "ab";
    line += std::string(40, 'x') + "\r\n";
    const struct {
        const char* pattern;
        std::intptr_t on_line;  // the count on the line, or what else it gives
    } rows[] = {
        {"(.*)\\1", EITHER},
        {"(.*)\\1\\1", TOO_COMPLEX},
        {"(.*)\\1\\1\\d", TOO_COMPLEX},
        {"(a|b)+", EITHER},
        {"(a*)*b", 500'000},
        {"(?:x+x+)+y", 0},
        {"(?:ab)+\\d", TOO_COMPLEX},
        {"(?:[a-c]|x)+\\s", TOO_COMPLEX},
        {"^", 1},
        {"$", 2},
        {"\\b", 2},
        {"a*", 1'000'042},
        {"x\\K", 40},
        {"(?<=x)x", 39},
        {"\\r\\n", 1},
        {"(?s).*", 2},
        {"(?=a)", 500'000},
    };
    const std::string script_path = npm_input_path("typescript-5.4.5/package/lib/typescript.js");
    const std::string script = std::filesystem::exists(script_path) ? read_file(script_path) : std::string();
    const std::string* const texts[] = {&line, &script};
    for (const std::string* text : texts) {
        if (text->empty()) continue;
        set_utf8(*text);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.pattern) + (text == &line ? " on the line" : " on the script"));
            find_close(kEditor);
            select(0, 0);
            // The process's CPU time: the search worker's and this thread's, not a busy machine's.
            const std::clock_t start = std::clock();
            query(row.pattern, true);
            const FindReport report = counted();
            if (!SANITIZED) {
                EXPECT_LT(1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 2000.0);
            }
            EXPECT_TRUE(report.outcome == FIND_TOO_COMPLEX || report.total >= 0) << find_status_text(report);
            if (text != &line || row.on_line == EITHER) continue;
            if (row.on_line == TOO_COMPLEX)
                EXPECT_EQ(report.outcome, FIND_TOO_COMPLEX);
            else
                EXPECT_EQ(report.total, row.on_line);
        }
    }
    if (script.empty()) SKIP_WITHOUT_NPM_INPUT(script_path);
}

// Regular expressions are searched by the worker: the query, Replace and Replace All return at
// once, a new pattern cuts the old engine call short instead of waiting for its second, and a
// count or a Replace All worked out on a copy of the text before an edit is made again on the
// edited text.
TEST_F(Find, TheWorkerAnswersLaterAndANewPatternOrAnEditAbandonsItsSearch) {
    std::string line;
    while (line.size() < 100'000) line += "ab";
    set_utf8(line + " needle\r\n");
    // Slow at each step, and slow through a legal amount of work from every place: each runs for
    // seconds here unless abandoned, and the first few milliseconds searched here end on time.
    for (const char* slow : {"(.*)\\1\\1\\d", "(?:ab)+\\d"}) {
        SCOPED_TRACE(slow);
        select(0, 0);
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(find_status_text(find_set_query(kEditor, {slow, false, false, true, false})), FIND_SEARCHING_TEXT);
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(query("ne+dle", true).total, 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        EXPECT_EQ(selected(), (Span{100'001, 100'007}));
    }
    line.resize(20'000);
    set_utf8(line + " needle\r\n");
    EXPECT_EQ(query("b", true).total, 10'000);
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("bb"));
    EXPECT_EQ(counted().total, 10'002);
    select(0, 1);
    EXPECT_EQ(find_status_text(find_replace(kEditor, "B")), FIND_SEARCHING_TEXT);
    EXPECT_EQ(counted().current, 2);
    EXPECT_EQ(text_utf8().substr(0, 4), "Bbab");
    EXPECT_EQ(find_status_text(find_replace_all(kEditor, "$0$0")), FIND_SEARCHING_TEXT);
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("b"));
    EXPECT_EQ(find_status_text(counted()), "Replaced 10003 matches");
    EXPECT_EQ(text_utf8().substr(0, 8), "bbBBbbab");
    select(0, 0);
    query("(.*)\\1\\1\\d", true);
    EXPECT_EQ(find_status_text(replace("x")), FIND_TOO_COMPLEX_TEXT);
    EXPECT_EQ(text_utf8().substr(0, 8), "bbBBbbab");
}

TEST_F(Find, InSelectionSearchesTheRangeSelectedAsItFollowsEdits) {
    set_utf8("x x\r\nx x x\r\nx");
    select(5, 10);
    EXPECT_EQ(query("x", false, true).total, 3);
    EXPECT_EQ(selected(), (Span{5, 6}));
    // Text put in front of the range moves it; the next query keeps it; turned off, it is gone.
    send(SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("xx "));
    EXPECT_EQ(query("x", false, true).total, 3);
    replace("y");
    EXPECT_EQ(text_utf8(), "xx x x\r\ny y y\r\nx");
    EXPECT_EQ(query("x").total, 5);
    // The match the search selected is no scope: with no selection of the user's, nothing is searched.
    find_close(kEditor);
    select(0, 0);
    query("x");
    EXPECT_EQ(find_status_text(query("x", false, true)), FIND_NO_SELECTION_TEXT);
    EXPECT_EQ(find_status_text(replace("z")), FIND_NO_SELECTION_TEXT);
    EXPECT_EQ(text_utf8(), "xx x x\r\ny y y\r\nx");
}

TEST_F(Find, OnlyTheMatchesNearTheScreenAreMarkedAndTheMarksFollowIt) {
    std::string text;
    for (int line = 0; line < 3000; ++line) text += "a foo b\r\n";
    set_utf8(text);
    select(0, 0);
    repaint();
    query("foo");
    const std::vector<Span> first = marks();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), (Span{2, 5}));
    EXPECT_LT(first.size(), 500u);
    EXPECT_EQ(find_report(kEditor).total, 3000);
    // Scrolled to the end: the marks are there, and gone from the top.
    send(SCI_GOTOPOS, length());
    repaint();
    std::vector<Span> last = marks();
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), (Span{length() - 7, length() - 4}));
    EXPECT_GT(last.front().first, first.back().second);
    // Typed text that matches is marked; a mark broken by typing goes.
    type("foo");
    repaint();
    EXPECT_EQ(marks().back(), (Span{length() - 3, length()}));
    send(SCI_GOTOPOS, length() - 8);
    type("x");
    repaint();
    EXPECT_EQ(marks().size(), last.size());
    find_close(kEditor);
    EXPECT_TRUE(marks().empty());
    EXPECT_EQ(find_status_text(find_report(kEditor)), "");
    // Crowded matches: only the lines on screen (and the one partly shown below) are marked, whole.
    text.clear();
    for (int line = 0; line < 2000; ++line) text += std::string(60, 'z') + "\r\n";
    set_utf8(text);
    query("z");
    send(SCI_GOTOPOS, length() / 2);
    repaint();
    const std::intptr_t top = send(SCI_DOCLINEFROMVISIBLE, send(SCI_GETFIRSTVISIBLELINE));
    const std::intptr_t bottom = top + send(SCI_LINESONSCREEN);
    const std::vector<Span> crowded = marks();
    ASSERT_FALSE(crowded.empty());
    EXPECT_EQ(crowded.front().first, send(SCI_POSITIONFROMLINE, top));
    EXPECT_EQ(crowded.back().second, send(SCI_POSITIONFROMLINE, bottom) + 60);
}

}  // namespace
