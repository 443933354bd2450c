/** @file engine_watch.cpp
 * The watch (engine_watch.h): one POSIX timer per thread that makes watched calls, created at its
 * first call and ticking only while it makes them, and a signal handler that jumps out of a call
 * that is over its time. */
#include "editor/search/engine_watch.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <type_traits>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Linux names the thread a timer signals in a field that the C library does not name.
#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

using Nanoseconds = std::int64_t;
constexpr Nanoseconds TICK_NS = std::chrono::nanoseconds(ENGINE_WATCH_TICK).count();

// A real-time signal: the C library's threads take the two below SIGRTMIN, and neither Qt nor
// SpiderMonkey (SIGSEGV, SIGILL) uses any. It is taken only while nothing else handles it.
int tick_signal() { return SIGRTMIN + 3; }

constexpr int ARMED = EngineWatch::ARMED, DISARMED = EngineWatch::DISARMED, NO_TIMER = EngineWatch::NO_TIMER,
              UNAVAILABLE = EngineWatch::UNAVAILABLE;

static_assert(std::atomic<Nanoseconds>::is_always_lock_free && std::atomic<void**>::is_always_lock_free &&
                  std::atomic<unsigned>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler reads them");
static_assert(std::is_same_v<timer_t, void*>, "the watch keeps the timer as the C library names it");

constexpr auto RELAXED = std::memory_order_relaxed;

Nanoseconds monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return Nanoseconds{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void on_tick(int) {
    const int saved_errno = errno;
    void** const jump = engine_watch.jump.load(RELAXED);
    const unsigned calls = engine_watch.calls.load(RELAXED);
    const bool new_call = calls != engine_watch.seen_calls;
    engine_watch.seen_calls = calls;
    if (!jump) {
        // No call since the last tick: the thread has stopped searching, and its timer stops too.
        if (!new_call && engine_watch.state.load(RELAXED) == ARMED) {
            const itimerspec off{};
            timer_settime(engine_watch.timer, 0, &off, nullptr);
            engine_watch.state.store(DISARMED, RELAXED);
        }
        errno = saved_errno;
        return;
    }
    // The call began within the last tick; its time counts from here. The ticks come a tick apart
    // give or take their delivery, so half a tick of slack keeps the one that is due from slipping
    // to the next: the call ends between its time and a tick later.
    const Nanoseconds now = monotonic_ns();
    if (new_call) engine_watch.seen_at_ns = now;
    const std::atomic<bool>* const cancel = engine_watch.cancel.load(RELAXED);
    const bool over = (cancel && cancel->load(RELAXED)) ||
                      now - engine_watch.seen_at_ns >= engine_watch.limit_ns.load(RELAXED) - TICK_NS / 2 ||
                      now >= engine_watch.latest_ns.load(RELAXED);
    errno = saved_errno;
    if (!over) return;
    engine_watch.jump.store(nullptr, RELAXED);
#ifdef __SANITIZE_ADDRESS__
    // The frames left behind keep their poisoned red zones unless told.
    __asan_handle_no_return();
#endif
    // The mask needs no restoring: SA_NODEFER left the signal unblocked.
    __builtin_longjmp(jump, 1);
}

bool install_handler() {
    struct sigaction old {};
    if (sigaction(tick_signal(), nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
        return false;
    struct sigaction action {};
    action.sa_handler = on_tick;
    sigemptyset(&action.sa_mask);
    // SA_NODEFER, so that the jump out leaves no signal blocked and no mask needs saving (a system
    // call at every call); SA_RESTART for the ticks that land outside a call.
    action.sa_flags = SA_NODEFER | SA_RESTART;
    return sigaction(tick_signal(), &action, nullptr) == 0;
}

// Deletes the thread's timer as the thread ends, so that no tick is ever aimed at a thread that
// is gone.
struct TimerOwner {
    TimerOwner() = default;
    ~TimerOwner() {
        engine_watch.state.store(UNAVAILABLE, RELAXED);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        timer_delete(engine_watch.timer);
    }
    TimerOwner(const TimerOwner&) = delete;
    TimerOwner& operator=(const TimerOwner&) = delete;
};

bool create_timer() {
    static const bool handled = install_handler();
    if (!handled) return false;
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = tick_signal();
    event.sigev_notify_thread_id = gettid();
    if (timer_create(CLOCK_MONOTONIC, &event, &engine_watch.timer) != 0) return false;
    thread_local TimerOwner owner;
    return true;
}

}  // namespace

constinit thread_local EngineWatch engine_watch;

// Out of line: the calls in between find the timer armed.
bool engine_watch_arm() {
    const int state = engine_watch.state.load(RELAXED);
    if (state == UNAVAILABLE) return false;
    if (state == NO_TIMER) {
        if (!create_timer()) {
            engine_watch.state.store(UNAVAILABLE, RELAXED);
            return false;
        }
        engine_watch.state.store(DISARMED, RELAXED);
    }
    // Once per latest moment, not per call: a count's calls share theirs, and most have none. A
    // near one is the first few milliseconds of a new query, searched on the user-interface thread.
    const Nanoseconds latest = engine_watch.latest_ns.load(RELAXED);
    const Nanoseconds first = std::min(monotonic_ns() + TICK_NS, latest);
    const itimerspec every{{0, TICK_NS}, {first / 1'000'000'000, first % 1'000'000'000}};
    if (timer_settime(engine_watch.timer, TIMER_ABSTIME, &every, nullptr) != 0) return false;
    engine_watch.aimed_at_ns = latest;
    engine_watch.state.store(ARMED, RELAXED);
    return true;
}
