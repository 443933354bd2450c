/** @file regex_pcre2.cpp
 * regex.h on PCRE2 (8-bit): the one file that calls the engine. Patterns compile in UTF mode
 * with JIT for complete and hard-partial matching; subjects may hold invalid UTF-8, which never
 * matches a character. The engine's limits, and a call that runs out of its time or is cancelled,
 * come back as TOO_COMPLEX. */
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "editor/search/regex.h"

#include "editor/search/engine_watch.h"

#include <chrono>
#include <cstdint>
#include <type_traits>

namespace {

static_assert(std::is_same_v<PCRE2_SIZE, std::size_t>, "the engine's offsets are read as std::size_t");

// A backtracking step of the JIT costs a few dozen bytes of its stack: this lets `(a|b)+`
// run over a line of some hundred thousand characters before the limit says "too complex".
constexpr PCRE2_SIZE JIT_STACK_START = 64 * 1024;
constexpr PCRE2_SIZE JIT_STACK_MAX = 16 * 1024 * 1024;
// The interpreter's limits, where the JIT is not available: the same bound on work and memory.
constexpr std::uint32_t MATCH_LIMIT = 10'000'000;
constexpr std::uint32_t HEAP_LIMIT_KIB = 64 * 1024;

// One call of the engine gives up ("too complex") after about this much time. The limits above
// count the backtracking steps from one start position, not the start positions a call tries nor
// the bytes a back-reference compares at each step: `(?:ab)+\d` on a line of a million bytes does
// a legal amount of work at every place and runs for minutes, and so does `(.*)\1\1\d` on 20,000
// bytes. A JIT call is watched (engine_watch.h), which ends it by a jump at no cost per step. The
// interpreter, used where there is no JIT, allocates as it matches and cannot be left that way;
// there only callouts bound it: a pattern with back-references is compiled with one before each
// of its items (3 to 40 times slower, too slow for every pattern), which reads the clock every
// CALLOUTS_BETWEEN_CLOCK_READS calls, and other patterns have only the limits. Such a pattern
// keeps its callouts under the JIT too, for a thread that can have no timer.
constexpr std::chrono::milliseconds STEP_TIME_LIMIT{1000};
constexpr unsigned CALLOUTS_BETWEEN_CLOCK_READS = 64;

using Clock = std::chrono::steady_clock;

struct TimeLimit {
    Clock::time_point deadline;
    unsigned calls = 0;
};

// The calling thread's cancel flag (regex_set_cancel_flag): a search worker's abandoned job.
thread_local const std::atomic<bool>* cancel_flag = nullptr;
// The calling thread's latest moment for any call (regex_set_deadline): a count's whole budget.
thread_local Clock::time_point deadline_cap = Clock::time_point::max();

int check_time_limit(pcre2_callout_block*, void* data) {
    auto* limit = static_cast<TimeLimit*>(data);
    if (limit->calls++ % CALLOUTS_BETWEEN_CLOCK_READS != 0) return 0;
    if (cancel_flag && cancel_flag->load(std::memory_order_relaxed)) return PCRE2_ERROR_CALLOUT;
    // A negative value ends the match with that value as its error.
    return Clock::now() > limit->deadline ? PCRE2_ERROR_CALLOUT : 0;
}

// One JIT stack per thread, for every pattern that thread matches (the user-interface thread and
// the search worker match at the same time); the engine asks for it at each match, and it is
// made before the first watched call, which must not be left while it allocates.
pcre2_jit_stack* thread_jit_stack(void*) {
    struct Stack {
        pcre2_jit_stack* stack = pcre2_jit_stack_create(JIT_STACK_START, JIT_STACK_MAX, nullptr);
        ~Stack() { pcre2_jit_stack_free(stack); }
    };
    thread_local Stack stack;
    return stack.stack;
}

// What a watched call that was left gives: an error of the engine's that is no "no match".
constexpr int WATCH_GAVE_UP = PCRE2_ERROR_CALLOUT;

std::string message_of(int code) {
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
    return length > 0 ? std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length))
                      : std::string("unknown error");
}

}  // namespace

struct Regex::Impl {
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;
    PCRE2_SIZE offset_limit = PCRE2_UNSET;  // as set in the context
    bool jit = false;
    // Set for a pattern with back-references, whose callouts watch the clock.
    bool timed = false;
    TimeLimit time_limit;
    std::string error_message;
    std::size_t error_offset = 0;
    std::size_t lookbehind = 0;
    int groups = 0;

