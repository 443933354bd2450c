/** @file typing.h
 * What the typing benchmarks share: clocks, percentiles, and keys typed into the real component of
 * the running application at a steady pace, each timed from the moment it is due to the repainted
 * screen, with the application's own loop running until that moment so that whatever the loop
 * does then delays the key. */
#pragma once

#include "app/application.h"

#include <Qsci/qsciscintillabase.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <functional>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// The benchmark's input, whole; "" when it cannot be read.
inline std::string read_input(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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

// Runs the application's own loop until the moment comes.
inline void run_loop_until(Clock::time_point moment) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now()).count();
        if (left <= 0) return;
        application_step(static_cast<int>(left));
    }
}

using RunUntil = std::function<void(Clock::time_point)>;

// One block: the key typed at each item's place, `interval` ms apart, with `run_until` running the
// loop in between; the keys stay typed. `where` gives an item's position when its turn comes (the
// keys before it have moved the text).
template <typename Where>
void type_keys_where(QsciScintillaBase* editor, const std::vector<long>& items, int interval, char key,
                     KeyTimings& timings, Where where, const RunUntil& run_until = run_loop_until) {
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(interval);
    for (long item : items) {
        editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(where(item)));
        editor->viewport()->repaint();
        // A key is not charged for the bench's own caret moves: on a busy machine they may run
        // past its moment, and it then comes as soon as they are done.
        if (Clock::now() > due) {
            ++timings.overrun;
            due = Clock::now();
        }
        run_until(due);
        const double cpu_start = thread_cpu_ms();
        QTest::keyClick(editor, key);
        editor->viewport()->repaint();
        timings.latencies.push_back(ms_between(due, Clock::now()));
        timings.cpu.push_back(thread_cpu_ms() - cpu_start);
        editor->SendScintilla(QsciScintillaBase::SCI_AUTOCCANCEL);
        due += std::chrono::milliseconds(interval);
    }
}

// The same at fixed places.
inline void type_keys(QsciScintillaBase* editor, const std::vector<long>& places, int interval, char key,
                      KeyTimings& timings, const RunUntil& run_until = run_loop_until) {
    type_keys_where(
        editor, places, interval, key, timings, [](long place) { return place; }, run_until);
}

}  // namespace bench
