// The syntax check, measured against anchors in the same run (printed in this order):
// 3. the memory (RSS) the checker adds with the script loaded, once it has checked it, and at the
//    peak of a check;
// 1. checking a large real script (typescript.js) on the checker's thread, from the request to the
//    answer, against `node --check` on the same file, wall and CPU time, alternating;
// 2. typing latency in the running application with that script as its code, with checking on
//    (a check after each key, as soon as the pause is over) against the same typing with it off.
#include "app/application.h"
#include "bench/support/typing.h"
#include "app/code_check.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"
#include "editor/check/syntax_check.h"
#include "runtime/core/strings.h"

#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace bench;
constexpr int CHECK_ROUNDS = 9;
constexpr int BLOCKS_PER_MODE = 8;

double process_cpu_ms() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Resident and peak resident memory of this process, in MiB (/proc/self/status).
double status_mib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::string(field).size()) / 1024.0;
    return 0;
}

// The peak starts again from the current resident size.
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Timing {
    double wall_ms;
    double cpu_ms;
};

// `node --check file`, as a child process: its wall time and its CPU time (user and system).
Timing node_check(const std::string& file, bool* clean) {
    const char* args[] = {"node", "--check", file.c_str(), nullptr};
    const Clock::time_point started = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, "node", nullptr, nullptr, const_cast<char**>(args), environ) != 0) return {-1, -1};
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall = ms_between(started, Clock::now());
    *clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {wall, (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3};
}

// The checker's thread, waited for until it answers.
std::mutex answered_mutex;
std::condition_variable answered_signal;
bool answered = false;
void on_answer() {
    std::lock_guard<std::mutex> lock(answered_mutex);
    answered = true;
    answered_signal.notify_all();
}

struct CheckRound {
    Timing ours;        // on the clock from request to answer; CPU time of the whole process
    double thread_cpu;  // the checking thread's own CPU time
    JsCheckOutcome outcome;
};

CheckRound check_once(SyntaxChecker& checker, const std::shared_ptr<const std::string>& code,
                      std::uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(answered_mutex);
        answered = false;
    }
    const double cpu_before = process_cpu_ms();
    const Clock::time_point started = Clock::now();
    checker.post(code, generation);
    std::unique_lock<std::mutex> lock(answered_mutex);
    answered_signal.wait(lock, [] { return answered; });
    const double wall = ms_between(started, Clock::now());
    lock.unlock();
    SyntaxCheckAnswer answer;
    checker.take(&answer);
    return {{wall, process_cpu_ms() - cpu_before}, answer.cpu_ms, answer.outcome};
}

void compare_with_node(const std::string& file, const std::string& text) {
    std::printf("1. checking %s (%zu bytes): request to answer on the checker's thread, against node --check\n",
                file.c_str(), text.size());
    SyntaxChecker checker(on_answer);
    auto code = std::make_shared<const std::string>(text);
    const CheckRound cold = check_once(checker, code, 1);
    std::printf("  first check (the engine and its context made): %.1f ms wall, %.1f ms CPU\n", cold.ours.wall_ms,
                cold.ours.cpu_ms);
    std::vector<double> our_wall, our_cpu, our_thread, node_wall, node_cpu;
    bool all_clean = cold.outcome == JsCheckOutcome::CLEAN, node_clean = true;
    for (int round = 0; round < CHECK_ROUNDS; ++round) {
        // Each goes first in every other round, so that neither always follows the other.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                const CheckRound r = check_once(checker, code, static_cast<std::uint64_t>(round) + 2);
                our_wall.push_back(r.ours.wall_ms);
                our_cpu.push_back(r.ours.cpu_ms);
                our_thread.push_back(r.thread_cpu);
                all_clean = all_clean && r.outcome == JsCheckOutcome::CLEAN;
            } else {
                bool clean = false;
                const Timing t = node_check(file, &clean);
                node_wall.push_back(t.wall_ms);
                node_cpu.push_back(t.cpu_ms);
                node_clean = node_clean && clean;
            }
        }
    }
    if (node_wall.empty() || node_wall[0] < 0) {
        std::printf("  node could not be started; no anchor\n");
        return;
    }
    const double ow = percentile(our_wall, 0.5), oc = percentile(our_cpu, 0.5), nw = percentile(node_wall, 0.5),
                 nc = percentile(node_cpu, 0.5);
    std::printf("  ours (median of %d): %.1f ms wall, %.1f ms CPU (process; the checking thread %.1f ms)%s\n",
                CHECK_ROUNDS, ow, oc, percentile(our_thread, 0.5), all_clean ? "" : "  [reported an error!]");
    std::printf("  node --check (median of %d): %.1f ms wall, %.1f ms CPU%s\n", CHECK_ROUNDS, nw, nc,
                node_clean ? "" : "  [reported an error!]");
    std::printf("  ratio ours/node: wall %.3fx (target: at most 0.75x), CPU %.3fx\n", ow / nw, oc / nc);
}

