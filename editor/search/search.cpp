/** @file search.cpp
 * The search engine of search.h: a memmem matcher for literal text with match case, the regular
 * expression engine (regex.h) for everything else, and a scanner that walks the matches of a
 * text held in two pieces, copying only the few bytes around the seam when a match may cross it. */
#include "editor/search/search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "editor/search/regex.h"

namespace {

// STOPPED: no match starts before the limit on where matches may start.
enum class FoundKind { MATCH, NO_MATCH, PARTIAL, TOO_COMPLEX, STOPPED };

// A byte beyond ASCII belongs to a character beyond ASCII, which counts as a word character.
bool is_word_byte(unsigned char byte) {
    return byte >= 0x80 || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= 'a' && byte <= 'z') || byte == '_' || byte == '$';
}

bool is_continuation_byte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the bytes up to a character that the end cuts short (all of them when none is).
std::size_t whole_characters(const char* bytes, std::size_t length) {
    std::size_t lead = length;
    for (int back = 0; back < 3 && lead > 0 && is_continuation_byte(static_cast<unsigned char>(bytes[lead - 1]));
         ++back)
        --lead;
    if (lead == 0) return length;
    const auto byte = static_cast<unsigned char>(bytes[--lead]);
    const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return lead + needed > length ? lead : length;
}

// Characters that make a pattern more than its literal text.
bool has_regex_syntax(std::string_view pattern) {
    return pattern.find_first_of("\\^$.|?*+()[]{}") != std::string_view::npos;
}

bool is_ascii_letter(unsigned char byte) { return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z'; }

// Text whose other case the search can find byte by byte: ASCII without k and s, the only ASCII
// letters that the regex engine also matches with characters beyond ASCII (the Kelvin sign and
// the long s), so that both ways find the same.
bool foldable_as_ascii(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x80 || (byte | 0x20) == 'k' || (byte | 0x20) == 's';
    });
}

// The pattern that matches the text itself: every ASCII character that is not a letter or a
// digit escaped (the engine takes an escaped one of those as itself).
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 &&
            !((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')))
            out += '\\';
        out += c;
    }
    return out;
}

// Whole words for the regular-expression engine: not preceded or followed by a word character
// (the same ones as is_word_byte). `\E` first ends a `\Q` that the pattern left open.
constexpr std::string_view WORD_PREFIX = R"((?<![\w$\x{80}-\x{10ffff}])(?:)";
constexpr std::string_view WORD_SUFFIX = R"(\E)(?![\w$\x{80}-\x{10ffff}]))";

}  // namespace

// Finds the leftmost match in one contiguous subject; see RegexMatch::match for the arguments.
// A match starting at or after `start_limit` is not sought: STOPPED tells that none came before.
class SearchPattern::Matcher {
public:
    virtual ~Matcher() = default;
    struct Found {
        FoundKind kind;
        std::size_t start = 0;
        std::size_t end = 0;
    };
    virtual Found find(const char* subject, std::size_t length, std::size_t start, bool more_follows,
                       bool not_empty_at_start, std::size_t start_limit, RegexMatch* match) const = 0;
    // How many bytes before a search's start a match may look at.
    virtual std::size_t context_bytes() const = 0;
    virtual const Regex* regex() const { return nullptr; }
};

namespace {

// Literal text: memmem with match case; otherwise its ASCII letters in either case, found with
// the first and last bytes compared sixteen places at a time.
class LiteralMatcher final : public SearchPattern::Matcher {
public:
    LiteralMatcher(std::string_view needle, bool whole_word, bool either_case)
        : needle_(needle), whole_word_(whole_word), either_case_(either_case) {
        // In either case a letter is compared with 0x20 set, which makes capitals small.
        for (char& c : needle_) {
            const bool letter = either_case && is_ascii_letter(static_cast<unsigned char>(c));
            if (letter) c = static_cast<char>(c | 0x20);
            fold_.push_back(letter ? 0x20 : 0);
        }
    }

