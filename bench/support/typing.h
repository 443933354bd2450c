// What the typing benchmarks share: clocks, percentiles, and keys typed into the real component
// at a steady pace, each timed from the moment it is due to the repainted screen.
#pragma once

#include <Qsci/qsciscintillabase.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time of this thread: its own work, apart from what else runs on the machine.
inline double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    auto index = static_cast<std::size_t>(p * static_cast<double>(values.size()));
    return values[std::min(index, values.size() - 1)];
}

struct KeyTimings {
    std::vector<double> latencies;  // from the moment a key is due to the repainted screen
    std::vector<double> cpu;        // the main thread's own CPU time per key
    int overrun = 0;                // keys whose preparation (moving the caret) already ran past their moment
};

// One block of keys: an 'x' at each place, `interval` ms apart, with `run_until` running the
// application's loop in between. The keys stay typed.
inline void type_keys(QsciScintillaBase* editor, const std::vector<long>& places, int interval,
                      const std::function<void(Clock::time_point)>& run_until, KeyTimings& timings) {
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(interval);
    for (long place : places) {
        editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(place));
        editor->viewport()->repaint();
        // A key is not charged for the bench's own caret moves: on a busy machine they may run
        // past its moment, and it then comes as soon as they are done.
        if (Clock::now() > due) {
            ++timings.overrun;
            due = Clock::now();
        }
        run_until(due);
        const double cpu_start = thread_cpu_ms();
        QTest::keyClick(editor, 'x');
        editor->viewport()->repaint();
        timings.latencies.push_back(ms_between(due, Clock::now()));
        timings.cpu.push_back(thread_cpu_ms() - cpu_start);
        editor->SendScintilla(QsciScintillaBase::SCI_AUTOCCANCEL);
        due += std::chrono::milliseconds(interval);
    }
}

}  // namespace bench
