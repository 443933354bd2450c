// The search engine on plain byte buffers: literal text, case, whole words and regular expressions
// give the same byte ranges wherever the text is split in two, cut and resumed, or searched up to a
// limit and on; replacements expand groups; bad patterns and the engine's limits are reported.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "editor/search/search.h"

namespace {

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

constexpr SearchOptions ANY_CASE{}, CASE{true, false, false}, WORD{true, true, false}, REGEX{true, false, true};

// The matches a scanner gives, each starting before `limit`, until it ends with `last`.
Ranges scan(SearchScanner& scanner, SearchStatus last = SearchStatus::NO_MATCH, std::size_t limit = SEARCH_ANYWHERE) {
    Ranges found;
    SearchStatus status;
    while ((status = scanner.next()) == SearchStatus::MATCH) {
        EXPECT_LT(scanner.start(), limit);
        found.emplace_back(scanner.start(), scanner.end());
    }
    EXPECT_EQ(status, last);
    return found;
}

Ranges all(const SearchPattern& pattern, const SearchText& text) {
    SearchScanner scanner(pattern, text, 0);
    return scan(scanner);
}

// The matches of `part` (a cut text, or one searched up to `limit`), then those of `whole` from
// where the first scanner asked to go on.
Ranges in_two_runs(const SearchPattern& pattern, const SearchText& part, std::size_t limit, const SearchText& whole) {
    SearchScanner first(pattern, part, 0, false, limit);
    Ranges found = scan(first, SearchStatus::INCOMPLETE, limit);
    SearchScanner rest(pattern, whole, first.resume_from(), first.resume_not_empty());
    for (const auto& range : scan(rest)) found.push_back(range);
    return found;
}

TEST(Search, FindsReplacesAndReportsOnPlainBytesWhereverTheTextIsSplit) {
    // Text, pattern, options, matches.
    const std::tuple<std::string, std::string, SearchOptions, Ranges> cases[] = {
        {"xabyab", "ab", CASE, {{1, 3}, {4, 6}}},
        {"aaaaa", "aa", CASE, {{0, 2}, {2, 4}}},
        {"ab Ab aB", "AB", CASE, {}},
        {"ab Ab aB", "AB", ANY_CASE, {{0, 2}, {3, 5}, {6, 8}}},
        {"zip Zip ZIP", "Zip", ANY_CASE, {{0, 3}, {4, 7}, {8, 11}}},  // the alphabet's ends
        {"a A", "A", ANY_CASE, {{0, 1}, {2, 3}}},
        {"Z z", "z", ANY_CASE, {{0, 1}, {2, 3}}},
        {"\xC3\xA9t\xC3\xA9 \xC3\x89T\xC3\x89", "\xC3\x89t\xC3\xA9", ANY_CASE, {{0, 5}, {6, 11}}},
        // Either case sixteen bytes at a time, with matches across the blocks' edges.
        {"xxNODE-xxxxxxxxxxxxxnode=xxxxxxxxxxxxxxxxxNoDe-xx", "node-", ANY_CASE, {{2, 7}, {42, 47}}},
        {"K k \xE2\x84\xAA", "k", ANY_CASE, {{0, 1}, {2, 3}, {4, 7}}},  // the Kelvin sign is a k too
        {"a.b axb (a.b)", "(a.b)", ANY_CASE, {{8, 13}}},
        // A word ends at the text's edges, at a blank or punctuation; `_`, `$` and non-ASCII join it.
        {"foo foobar $foo afoo foo_ foo.x foo", "foo", WORD, {{0, 3}, {26, 29}, {32, 35}}},
        {"\303\251foo foo\303\251 (foo)", "foo", WORD, {{13, 16}}},
        {"Foo xFOO FOO", "foo", {false, true, false}, {{0, 3}, {9, 12}}},
        {"a\r\nb a\nb ab", "a\\r?\\nb", REGEX, {{0, 4}, {5, 8}}},
        {"ab\r\ncb\r\nb", "^\\w*b$", REGEX, {{0, 2}, {4, 6}, {8, 9}}},
        {"ABC abc", "b+c", {false, false, true}, {{1, 3}, {5, 7}}},
        // Empty matches: one at each character boundary, never twice at one place.
        {"ab", "x*", REGEX, {{0, 0}, {1, 1}, {2, 2}}},
        {"abaab", "a*", REGEX, {{0, 1}, {1, 1}, {2, 4}, {4, 4}, {5, 5}}},
        {"ab", "(?=b)|b", REGEX, {{1, 1}, {1, 2}}},
        {"\xC3\xA9", "x*", REGEX, {{0, 0}, {2, 2}}},
        {"fo foo xfoo fooo_", "fo+", {true, true, true}, {{0, 2}, {3, 6}}},
        {"foobar", "foo|foobar", {true, true, true}, {{0, 6}}},
        {"function fun", "fun", REGEX, {{0, 3}, {9, 12}}},
        {"xa ya xa", "(?<=x)a", REGEX, {{1, 2}, {7, 8}}},
        {std::string(3000, 'q') + "!" + std::string(3000, 'q'), "q+!q+", REGEX, {{0, 6001}}},
    };
    for (const auto& [subject, source, options, expected] : cases) {
        SCOPED_TRACE(source + " in " + subject.substr(0, 40));
        const SearchPattern pattern(source, options);
        ASSERT_TRUE(pattern.valid()) << pattern.error().message;
        const std::string_view text = subject;
        const SearchText whole{text, {}, true};
        for (std::size_t split = 0; split <= text.size(); split += text.size() > 100 ? 997 : 1) {
            SCOPED_TRACE("split, cut or limited at " + std::to_string(split));
            const SearchText pieces{text.substr(0, split), text.substr(split), true};
            EXPECT_EQ(all(pattern, pieces), expected);
            EXPECT_EQ(in_two_runs(pattern, {text.substr(0, split), {}, false}, SEARCH_ANYWHERE, whole), expected);
            EXPECT_EQ(in_two_runs(pattern, whole, split, whole), expected);
            EXPECT_EQ(in_two_runs(pattern, pieces, text.size() - split, pieces), expected);
        }
    }

    // Either case byte by byte finds what the regular-expression engine finds.
    std::mt19937 random(17);
    const std::string letters = "nNoOdDeE-_      ";  // and an e with an accent; blanks make words
    std::string text;
    while (text.size() < 4000) text += random() % 17 ? std::string(1, letters[random() % 16]) : "\xC3\xA9";
    text += " NoDe E-n d_ ";
    for (const char* needle : {"node", "e-n", "d_", "E", "no"})
        for (const bool whole_word : {false, true}) {
            const SearchPattern bytes(needle, {false, whole_word, false});
            const SearchPattern regex(std::string("(?:") + needle + ")", {false, whole_word, true});
            ASSERT_TRUE(!bytes.prefers_one_piece() && regex.prefers_one_piece());
            const Ranges expected = all(regex, {text, {}, true});
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(all(bytes, {text, {}, true}), expected) << needle << " whole word " << whole_word;
        }

    // Replacements, with the text split inside the first match: groups are read across the pieces.
    const std::string mail = "ann@home, bob@work";
    const SearchText pieces{std::string_view(mail).substr(0, 2), std::string_view(mail).substr(2), true};
    const std::tuple<std::string, SearchOptions, std::string, std::string> replaces[] = {
        {"(\\w+)@(\\w+)", REGEX, "$2 of \\1", "home of ann, work of bob"},
        {"(\\w+)@(\\w+)", REGEX, "${1}0 $$1 \\\\ $3 \\9", "ann0 $1 \\ $3 \\9, bob0 $1 \\ $3 \\9"},
        {"(\\w)(\\w)(\\w)@", REGEX, "$12$0\\t", "a2ann@\thome, b2bob@\twork"},
        {"@", REGEX, "\\r\\n", "ann\r\nhome, bob\r\nwork"},
        {"@", CASE, "$1\\n", "ann$1\\nhome, bob$1\\nwork"},
        {"(x)?@", REGEX, "[$1]", "ann[]home, bob[]work"},
        {"(\\w+)@\\w+", REGEX, "\\1!", "ann!, bob!"},  // the last group by number
    };
    for (const auto& [source, options, replacement, expected] : replaces) {
        const SearchPattern pattern(source, options);
        SearchScanner scanner(pattern, pieces, 0);
        std::string out;
        std::size_t copied = 0;
        for (; scanner.next() == SearchStatus::MATCH; copied = scanner.end()) {
            pieces.append(out, copied, scanner.start());
            scanner.append_replacement(out, replacement);
        }
        pieces.append(out, copied, mail.size());
        EXPECT_EQ(out, expected) << source << " -> " << replacement;
    }

    // A bad pattern says why and where, and finds nothing; as literal text it is no error.
    const std::tuple<std::string, SearchOptions, std::string, std::size_t> bads[] = {
        {"(abc", REGEX, "missing closing parenthesis", 4},
        {"ab)c", {true, true, true}, "unmatched closing parenthesis", 2},
        {"a{2,1}", {false, false, true}, "out of order", 5},
        {"ab\\", {true, true, true}, "\\ at end of pattern", 3},
        {"", REGEX, "", 0},
    };
    for (const auto& [source, options, message, offset] : bads) {
        const SearchPattern pattern(source, options);
        EXPECT_FALSE(pattern.valid()) << source;
        EXPECT_NE(pattern.error().message.find(message), std::string::npos) << pattern.error().message;
        EXPECT_EQ(pattern.error().offset, offset) << source;
        EXPECT_EQ(all(pattern, {"(abc ab)c", {}, true}), Ranges{});
    }
    EXPECT_TRUE(SearchPattern("(abc", ANY_CASE).valid());

    // The engine's limits give "too complex", never "no match", and no crash on a million bytes.
    const SearchPattern alternation("(a|b)+", REGEX);
    std::string line(10'000, 'a');
    for (std::size_t i = 0; i < line.size(); i += 3) line[i] = 'b';
    std::size_t count = 0;
    EXPECT_EQ(search_count(alternation, {line, {}, true}, &count), SearchStatus::NO_MATCH);
    EXPECT_EQ(count, 1u);
    const std::string long_line = std::string(1'000'000, 'a') + "\n";
    const SearchStatus status = search_count(alternation, {long_line, {}, true}, &count);
    EXPECT_TRUE(status == SearchStatus::TOO_COMPLEX || (status == SearchStatus::NO_MATCH && count == 1));
    const std::string backtracks = std::string(40, 'a') + "b";
    EXPECT_EQ(search_count(SearchPattern("(a+)+$", REGEX), {backtracks, {}, true}, &count), SearchStatus::TOO_COMPLEX);
    // A long but legal search from every place of a line, which those limits let run for minutes:
    // it ends when its time is up, or when its cancel flag is raised.
    std::string pairs;
    while (pairs.size() < 1'000'000) pairs += "ab";
    const SearchPattern everywhere("(?:ab)+\\d", REGEX);
    EXPECT_EQ(search_count(everywhere, {pairs, {}, true}, &count), SearchStatus::TOO_COMPLEX);
    const std::atomic<bool> cancelled{true};
    search_set_cancel_flag(&cancelled);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(search_count(everywhere, {pairs, {}, true}, &count), SearchStatus::TOO_COMPLEX);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    search_set_cancel_flag(nullptr);
}

// Each thread that searches gets a timer that watches its engine calls; the timer goes with the
// thread, so that no tick is ever aimed at a thread that is gone.
TEST(Search, AThreadsWatchOverTheEngineEndsWithTheThread) {
    const auto timers = [] {
        std::ifstream list("/proc/self/timers");
        std::size_t count = 0;
        for (std::string line; std::getline(list, line);) count += line.rfind("ID:", 0) == 0;
        return count;
    };
    if (!std::ifstream("/proc/self/timers")) GTEST_SKIP() << "the kernel lists no timers";
    const std::size_t before = timers();
    std::thread([&] {
        std::size_t count = 0;
        EXPECT_EQ(search_count(SearchPattern("b+", REGEX), {"abba", {}, true}, &count), SearchStatus::NO_MATCH);
        EXPECT_EQ(timers(), before + 1);
    }).join();
    EXPECT_EQ(timers(), before);
}

}  // namespace