    Found find(const char* subject, std::size_t length, std::size_t start, bool more_follows, bool,
               std::size_t start_limit, RegexMatch*) const override {
        const std::size_t m = needle_.size();
        const bool limited = start_limit <= length;
        // A match that starts before the limit ends before this.
        const std::size_t reach = limited ? std::min(length, start_limit + m - 1) : length;
        std::size_t at = start;
        while (at + m <= reach) {
            const std::size_t found = find_in(subject, at, reach);
            if (found == NOT_FOUND) break;
            if (whole_word_ && found > 0 && is_word_byte(static_cast<unsigned char>(subject[found - 1]))) {
                at = found + 1;
                continue;
            }
            if (whole_word_ && found + m == length && more_follows) return {FoundKind::PARTIAL, found, length};
            if (whole_word_ && found + m < length && is_word_byte(static_cast<unsigned char>(subject[found + m]))) {
                at = found + 1;
                continue;
            }
            return {FoundKind::MATCH, found, found + m};
        }
        if (more_follows) {
            // The cut may fall inside a match: its beginning is then a prefix of the needle at the end.
            const std::size_t last = limited ? start_limit : length;
            for (std::size_t tail = std::max(start, length >= m ? length - m + 1 : 0); tail < last; ++tail) {
                if (!same(subject + tail, length - tail)) continue;
                if (whole_word_ && tail > 0 && is_word_byte(static_cast<unsigned char>(subject[tail - 1]))) continue;
                return {FoundKind::PARTIAL, tail, length};
            }
        }
        return {limited ? FoundKind::STOPPED : FoundKind::NO_MATCH};
    }

    std::size_t context_bytes() const override { return whole_word_ ? 1 : 0; }

private:
    static constexpr std::size_t NOT_FOUND = SIZE_MAX;

    // Whether the first `count` bytes of the needle are at `bytes`.
    bool same(const char* bytes, std::size_t count) const {
        if (!either_case_) return std::memcmp(bytes, needle_.data(), count) == 0;
        for (std::size_t i = 0; i < count; ++i)
            if ((bytes[i] | fold_[i]) != needle_[i]) return false;
        return true;
    }

    // The first place in [at, reach) where the whole needle is, or NOT_FOUND.
    std::size_t find_in(const char* subject, std::size_t at, std::size_t reach) const {
        const std::size_t m = needle_.size();
        if (!either_case_) {
            const void* hit = memmem(subject + at, reach - at, needle_.data(), m);
            return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - subject) : NOT_FOUND;
        }
#if defined(__SSE2__)
        const __m128i first = _mm_set1_epi8(needle_.front()), first_fold = _mm_set1_epi8(fold_.front());
        const __m128i last = _mm_set1_epi8(needle_.back()), last_fold = _mm_set1_epi8(fold_.back());
        for (; at + m - 1 + 16 <= reach; at += 16) {
            const auto* block = reinterpret_cast<const __m128i*>(subject + at);
            const auto* block_end = reinterpret_cast<const __m128i*>(subject + at + m - 1);
            const __m128i heads = _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128(block), first_fold), first);
            const __m128i tails = _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128(block_end), last_fold), last);
            for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(heads, tails))); bits;
                 bits &= bits - 1) {
                const std::size_t candidate = at + static_cast<std::size_t>(__builtin_ctz(bits));
                if (same(subject + candidate, m)) return candidate;
            }
        }
#endif
        for (; at + m <= reach; ++at)
            if (same(subject + at, m)) return at;
        return NOT_FOUND;
    }

    std::string needle_;
    std::string fold_;  // per byte of the needle: 0x20 for a letter compared in either case, else 0
    bool whole_word_;
    bool either_case_;
};

class RegexMatcher final : public SearchPattern::Matcher {
public:
    explicit RegexMatcher(std::unique_ptr<Regex> regex) : regex_(std::move(regex)) {}

