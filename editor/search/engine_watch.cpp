/** @file engine_watch.cpp
 * The watch (engine_watch.h): one POSIX timer per thread that makes watched calls, created at its
 * first call and ticking only while it makes them, and a signal handler that jumps out of a call
 * that is over its time. */
#include "editor/search/engine_watch.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>

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

enum TimerState : int { NO_TIMER, ARMED, DISARMED, UNAVAILABLE };

// Where a call began, for the compiler's own setjmp: its frame, stack pointer and resume address,
// a few stores in the caller's frame. sigsetjmp, even without the mask, took 4 ns more per call
// (a call through the PLT, pointer mangling), some 7% of a call that finds `\w+`.
using JumpBuffer = void* [5];

// A thread's watch. Its fields are read by the thread's own signal handler, which interrupts it:
// lock-free atomics in relaxed order with compiler fences, no memory order between threads needed.
struct Watch {
    // Where the current call began, while the thread is in one.
    std::atomic<void**> jump{nullptr};
    // Watched calls begun: a tick tells a long call from a new one by it.
    std::atomic<unsigned> calls{0};
    std::atomic<Nanoseconds> limit_ns{0};
    std::atomic<Nanoseconds> latest_ns{0};
    std::atomic<const std::atomic<bool>*> cancel{nullptr};
    std::atomic<int> state{NO_TIMER};
    timer_t timer{};
    // The handler's own: the calls it counted at its last tick, and when it first saw this call.
    unsigned seen_calls = 0;
    Nanoseconds seen_at_ns = 0;
};

static_assert(std::atomic<Nanoseconds>::is_always_lock_free && std::atomic<void**>::is_always_lock_free &&
                  std::atomic<unsigned>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler reads them");

// Constant-initialised and trivially destroyed, and initial-exec: reaching it allocates nothing,
// so the handler may.
[[gnu::tls_model("initial-exec")]] thread_local Watch watch;

constexpr auto RELAXED = std::memory_order_relaxed;

Nanoseconds monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return Nanoseconds{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void on_tick(int) {
    const int saved_errno = errno;
    void** const jump = watch.jump.load(RELAXED);
    const unsigned calls = watch.calls.load(RELAXED);
    const bool new_call = calls != watch.seen_calls;
    watch.seen_calls = calls;
    if (!jump) {
        // No call since the last tick: the thread has stopped searching, and its timer stops too.
        if (!new_call && watch.state.load(RELAXED) == ARMED) {
            const itimerspec off{};
            timer_settime(watch.timer, 0, &off, nullptr);
            watch.state.store(DISARMED, RELAXED);
        }
        errno = saved_errno;
        return;
    }
    // The call began within the last tick; its time counts from here.
    const Nanoseconds now = monotonic_ns();
    if (new_call) watch.seen_at_ns = now;
    const std::atomic<bool>* const cancel = watch.cancel.load(RELAXED);
    const bool over = (cancel && cancel->load(RELAXED)) || now - watch.seen_at_ns >= watch.limit_ns.load(RELAXED) ||
                      now >= watch.latest_ns.load(RELAXED);
    errno = saved_errno;
    if (!over) return;
    watch.jump.store(nullptr, RELAXED);
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
        watch.state.store(UNAVAILABLE, RELAXED);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        timer_delete(watch.timer);
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
    if (timer_create(CLOCK_MONOTONIC, &event, &watch.timer) != 0) return false;
    thread_local TimerOwner owner;
    return true;
}

// Out of line: the calls in between find the timer armed. False when the thread can have none.
[[gnu::noinline]] bool arm() {
    const int state = watch.state.load(RELAXED);
    if (state == UNAVAILABLE) return false;
    if (state == NO_TIMER) {
        if (!create_timer()) {
            watch.state.store(UNAVAILABLE, RELAXED);
            return false;
        }
        watch.state.store(DISARMED, RELAXED);
    }
    const itimerspec every{{0, TICK_NS}, {0, TICK_NS}};
    if (timer_settime(watch.timer, 0, &every, nullptr) != 0) return false;
    watch.state.store(ARMED, RELAXED);
    return true;
}

Nanoseconds ns_of(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

}  // namespace

// The frame that the jump returns to holds nothing with a destructor, and nothing in it changes
// between the two returns.
int engine_watch_call(int (*call)(void*), void* context, const EngineBudget& budget, int gave_up) {
    watch.calls.store(watch.calls.load(RELAXED) + 1, RELAXED);
    watch.limit_ns.store(std::chrono::duration_cast<std::chrono::nanoseconds>(budget.limit).count(), RELAXED);
    watch.latest_ns.store(ns_of(budget.latest), RELAXED);
    watch.cancel.store(budget.cancel, RELAXED);
    // A tick from here on sees the new call, so it does not stop the timer that the test below
    // finds armed.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (watch.state.load(RELAXED) != ARMED && !arm()) return call(context);
    JumpBuffer back;
    if (__builtin_setjmp(back) != 0) return gave_up;
    watch.jump.store(back, RELAXED);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const int result = call(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    watch.jump.store(nullptr, RELAXED);
    return result;
}
