/** @file engine_watch.h
 * A bound in time on calls into code that cannot be stopped from inside (the regex engine's
 * compiled matchers): while a thread is in such a call, a timer aimed at that thread alone looks
 * in on it, and jumps back out of a call that has run its time or whose cancel flag is up. POSIX
 * timers and signals; no Qt. */
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// What one watched call may take: its own time, a latest moment, and a flag that ends it early.
struct EngineBudget {
    std::chrono::steady_clock::duration limit;
    std::chrono::steady_clock::time_point latest = std::chrono::steady_clock::time_point::max();
    const std::atomic<bool>* cancel = nullptr;
};

// How often the timer looks in: a call ends this long at most after its time is up or its flag
// is raised.
inline constexpr std::chrono::milliseconds ENGINE_WATCH_TICK{50};

// Evaluates `call` (an int) under the watch and sets `result` to it, or to `gave_up` when the
// watch ended the call. The call is abandoned where it stands, without unwinding: it must neither
// allocate, lock, nor hold anything that needs freeing, and the function that uses the macro must
// hold nothing with a destructor. Where no watch can be had (the signal is taken, no timer), the
// call runs unwatched. A macro, because the jump must land in the frame that makes the call: a
// function of ours around it cost 4 ns more per call, some 8% of a call that finds `\w+`.
#define ENGINE_WATCH_CALL(result, budget, gave_up, call) \
    do {                                                 \
        if (!engine_watch_begin(budget)) {               \
            (result) = (call);                           \
            break;                                       \
        }                                                \
        EngineJump engine_watch_back_;                   \
        if (__builtin_setjmp(engine_watch_back_) != 0) { \
            (result) = (gave_up);                        \
            break;                                       \
        }                                                \
        engine_watch_enter(engine_watch_back_);          \
        (result) = (call);                               \
        engine_watch_leave();                            \
    } while (false)

// --- What the macro uses ------------------------------------------------------------------------

// Where a call began, for the compiler's own setjmp: its frame, stack pointer and resume address,
// a few stores. sigsetjmp, even without the mask, took 4 ns more per call (a call through the
// PLT, pointer mangling).
using EngineJump = void* [5];

// A thread's watch. Its fields are read by the thread's own signal handler, which interrupts it:
// lock-free atomics in relaxed order with compiler fences, no memory order between threads needed.
struct EngineWatch {
    enum State : int { NO_TIMER, ARMED, DISARMED, UNAVAILABLE };
    // Where the current call began, while the thread is in one.
    std::atomic<void**> jump{nullptr};
    // Watched calls begun: a tick tells a long call from a new one by it.
    std::atomic<unsigned> calls{0};
    std::atomic<std::int64_t> limit_ns{0};
    std::atomic<std::int64_t> latest_ns{0};
    std::atomic<const std::atomic<bool>*> cancel{nullptr};
    std::atomic<int> state{NO_TIMER};
    void* timer = nullptr;
    // The handler's own: the calls it counted at its last tick, and when it first saw this call.
    unsigned seen_calls = 0;
    std::int64_t seen_at_ns = 0;
    // The latest moment the timer was last started for: a nearer one needs a tick of its own.
    std::int64_t aimed_at_ns = 0;
};

// Constant-initialised and trivially destroyed, and initial-exec: reaching it allocates nothing
// and calls nothing, so the handler may, and the fast path below is a few stores.
extern constinit thread_local EngineWatch engine_watch [[gnu::tls_model("initial-exec")]];

// Starts the thread's timer, making it at the thread's first call, with its first tick at the
// call's latest moment when that comes sooner than a tick; false when it can have none.
bool engine_watch_arm();

inline bool engine_watch_begin(const EngineBudget& budget) {
    constexpr auto relaxed = std::memory_order_relaxed;
    EngineWatch& watch = engine_watch;
    watch.calls.store(watch.calls.load(relaxed) + 1, relaxed);
    const std::int64_t latest = std::chrono::nanoseconds(budget.latest.time_since_epoch()).count();
    watch.limit_ns.store(std::chrono::nanoseconds(budget.limit).count(), relaxed);
    watch.latest_ns.store(latest, relaxed);
    watch.cancel.store(budget.cancel, relaxed);
    // A tick from here on sees the new call, so it does not stop the timer that the test below
    // finds armed.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return (watch.state.load(relaxed) == EngineWatch::ARMED && latest == watch.aimed_at_ns) || engine_watch_arm();
}

inline void engine_watch_enter(EngineJump& back) {
    engine_watch.jump.store(back, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

inline void engine_watch_leave() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    engine_watch.jump.store(nullptr, std::memory_order_relaxed);
}