    Found find(const char* subject, std::size_t length, std::size_t start, bool more_follows, bool not_empty_at_start,
               std::size_t start_limit, RegexMatch* match) const override {
        // A character cut short by the end of a piece is for the next search to see whole.
        const std::size_t whole = more_follows ? whole_characters(subject, length) : length;
        if (start >= start_limit) return {FoundKind::STOPPED};
        if (start > whole) return {FoundKind::PARTIAL, start, length};
        const std::size_t limit = start_limit <= length ? start_limit : REGEX_ANYWHERE;
        std::size_t from = 0, to = 0;
        switch (match->match(subject, whole, start, more_follows, not_empty_at_start, limit)) {
        case RegexOutcome::MATCH:
            match->group(0, &from, &to);
            return {FoundKind::MATCH, from, to};
        case RegexOutcome::PARTIAL:
            match->group(0, &from, &to);
            return {FoundKind::PARTIAL, std::max(from, start), length};
        case RegexOutcome::NO_MATCH:
            if (start_limit <= whole) return {FoundKind::STOPPED};
            if (whole < length) return {FoundKind::PARTIAL, whole, length};
            return {start_limit <= length ? FoundKind::STOPPED : FoundKind::NO_MATCH};
        case RegexOutcome::TOO_COMPLEX:
            break;
        }
        return {FoundKind::TOO_COMPLEX};
    }

    // A character takes up to four bytes.
    std::size_t context_bytes() const override { return regex_->lookbehind() * 4; }
    const Regex* regex() const override { return regex_.get(); }

private:
    std::unique_ptr<Regex> regex_;
};

}  // namespace

void SearchText::append(std::string& out, std::size_t start, std::size_t end) const {
    end = std::min(end, size());
    if (start >= end) return;
    if (start < first.size()) out.append(first.data() + start, std::min(end, first.size()) - start);
    if (end > first.size()) {
        const std::size_t from = std::max(start, first.size()) - first.size();
        out.append(second.data() + from, end - first.size() - from);
    }
}

bool search_is_word_byte(unsigned char byte) { return is_word_byte(byte); }

void search_set_cancel_flag(const std::atomic<bool>* flag) { regex_set_cancel_flag(flag); }

void search_set_deadline(std::chrono::steady_clock::time_point deadline) { regex_set_deadline(deadline); }

bool SearchPattern::prefers_one_piece() const { return matcher_ && matcher_->regex(); }
bool SearchPattern::has_back_references() const {
    return matcher_ && matcher_->regex() && matcher_->regex()->has_back_references();
}

SearchPattern::SearchPattern(std::string_view pattern, const SearchOptions& options)
    : pattern_(pattern), options_(options) {
    if (pattern.empty()) return;
    const bool literal = !options.regex || !has_regex_syntax(pattern);
    if (literal && (options.match_case || foldable_as_ascii(pattern))) {
        matcher_ = std::make_unique<LiteralMatcher>(pattern, options.whole_word, !options.match_case);
        return;
    }
    const std::string source = options.regex ? std::string(pattern) : escaped(pattern);
    auto regex = std::make_unique<Regex>(source, !options.match_case);
    if (!regex->valid()) {
        error_ = {regex->error_message(), options.regex ? regex->error_offset() : 0};
        return;
    }
    // Compiled alone first, so that an error names its place in the pattern as written.
    if (options.whole_word) {
        std::string wrapped(WORD_PREFIX);
        wrapped += source;
        wrapped += WORD_SUFFIX;
        regex = std::make_unique<Regex>(wrapped, !options.match_case);
        if (!regex->valid()) {
            const std::size_t offset = regex->error_offset();
            error_ = {regex->error_message(),
                      std::min(offset > WORD_PREFIX.size() ? offset - WORD_PREFIX.size() : 0, pattern.size())};
            return;
        }
    }
    matcher_ = std::make_unique<RegexMatcher>(std::move(regex));
}

SearchPattern::~SearchPattern() = default;
SearchPattern::SearchPattern(SearchPattern&&) noexcept = default;
SearchPattern& SearchPattern::operator=(SearchPattern&&) noexcept = default;

// --- The scanner ---------------------------------------------------------------------------------

struct SearchScanner::Found : SearchPattern::Matcher::Found {};

SearchScanner::SearchScanner(const SearchPattern& pattern, const SearchText& text, std::size_t from,
                             bool not_empty_at_from, std::size_t start_limit)
    : pattern_(pattern), text_(text), from_(from), not_empty_(not_empty_at_from), limit_(start_limit) {
    if (pattern.matcher_ && pattern.matcher_->regex())
        regex_match_ = std::make_unique<RegexMatch>(*pattern.matcher_->regex());
}

