/** @file search.h
 * Searching UTF-8 bytes: literal text through memmem, whole words, either case, and regular
 * expressions through regex.h; matches come back as byte ranges, with the replacement text of
 * each. No Qt and no component: the find glue (find.h) hands it the component's own bytes. */
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct SearchOptions {
    bool match_case = false;
    // A match is neither preceded nor followed by a word character: an ASCII letter or digit,
    // `_`, `$`, or any character beyond ASCII.
    bool whole_word = false;
    // The pattern is a regular expression: groups, `\1` and `$1` in replacements, matches that
    // span lines. Otherwise it is literal text, and so is the replacement.
    bool regex = false;
    bool operator==(const SearchOptions&) const = default;
};

// Why a pattern cannot be searched for: the engine's message, and the byte offset in the
// pattern where it stopped.
struct SearchError {
    std::string message;
    std::size_t offset = 0;
};

enum class SearchStatus {
    MATCH,     // start() and end() hold the match
    NO_MATCH,  // no further match in the text
    // The engine's match, depth or stack limit ended the search: the pattern is too complex for
    // this text. Never a "no match".
    TOO_COMPLEX,
    // The text is cut (not `complete`) and what follows the cut decides: search again from
    // resume_from() with more of the text.
    INCOMPLETE,
};

// The text searched: up to two pieces that follow each other, so that the component's text can
// be searched on both sides of its gap without moving it. Offsets count from the start of
// `first`, and its start and the end of the text count as the edges of the text (a word ends
// there, ^ matches there). A text that is not `complete` goes on after `second`.
struct SearchText {
    std::string_view first;
    std::string_view second;
    bool complete = true;

    std::size_t size() const { return first.size() + second.size(); }
    char at(std::size_t offset) const { return offset < first.size() ? first[offset] : second[offset - first.size()]; }
    // Appends the bytes [start, end) to `out`.
    void append(std::string& out, std::size_t start, std::size_t end) const;
};

// A compiled pattern. Literal text is searched byte by byte (memmem with match case; in either
// case when it is ASCII); every other pattern by the regular-expression engine.
class SearchPattern {
public:
    SearchPattern(std::string_view pattern, const SearchOptions& options);
    ~SearchPattern();
    SearchPattern(SearchPattern&&) noexcept;
    SearchPattern& operator=(SearchPattern&&) noexcept;

    // False for an empty pattern (which finds nothing) and for one that does not compile.
    bool valid() const { return matcher_ != nullptr; }
    bool empty() const { return pattern_.empty(); }
    // Why the pattern does not compile (an empty message for an empty pattern).
    const SearchError& error() const { return error_; }
    const std::string& pattern() const { return pattern_; }
    const SearchOptions& options() const { return options_; }
    // Whether long searches are better given the text in one piece: the regular-expression
    // engine decides cuts between pieces with partial matching, which forgoes its fastest scans.
    bool prefers_one_piece() const;
    // Whether a step may spend long on few bytes: a regular expression with back-references,
    // which compare many bytes at each step of the engine.
    bool has_back_references() const;

    class Matcher;

private:
    std::string pattern_;
    SearchOptions options_;
    SearchError error_;
    std::unique_ptr<Matcher> matcher_;
    friend class SearchScanner;
};

// No bound on where a match may start.
inline constexpr std::size_t SEARCH_ANYWHERE = SIZE_MAX;

// The matches of a pattern in a text, one after the other, from `from` on: each next match
// starts where the previous one ended (after an empty match, an empty match at the same place
// does not count again). The text's bytes must stay as they are while the scanner is used.
class SearchScanner {
public:
    // `not_empty_at_from`: an empty match at `from` does not count (the caller found it already).
    // Only matches that start before `start_limit` are sought (they may end beyond it); once no
    // more come before it, next() gives INCOMPLETE and resume_from() tells where to go on, as
    // for a cut text. A long search so runs in slices over a text that is whole.
    SearchScanner(const SearchPattern& pattern, const SearchText& text, std::size_t from,
                  bool not_empty_at_from = false, std::size_t start_limit = SEARCH_ANYWHERE);
    ~SearchScanner();
    // Owns the engine's match state.
    SearchScanner(const SearchScanner&) = delete;
    SearchScanner& operator=(const SearchScanner&) = delete;

    SearchStatus next();
    // The match found by the last next() that gave MATCH.
    std::size_t start() const { return start_; }
    std::size_t end() const { return end_; }
    // The bounds of group `index` of that match (0: the match); false for a group that took no part.
    bool group(int index, std::size_t* start, std::size_t* end) const;
    // After INCOMPLETE: where to search again (with more text, or a later limit), and whether an
    // empty match there still does not count.
    std::size_t resume_from() const { return from_; }
    bool resume_not_empty() const { return not_empty_; }

    // Appends what replaces the current match. For a regular expression `$0` to `$99`, `${n}`
    // and `\0` to `\9` stand for groups (a number beyond the groups stays as it is written),
    // `$$` for `$`, `\\` for `\`, and `\n`, `\r`, `\t` for those characters; other text, and any
    // replacement of a literal pattern, is taken as it is.
    void append_replacement(std::string& out, std::string_view replacement) const;

private:
    struct Found;
    SearchStatus take(const Found& found, std::size_t origin);
    SearchStatus incomplete(std::size_t from, bool not_empty);
    SearchStatus stopped();
    std::size_t limit_from(std::size_t origin) const;
    SearchStatus search_first();
    SearchStatus search_rest();
    SearchStatus search_seam();

    // What the seam's copy holds after it at first; doubled while a match may still go on.
    static constexpr std::size_t SEAM_BYTES = 4096;

    const SearchPattern& pattern_;
    SearchText text_;
    std::size_t from_;
    bool not_empty_;
    std::size_t limit_;
    std::optional<SearchStatus> finished_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    // Where the subject of the last match began in the text (groups are offsets in it).
    std::size_t subject_origin_ = 0;
    // Bytes around the seam between the two pieces, copied when a match may cross it.
    std::string seam_;
    std::unique_ptr<class RegexMatch> regex_match_;
};

// Counts every match of the pattern in a complete text; TOO_COMPLEX when the engine's limits
// stopped it (the count then holds the matches found before).
SearchStatus search_count(const SearchPattern& pattern, const SearchText& text, std::size_t* count);

// A flag that, once raised, ends the calling thread's searches as the engine's limits would
// (TOO_COMPLEX), for a search worker's abandoned job; null for none.
void search_set_cancel_flag(const std::atomic<bool>* flag);
// The latest moment the calling thread's searches may run to before they give up (TOO_COMPLEX);
// time_point::max() for none. Every call of the engine watches it (without the JIT, only those of
// patterns with back-references).
void search_set_deadline(std::chrono::steady_clock::time_point deadline);

// Whether a byte belongs to a word for whole-word matching (see SearchOptions::whole_word).
bool search_is_word_byte(unsigned char byte);
