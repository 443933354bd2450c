/** @file find.cpp
 * Find and replace in a code editor (find.h): the query, moves with wrap-around, replacing, the
 * lazy count of every match and the marks of the matches on screen, over the component's own
 * bytes on both sides of its gap. */
#include "editor/search/find.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "editor/editor_internal.h"
#include "editor/search/search.h"
#include "editor/search/search_worker.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counting waits for this much quiet after a change of the text, then runs in slices of at most
// COUNT_SLICE_MS each (a query counts one slice at once), each cut every COUNT_SLICE_BYTES.
constexpr int COUNT_PAUSE_MS = 300;
constexpr double COUNT_SLICE_MS = 4.0;
constexpr std::intptr_t COUNT_SLICE_BYTES = 256 * 1024;
// A regular expression is searched here for this long before the search worker takes it on.
constexpr double QUICK_MS = COUNT_SLICE_MS;
constexpr double QUICK_DEADLINE_MS = 3 * QUICK_MS;
// How often a slice looks at the clock while matches come quickly.
constexpr std::intptr_t MATCHES_BETWEEN_CLOCK_READS = 1024;
// One search step may take this long before the search gives up ("too complex"): one call of the
// engine (STEP_TIME_LIMIT in regex_pcre2.cpp), or a count or Replace All that takes it to get on
// by COUNT_SLICE_BYTES of the text, however many calls and slices that takes (for Replace All,
// with back-references, the only patterns that make a stretch slow). Common patterns
// take a few milliseconds there (`a*` on 9 MB of script takes under a second in all).
constexpr double STEP_TIME_LIMIT_MS = 1000;
// The matches whose places are kept for "3 of 120"; beyond them, matches are only counted.
constexpr std::size_t KEPT_MATCHES = std::size_t{1} << 21;
// Find previous looks back this far first, then twice as far each time.
constexpr std::intptr_t PREVIOUS_FIRST_LOOK = 64 * 1024;
// The most text marked at once (a very long line shows only a part of itself).
constexpr std::intptr_t MARK_BYTES = 1 << 20;
// The most marks at once: beyond them, only the lines on screen are marked, and not all of them.
constexpr std::size_t MARKS_MAX = 5000;
constexpr int MARK_ALPHA = 90;
constexpr int MARK_OUTLINE_ALPHA = 200;

struct Span {
    std::intptr_t start;
    std::intptr_t end;
    bool operator==(const Span&) const = default;
};

enum class Count { IDLE, WAITING, RUNNING, DONE, FAILED };

// The outcome of one move.
struct Move {
    SearchStatus status = SearchStatus::NO_MATCH;
    Span match{0, 0};
    bool wrapped = false;
};

// What replacing works out over the searched text, in offsets of it: Replace All's span from the
// first match to the end of the last, or Replace's one match, and the text that replaces it.
struct Replacing {
    // MATCH: there is something to replace; NO_MATCH: nothing (for Replace, the selection is no
    // match); TOO_COMPLEX: the engine gave up.
    SearchStatus status = SearchStatus::NO_MATCH;
    std::intptr_t count = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    // Built only while it stays within FIND_REPLACED_TEXT_MAX; `size` is measured beyond that.
    std::string text;
    std::size_t size = 0;
};

// What the search worker is asked for: a move, Replace or Replace All (nothing: only the count).
enum class Wanted { NOTHING, FORWARD, BACKWARD, REPLACE, REPLACE_ALL };

// What a job of the search worker hands back: a move, then the count; or what replacing works
// out. Each job has its own, so that what an abandoned job writes is never read.
struct WorkerOutput {
    std::mutex mutex;
    bool move_ready = false;
    Move move;
    bool count_ready = false;
    Count count = Count::FAILED;
    std::intptr_t counted = 0;
    std::vector<Span> matches;
    bool replacing_ready = false;
    Replacing replacing;
    // Memory ran out on the worker's thread while it replaced: the command is not carried out.
    bool out_of_memory = false;
};

// The latest moment this thread's engine calls may run to, while it stands.
struct ThreadDeadline {
    explicit ThreadDeadline(Clock::time_point at) { search_set_deadline(at); }
    ~ThreadDeadline() { search_set_deadline(Clock::time_point::max()); }
    ThreadDeadline(const ThreadDeadline&) = delete;
    ThreadDeadline& operator=(const ThreadDeadline&) = delete;
};

// Where a count begins: the start of the searched range, or where a slice of it stopped.
struct CountFrom {
    std::intptr_t at = 0;
    bool not_empty = false;
    std::intptr_t counted = 0;
};

// Called from the worker's thread when a job has something to show (find_set_wake).
void (*wake_function)() = nullptr;

}  // namespace

struct FindState {
    bool active = false;
    int colour = FIND_HIGHLIGHT_COLOUR;
    FindQuery query;
    std::unique_ptr<SearchPattern> pattern;
    FindOutcome outcome = FIND_NONE;
    bool wrapped = false;
    std::intptr_t replaced = -1;
    // The searched range while "in selection" is on: the last selection the user made in the code
    // (the one when the bar opened, or one made since by mouse or keys), never one the search
    // made; it follows the edits made in it. Empty (start == end == -1) when there is none.
    bool scoped = false;
    std::intptr_t scope_start = -1;
    std::intptr_t scope_end = -1;
    // Where incremental search starts, and the selection that this search left: a selection
    // moved by other means starts the next query where it is now.
    std::intptr_t anchor = 0;
    std::intptr_t left_start = -1;
    std::intptr_t left_end = -1;

    // The count: matches so far, the first of them kept, and where the next slice goes on.
    Count count = Count::IDLE;
    Clock::time_point changed_at;
    std::intptr_t counted = 0;
    std::vector<Span> matches;
    std::intptr_t resume = 0;
    bool resume_not_empty = false;
    std::intptr_t cut = 0;
    // Where the count's current stretch of COUNT_SLICE_BYTES began, and its time so far.
    std::intptr_t stretch_from = 0;
    double stretch_ms = 0;

    // The lines whose marks are up to date (none while marked_first > marked_last).
    bool marks_stale = true;
    std::intptr_t marked_first = 0;
    std::intptr_t marked_last = -1;
    std::intptr_t marked_start = 0;
    std::intptr_t marked_end = 0;

    // Regular expressions are searched by the worker, over a copy of the text taken once per
    // change of it (text_generation counts the changes). `output` is the job whose answer is
    // awaited: a move, Replace or Replace All while the outcome is FIND_SEARCHING (`awaited` says
    // which), the count while it is RUNNING.
    std::unique_ptr<SearchWorker> worker;
    std::shared_ptr<WorkerOutput> output;
    std::uint64_t text_generation = 0;
    std::uint64_t snapshot_generation = 0;
    std::shared_ptr<const std::string> snapshot;
    bool backward = false;
    Wanted awaited = Wanted::NOTHING;
    // Replace and Replace All on the worker: the replacement, the searched range and the selection
    // when it was asked, and the outcome before, which a Replace All that changes nothing leaves.
    std::string replacement;
    Span replace_range{0, 0};
    Span replace_selection{0, 0};
    FindOutcome outcome_before = FIND_NONE;
    // The size of a Replace All that the worker found too large, for the next find_report.
    std::size_t too_large = 0;
};