SearchScanner::~SearchScanner() = default;

SearchStatus SearchScanner::next() {
    if (finished_) return *finished_;
    SearchStatus status = SearchStatus::NO_MATCH;
    if (!pattern_.matcher_ || from_ > text_.size())
        status = SearchStatus::NO_MATCH;
    else if (from_ >= limit_)
        status = stopped();
    else if (from_ < text_.first.size() || text_.second.empty())
        status = search_first();
    else
        status = search_rest();
    if (status != SearchStatus::MATCH) finished_ = status;
    return status;
}

// The match is taken: the next search starts where it ends.
SearchStatus SearchScanner::take(const Found& found, std::size_t origin) {
    start_ = origin + found.start;
    end_ = origin + found.end;
    subject_origin_ = origin;
    from_ = end_;
    not_empty_ = end_ == start_;
    return SearchStatus::MATCH;
}

// The search reaches the cut of a text that goes on: it resumes at `from` with more text.
SearchStatus SearchScanner::incomplete(std::size_t from, bool not_empty) {
    from_ = from;
    not_empty_ = not_empty;
    return SearchStatus::INCOMPLETE;
}

// No match starts before the limit on where matches may start: the search goes on from there.
// A limit inside a character stops after it: a match starting there starts before the limit.
SearchStatus SearchScanner::stopped() {
    if (from_ >= limit_) return incomplete(from_, not_empty_);
    std::size_t at = limit_;
    while (at < text_.size() && is_continuation_byte(static_cast<unsigned char>(text_.at(at)))) ++at;
    return incomplete(at, false);
}

// The limit on where matches start, in a subject that begins at `origin` of the text.
std::size_t SearchScanner::limit_from(std::size_t origin) const {
    if (limit_ == SEARCH_ANYWHERE) return SEARCH_ANYWHERE;
    return limit_ > origin ? limit_ - origin : 0;
}

SearchStatus SearchScanner::search_first() {
    const SearchPattern::Matcher& matcher = *pattern_.matcher_;
    const bool last_piece = text_.second.empty();
    const bool more = !last_piece || !text_.complete;
    const Found found{matcher.find(text_.first.data(), text_.first.size(), from_, more, not_empty_, limit_from(0),
                                   regex_match_.get())};
    switch (found.kind) {
    case FoundKind::MATCH:
        return take(found, 0);
    case FoundKind::STOPPED:
        return stopped();
    case FoundKind::TOO_COMPLEX:
        return SearchStatus::TOO_COMPLEX;
    case FoundKind::NO_MATCH:
        // Nothing starts before the end of the first piece, whatever follows it.
        if (last_piece) return text_.complete ? SearchStatus::NO_MATCH : incomplete(text_.size(), false);
        not_empty_ = false;
        from_ = text_.first.size();
        return search_rest();
    case FoundKind::PARTIAL:
        not_empty_ = not_empty_ && found.start == from_;
        from_ = found.start;
        if (last_piece) return incomplete(from_, not_empty_);
        return search_seam();
    }
    return SearchStatus::NO_MATCH;
}

// From the seam on: the second piece alone once the bytes a match looks back at lie in it.
SearchStatus SearchScanner::search_rest() {
    const std::size_t first = text_.first.size();
    if (first > 0 && from_ - first < pattern_.matcher_->context_bytes()) return search_seam();
    const Found found{pattern_.matcher_->find(text_.second.data(), text_.second.size(), from_ - first, !text_.complete,
                                              not_empty_, limit_from(first), regex_match_.get())};
    switch (found.kind) {
    case FoundKind::MATCH:
        return take(found, first);
    case FoundKind::STOPPED:
        return stopped();
    case FoundKind::NO_MATCH:
        return text_.complete ? SearchStatus::NO_MATCH : incomplete(text_.size(), false);
    case FoundKind::PARTIAL:
        return incomplete(first + found.start, not_empty_ && first + found.start == from_);
    case FoundKind::TOO_COMPLEX:
        break;
    }
    return SearchStatus::TOO_COMPLEX;
}

