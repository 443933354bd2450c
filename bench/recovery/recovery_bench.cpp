// Typing latency with the recovery copy on, against the same typing with it off, in one run of the
// real application: its start-up, its event loop (application_step) and its code editor holding a
// large real JavaScript file. Keys come at a steady pace at random places, the same places in both
// modes; the modes alternate in blocks so that the machine's own ups and downs fall on both. A
// key's latency runs from the moment it is due to the repainted screen, so main-thread work of the
// copy that delays a key counts against it, and so does the writer thread where it competes with
// typing for the machine.
#include "app/application.h"
#include "app/recovery.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"
#include "runtime/core/strings.h"
#include "bench/support/typing.h"
#include "runtime/ui/gadget.h"

#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace bench;
constexpr int BLOCKS_PER_MODE = 8;

struct TypingWithCopies : bench::KeyTimings {
    int copies = 0;
    double longest_read_ms = 0;
    double longest_read_cpu_ms = 0;
    double longest_write_ms = 0;
};

void print(const char* name, const bench::KeyTimings& f) {
    std::printf(
        "  %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu keys; main thread's CPU p50 %.2f ms, p99 %.2f ms\n", name,
        percentile(f.latencies, 0.5), percentile(f.latencies, 0.99), percentile(f.latencies, 1.0), f.latencies.size(),
        percentile(f.cpu, 0.5), percentile(f.cpu, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s file.js [keys per mode] [interval ms]\n", argv[0]);
        return 2;
    }
    const std::string text = bench::read_input(argv[1]);
    const int keys = argc > 2 ? std::max(BLOCKS_PER_MODE, std::atoi(argv[2])) : 320;
    const int interval = argc > 3 ? std::max(1, std::atoi(argv[3])) : 400;
    if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    application_start();
    std::int32_t p0 = temp_position();
    code_editor_set_text(GADGET_CODE,
                         string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, p0), 1);
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
    auto random_places = [&] {
        std::vector<long> places;
        for (int i = 0; i < per_block; ++i) places.push_back(static_cast<long>(random() % text.size()));
        return places;
    };
    // The first keys after start-up lay out lines for the first time; neither mode should pay for that.
    bench::KeyTimings warm_up, off;
    type_keys(editor, random_places(), interval, 'x', warm_up);

    TypingWithCopies on;
    auto type_with_recovery = [&](const std::vector<long>& places) {
        if (!recovery_start()) return false;
        type_keys(editor, places, interval, 'x', on);
        const RecoveryFigures figures = recovery_figures();
        on.copies += figures.copies;
        on.longest_read_ms = std::max(on.longest_read_ms, figures.longest_read_ms);
        on.longest_read_cpu_ms = std::max(on.longest_read_cpu_ms, figures.longest_read_cpu_ms);
        on.longest_write_ms = std::max(on.longest_write_ms, figures.longest_write_ms);
        recovery_end();
        return true;
    };
    for (int block = 0; block < BLOCKS_PER_MODE; ++block) {
        const std::vector<long> places = random_places();
        // Each mode goes first in every other pair, so that neither always follows the other.
        const bool on_first = block % 2 == 1;
        if (!on_first) type_keys(editor, places, interval, 'x', off);
        if (!type_with_recovery(places)) {
            std::fprintf(stderr, "cannot start recovery (is XDG_STATE_HOME writable?)\n");
            return 1;
        }
        if (on_first) type_keys(editor, places, interval, 'x', off);
    }

    std::printf("typing, from the moment a key is due to the repainted screen:\n");
    print("recovery off", off);
    print("recovery on ", on);
    const double p99_off = percentile(off.latencies, 0.99), p99_on = percentile(on.latencies, 0.99);
    std::printf(
        "  ratio on/off: p50 %.3fx, p99 %.3fx (target: p99 within 5%%, 0.95x to 1.05x); main thread's CPU "
        "p99 %.3fx\n",
        percentile(on.latencies, 0.5) / percentile(off.latencies, 0.5), p99_on / p99_off,
        percentile(on.cpu, 0.99) / percentile(off.cpu, 0.99));
    std::printf(
        "copies taken while on: %d; longest read of the texts on the main thread %.2f ms (its CPU time "
        "%.2f ms), longest write by the writer thread %.1f ms\n",
        on.copies, on.longest_read_ms, on.longest_read_cpu_ms, on.longest_write_ms);
    if (on.copies == 0) std::printf("warning: no copy was taken; type for longer (KEYS) to measure them\n");
    const int overrun = off.overrun + on.overrun;
    if (overrun * 20 > keys * 2)
        std::printf(
            "note: before %d keys moving the caret took longer than the interval (a busy machine); "
            "a higher INTERVAL keeps the pace even\n",
            overrun);
    application_end();
    return 0;
}
