// Typing latency with the recovery copy on, against the same typing with it off, in one run of the
// real application: its start-up, its event loop (application_step) and its code editor holding a
// large real JavaScript file. Keys come at a steady pace at random places, the same places in both
// modes; the modes alternate in blocks so that the machine's own ups and downs fall on both. A
// key's latency runs from the moment it is due to the repainted screen, so main-thread work of the
// copy that delays a key counts against it.
// Our headers first: Qt defines `slots` as a macro, which a runtime record uses as a name.
#include "app/application.h"
#include "app/recovery.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"

#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int BLOCKS_PER_MODE = 4;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    auto index = static_cast<std::size_t>(p * static_cast<double>(values.size()));
    return values[std::min(index, values.size() - 1)];
}

// Runs the application's own loop until the moment comes.
void run_loop_until(Clock::time_point moment) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now()).count();
        if (left <= 0) return;
        application_step(static_cast<int>(left));
    }
}

struct Figures {
    std::vector<double> latencies;
    int copies = 0;
    double longest_read_ms = 0;
    double longest_write_ms = 0;
};

// One block: a key at each place, `interval` apart; each key is taken back (unmeasured) before the next.
void type_block(QsciScintillaBase* editor, const std::vector<long>& places, int interval, Figures& figures) {
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(interval);
    for (long place : places) {
        editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(place));
        editor->viewport()->repaint();
        run_loop_until(due);
        QTest::keyClick(editor, 'x');
        editor->viewport()->repaint();
        figures.latencies.push_back(ms_between(due, Clock::now()));
        editor->SendScintilla(QsciScintillaBase::SCI_AUTOCCANCEL);
        editor->SendScintilla(QsciScintillaBase::SCI_UNDO);
        editor->viewport()->repaint();
        due += std::chrono::milliseconds(interval);
    }
}

void print(const char* name, const Figures& f) {
    std::printf("  %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu keys\n", name, percentile(f.latencies, 0.5),
                percentile(f.latencies, 0.99), percentile(f.latencies, 1.0), f.latencies.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s file.js [keys per mode] [interval ms]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int keys = argc > 2 ? std::max(BLOCKS_PER_MODE, std::atoi(argv[2])) : 240;
    const int interval = argc > 3 ? std::max(1, std::atoi(argv[3])) : 250;
    if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    application_start();
    std::int32_t p0 = temp_position();
    code_editor_set_text(GADGET_CODE, string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, p0), 1);
    temp_reset(p0);
    code_editor_restyle_lines(GADGET_CODE, 0, -1, -1);
    auto* editor = static_cast<QsciScintillaBase*>(scintilla_widget(GADGET_CODE));
    editor->setFocus();
    QApplication::processEvents();

    const RecoveryTiming timing = recovery_timing();
    std::printf("file: %s (%zu bytes); %d keys per mode, %d ms apart, modes alternating in %d blocks each\n", argv[1],
                text.size(), keys, interval, BLOCKS_PER_MODE);
    std::printf("recovery copy: %d ms after a pause, at most %d ms after a change, at least %d ms apart\n",
                timing.pause, timing.longest, timing.interval);

    std::mt19937 random(4242);
    const int per_block = keys / BLOCKS_PER_MODE;
    Figures off, on;
    for (int block = 0; block < BLOCKS_PER_MODE; ++block) {
        std::vector<long> places;
        for (int i = 0; i < per_block; ++i) places.push_back(static_cast<long>(random() % text.size()));
        type_block(editor, places, interval, off);
        if (!recovery_start()) {
            std::fprintf(stderr, "cannot start recovery (is XDG_STATE_HOME writable?)\n");
            return 1;
        }
        type_block(editor, places, interval, on);
        const RecoveryFigures figures = recovery_figures();
        on.copies += figures.copies;
        on.longest_read_ms = std::max(on.longest_read_ms, figures.longest_read_ms);
        on.longest_write_ms = std::max(on.longest_write_ms, figures.longest_write_ms);
        recovery_end();
    }

    std::printf("typing, from the moment a key is due to the repainted screen:\n");
    print("recovery off", off);
    print("recovery on ", on);
    const double p99_off = percentile(off.latencies, 0.99), p99_on = percentile(on.latencies, 0.99);
    std::printf("  ratio on/off: p50 %.3fx, p99 %.3fx (target: p99 within 5%%, 0.95x to 1.05x)\n",
                percentile(on.latencies, 0.5) / percentile(off.latencies, 0.5), p99_on / p99_off);
    std::printf("copies written while on: %d; longest read of the texts on the main thread %.2f ms, "
                "longest write by the writer thread %.1f ms\n",
                on.copies, on.longest_read_ms, on.longest_write_ms);
    if (on.copies == 0) std::printf("warning: no copy was taken; type for longer (KEYS) to measure them\n");
    application_end();
    return 0;
}
