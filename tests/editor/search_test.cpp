// The search engine on plain byte buffers: literal text, case, whole words and regular
// expressions give the expected byte ranges, the same wherever the text is split in two or cut
// and resumed; replacements expand groups; bad patterns and the engine's limits are reported.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "editor/search.h"

namespace {

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

constexpr SearchOptions LITERAL{};
constexpr SearchOptions CASE{true, false, false};
constexpr SearchOptions WORD{true, true, false};
constexpr SearchOptions WORD_ANY_CASE{false, true, false};
constexpr SearchOptions REGEX{true, false, true};
constexpr SearchOptions REGEX_ANY_CASE{false, false, true};
constexpr SearchOptions REGEX_WORD{true, true, true};

// Every match of a text in two pieces that is complete.
Ranges matches_in(const SearchPattern& pattern, const SearchText& text) {
    Ranges found;
    SearchScanner scanner(pattern, text, 0);
    while (scanner.next() == SearchStatus::MATCH) found.emplace_back(scanner.start(), scanner.end());
    return found;
}

// Every match when the text first ends at `cut` (as if the rest were still to come) and the
// search then resumes where the scanner asked, with the whole text.
Ranges matches_cut_at(const SearchPattern& pattern, const std::string& text, std::size_t cut) {
    Ranges found;
    SearchScanner first(pattern, SearchText{std::string_view(text).substr(0, cut), {}, false}, 0);
    SearchStatus status;
    while ((status = first.next()) == SearchStatus::MATCH) found.emplace_back(first.start(), first.end());
    EXPECT_EQ(status, SearchStatus::INCOMPLETE);
    SearchScanner rest(pattern, SearchText{text, {}, true}, first.resume_from(), first.resume_not_empty());
    while (rest.next() == SearchStatus::MATCH) found.emplace_back(rest.start(), rest.end());
    return found;
}

// Every match of a text in two pieces, found first before a limit on where they start, then
// from where the scanner asked to go on.
Ranges matches_limited_at(const SearchPattern& pattern, const SearchText& text, std::size_t limit) {
    Ranges found;
    SearchScanner first(pattern, text, 0, false, limit);
    SearchStatus status;
    while ((status = first.next()) == SearchStatus::MATCH) {
        EXPECT_LT(first.start(), limit);
        found.emplace_back(first.start(), first.end());
    }
    EXPECT_EQ(status, SearchStatus::INCOMPLETE);
    SearchScanner rest(pattern, text, first.resume_from(), first.resume_not_empty());
    while (rest.next() == SearchStatus::MATCH) found.emplace_back(rest.start(), rest.end());
    return found;
}

struct Case {
    const char* name;
    std::string text;
    std::string pattern;
    SearchOptions options;
    Ranges expected;
};

TEST(Search, MatchesAreTheSameWhereverTheTextIsSplitCutOrLimited) {
    const Case cases[] = {
        {"literal", "xabyab", "ab", CASE, {{1, 3}, {4, 6}}},
        {"literal overlapping", "aaaaa", "aa", CASE, {{0, 2}, {2, 4}}},
        {"literal other case missed", "ab Ab aB", "AB", CASE, {}},
        {"any case", "ab Ab aB", "AB", LITERAL, {{0, 2}, {3, 5}, {6, 8}}},
        {"any case beyond ASCII",
         "\xC3\xA9t\xC3\xA9 \xC3\x89T\xC3\x89",
         "\xC3\x89t\xC3\xA9",
         LITERAL,
         {{0, 5}, {6, 11}}},
        {"any case in blocks of sixteen",
         std::string("xxNODE-") + std::string(13, 'x') + "node=" + std::string(17, 'x') + "NoDe-xx",
         "node-",
         LITERAL,
         {{2, 7}, {42, 47}}},
        {"any case: k also as the Kelvin sign", "K k \xE2\x84\xAA", "k", LITERAL, {{0, 1}, {2, 3}, {4, 7}}},
        {"literal with regex characters", "a.b axb (a.b)", "(a.b)", LITERAL, {{8, 13}}},
        {"whole word", "foo foobar $foo afoo foo_ foo.x foo", "foo", WORD, {{0, 3}, {26, 29}, {32, 35}}},
        {"whole word beside letters beyond ASCII",
         "\xC3\xA9"
         "foo foo\xC3\xA9 (foo)",
         "foo",
         WORD,
         {{13, 16}}},
        {"whole word any case", "Foo xFOO FOO", "foo", WORD_ANY_CASE, {{0, 3}, {9, 12}}},
        {"regex across lines", "a\r\nb a\nb ab", "a\\r?\\nb", REGEX, {{0, 4}, {5, 8}}},
        {"regex line anchors", "ab\r\ncb\r\nb", "^\\w*b$", REGEX, {{0, 2}, {4, 6}, {8, 9}}},
        {"regex any case", "ABC abc", "b+c", REGEX_ANY_CASE, {{1, 3}, {5, 7}}},
        {"regex empty matches", "ab", "x*", REGEX, {{0, 0}, {1, 1}, {2, 2}}},
        {"regex empty and non-empty", "abaab", "a*", REGEX, {{0, 1}, {1, 1}, {2, 4}, {4, 4}, {5, 5}}},
        {"regex empty then non-empty at one place", "ab", "(?=b)|b", REGEX, {{1, 1}, {1, 2}}},
        {"regex empty matches between characters", "\xC3\xA9", "x*", REGEX, {{0, 0}, {2, 2}}},
        {"regex whole word", "fo foo xfoo fooo_", "fo+", REGEX_WORD, {{0, 2}, {3, 6}}},
        {"regex whole word tries the longer alternative", "foobar", "foo|foobar", REGEX_WORD, {{0, 6}}},
        {"regex without syntax is literal", "function fun", "fun", REGEX, {{0, 3}, {9, 12}}},
        {"regex lookbehind", "xa ya xa", "(?<=x)a", REGEX, {{1, 2}, {7, 8}}},
        {"regex long match", std::string(3000, 'q') + "!" + std::string(3000, 'q'), "q+!q+", REGEX, {{0, 6001}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SearchPattern pattern(c.pattern, c.options);
        ASSERT_TRUE(pattern.valid()) << pattern.error().message;
        EXPECT_EQ(matches_in(pattern, SearchText{c.text, {}, true}), c.expected);
        const std::string_view text = c.text;
        const std::size_t step = text.size() > 100 ? 997 : 1;
        for (std::size_t split = 0; split <= text.size(); split += step) {
            SCOPED_TRACE("split or cut at " + std::to_string(split));
            const SearchText pieces{text.substr(0, split), text.substr(split), true};
            EXPECT_EQ(matches_in(pattern, pieces), c.expected);
            EXPECT_EQ(matches_cut_at(pattern, c.text, split), c.expected);
            EXPECT_EQ(matches_limited_at(pattern, SearchText{text, {}, true}, split), c.expected);
            EXPECT_EQ(matches_limited_at(pattern, pieces, text.size() - split), c.expected);
        }
    }
}

TEST(Search, EitherCaseByteByByteFindsWhatTheRegexEngineFinds) {
    std::mt19937 random(17);
    // Blanks often enough for whole words to occur.
    const std::vector<std::string> letters = {"n", "N", "o", "O", "d", "D", "e", "E",       "-",
                                              "_", " ", " ", " ", " ", " ", " ", "\xC3\xA9"};
    std::string text;
    while (text.size() < 4000) text += letters[random() % letters.size()];
    text += " NoDe E-n d_ ";
    for (const char* needle : {"node", "e-n", "d_", "E", "no"}) {
        for (const bool whole_word : {false, true}) {
            SCOPED_TRACE(std::string(needle) + (whole_word ? " whole word" : ""));
            const SearchPattern bytes(needle, {false, whole_word, false});
            const SearchPattern regex(std::string("(?:") + needle + ")", {false, whole_word, true});
            ASSERT_FALSE(bytes.prefers_one_piece());
            ASSERT_TRUE(regex.prefers_one_piece());
            const Ranges expected = matches_in(regex, SearchText{text, {}, true});
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(matches_in(bytes, SearchText{text, {}, true}), expected);
        }
    }
}

TEST(Search, ReplacementsExpandGroupsInRegularExpressionsOnly) {
    struct Replace {
        std::string pattern;
        SearchOptions options;
        std::string replacement;
        std::string expected;  // of "ann@home, bob@work"
    };
    const Replace replaces[] = {
        {"(\\w+)@(\\w+)", REGEX, "$2 of \\1", "home of ann, work of bob"},
        {"(\\w+)@(\\w+)", REGEX, "${1}0 $$1 \\\\ $3 \\9", "ann0 $1 \\ $3 \\9, bob0 $1 \\ $3 \\9"},
        {"(\\w)(\\w)(\\w)@", REGEX, "$12$0\\t", "a2ann@\thome, b2bob@\twork"},
        {"@", REGEX, "\\r\\n", "ann\r\nhome, bob\r\nwork"},
        {"@", CASE, "$1\\n", "ann$1\\nhome, bob$1\\nwork"},
        {"(x)?@", REGEX, "[$1]", "ann[]home, bob[]work"},
    };
    const std::string text = "ann@home, bob@work";
    for (const Replace& r : replaces) {
        SCOPED_TRACE(r.pattern + " -> " + r.replacement);
        const SearchPattern pattern(r.pattern, r.options);
        // Split in the first match: groups are read across the two pieces.
        const SearchText pieces{std::string_view(text).substr(0, 2), std::string_view(text).substr(2), true};
        SearchScanner scanner(pattern, pieces, 0);
        std::string out;
        std::size_t copied = 0;
        while (scanner.next() == SearchStatus::MATCH) {
            pieces.append(out, copied, scanner.start());
            scanner.append_replacement(out, r.replacement);
            copied = scanner.end();
        }
        pieces.append(out, copied, text.size());
        EXPECT_EQ(out, r.expected);
    }
}

TEST(Search, BadPatternsTellWhyAndWhere) {
    struct Bad {
        std::string pattern;
        SearchOptions options;
        const char* message;
        std::size_t offset;
    };
    const Bad bads[] = {
        {"(abc", REGEX, "missing closing parenthesis", 4},
        {"ab)c", REGEX_WORD, "unmatched closing parenthesis", 2},
        {"a{2,1}", REGEX_ANY_CASE, "out of order", 5},
        {"ab\\", REGEX_WORD, "\\ at end of pattern", 3},
        {"", REGEX, "", 0},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.pattern);
        const SearchPattern pattern(bad.pattern, bad.options);
        EXPECT_FALSE(pattern.valid());
        EXPECT_NE(pattern.error().message.find(bad.message), std::string::npos) << pattern.error().message;
        EXPECT_EQ(pattern.error().offset, bad.offset);
        std::size_t count = 7;
        EXPECT_EQ(search_count(pattern, SearchText{"(abc ab)c", {}, true}, &count), SearchStatus::NO_MATCH);
        EXPECT_EQ(count, 0u);
    }
    // What would be a bad pattern is plain text when it is no regular expression.
    EXPECT_TRUE(SearchPattern("(abc", LITERAL).valid());
}

TEST(Search, TheEnginesLimitsAreTooComplexNeverNoMatch) {
    const SearchPattern alternation("(a|b)+", REGEX);
    std::string line(10'000, 'a');
    for (std::size_t i = 0; i < line.size(); i += 3) line[i] = 'b';
    std::size_t count = 0;
    EXPECT_EQ(search_count(alternation, SearchText{line, {}, true}, &count), SearchStatus::NO_MATCH);
    EXPECT_EQ(count, 1u);
    // A million characters may run into the limits, but never into a crash.
    const std::string long_line = std::string(1'000'000, 'a') + "\n";
    const SearchStatus status = search_count(alternation, SearchText{long_line, {}, true}, &count);
    EXPECT_TRUE(status == SearchStatus::TOO_COMPLEX || (status == SearchStatus::NO_MATCH && count == 1));
    // Nested repeats that cannot match backtrack past any limit.
    const SearchPattern nested("(a+)+$", REGEX);
    EXPECT_EQ(search_count(nested, SearchText{std::string(40, 'a') + "b", {}, true}, &count),
              SearchStatus::TOO_COMPLEX);
}

}  // namespace
