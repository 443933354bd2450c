/** @file regex.h
 * Our contract with the regular-expression engine, implemented by regex_pcre2.cpp alone: a
 * pattern in, its first error out; matches in a byte range, their groups, and the engine's
 * limits as an outcome of their own. Patterns and subjects are UTF-8; lines end at CR, LF or
 * CR LF, and ^ and $ match at every line. Nothing else in the tree sees the engine. */
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// No bound on where a match may start.
inline constexpr std::size_t REGEX_ANYWHERE = SIZE_MAX;

enum class RegexOutcome {
    MATCH,
    NO_MATCH,
    // The subject ended while a match starting at group 0's start was still possible: only
    // more text can tell (asked for with `more_follows`).
    PARTIAL,
    // The engine's match, depth, heap or stack limit ended the attempt, or it ran out of its
    // time (about a second for one call; see regex_pcre2.cpp), or the thread's cancel flag ended it.
    TOO_COMPLEX,
};

class Regex {
public:
    Regex(std::string_view pattern, bool caseless);
    ~Regex();
    // Owns the engine's compiled code.
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    bool valid() const;
    // When not valid: the engine's message and the byte offset in the pattern where it stopped.
    const std::string& error_message() const;
    std::size_t error_offset() const;
    // The characters before its start that a match may look at (lookbehind, \b, ^).
    std::size_t lookbehind() const;
    // The number of capture groups.
    int groups() const;
    // Whether it refers back to a group: each of its steps may compare many bytes.
    bool has_back_references() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    friend class RegexMatch;
};

// The state of matching one regex: its groups after a match. One per searcher, reused.
class RegexMatch {
public:
    explicit RegexMatch(const Regex& regex);
    ~RegexMatch();
    // Owns the engine's match data.
    RegexMatch(const RegexMatch&) = delete;
    RegexMatch& operator=(const RegexMatch&) = delete;

    // The leftmost match in subject[0, length) that starts at or after `start` (a character
    // boundary). The bytes before `start` are seen by lookbehind. `more_follows`: the subject is
    // cut at `length` and goes on, so a match that would need to look past the cut is PARTIAL.
    // `not_empty_at_start`: an empty match at `start` does not count. Only a match that starts
    // before `start_limit` is sought (it may end beyond it).
    RegexOutcome match(const char* subject, std::size_t length, std::size_t start, bool more_follows,
                       bool not_empty_at_start, std::size_t start_limit = REGEX_ANYWHERE);

    // After MATCH, the bounds of group `index` (0: the whole match) in the subject; false for a
    // group that took no part. After PARTIAL, group 0 starts where the partial match began.
    bool group(int index, std::size_t* start, std::size_t* end) const;

private:
    const Regex& regex_;
    void* data_;
    // The engine's offsets, read after every match: kept at hand.
    const std::size_t* offsets_ = nullptr;
    std::size_t pairs_ = 0;
};

// A flag that, once raised, ends the calling thread's engine calls as if their time were up,
// within ENGINE_WATCH_TICK (engine_watch.h); null for none. Without the JIT only patterns with
// back-references watch it, and the deadline below.
void regex_set_cancel_flag(const std::atomic<bool>* flag);
// The latest moment the calling thread's engine calls may run to (each call also ends after its
// own time limit); time_point::max() for none.
void regex_set_deadline(std::chrono::steady_clock::time_point deadline);