namespace {

std::intptr_t send(ObjectNumber gadget, unsigned message, std::intptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(gadget, message, static_cast<std::uintptr_t>(wparam), lparam);
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

FindState* state_of(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    return record ? record->find : nullptr;
}

void configure_indicator(ObjectNumber gadget, int colour) {
    send(gadget, SCI_INDICSETSTYLE, FIND_INDICATOR, INDIC_ROUNDBOX);
    send(gadget, SCI_INDICSETFORE, FIND_INDICATOR, colour);
    send(gadget, SCI_INDICSETALPHA, FIND_INDICATOR, MARK_ALPHA);
    send(gadget, SCI_INDICSETOUTLINEALPHA, FIND_INDICATOR, MARK_OUTLINE_ALPHA);
    send(gadget, SCI_INDICSETUNDER, FIND_INDICATOR, 1);
}

FindState* ensure_state(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return nullptr;
    if (!record->find) {
        record->find = new FindState;
        configure_indicator(gadget, record->find->colour);
    }
    return record->find;
}

Span selection(ObjectNumber gadget) { return {send(gadget, SCI_GETSELECTIONSTART), send(gadget, SCI_GETSELECTIONEND)}; }

Span scope(ObjectNumber gadget, const FindState& state) {
    if (state.scoped) return {state.scope_start, state.scope_end};
    return {0, send(gadget, SCI_GETLENGTH)};
}

// "In selection" with no selection of the user's to search in.
bool scope_missing(const FindState& state) { return state.scoped && state.scope_start >= state.scope_end; }

// Takes a selection as the scope when the user made it: it is not empty and not the one the
// search left. True when the scope changed.
bool note_user_selection(ObjectNumber gadget, FindState& state) {
    const Span selected = selection(gadget);
    if (selected.start == selected.end || (selected.start == state.left_start && selected.end == state.left_end) ||
        (selected.start == state.scope_start && selected.end == state.scope_end))
        return false;
    state.scope_start = selected.start;
    state.scope_end = selected.end;
    return true;
}

// The component's bytes [start, end) as the pieces before and after its gap: asking for a range
// that does not cross the gap leaves the gap where it is (moving it costs the next keystroke).
SearchText component_text(ObjectNumber gadget, std::intptr_t start, std::intptr_t end, bool complete = true) {
    auto piece = [gadget](std::intptr_t from, std::intptr_t to) -> std::string_view {
        if (to <= from) return {};
        const auto* bytes = reinterpret_cast<const char*>(send(gadget, SCI_GETRANGEPOINTER, from, to - from));
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(to - from)) : std::string_view();
    };
    const std::intptr_t gap = send(gadget, SCI_GETGAPPOSITION);
    if (gap <= start || gap >= end) return {piece(start, end), {}, complete};
    return {piece(start, gap), piece(gap, end), complete};
}

// The searched range for a scan through all of it. The regular-expression engine scans one
// piece faster than two: the gap then goes to the end of the text, which costs the next
// keystroke a move back, once, after a pause.
SearchText scan_text(ObjectNumber gadget, const FindState& state, const Span& range) {
    const std::intptr_t gap = send(gadget, SCI_GETGAPPOSITION);
    if (state.pattern->prefers_one_piece() && gap > range.start && gap < range.end)
        send(gadget, SCI_GETCHARACTERPOINTER);
    return component_text(gadget, range.start, range.end);
}

bool is_continuation(const SearchText& text, std::size_t offset) {
    return offset < text.size() && (static_cast<unsigned char>(text.at(offset)) & 0xC0) == 0x80;
}

// --- Moves ---------------------------------------------------------------------------------------

// The first match at or after `from` in the searched range `text`, which holds the bytes of
// `range`; else, round the end, the first one.
Move forward_in(const SearchPattern& pattern, const SearchText& text, const Span& range, std::intptr_t from,
                bool not_empty) {
    if (from < range.start) {
        from = range.start;
        not_empty = false;
    }
    Move move;
    if (from <= range.end) {
        SearchScanner scanner(pattern, text, static_cast<std::size_t>(from - range.start), not_empty);
        move.status = scanner.next();
        move.match = {range.start + static_cast<std::intptr_t>(scanner.start()),
                      range.start + static_cast<std::intptr_t>(scanner.end())};
        if (move.status != SearchStatus::NO_MATCH) return move;
    }
    SearchScanner scanner(pattern, text, 0);
    move.status = scanner.next();
    move.match = {range.start + static_cast<std::intptr_t>(scanner.start()),
                  range.start + static_cast<std::intptr_t>(scanner.end())};
    move.wrapped = move.status == SearchStatus::MATCH;
    return move;
}

Move search_forward(ObjectNumber gadget, const FindState& state, std::intptr_t from, bool not_empty) {
    const Span range = scope(gadget, state);
    return forward_in(*state.pattern, component_text(gadget, range.start, range.end), range, from, not_empty);
}

// The last match that starts before `limit` in `whole` (the bytes of `range`), looking back from
// it a growing distance.
Move last_match_before(const SearchPattern& pattern, const SearchText& whole, const Span& range, std::intptr_t limit) {
    const auto before = static_cast<std::size_t>(std::min(limit, range.end) - range.start);
    const std::size_t start_limit = limit > range.end ? SEARCH_ANYWHERE : before;
    Move move;
    for (auto look = static_cast<std::size_t>(PREVIOUS_FIRST_LOOK);; look *= 2) {
        std::size_t low = before > look ? before - look : 0;
        while (low > 0 && is_continuation(whole, low)) --low;
        bool found = false;
        SearchScanner scanner(pattern, whole, low, false, start_limit);
        SearchStatus status;
        while ((status = scanner.next()) == SearchStatus::MATCH) {
            move.match = {range.start + static_cast<std::intptr_t>(scanner.start()),
                          range.start + static_cast<std::intptr_t>(scanner.end())};
            found = true;
        }
        if (status == SearchStatus::TOO_COMPLEX) {
            move.status = status;
            return move;
        }
        if (found || low == 0) {
            move.status = found ? SearchStatus::MATCH : SearchStatus::NO_MATCH;
            return move;
        }
    }
}

// The last match before `limit`, from the count when it has every match in hand.
Move counted_match_before(const FindState& state, std::intptr_t limit) {
    Move move;
    auto after = std::lower_bound(state.matches.begin(), state.matches.end(), limit,
                                  [](const Span& match, std::intptr_t at) { return match.start < at; });
    if (after != state.matches.begin()) {
        move.status = SearchStatus::MATCH;
        move.match = *std::prev(after);
    }
    return move;
}

// Whether the count holds every match of the searched text, in place.
bool counted_all(const FindState& state) {
    return state.count == Count::DONE && static_cast<std::size_t>(state.counted) == state.matches.size();
}

// The last match that starts before `before` in `whole` (the bytes of `range`); else, round the
// start, the last one of all.
Move backward_in(const SearchPattern& pattern, const SearchText& whole, const Span& range, std::intptr_t before) {
    Move move = last_match_before(pattern, whole, range, before);
    if (move.status != SearchStatus::NO_MATCH) return move;
    move = last_match_before(pattern, whole, range, range.end + 1);
    move.wrapped = move.status == SearchStatus::MATCH;
    return move;
}

// The same from the count when it has every match in hand.
Move counted_backward(const FindState& state, std::intptr_t before, std::intptr_t end) {
    Move move = counted_match_before(state, before);
    if (move.status != SearchStatus::NO_MATCH) return move;
    move = counted_match_before(state, end + 1);
    move.wrapped = move.status == SearchStatus::MATCH;
    return move;
}

Move search_backward(ObjectNumber gadget, const FindState& state, std::intptr_t before) {
    const Span range = scope(gadget, state);
    if (counted_all(state)) return counted_backward(state, before, range.end);
    return backward_in(*state.pattern, component_text(gadget, range.start, range.end), range, before);
}

// --- Replacing -----------------------------------------------------------------------------------

// Replace: whether `selected` is a match in `text` (the bytes of `range`), and what replaces it.
Replacing replace_selected(const SearchPattern& pattern, const SearchText& text, const Span& range,
                           const Span& selected, const std::string& replacement) {
    Replacing replacing;
    if (selected.start < range.start || selected.end > range.end) return replacing;
    const auto from = static_cast<std::size_t>(selected.start - range.start);
    // Only a match that starts at the selection counts: the engine tries no other place.
    SearchScanner scanner(pattern, text, from, false, from + 1);
    const SearchStatus status = scanner.next();
    if (status == SearchStatus::TOO_COMPLEX) replacing.status = status;
    if (status != SearchStatus::MATCH || range.start + static_cast<std::intptr_t>(scanner.end()) != selected.end)
        return replacing;
    replacing.status = SearchStatus::MATCH;
    replacing.count = 1;
    replacing.first = scanner.start();
    replacing.last = scanner.end();
    scanner.append_replacement(replacing.text, replacement);
    replacing.size = replacing.text.size();
    return replacing;
}

// Replace All: every match of `text`, each replaced. A stretch of COUNT_SLICE_BYTES that takes
// longer than a search step gives up (TOO_COMPLEX), as does a raised flag.
Replacing replace_every_match(const SearchPattern& pattern, const SearchText& text, const std::string& replacement,
                              const std::atomic<bool>& cancelled) {
    Replacing all;
    SearchScanner scanner(pattern, text, 0);
    all.text.reserve(std::min(text.size() + text.size() / 8, FIND_REPLACED_TEXT_MAX));
    std::string one;
    // Where the current stretch of the text began, and when: it gets a search step's time. Only
    // back-references make a stretch slow to search; the time of building would count too.
    const bool timed = pattern.has_back_references();
    std::size_t stretch_from = 0;
    Clock::time_point stretch_started = Clock::now();
    SearchStatus status;
    while ((status = scanner.next()) == SearchStatus::MATCH) {
        if (all.count % MATCHES_BETWEEN_CLOCK_READS == MATCHES_BETWEEN_CLOCK_READS - 1) {
            if (cancelled.load(std::memory_order_relaxed)) {
                status = SearchStatus::TOO_COMPLEX;
                break;
            }
            if (timed && scanner.start() - stretch_from >= static_cast<std::size_t>(COUNT_SLICE_BYTES)) {
                stretch_from = scanner.start();
                stretch_started = Clock::now();
            } else if (timed && ms_since(stretch_started) > STEP_TIME_LIMIT_MS) {
                status = SearchStatus::TOO_COMPLEX;
                break;
            }
        }
        if (all.count++ == 0) all.first = all.last = scanner.start();
        // Once the span's new size passes the limit it is only measured, one replacement at a time.
        if (all.size <= FIND_REPLACED_TEXT_MAX) {
            text.append(all.text, all.last, scanner.start());
            scanner.append_replacement(all.text, replacement);
            all.size = all.text.size();
            if (all.size > FIND_REPLACED_TEXT_MAX) std::string().swap(all.text);
        } else {
            one.clear();
            scanner.append_replacement(one, replacement);
            all.size += scanner.start() - all.last + one.size();
        }
        all.last = scanner.end();
    }
    all.status = status == SearchStatus::TOO_COMPLEX ? status
                 : all.count > 0                     ? SearchStatus::MATCH
                                                     : SearchStatus::NO_MATCH;
    return all;
}

void show_match(ObjectNumber gadget, const Span& match) {
    const std::intptr_t first = send(gadget, SCI_LINEFROMPOSITION, match.start);
    const std::intptr_t last = send(gadget, SCI_LINEFROMPOSITION, match.end);
    for (std::intptr_t line = first; line <= last; ++line) send(gadget, SCI_ENSUREVISIBLE, line);
    send(gadget, SCI_SETSEL, match.start, match.end);
    send(gadget, SCI_SCROLLRANGE, match.end, match.start);
}

void apply(ObjectNumber gadget, FindState& state, const Move& move) {
    state.wrapped = move.wrapped;
    const Span selected = selection(gadget);
    // Known as the search's own before the component hears of it: it never becomes the scope.
    state.left_start = move.status == SearchStatus::MATCH ? move.match.start : selected.start;
    state.left_end = move.status == SearchStatus::MATCH ? move.match.end : selected.end;
    switch (move.status) {
    case SearchStatus::MATCH:
        show_match(gadget, move.match);
        state.anchor = move.match.start;
        state.outcome = FIND_FOUND;
        break;
    case SearchStatus::TOO_COMPLEX:
        state.outcome = FIND_TOO_COMPLEX;
        break;
    default:
        state.outcome = FIND_NO_MATCH;
        break;
    }
}

// --- The count -----------------------------------------------------------------------------------

void count_restart(ObjectNumber gadget, FindState& state) {
    state.matches.clear();
    state.counted = 0;
    state.resume = state.cut = state.stretch_from = scope(gadget, state).start;
    state.stretch_ms = 0;
    state.resume_not_empty = false;
    state.count = Count::RUNNING;
}

// Charges a slice's time to the stretch of text the count is in; false once that stretch has
// taken longer than a search step may.
bool within_step(FindState& state, double slice_ms) {
    if (state.resume - state.stretch_from >= COUNT_SLICE_BYTES) {
        state.stretch_from = state.resume;
        state.stretch_ms = 0;
    }
    state.stretch_ms += slice_ms;
    return state.stretch_ms <= STEP_TIME_LIMIT_MS;
}

// A slice that began at `start` ends; true when the count gives up with it.
bool slice_over(FindState& state, Clock::time_point start) {
    if (within_step(state, ms_since(start))) return false;
    state.count = Count::FAILED;
    return true;
}

// Counts on for at most `budget_ms`; true once the count is over.
bool count_slice(ObjectNumber gadget, FindState& state, double budget_ms) {
    if (state.count != Count::RUNNING) return false;
    const Clock::time_point start = Clock::now();
    const Span range = scope(gadget, state);
    const SearchText whole = scan_text(gadget, state, range);
    for (;;) {
        // Each slice seeks the matches that start before its limit; they may end beyond it.
        state.cut = std::min(range.end, std::max(state.cut, state.resume) + COUNT_SLICE_BYTES);
        const std::size_t start_limit =
            state.cut == range.end ? SEARCH_ANYWHERE : static_cast<std::size_t>(state.cut - range.start);
        SearchScanner scanner(*state.pattern, whole, static_cast<std::size_t>(state.resume - range.start),
                              state.resume_not_empty, start_limit);
        SearchStatus status;
        while ((status = scanner.next()) == SearchStatus::MATCH) {
            const Span match{range.start + static_cast<std::intptr_t>(scanner.start()),
                             range.start + static_cast<std::intptr_t>(scanner.end())};
            if (state.matches.size() < KEPT_MATCHES) state.matches.push_back(match);
            if (++state.counted % MATCHES_BETWEEN_CLOCK_READS == 0 && ms_since(start) > budget_ms) {
                state.resume = match.end;
                state.resume_not_empty = match.start == match.end;
                return slice_over(state, start);
            }
        }
        if (status != SearchStatus::INCOMPLETE) {
            state.count = status == SearchStatus::TOO_COMPLEX ? Count::FAILED : Count::DONE;
            return true;
        }
        state.resume = range.start + static_cast<std::intptr_t>(scanner.resume_from());
        state.resume_not_empty = scanner.resume_not_empty();
        if (ms_since(start) > budget_ms) return slice_over(state, start);
    }
}

// The selection's number among the counted matches, from 1; 0 when it is none of them.
std::intptr_t selected_match_number(ObjectNumber gadget, const FindState& state) {
    const Span selected = selection(gadget);
    auto at = std::lower_bound(state.matches.begin(), state.matches.end(), selected.start,
                               [](const Span& match, std::intptr_t start) { return match.start < start; });
    if (at == state.matches.end() || !(*at == selected)) return 0;
    return (at - state.matches.begin()) + 1;
}

// --- The marks -----------------------------------------------------------------------------------

void clear_marks_between(ObjectNumber gadget, std::intptr_t start, std::intptr_t end) {
    if (end <= start) return;
    send(gadget, SCI_SETINDICATORCURRENT, FIND_INDICATOR);
    send(gadget, SCI_INDICATORCLEARRANGE, start, end - start);
}

void clear_marks(ObjectNumber gadget, FindState& state) {
    clear_marks_between(gadget, 0, send(gadget, SCI_GETLENGTH));
    state.marked_first = 0;
    state.marked_last = -1;
    state.marked_start = state.marked_end = 0;
}

// The marks the component holds between start and end, one span per run.
std::vector<Span> marks_between(ObjectNumber gadget, std::intptr_t start, std::intptr_t end) {
    std::vector<Span> marks;
    for (std::intptr_t at = start; at < end;) {
        const std::intptr_t run_end = std::max(at + 1, send(gadget, SCI_INDICATOREND, FIND_INDICATOR, at));
        if (send(gadget, SCI_INDICATORVALUEAT, FIND_INDICATOR, at) != 0) marks.push_back({at, std::min(run_end, end)});
        at = run_end;
    }
    return marks;
}

std::intptr_t line_start(ObjectNumber gadget, std::intptr_t line) { return send(gadget, SCI_POSITIONFROMLINE, line); }

// The text to mark: the lines on screen and `slack` lines above and below them (so that a
// short scroll finds its marks in place), within the searched range; of a very long line only
// the part around the caret.
Span marking_window(ObjectNumber gadget, const FindState& state, std::intptr_t first, std::intptr_t last,
                    std::intptr_t slack) {
    const std::intptr_t lines = send(gadget, SCI_GETLINECOUNT);
    const std::intptr_t length = send(gadget, SCI_GETLENGTH);
    auto lines_span = [&](std::intptr_t from, std::intptr_t to) {
        return Span{line_start(gadget, std::max<std::intptr_t>(0, from)),
                    to + 1 < lines ? line_start(gadget, to + 1) : length};
    };
    Span window = lines_span(first - slack, last + slack);
    if (window.end - window.start > MARK_BYTES) window = lines_span(first, last);
    if (window.end - window.start > MARK_BYTES) {
        const std::intptr_t caret = send(gadget, SCI_GETCURRENTPOS);
        const std::intptr_t centre = caret >= window.start && caret <= window.end ? caret : window.start;
        window.start = std::max(window.start, centre - MARK_BYTES / 2);
        window.end = std::min(window.end, window.start + MARK_BYTES);
    }
    const Span range = scope(gadget, state);
    return {std::max(window.start, range.start), std::min(window.end, range.end)};
}

// The search gave up on the pattern for this text: nothing more is searched until it changes,
// since each try would hold the window for the engine's time limit again.
bool gave_up(const FindState& state) { return state.outcome == FIND_TOO_COMPLEX || state.count == Count::FAILED; }

// The non-empty matches in the window, MARKS_MAX at most; the search gives up when the engine does.
std::vector<Span> matches_to_mark(ObjectNumber gadget, FindState& state, const Span& window) {
    std::vector<Span> matches;
    if (window.start >= window.end) return matches;
    const SearchText text = component_text(gadget, window.start, window.end);
    SearchScanner scanner(*state.pattern, text, 0);
    SearchStatus status = SearchStatus::MATCH;
    while (matches.size() < MARKS_MAX && (status = scanner.next()) == SearchStatus::MATCH)
        if (scanner.end() > scanner.start())
            matches.push_back({window.start + static_cast<std::intptr_t>(scanner.start()),
                               window.start + static_cast<std::intptr_t>(scanner.end())});
    if (status == SearchStatus::TOO_COMPLEX) state.count = Count::FAILED;
    return matches;
}

// Whether the worker searches this pattern: a regular expression may take long on a text.
// Literal text (memmem) is searched where it is asked for.
bool off_thread(const FindState& state) { return state.pattern && state.pattern->options().regex; }

// The non-empty counted matches in the window, MARKS_MAX at most (the worker's patterns are
// marked from its count, never searched on this thread).
std::vector<Span> counted_to_mark(const FindState& state, const Span& window) {
    std::vector<Span> matches;
    auto at = std::lower_bound(state.matches.begin(), state.matches.end(), window.start,
                               [](const Span& match, std::intptr_t start) { return match.start < start; });
    for (; at != state.matches.end() && at->start < window.end && matches.size() < MARKS_MAX; ++at)
        if (at->end > at->start) matches.push_back({at->start, std::min(at->end, window.end)});
    return matches;
}

void refresh_marks(ObjectNumber gadget, FindState& state, bool force) {
    if (!state.pattern || !state.pattern->valid() || gave_up(state)) return;
    // Marked again once the worker's count is in.
    const bool from_count = off_thread(state);
    if (from_count && state.count != Count::DONE) return;
    const std::intptr_t page = std::max<std::intptr_t>(1, send(gadget, SCI_LINESONSCREEN));
    const std::intptr_t top = send(gadget, SCI_GETFIRSTVISIBLELINE);
    const std::intptr_t first = send(gadget, SCI_DOCLINEFROMVISIBLE, top);
    const std::intptr_t last = send(gadget, SCI_DOCLINEFROMVISIBLE, top + page);
    if (!force && !state.marks_stale && first >= state.marked_first && last <= state.marked_last) return;

    std::intptr_t slack = page;
    Span window = marking_window(gadget, state, first, last, slack);
    auto matches_in = [&](const Span& in) {
        return from_count ? counted_to_mark(state, in) : matches_to_mark(gadget, state, in);
    };
    std::vector<Span> wanted = matches_in(window);
    if (wanted.size() >= MARKS_MAX) {
        slack = 0;
        window = marking_window(gadget, state, first, last, slack);
        wanted = matches_in(window);
    }
    // Marks left from an earlier window go; those in this one change only when they differ,
    // since every change of them repaints.
    clear_marks_between(gadget, state.marked_start, std::min(state.marked_end, window.start));
    clear_marks_between(gadget, std::max(state.marked_start, window.end), state.marked_end);
    if (marks_between(gadget, window.start, window.end) != wanted) {
        clear_marks_between(gadget, window.start, window.end);
        send(gadget, SCI_SETINDICATORCURRENT, FIND_INDICATOR);
        // Neighbouring matches take different values, so that each shows as a mark of its own.
        int value = 1;
        for (const Span& match : wanted) {
            send(gadget, SCI_SETINDICATORVALUE, value);
            send(gadget, SCI_INDICATORFILLRANGE, match.start, match.end - match.start);
            value = 3 - value;
        }
    }
    state.marked_first = std::max<std::intptr_t>(0, first - slack);
    state.marked_last = last + slack;
    state.marked_start = window.start;
    state.marked_end = window.end;
    state.marks_stale = false;
}

// --- Changes of the text -------------------------------------------------------------------------

void shift_for_insertion(std::intptr_t& position, std::intptr_t at, std::intptr_t length, bool at_moves) {
    if (position > at || (at_moves && position == at)) position += length;
}

void shift_for_removal(std::intptr_t& position, std::intptr_t at, std::intptr_t length) {
    if (position > at) position = std::max(at, position - length);
}

FindReport report_of(ObjectNumber gadget, const FindState& state) {
    FindReport report;
    report.outcome = state.outcome;
    if (scope_missing(state) && state.pattern && state.pattern->valid()) {
        report.outcome = FIND_NO_SELECTION;
        return report;
    }
    if (state.too_large > 0) {
        report.outcome = FIND_TOO_LARGE;
        report.result_bytes = state.too_large;
        return report;
    }
    report.wrapped = state.wrapped;
    report.replaced = state.replaced;
    if (state.outcome == FIND_INVALID) {
        const std::string& pattern = state.pattern->pattern();
        const std::size_t offset = std::min(state.pattern->error().offset, pattern.size());
        const auto characters = std::count_if(pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(offset),
                                              [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        std::string message = state.pattern->error().message;
        if (!message.empty() && message[0] >= 'a' && message[0] <= 'z') message[0] = static_cast<char>(message[0] - 32);
        report.error = message + " at character " + std::to_string(characters + 1);
    }
    const bool searched = state.outcome == FIND_FOUND || state.outcome == FIND_NO_MATCH;
    report.backward = state.backward;
    if (searched && state.count == Count::DONE) {
        report.total = state.counted;
        report.outcome = state.counted > 0 ? FIND_FOUND : FIND_NO_MATCH;
        report.current = selected_match_number(gadget, state);
    } else if (searched && state.count == Count::FAILED) {
        report.outcome = FIND_TOO_COMPLEX;
    }
    return report;
}

// --- The search worker ---------------------------------------------------------------------------

// Counts every match in `text` (the bytes of `range`), keeping the first KEPT_MATCHES; a stretch of
// COUNT_SLICE_BYTES that takes longer than a search step gives up (FAILED), as does a raised flag.
// With back-references the whole count is one step: it gets STEP_TIME_LIMIT_MS in all, since
// each of its stretches could take almost that long.
Count count_stretches(const SearchPattern& pattern, const SearchText& text, const Span& range, const CountFrom& from,
                      const std::atomic<bool>& cancelled, std::vector<Span>& matches, std::intptr_t& counted) {
    std::intptr_t resume = from.at;
    bool resume_not_empty = from.not_empty;
    const bool one_step = pattern.has_back_references();
    const Clock::time_point count_started = Clock::now();
    // Back-references make each match slow to find: the clock is then read after each of them.
    const std::intptr_t between_reads = one_step ? 1 : MATCHES_BETWEEN_CLOCK_READS;
    for (;;) {
        const std::intptr_t cut = std::min(range.end, resume + COUNT_SLICE_BYTES);
        const std::size_t start_limit =
            cut == range.end ? SEARCH_ANYWHERE : static_cast<std::size_t>(cut - range.start);
        const Clock::time_point stretch_started = one_step ? count_started : Clock::now();
        SearchScanner scanner(pattern, text, static_cast<std::size_t>(resume - range.start), resume_not_empty,
                              start_limit);
        SearchStatus status;
        while ((status = scanner.next()) == SearchStatus::MATCH) {
            if (matches.size() < KEPT_MATCHES)
                matches.push_back({range.start + static_cast<std::intptr_t>(scanner.start()),
                                   range.start + static_cast<std::intptr_t>(scanner.end())});
            if (++counted % between_reads == 0 &&
                (cancelled.load(std::memory_order_relaxed) || ms_since(stretch_started) > STEP_TIME_LIMIT_MS))
                return Count::FAILED;
        }
        if (cancelled.load(std::memory_order_relaxed)) return Count::FAILED;
        if (status != SearchStatus::INCOMPLETE)
            return status == SearchStatus::TOO_COMPLEX ? Count::FAILED : Count::DONE;
        resume = range.start + static_cast<std::intptr_t>(scanner.resume_from());
        resume_not_empty = scanner.resume_not_empty();
        if (ms_since(stretch_started) > STEP_TIME_LIMIT_MS) return Count::FAILED;
    }
}

Count count_all(const SearchPattern& pattern, const SearchText& text, const Span& range, const CountFrom& from,
                const std::atomic<bool>& cancelled, std::vector<Span>& matches, std::intptr_t& counted) {
    const ThreadDeadline deadline(pattern.has_back_references()
                                      ? Clock::now() + std::chrono::milliseconds(static_cast<int>(STEP_TIME_LIMIT_MS))
                                      : Clock::time_point::max());
    return count_stretches(pattern, text, range, from, cancelled, matches, counted);
}

// The pattern as the worker's thread compiled it: the engine keeps per-pattern state while it
// matches, so the worker never shares the user-interface thread's.
const SearchPattern& worker_pattern(const std::string& pattern, const SearchOptions& options) {
    thread_local std::unique_ptr<SearchPattern> compiled;
    if (!compiled || compiled->pattern() != pattern || !(compiled->options() == options))
        compiled = std::make_unique<SearchPattern>(pattern, options);
    return *compiled;
}

// The searched range of the worker's copy of the code, as one complete piece.
SearchText copy_range(const std::string& text, const Span& range) {
    return {std::string_view(text).substr(static_cast<std::size_t>(range.start),
                                          static_cast<std::size_t>(range.end - range.start)),
            {},
            true};
}

// The code's bytes as they stand, copied once per change of the text.
std::shared_ptr<const std::string> snapshot_of(ObjectNumber gadget, FindState& state) {
    if (!state.snapshot || state.snapshot_generation != state.text_generation) {
        state.snapshot.reset();
        const SearchText text = component_text(gadget, 0, send(gadget, SCI_GETLENGTH));
        auto copy = std::make_shared<std::string>();
        copy->reserve(text.size());
        text.append(*copy, 0, text.size());
        state.snapshot = std::move(copy);
        state.snapshot_generation = state.text_generation;
    }
    return state.snapshot;
}

// Abandons the worker's job: its answer is no longer awaited, and its engine call ends soon.
void abandon(FindState& state) {
    if (state.worker && state.output) state.worker->cancel();
    state.output.reset();
}

// The worker's job: a move (from `from`) over the copy `text` of the code, published as soon as it
// is known, then the count when `count`. Memory that runs out on the worker's thread ends the
// job as the engine's own limits would: "too complex".
void search_job(const std::shared_ptr<WorkerOutput>& output, const std::shared_ptr<const std::string>& text,
                const Span& range, Wanted wanted, std::intptr_t from, bool not_empty, bool count,
                const CountFrom& count_from, const std::string& pattern, const SearchOptions& options, void (*wake)(),
                std::vector<Span>& matches, const std::atomic<bool>& cancelled) {
    bool moved = wanted == Wanted::NOTHING;
    try {
        const SearchPattern& compiled = worker_pattern(pattern, options);
        const SearchText whole = copy_range(*text, range);
        if (!moved) {
            const Move move = wanted == Wanted::FORWARD ? forward_in(compiled, whole, range, from, not_empty)
                                                        : backward_in(compiled, whole, range, from);
            if (cancelled.load()) return;
            {
                std::lock_guard lock(output->mutex);
                output->move = move;
                output->move_ready = moved = true;
            }
            if (wake) wake();
            // The count would give up on the same text as well.
            if (move.status == SearchStatus::TOO_COMPLEX) return;
        }
        if (!count) return;
        std::intptr_t counted = count_from.counted;
        const Count result = count_all(compiled, whole, range, count_from, cancelled, matches, counted);
        if (cancelled.load()) return;
        {
            std::lock_guard lock(output->mutex);
            output->count = result;
            output->counted = counted;
            output->matches = std::move(matches);
            output->count_ready = true;
        }
    } catch (const std::bad_alloc&) {
        std::lock_guard lock(output->mutex);
        if (!moved) {
            output->move.status = SearchStatus::TOO_COMPLEX;
            output->move_ready = true;
        }
        output->count = Count::FAILED;
        output->counted = 0;
        output->matches = {};
        output->count_ready = count;
    }
    if (wake) wake();
}

// Posts a job to the worker, started on the first one.
void run_on_worker(FindState& state, SearchWorker::Job job) {
    try {
        if (!state.worker) state.worker = std::make_unique<SearchWorker>();
    } catch (const std::system_error&) {
        // No thread to be had: searched here, as bounded as on the worker; find_tick takes it.
        const std::atomic<bool> never{false};
        job(never);
        return;
    }
    state.worker->post(std::move(job));
}

// Hands a move and, when `count`, the count after it to the worker. Until the move's answer comes,
// the outcome is FIND_SEARCHING; until the count's, the count RUNNING. A count that `goes_on`
// starts where this thread's slice of it stopped, with the matches that slice found.
void post_search(ObjectNumber gadget, FindState& state, Wanted wanted, std::intptr_t from, bool not_empty, bool count,
                 bool goes_on = false) {
    const Span range = scope(gadget, state);
    std::shared_ptr<const std::string> text = snapshot_of(gadget, state);
    auto output = std::make_shared<WorkerOutput>();
    // The last count's storage, emptied: a count of the same text then allocates nothing.
    std::vector<Span> matches;
    CountFrom count_from{range.start, false, 0};
    if (count) {
        matches = std::move(state.matches);
        if (goes_on)
            count_from = {state.resume, state.resume_not_empty, state.counted};
        else
            matches.clear();
    }
    auto job = [output, text, range, wanted, from, not_empty, count, count_from, pattern = state.pattern->pattern(),
                options = state.pattern->options(), wake = wake_function,
                matches = std::move(matches)](const std::atomic<bool>& cancelled) mutable {
        search_job(output, text, range, wanted, from, not_empty, count, count_from, pattern, options, wake, matches,
                   cancelled);
    };
    state.output = output;
    if (wanted != Wanted::NOTHING) {
        state.outcome = FIND_SEARCHING;
        state.awaited = wanted;
        state.backward = wanted == Wanted::BACKWARD;
    }
    if (count) {
        state.matches.clear();
        state.counted = 0;
        state.count = Count::RUNNING;
    }
    run_on_worker(state, std::move(job));
}

// A move: on the worker for its patterns (the count goes on after it when it was under way),
// else here at once.
FindReport move_to(ObjectNumber gadget, FindState& state, Wanted wanted, std::intptr_t from, bool not_empty);
// Carry out what replacing worked out, then move on (Replace) or count again (Replace All).
FindReport replaced_one(ObjectNumber gadget, FindState& state, const Span& selected, const Replacing& one);
FindReport replaced_all(ObjectNumber gadget, FindState& state, const Span& range, const Replacing& all);

// The worker's Replace or Replace All over the copy `text` of the code. Memory that runs out on
// its thread is handed back for the loop to say so: the command is then not carried out.
void replace_job(const std::shared_ptr<WorkerOutput>& output, const std::shared_ptr<const std::string>& text,
                 const Span& range, Wanted wanted, const Span& selected, const std::string& replacement,
                 const std::string& pattern, const SearchOptions& options, void (*wake)(),
                 const std::atomic<bool>& cancelled) {
    Replacing replacing;
    bool out_of_memory = false;
    try {
        const SearchPattern& compiled = worker_pattern(pattern, options);
        const SearchText whole = copy_range(*text, range);
        replacing = wanted == Wanted::REPLACE_ALL ? replace_every_match(compiled, whole, replacement, cancelled)
                                                  : replace_selected(compiled, whole, range, selected, replacement);
    } catch (const std::bad_alloc&) {
        replacing = {};
        out_of_memory = true;
    }
    if (cancelled.load()) return;
    {
        std::lock_guard lock(output->mutex);
        output->replacing = std::move(replacing);
        output->out_of_memory = out_of_memory;
        output->replacing_ready = true;
    }
    if (wake) wake();
}

// Hands Replace or Replace All to the worker; until its answer comes, the outcome is FIND_SEARCHING.
void post_replace(ObjectNumber gadget, FindState& state, Wanted wanted, const std::string& replacement) {
    abandon(state);
    const Span range = scope(gadget, state);
    const Span selected = selection(gadget);
    std::shared_ptr<const std::string> text = snapshot_of(gadget, state);
    auto output = std::make_shared<WorkerOutput>();
    state.outcome_before = state.outcome;
    state.outcome = FIND_SEARCHING;
    state.awaited = wanted;
    state.replacement = replacement;
    state.replace_range = range;
    state.replace_selection = selected;
    state.replaced = -1;
    state.wrapped = false;
    // The count that this abandons starts again once the replacing is done.
    if (state.count == Count::RUNNING) {
        state.count = Count::WAITING;
        state.changed_at = Clock::now();
    }
    state.output = output;
    run_on_worker(
        state, [output, text, range, wanted, selected, replacement, pattern = state.pattern->pattern(),
                options = state.pattern->options(), wake = wake_function](const std::atomic<bool>& cancelled) {
            replace_job(output, text, range, wanted, selected, replacement, pattern, options, wake, cancelled);
        });
}

// A new query's move and count, first searched here for QUICK_MS at most (every engine call
// ends by then): most patterns are found and counted within a millisecond or two, which handing
// them to the worker would make slower. The worker takes on what is not done by then: the move
// from the start, or the count from where it stopped.
void search_here_first(ObjectNumber gadget, FindState& state) {
    const Clock::time_point start = Clock::now();
    // An engine call may run on past the count's budget, to QUICK_DEADLINE_MS: a count stopped
    // between calls goes on from there on the worker, one cut short in a call starts again.
    const ThreadDeadline deadline(start + std::chrono::microseconds(static_cast<int>(QUICK_DEADLINE_MS * 1000)));
    const Move move = search_forward(gadget, state, state.anchor, false);
    if (move.status == SearchStatus::TOO_COMPLEX) {
        post_search(gadget, state, Wanted::FORWARD, state.anchor, false, true);
        return;
    }
    apply(gadget, state, move);
    count_restart(gadget, state);
    count_slice(gadget, state, std::max(0.0, QUICK_MS - ms_since(start)));
    if (state.count == Count::DONE) {
        refresh_marks(gadget, state, true);
        return;
    }
    // A count that the deadline cut short (FAILED) starts again there.
    post_search(gadget, state, Wanted::NOTHING, 0, false, true, state.count == Count::RUNNING);
}

// Takes the worker's Replace or Replace All; true when the report changed.
bool take_replacing(ObjectNumber gadget, FindState& state, std::unique_lock<std::mutex>& lock) {
    WorkerOutput& output = *state.output;
    const Replacing replacing = std::move(output.replacing);
    const bool out_of_memory = output.out_of_memory;
    output.replacing_ready = false;
    lock.unlock();
    state.output.reset();
    // What replacing finds sets the outcome; only a Replace All too large to carry out leaves it,
    // and that one found matches, where a move it abandoned was still looking for one.
    state.outcome = state.outcome_before == FIND_SEARCHING ? FIND_FOUND : state.outcome_before;
    // Nothing has changed yet; the application's loop says that memory ran out.
    if (out_of_memory) throw std::bad_alloc();
    if (state.awaited == Wanted::REPLACE_ALL)
        replaced_all(gadget, state, state.replace_range, replacing);
    else
        replaced_one(gadget, state, state.replace_selection, replacing);
    return true;
}

// Takes what the worker answered; true when the report changed.
bool take_output(ObjectNumber gadget, FindState& state) {
    if (!state.output) return false;
    WorkerOutput& output = *state.output;
    std::unique_lock lock(output.mutex);
    if (output.replacing_ready && state.outcome == FIND_SEARCHING) return take_replacing(gadget, state, lock);
    bool changed = false;
    if (output.move_ready && state.outcome == FIND_SEARCHING) {
        const Move move = output.move;
        output.move_ready = false;
        lock.unlock();
        apply(gadget, state, move);
        changed = true;
        if (state.outcome == FIND_TOO_COMPLEX) {
            state.count = Count::FAILED;
            clear_marks(gadget, state);
        } else {
            refresh_marks(gadget, state, false);
        }
        lock.lock();
    }
    if (output.count_ready && state.count == Count::RUNNING) {
        state.count = output.count;
        state.counted = output.counted;
        state.matches = std::move(output.matches);
        output.count_ready = false;
        lock.unlock();
        changed = true;
        if (state.count == Count::FAILED)
            clear_marks(gadget, state);
        else
            refresh_marks(gadget, state, true);
    } else {
        lock.unlock();
    }
    if (state.outcome != FIND_SEARCHING && state.count != Count::RUNNING) state.output.reset();
    return changed;
}

}  // namespace

// --- The editor's side ---------------------------------------------------------------------------

void find_note_change(EditorRecord* record, const SCNotification* notification) {
    FindState* state = record ? record->find : nullptr;
    if (!state) return;
    const bool changes = notification->modificationType & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE);
    if (changes) {
        // The worker's copy is old now, and so is what it is working out on it.
        ++state->text_generation;
        state->snapshot.reset();
        abandon(*state);
    }
    if (!state->active) return;
    const std::intptr_t at = notification->position, length = notification->length;
    if (notification->modificationType & SC_MOD_BEFOREINSERT) {
        shift_for_insertion(state->scope_start, at, length, false);
        shift_for_insertion(state->scope_end, at, length, true);
        shift_for_insertion(state->anchor, at, length, false);
        shift_for_insertion(state->left_start, at, length, false);
        shift_for_insertion(state->left_end, at, length, false);
    } else if (notification->modificationType & SC_MOD_BEFOREDELETE) {
        shift_for_removal(state->scope_start, at, length);
        shift_for_removal(state->scope_end, at, length);
        shift_for_removal(state->anchor, at, length);
        shift_for_removal(state->left_start, at, length);
        shift_for_removal(state->left_end, at, length);
    } else {
        return;
    }
    state->marks_stale = true;
    if ((state->count != Count::IDLE && !gave_up(*state)) || state->outcome == FIND_SEARCHING) {
        state->count = Count::WAITING;
        state->changed_at = Clock::now();
    }
}

void find_note_update(EditorRecord* record) {
    if (!record || !record->find || !record->find->active) return;
    FindState& state = *record->find;
    // A selection made in the code while the bar is open becomes the scope of "in selection".
    if (note_user_selection(record->gadget, state) && state.scoped) {
        state.marks_stale = true;
        if (state.count != Count::IDLE) {
            abandon(state);
            state.count = Count::WAITING;
            state.changed_at = Clock::now();
        }
    }
    refresh_marks(record->gadget, state, false);
}

void find_release(EditorRecord* record) {
    delete record->find;
    record->find = nullptr;
}

// --- The bar's side ------------------------------------------------------------------------------

FindReport find_set_query(ObjectNumber gadget, const FindQuery& query) {
    FindState* state = ensure_state(gadget);
    if (!state) return {};
    const bool was_active = state->active;
    const Span selected = selection(gadget);
    if (!was_active || selected.start != state->left_start || selected.end != state->left_end)
        state->anchor = selected.start;
    state->active = true;
    note_user_selection(gadget, *state);
    if (query.in_selection && !(was_active && state->query.in_selection) && state->scope_start < state->scope_end)
        state->anchor = state->scope_start;
    state->scoped = query.in_selection;
    const SearchOptions options{query.match_case, query.whole_word, query.regex};
    if (!state->pattern || state->pattern->pattern() != query.pattern || !(state->pattern->options() == options))
        state->pattern = std::make_unique<SearchPattern>(query.pattern, options);
    // The marks of the same query stay until its count replaces them.
    const bool same_query = was_active && state->query == query;
    state->query = query;
    state->wrapped = false;
    state->backward = false;
    state->replaced = -1;
    state->too_large = 0;
    state->count = Count::IDLE;
    abandon(*state);
    if (!state->pattern->valid() || scope_missing(*state)) {
        state->outcome = state->pattern->valid() ? FIND_NO_MATCH : state->pattern->empty() ? FIND_NONE : FIND_INVALID;
        clear_marks(gadget, *state);
        return report_of(gadget, *state);
    }
    if (off_thread(*state)) {
        // The old pattern's marks go; the new one's come with its count.
        if (!same_query) clear_marks(gadget, *state);
        search_here_first(gadget, *state);
        return report_of(gadget, *state);
    }
    apply(gadget, *state, search_forward(gadget, *state, state->anchor, false));
    if (gave_up(*state)) {
        state->count = Count::FAILED;
        clear_marks(gadget, *state);
        return report_of(gadget, *state);
    }
    count_restart(gadget, *state);
    count_slice(gadget, *state, COUNT_SLICE_MS);
    refresh_marks(gadget, *state, true);
    return report_of(gadget, *state);
}

namespace {

// A query that can be searched for, or null.
FindState* searchable(ObjectNumber gadget) {
    FindState* state = state_of(gadget);
    return state && state->active && state->pattern && state->pattern->valid() && !scope_missing(*state) ? state
                                                                                                         : nullptr;
}

FindReport after_move(ObjectNumber gadget, FindState& state, const Move& move) {
    state.replaced = -1;
    apply(gadget, state, move);
    refresh_marks(gadget, state, false);
    return report_of(gadget, state);
}

FindReport move_to(ObjectNumber gadget, FindState& state, Wanted wanted, std::intptr_t from, bool not_empty) {
    state.backward = wanted == Wanted::BACKWARD;
    state.too_large = 0;
    if (!off_thread(state) || (state.backward && counted_all(state)))
        return after_move(
            gadget, state,
            state.backward ? search_backward(gadget, state, from) : search_forward(gadget, state, from, not_empty));
    state.replaced = -1;
    state.wrapped = false;
    // A count under way starts again after the move, since the move abandons it.
    const bool count = state.count == Count::RUNNING;
    abandon(state);
    post_search(gadget, state, wanted, from, not_empty, count);
    return report_of(gadget, state);
}

FindReport replaced_one(ObjectNumber gadget, FindState& state, const Span& selected, const Replacing& one) {
    if (one.status == SearchStatus::TOO_COMPLEX) {
        state.count = Count::FAILED;
        clear_marks(gadget, state);
        return after_move(gadget, state, Move{SearchStatus::TOO_COMPLEX});
    }
    // A selection that is no match only moves on, as Find Next does.
    if (one.status != SearchStatus::MATCH)
        return move_to(gadget, state, Wanted::FORWARD, selected.end, selected.start == selected.end);
    send(gadget, SCI_BEGINUNDOACTION);
    send(gadget, SCI_SETTARGETRANGE, selected.start, selected.end);
    send(gadget, SCI_REPLACETARGET, static_cast<std::intptr_t>(one.text.size()),
         reinterpret_cast<std::intptr_t>(one.text.data()));
    send(gadget, SCI_ENDUNDOACTION);
    const std::intptr_t after = selected.start + static_cast<std::intptr_t>(one.text.size());
    // An empty match replaced by nothing would be found again at the same place.
    return move_to(gadget, state, Wanted::FORWARD, after, one.text.empty() && selected.start == selected.end);
}

FindReport replaced_all(ObjectNumber gadget, FindState& state, const Span& range, const Replacing& all) {
    state.wrapped = false;
    if (all.status == SearchStatus::TOO_COMPLEX) {
        state.outcome = FIND_TOO_COMPLEX;
        state.replaced = -1;
        state.count = Count::FAILED;
        clear_marks(gadget, state);
        return report_of(gadget, state);
    }
    const std::size_t result =
        static_cast<std::size_t>(send(gadget, SCI_GETLENGTH)) - (all.last - all.first) + all.size;
    if (result > FIND_REPLACED_TEXT_MAX) {
        // Nothing changes: the state stays as it was, and the report says why.
        state.too_large = result;
        return report_of(gadget, state);
    }
    state.replaced = all.count;
    if (all.count > 0) {
        // One change over the span from the first match to the last: one undo step.
        send(gadget, SCI_BEGINUNDOACTION);
        send(gadget, SCI_SETTARGETRANGE, range.start + static_cast<std::intptr_t>(all.first),
             range.start + static_cast<std::intptr_t>(all.last));
        send(gadget, SCI_REPLACETARGET, static_cast<std::intptr_t>(all.text.size()),
             reinterpret_cast<std::intptr_t>(all.text.data()));
        send(gadget, SCI_ENDUNDOACTION);
    }
    state.outcome = all.count > 0 ? FIND_FOUND : FIND_NO_MATCH;
    if (off_thread(state)) {
        post_search(gadget, state, Wanted::NOTHING, 0, false, true);
        return report_of(gadget, state);
    }
    count_restart(gadget, state);
    count_slice(gadget, state, COUNT_SLICE_MS);
    refresh_marks(gadget, state, true);
    return report_of(gadget, state);
}

}  // namespace

FindReport find_next(ObjectNumber gadget) {
    FindState* state = searchable(gadget);
    if (!state) return find_report(gadget);
    const Span selected = selection(gadget);
    return move_to(gadget, *state, Wanted::FORWARD, selected.end, selected.start == selected.end);
}

FindReport find_previous(ObjectNumber gadget) {
    FindState* state = searchable(gadget);
    if (!state) return find_report(gadget);
    return move_to(gadget, *state, Wanted::BACKWARD, selection(gadget).start, false);
}

FindReport find_replace(ObjectNumber gadget, const std::string& replacement) {
    FindState* state = searchable(gadget);
    if (!state) return find_report(gadget);
    state->too_large = 0;
    if (off_thread(*state)) {
        post_replace(gadget, *state, Wanted::REPLACE, replacement);
        return report_of(gadget, *state);
    }
    const Span selected = selection(gadget);
    const Span range = scope(gadget, *state);
    const Replacing one =
        replace_selected(*state->pattern, component_text(gadget, range.start, range.end), range, selected, replacement);
    return replaced_one(gadget, *state, selected, one);
}

FindReport find_replace_all(ObjectNumber gadget, const std::string& replacement) {
    FindState* state = searchable(gadget);
    if (!state) return find_report(gadget);
    state->too_large = 0;
    if (off_thread(*state)) {
        post_replace(gadget, *state, Wanted::REPLACE_ALL, replacement);
        return report_of(gadget, *state);
    }
    const Span range = scope(gadget, *state);
    const std::atomic<bool> never{false};
    const Replacing all = replace_every_match(*state->pattern, scan_text(gadget, *state, range), replacement, never);
    const FindReport report = replaced_all(gadget, *state, range, all);
    // Told here, not again by find_report.
    state->too_large = 0;
    return report;
}

FindReport find_report(ObjectNumber gadget) {
    FindState* state = state_of(gadget);
    if (!state || !state->active) return {};
    const FindReport report = report_of(gadget, *state);
    // A Replace All that the worker found too large is told once.
    state->too_large = 0;
    return report;
}

std::string find_status_text(const FindReport& report) {
    auto matches = [](std::intptr_t n) { return std::to_string(n) + (n == 1 ? " match" : " matches"); };
    switch (report.outcome) {
    case FIND_NONE:
        return "";
    case FIND_INVALID:
        return report.error;
    case FIND_TOO_COMPLEX:
        return FIND_TOO_COMPLEX_TEXT;
    case FIND_NO_SELECTION:
        return FIND_NO_SELECTION_TEXT;
    case FIND_SEARCHING:
        return FIND_SEARCHING_TEXT;
    case FIND_TOO_LARGE:
        return "The replaced text would be too large (" + std::to_string((report.result_bytes + 500'000) / 1'000'000) +
               " MB). Nothing was replaced.";
    default:
        break;
    }
    if (report.replaced > 0) return "Replaced " + matches(report.replaced);
    if (report.outcome == FIND_NO_MATCH || report.total == 0) return FIND_NO_MATCHES_TEXT;
    if (report.total < 0) return "Counting matches…";
    if (report.current > 0) return std::to_string(report.current) + " of " + std::to_string(report.total);
    return matches(report.total);
}

std::string find_selection_seed(ObjectNumber gadget) {
    if (!editor_record_of(gadget)) return "";
    const Span selected = selection(gadget);
    std::string seed;
    component_text(gadget, selected.start, selected.end)
        .append(seed, 0, static_cast<std::size_t>(selected.end - selected.start));
    return seed.find_first_of("\r\n") == std::string::npos ? seed : "";
}

bool find_active(ObjectNumber gadget) {
    const FindState* state = state_of(gadget);
    return state && state->active;
}

void find_close(ObjectNumber gadget) {
    FindState* state = state_of(gadget);
    if (!state || !state->active) return;
    clear_marks(gadget, *state);
    abandon(*state);
    const int colour = state->colour;
    std::unique_ptr<SearchWorker> worker = std::move(state->worker);
    *state = FindState{};
    state->colour = colour;
    state->worker = std::move(worker);
}

int find_wait_time(ObjectNumber gadget) {
    const FindState* state = state_of(gadget);
    if (!state || !state->active) return -1;
    // The worker's answer wakes the loop (find_set_wake).
    if (state->output) return -1;
    if (state->count == Count::RUNNING) return 0;
    if (state->count != Count::WAITING) return -1;
    return std::max(0, COUNT_PAUSE_MS - static_cast<int>(ms_since(state->changed_at)));
}

bool find_tick(ObjectNumber gadget) {
    FindState* state = state_of(gadget);
    if (!state || !state->active) return false;
    if (off_thread(*state)) {
        if (state->output) return take_output(gadget, *state);
        if (state->count != Count::WAITING || ms_since(state->changed_at) < COUNT_PAUSE_MS) return false;
        // A Replace or Replace All that a change of the text abandoned is done on the changed text.
        const bool moving = state->outcome == FIND_SEARCHING;
        if (moving && (state->awaited == Wanted::REPLACE || state->awaited == Wanted::REPLACE_ALL)) {
            post_replace(gadget, *state, state->awaited, std::string(state->replacement));
            return false;
        }
        // A move that a change of the text abandoned starts again from where the search began.
        post_search(gadget, *state, moving ? Wanted::FORWARD : Wanted::NOTHING, state->anchor, false, true);
        return false;
    }
    if (state->count == Count::WAITING && ms_since(state->changed_at) >= COUNT_PAUSE_MS) count_restart(gadget, *state);
    return count_slice(gadget, *state, COUNT_SLICE_MS);
}

bool find_searching(ObjectNumber gadget) {
    const FindState* state = state_of(gadget);
    return state && state->active && state->output != nullptr;
}

void find_set_wake(void (*wake)()) { wake_function = wake; }

void find_set_highlight_colour(ObjectNumber gadget, int colour) {
    FindState* state = ensure_state(gadget);
    if (!state) return;
    state->colour = colour;
    send(gadget, SCI_INDICSETFORE, FIND_INDICATOR, colour);
}
