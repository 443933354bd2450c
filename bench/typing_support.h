/** @file typing_support.h
 * What the benchmarks of typing in the running application share: a key's latency runs from the
 * moment it is due to the repainted screen, with the application's own loop (application_step)
 * running until that moment, so that whatever the loop does then delays the key. */
#pragma once

#include "app/application.h"

#include <Qsci/qsciscintillabase.h>

#include <QTest>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace typing {

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

// Runs the application's own loop until the moment comes.
inline void run_loop_until(Clock::time_point moment) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now()).count();
        if (left <= 0) return;
        application_step(static_cast<int>(left));
    }
}

struct Figures {
    std::vector<double> latencies;
    std::vector<double> cpu;  // the main thread's own CPU time per key
    int overrun = 0;          // keys whose preparation (moving the caret) already ran past their moment
};

// One block: the key typed at each place, `interval` apart; the keys stay typed. `where` gives an
// item's position when its turn comes (the keys before it have moved the text).
template <typename Where>
void type_block(QsciScintillaBase* editor, const std::vector<long>& items, int interval, char key, Figures& figures,
                Where where) {
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(interval);
    for (long item : items) {
        editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(where(item)));
        editor->viewport()->repaint();
        // A key is not charged for the bench's own caret moves: on a busy machine they may run
        // past its moment, and it then comes as soon as they are done.
        if (Clock::now() > due) {
            ++figures.overrun;
            due = Clock::now();
        }
        run_loop_until(due);
        const double cpu_start = thread_cpu_ms();
        QTest::keyClick(editor, key);
        editor->viewport()->repaint();
        figures.latencies.push_back(ms_between(due, Clock::now()));
        figures.cpu.push_back(thread_cpu_ms() - cpu_start);
        editor->SendScintilla(QsciScintillaBase::SCI_AUTOCCANCEL);
        due += std::chrono::milliseconds(interval);
    }
}

inline void type_block(QsciScintillaBase* editor, const std::vector<long>& places, int interval, char key,
                       Figures& figures) {
    type_block(editor, places, interval, key, figures, [](long place) { return place; });
}

}  // namespace typing