// A match starting at `from_` may cross the seam: the bytes around it are searched as one
// subject, with as much after the seam as it takes to decide.
SearchStatus SearchScanner::search_seam() {
    const SearchPattern::Matcher& matcher = *pattern_.matcher_;
    const std::size_t first = text_.first.size(), total = text_.size();
    const std::size_t context = matcher.context_bytes();
    std::size_t reach = std::max<std::size_t>(SEAM_BYTES, 2 * context);
    for (;;) {
        std::size_t low = from_ > context ? from_ - context : 0;
        for (int back = 0; back < 3 && low > 0 && is_continuation_byte(static_cast<unsigned char>(text_.at(low)));
             ++back)
            --low;
        const std::size_t high = std::min(total, std::max(from_, first) + reach);
        seam_.clear();
        text_.append(seam_, low, high);
        const bool more = high < total || !text_.complete;
        const Found found{matcher.find(seam_.data(), seam_.size(), from_ - low, more, not_empty_, limit_from(low),
                                       regex_match_.get())};
        switch (found.kind) {
        case FoundKind::MATCH:
            return take(found, low);
        case FoundKind::STOPPED:
            return stopped();
        case FoundKind::TOO_COMPLEX:
            return SearchStatus::TOO_COMPLEX;
        case FoundKind::NO_MATCH:
            if (high == total) return text_.complete ? SearchStatus::NO_MATCH : incomplete(total, false);
            from_ = high;
            not_empty_ = false;
            return search_rest();
        case FoundKind::PARTIAL: {
            const std::size_t at = low + found.start;
            not_empty_ = not_empty_ && at == from_;
            from_ = at;
            if (high == total) return incomplete(from_, not_empty_);
            if (from_ >= first + context) return search_rest();
            reach *= 2;
            break;
        }
        }
    }
}

bool SearchScanner::group(int index, std::size_t* start, std::size_t* end) const {
    if (index == 0 || !regex_match_) {
        if (index != 0) return false;
        *start = start_;
        *end = end_;
        return true;
    }
    std::size_t from = 0, to = 0;
    if (!regex_match_->group(index, &from, &to)) return false;
    *start = subject_origin_ + from;
    *end = subject_origin_ + to;
    return true;
}

void SearchScanner::append_replacement(std::string& out, std::string_view replacement) const {
    if (!pattern_.options().regex) {
        out += replacement;
        return;
    }
    const int groups = pattern_.matcher_ && pattern_.matcher_->regex() ? pattern_.matcher_->regex()->groups() : 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto append_group = [&](int index) {
        std::size_t from = 0, to = 0;
        if (group(index, &from, &to)) text_.append(out, from, to);
    };
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
        if (c == '\\' && digit(next) && next - '0' <= groups) {
            append_group(next - '0');
            ++i;
        } else if (c == '\\' && (next == '\\' || next == 'n' || next == 'r' || next == 't')) {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\\';
            ++i;
        } else if (c == '$' && next == '$') {
            out += '$';
            ++i;
        } else if (c == '$' && next == '{') {
            const std::size_t close = replacement.find('}', i + 2);
            int index = -1;
            if (close != std::string_view::npos && close > i + 2 && close - i - 2 <= 2 &&
                std::all_of(replacement.begin() + i + 2, replacement.begin() + close, digit))
                index = std::stoi(std::string(replacement.substr(i + 2, close - i - 2)));
            if (index < 0 || index > groups) {
                out += c;
                continue;
            }
            append_group(index);
            i = close;
        } else if (c == '$' && digit(next) && next - '0' <= groups) {
            // Two digits name a group when there are that many, as in JavaScript.
            const char after = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
            const int two = digit(after) ? (next - '0') * 10 + (after - '0') : -1;
            if (two >= 0 && two <= groups) {
                append_group(two);
                i += 2;
            } else {
                append_group(next - '0');
                ++i;
            }
        } else {
            out += c;
        }
    }
}

SearchStatus search_count(const SearchPattern& pattern, const SearchText& text, std::size_t* count) {
    *count = 0;
    SearchScanner scanner(pattern, text, 0);
    SearchStatus status;
    while ((status = scanner.next()) == SearchStatus::MATCH) ++*count;
    return status;
}