    ~Impl() {
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

Regex::Regex(std::string_view pattern, bool caseless) : impl_(std::make_unique<Impl>()) {
    pcre2_compile_context* compile_context = pcre2_compile_context_create(nullptr);
    // The editor's lines end in CR LF; $ must match before the CR.
    pcre2_set_newline(compile_context, PCRE2_NEWLINE_ANYCRLF);
    // \C could end a match inside a character, and a replacement would split it.
    // A bound on where matches start lets a long search run in slices without cutting the text.
    const std::uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE | PCRE2_NEVER_BACKSLASH_C |
                                  PCRE2_USE_OFFSET_LIMIT | (caseless ? PCRE2_CASELESS : 0u);
    int error = 0;
    PCRE2_SIZE offset = 0;
    auto compile = [&](std::uint32_t extra) {
        return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options | extra, &error,
                             &offset, compile_context);
    };
    impl_->code = compile(0);
    std::uint32_t backreferences = 0;
    if (impl_->code) pcre2_pattern_info(impl_->code, PCRE2_INFO_BACKREFMAX, &backreferences);
    if (backreferences > 0) {
        pcre2_code_free(impl_->code);
        impl_->code = compile(PCRE2_AUTO_CALLOUT);
        impl_->timed = impl_->code != nullptr;
    }
    pcre2_compile_context_free(compile_context);
    if (!impl_->code) {
        impl_->error_message = message_of(error);
        impl_->error_offset = offset;
        return;
    }
    impl_->jit = pcre2_jit_compile(impl_->code, PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_HARD) == 0;
    impl_->context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(impl_->context, MATCH_LIMIT);
    pcre2_set_heap_limit(impl_->context, HEAP_LIMIT_KIB);
    if (impl_->jit) pcre2_jit_stack_assign(impl_->context, thread_jit_stack, nullptr);
    if (impl_->timed) pcre2_set_callout(impl_->context, check_time_limit, &impl_->time_limit);
    std::uint32_t lookbehind = 0, groups = 0;
    pcre2_pattern_info(impl_->code, PCRE2_INFO_MAXLOOKBEHIND, &lookbehind);
    pcre2_pattern_info(impl_->code, PCRE2_INFO_CAPTURECOUNT, &groups);
    // \b, \B and ^ look at one character before the start, whether or not the engine counts them.
    impl_->lookbehind = lookbehind + 1;
    impl_->groups = static_cast<int>(groups);
}

Regex::~Regex() = default;

bool Regex::valid() const { return impl_->code != nullptr; }
const std::string& Regex::error_message() const { return impl_->error_message; }
std::size_t Regex::error_offset() const { return impl_->error_offset; }
std::size_t Regex::lookbehind() const { return impl_->lookbehind; }
int Regex::groups() const { return impl_->groups; }
bool Regex::has_back_references() const { return impl_->timed; }

void regex_set_cancel_flag(const std::atomic<bool>* flag) { cancel_flag = flag; }

void regex_set_deadline(std::chrono::steady_clock::time_point deadline) { deadline_cap = deadline; }

RegexMatch::RegexMatch(const Regex& regex)
    : regex_(regex), data_(regex.valid() ? pcre2_match_data_create_from_pattern(regex.impl_->code, nullptr) : nullptr) {
    if (auto* data = static_cast<pcre2_match_data*>(data_)) {
        offsets_ = pcre2_get_ovector_pointer(data);
        pairs_ = pcre2_get_ovector_count(data);
    }
}

RegexMatch::~RegexMatch() { pcre2_match_data_free(static_cast<pcre2_match_data*>(data_)); }

RegexOutcome RegexMatch::match(const char* subject, std::size_t length, std::size_t start, bool more_follows,
                               bool not_empty_at_start, std::size_t start_limit) {
    Regex::Impl& regex = *regex_.impl_;
    auto* data = static_cast<pcre2_match_data*>(data_);
    if (!data || start > length || start >= start_limit) return RegexOutcome::NO_MATCH;
    // The engine's limit is the last offset where a match may start.
    const PCRE2_SIZE offset_limit = start_limit == REGEX_ANYWHERE ? PCRE2_UNSET : start_limit - 1;
    if (offset_limit != regex.offset_limit) {
        pcre2_set_offset_limit(regex.context, offset_limit);
        regex.offset_limit = offset_limit;
    }
    static const char nothing = 0;
    const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject ? subject : &nothing);
    const std::uint32_t options =
        (more_follows ? PCRE2_PARTIAL_HARD : 0u) | (not_empty_at_start ? PCRE2_NOTEMPTY_ATSTART : 0u);
    if (regex.timed) regex.time_limit = {std::min(Clock::now() + STEP_TIME_LIMIT, deadline_cap), 0};
    int result;
    if (regex.jit) {
        thread_jit_stack(nullptr);
        // This frame is where the watch jumps back to: it holds nothing with a destructor.
        ENGINE_WATCH_CALL(result, (EngineBudget{STEP_TIME_LIMIT, deadline_cap, cancel_flag}), WATCH_GAVE_UP,
                          pcre2_jit_match(regex.code, bytes, length, start, options, data, regex.context));
        if (result == WATCH_GAVE_UP) return RegexOutcome::TOO_COMPLEX;
    } else {
        result = pcre2_match(regex.code, bytes, length, start, options, data, regex.context);
    }
    // With partial matching the engine may pass its offset limit.
    const bool beyond_limit = start_limit != REGEX_ANYWHERE && offsets_[0] >= start_limit;
    if (result >= 0) return beyond_limit ? RegexOutcome::NO_MATCH : RegexOutcome::MATCH;
    switch (result) {
    case PCRE2_ERROR_NOMATCH:
        return RegexOutcome::NO_MATCH;
    case PCRE2_ERROR_PARTIAL:
        return beyond_limit ? RegexOutcome::NO_MATCH : RegexOutcome::PARTIAL;
    default:
        // The limits (match, depth, heap, JIT stack), and memory running out: never a "no match".
        return RegexOutcome::TOO_COMPLEX;
    }
}

bool RegexMatch::group(int index, std::size_t* start, std::size_t* end) const {
    if (index < 0 || static_cast<std::size_t>(index) >= pairs_ || offsets_[2 * index] == PCRE2_UNSET) return false;
    *start = offsets_[2 * index];
    *end = offsets_[2 * index + 1];
    return true;
}
