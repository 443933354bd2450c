/** @file engine_watch.h
 * A bound in time on calls into code that cannot be stopped from inside (the regex engine's
 * compiled matchers): while a thread is in such a call, a timer aimed at that thread alone looks
 * in on it, and jumps back out of a call that has run its time or whose cancel flag is up. POSIX
 * timers and signals; no Qt. */
#pragma once

#include <atomic>
#include <chrono>

// What one watched call may take: its own time, a latest moment, and a flag that ends it early.
struct EngineBudget {
    std::chrono::steady_clock::duration limit;
    std::chrono::steady_clock::time_point latest = std::chrono::steady_clock::time_point::max();
    const std::atomic<bool>* cancel = nullptr;
};

// How often the timer looks in: a call ends this long at most after its time is up or its flag
// is raised.
inline constexpr std::chrono::milliseconds ENGINE_WATCH_TICK{50};

// Runs `call(context)` and returns what it returns, or `gave_up` when the watch ended it. The
// call is abandoned where it stands, without unwinding: it must neither allocate, lock, nor hold
// anything that needs freeing. Where no watch can be had (the signal is taken, no timer), the
// call runs unwatched.
int engine_watch_call(int (*call)(void* context), void* context, const EngineBudget& budget, int gave_up);