void print_typing(const char* name, const bench::KeyTimings& t) {
    std::printf("  %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu keys\n", name, percentile(t.latencies, 0.5),
                percentile(t.latencies, 0.99), percentile(t.latencies, 1.0), t.latencies.size());
}

void compare_typing(QsciScintillaBase* editor, std::size_t size, int keys, int interval, int pause) {
    std::printf(
        "2. typing at %zu bytes, a blank every %d ms at the end of a random line; checking on: a check of the whole "
        "text %d ms after each key\n",
        size, interval, pause);
    code_check_set_pause(pause);
    std::mt19937 random(4242);
    const int per_block = keys / BLOCKS_PER_MODE;
    // A blank at the end of a line leaves the code valid, so every check reads the whole text.
    const long lines = editor->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    auto random_lines = [&] {
        std::vector<long> chosen;
        for (int i = 0; i < per_block; ++i) chosen.push_back(static_cast<long>(random() % lines));
        return chosen;
    };
    const auto line_end = [editor](long line) {
        return editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    };
    const auto type_lines = [&](const std::vector<long>& chosen, bench::KeyTimings& figures) {
        type_keys_where(editor, chosen, interval, ' ', figures, line_end);
    };
    bench::KeyTimings warm_up, off, on;
    code_check_end();
    type_lines(random_lines(), warm_up);
    int shown = 0, dropped = 0, broken = 0;
    double longest = 0;
    for (int block = 0; block < BLOCKS_PER_MODE; ++block) {
        const std::vector<long> chosen = random_lines();
        const bool on_first = block % 2 == 1;
        if (!on_first) type_lines(chosen, off);
        code_check_start();
        type_lines(chosen, on);
        const CodeCheckFigures figures = code_check_figures();
        shown += figures.shown;
        dropped += figures.dropped;
        longest = std::max(longest, figures.longest_wall_ms);
        broken += code_check_status_text().empty() ? 0 : 1;
        code_check_end();
        if (on_first) type_lines(chosen, off);
    }
    print_typing("checking off", off);
    print_typing("checking on ", on);
    std::printf("  ratio on/off: p50 %.3fx, p99 %.3fx (target: p99 at most 1.1x)\n",
                percentile(on.latencies, 0.5) / percentile(off.latencies, 0.5),
                percentile(on.latencies, 0.99) / percentile(off.latencies, 0.99));
    std::printf("  answers shown %d, dropped as stale %d; longest check %.1f ms; blocks ending with an error: %d\n",
                shown, dropped, longest, broken);
    if ((off.overrun + on.overrun) * 10 > keys * 2)
        std::printf("  note: %d keys came late after moving the caret (a busy machine); raise INTERVAL\n",
                    off.overrun + on.overrun);
}

void measure_memory() {
    std::printf("3. memory with the script as the code\n");
    code_check_end();
    QApplication::processEvents();
    const double before = status_mib("VmRSS:");
    reset_peak();
    code_check_set_pause(0);
    code_check_start();
    // A change makes the text new to the checker; it is checked at once.
    const std::intptr_t end = scintilla_send(GADGET_CODE, SCI_GETLENGTH);
    scintilla_send(GADGET_CODE, SCI_INSERTTEXT, static_cast<std::uintptr_t>(end), reinterpret_cast<std::intptr_t>(" "));
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (code_check_figures().shown == 0 && Clock::now() < deadline) application_step(50);
    const double peak = status_mib("VmHWM:");
    const double after = status_mib("VmRSS:");
    // The checker gives its working memory back once checks pause for a while.
    const Clock::time_point idle_until = Clock::now() + std::chrono::seconds(4);
    while (Clock::now() < idle_until) application_step(100);
    const double idle = status_mib("VmRSS:");
    std::printf(
        "  RSS before the first check %.1f MiB; the checker adds %.1f MiB once checks pause (%.1f MiB right after "
        "the check, %.1f MiB at its peak)\n",
        before, idle - before, after - before, peak - before);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s file.js [keys per mode] [interval ms] [pause ms]\n", argv[0]);
        return 2;
    }
    const std::string text = bench::read_input(argv[1]);
    if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const int keys = argc > 2 ? std::max(BLOCKS_PER_MODE, std::atoi(argv[2])) : 320;
    const int interval = argc > 3 ? std::max(1, std::atoi(argv[3])) : 300;
    const int pause = argc > 4 ? std::max(0, std::atoi(argv[4])) : 200;

    application_start();
    code_check_end();  // the loaded text is measured first without a checker
    std::int32_t p0 = temp_position();
    code_editor_set_text(GADGET_CODE,
                         string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, p0), 1);
    temp_reset(p0);
    code_editor_restyle_lines(GADGET_CODE, 0, -1, -1);
    auto* editor = static_cast<QsciScintillaBase*>(scintilla_widget(GADGET_CODE));
    editor->setFocus();
    QApplication::processEvents();

    // The memory first, so that it counts the engine's start as well.
    measure_memory();
    compare_with_node(argv[1], text);
    compare_typing(editor, text.size(), keys, interval, pause);
    application_end();
    return 0;
}
