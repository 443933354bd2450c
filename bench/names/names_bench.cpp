// The code's names, measured against anchors in the same run (printed in this order):
// 1. building the symbol index of a large real script (typescript.js) on the checking thread,
//    after the check, against the check's own time in the same answers; and our build against
//    universal-ctags on the same file, with both counts (the peer);
// 2. the memory the index adds;
// 3. Go to Symbol over every symbol of that script: each key typed into the filter, from the key
//    to the repainted list;
// 4. typing latency with the script as the code, with the check and its index on (a check after
//    each key, as soon as the pause is over) against the same typing with them off.
#include "app/application.h"
#include "app/code_check.h"
#include "bench/support/typing.h"
#include "editor/check/syntax_check.h"
#include "editor/code_editor.h"
#include "editor/names/symbols.h"
#include "editor/scintilla.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"

#include <Qsci/qsciscintillabase.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace bench;
constexpr int ROUNDS = 7;
constexpr int BLOCKS_PER_MODE = 8;

std::mutex answered_mutex;
std::condition_variable answered_signal;
bool answered = false;
void on_answer() {
    std::lock_guard<std::mutex> lock(answered_mutex);
    answered = true;
    answered_signal.notify_all();
}

SyntaxCheckAnswer check_once(SyntaxChecker& checker, const std::shared_ptr<const std::string>& code,
                             std::uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(answered_mutex);
        answered = false;
    }
    checker.post(code, generation);
    std::unique_lock<std::mutex> lock(answered_mutex);
    answered_signal.wait(lock, [] { return answered; });
    lock.unlock();
    SyntaxCheckAnswer answer;
    checker.take(&answer);
    return answer;
}

struct Peer {
    double wall_ms = -1, cpu_ms = -1;
    std::size_t tags = 0;
};

// universal-ctags on the file, its tags written to a scratch file and counted.
Peer run_ctags(const std::string& file) {
    const std::string out = "/tmp/qem-names-bench-tags-" + std::to_string(getpid());
    const char* args[] = {"ctags-universal", "-f", out.c_str(), "--languages=JavaScript", file.c_str(), nullptr};
    Peer peer;
    const Clock::time_point started = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, args[0], nullptr, nullptr, const_cast<char**>(args), environ) != 0) return peer;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    peer.wall_ms = ms_between(started, Clock::now());
    peer.cpu_ms =
        (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    const std::string tags = read_input(out.c_str());
    for (std::size_t at = 0; (at = tags.find('\n', at)) != std::string::npos; ++at)
        if (at + 1 < tags.size() && tags[at + 1] != '!') ++peer.tags;  // lines starting with ! are headers
    if (!tags.empty() && tags[0] != '!') ++peer.tags;
    std::remove(out.c_str());
    return peer;
}

void compare_build(const std::string& file, const std::string& text) {
    std::printf("1. the symbol index of %s (%zu bytes)\n", file.c_str(), text.size());
    SyntaxChecker checker(on_answer);
    auto code = std::make_shared<const std::string>(text);
    check_once(checker, code, 1);  // the engine's context is made once
    std::vector<double> check_cpu, index_cpu, check_wall, index_wall, alone_cpu, alone_wall, ctags_cpu, ctags_wall;
    std::size_t symbols = 0, tags = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        const SyntaxCheckAnswer a = check_once(checker, code, std::uint64_t(round) + 2);
        check_cpu.push_back(a.cpu_ms);
        check_wall.push_back(a.wall_ms);
        index_cpu.push_back(a.symbols_cpu_ms);
        index_wall.push_back(a.symbols_wall_ms);
        symbols = a.symbols ? a.symbols->size() : 0;
        // Ours alone on this thread, and the peer, alternating with the checks.
        const double cpu = thread_cpu_ms();
        const Clock::time_point started = Clock::now();
        const auto index = symbol_index_build(text.data(), text.size());
        alone_wall.push_back(ms_between(started, Clock::now()));
        alone_cpu.push_back(thread_cpu_ms() - cpu);
        const Peer peer = run_ctags(file);
        if (peer.wall_ms < 0) continue;
        ctags_cpu.push_back(peer.cpu_ms);
        ctags_wall.push_back(peer.wall_ms);
        tags = peer.tags;
    }
    const double cc = percentile(check_cpu, 0.5), ic = percentile(index_cpu, 0.5);
    std::printf(
        "  on the checking thread (median of %d): check %.1f ms CPU (%.1f wall), index %.1f ms CPU (%.1f wall), "
        "%zu symbols\n",
        ROUNDS, cc, percentile(check_wall, 0.5), ic, percentile(index_wall, 0.5), symbols);
    std::printf("  ratio index/check: CPU %.3fx, wall %.3fx (target: at most 0.75x)\n", ic / cc,
                percentile(index_wall, 0.5) / percentile(check_wall, 0.5));
    if (ctags_cpu.empty()) {
        std::printf("  ctags-universal could not be started; no peer\n");
        return;
    }
    const double oc = percentile(alone_cpu, 0.5), pc = percentile(ctags_cpu, 0.5);
    std::printf(
        "  ours alone %.1f ms CPU (%.1f wall), %zu symbols; universal-ctags %.1f ms CPU (%.1f wall, a "
        "process), %zu tags\n",
        oc, percentile(alone_wall, 0.5), symbols, pc, percentile(ctags_wall, 0.5), tags);
    std::printf("  ratio ours/ctags: CPU %.3fx, wall %.3fx (target: below 1x)\n", oc / pc,
                percentile(alone_wall, 0.5) / percentile(ctags_wall, 0.5));
}

void measure_memory(const std::string& text) {
    const auto index = symbol_index_build(text.data(), text.size());
    std::printf("2. memory the index of %zu symbols holds: %.2f MiB (target: at most 30 MiB)\n", index->size(),
                static_cast<double>(index->memory_bytes()) / (1024.0 * 1024.0));
}

QWidget* gadget_widget_of(ObjectNumber gadget) { return static_cast<QWidget*>(gadget_lookup(gadget)->handle); }

// Waits (running the loop) until the check has handed over an index of the code.
bool wait_for_index() {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        if (const auto index = code_check_symbols(); index && index->size() > 0) return true;
        application_step(20);
    }
    return false;
}

void filter_keys() {
    std::printf("3. Go to Symbol: each key typed into the filter, over every symbol, to the repainted list\n");
    code_check_set_pause(0);
    code_check_start();
    // A change makes the text new to the checker; it is checked at once.
    const std::intptr_t end = scintilla_send(GADGET_CODE, SCI_GETLENGTH);
    scintilla_send(GADGET_CODE, SCI_INSERTTEXT, static_cast<std::uintptr_t>(end), reinterpret_cast<std::intptr_t>(" "));
    if (!wait_for_index()) {
        std::printf("  no index came\n");
        return;
    }
    QTest::keyClick(static_cast<QWidget*>(scintilla_widget(GADGET_CODE)), Qt::Key_O,
                    Qt::ControlModifier | Qt::ShiftModifier);
    for (int i = 0; i < 10; ++i) application_step(0);
    // The change above also has the code's names gathered, half a second later, in slices of a few
    // milliseconds between events. Each key here is followed by four loop steps, so it would be
    // charged with three slices that a typed key never waits for: they are let finish first.
    for (auto until = Clock::now() + std::chrono::seconds(3); Clock::now() < until;) application_step(10);
    auto* field = static_cast<QLineEdit*>(gadget_widget_of(GADGET_SYMBOL_FIELD));
    auto* list = static_cast<QAbstractItemView*>(gadget_widget_of(GADGET_SYMBOL_LIST));
    std::vector<double> latencies, cpu;
    std::size_t shown_last = 0;
    for (const char* query : {"parseExpression", "getText", "pE", "visitNode", "createProgram", "isIdentifier"}) {
        field->clear();
        application_step(0);
        for (const char* c = query; *c; ++c) {
            const Clock::time_point started = Clock::now();
            const double cpu_started = thread_cpu_ms();
            QTest::keyClick(field, *c);
            // The change reaches the loop as events (EN_UPDATE, EN_CHANGE), as a key's does.
            for (int step = 0; step < 4; ++step) application_step(0);
            list->viewport()->repaint();
            latencies.push_back(ms_between(started, Clock::now()));
            cpu.push_back(thread_cpu_ms() - cpu_started);
        }
        shown_last = std::size_t(list->model()->rowCount());
        std::printf("  \"%s\": %zu matches\n", query, shown_last);
    }
    std::printf(
        "  per key over %zu keys: p50 %.2f ms, p99 %.2f ms, max %.2f ms (CPU p99 %.2f ms) (target: at most "
        "16 ms)\n",
        latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0),
        percentile(cpu, 0.99));
    QTest::keyClick(field, Qt::Key_Escape);
    for (int i = 0; i < 10; ++i) application_step(0);
    code_check_end();
}

void print_typing(const char* name, const KeyTimings& t) {
    std::printf("  %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu keys\n", name, percentile(t.latencies, 0.5),
                percentile(t.latencies, 0.99), percentile(t.latencies, 1.0), t.latencies.size());
}

void compare_typing(QsciScintillaBase* editor, std::size_t size, int keys, int interval) {
    std::printf(
        "4. typing at %zu bytes, a blank every %d ms at the end of a random line; on: the check and its "
        "index after each key (200 ms pause)\n",
        size, interval);
    code_check_set_pause(200);
    std::mt19937 random(4242);
    const int per_block = std::max(1, keys / BLOCKS_PER_MODE);
    const long lines = editor->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    auto random_lines = [&] {
        std::vector<long> chosen;
        for (int i = 0; i < per_block; ++i) chosen.push_back(static_cast<long>(random() % lines));
        return chosen;
    };
    const auto line_end = [editor](long line) {
        return editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    };
    const auto type_lines = [&](const std::vector<long>& chosen, KeyTimings& figures) {
        type_keys_where(editor, chosen, interval, ' ', figures, line_end);
    };
    KeyTimings warm_up, off, on;
    code_check_end();
    type_lines(random_lines(), warm_up);
    int shown = 0, dropped = 0;
    double longest_index = 0;
    for (int block = 0; block < BLOCKS_PER_MODE; ++block) {
        const std::vector<long> chosen = random_lines();
        const bool on_first = block % 2 == 1;
        if (!on_first) type_lines(chosen, off);
        code_check_start();
        type_lines(chosen, on);
        shown += code_check_figures().shown;
        dropped += code_check_figures().dropped;
        longest_index = std::max(longest_index, code_check_figures().longest_symbols_wall_ms);
        code_check_end();
        if (on_first) type_lines(chosen, off);
    }
    print_typing("check and index off", off);
    print_typing("check and index on ", on);
    std::printf("  ratio on/off: p50 %.3fx, p99 %.3fx (target: p99 at most 1.1x)\n",
                percentile(on.latencies, 0.5) / percentile(off.latencies, 0.5),
                percentile(on.latencies, 0.99) / percentile(off.latencies, 0.99));
    std::printf("  answers shown with their index %d, dropped as stale %d; longest index build %.1f ms\n", shown,
                dropped, longest_index);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s file.js [keys per mode] [interval ms]\n", argv[0]);
        return 2;
    }
    const std::string text = read_input(argv[1]);
    if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const int keys = argc > 2 ? std::max(BLOCKS_PER_MODE, std::atoi(argv[2])) : 160;
    const int interval = argc > 3 ? std::max(1, std::atoi(argv[3])) : 300;

    compare_build(argv[1], text);
    measure_memory(text);

    application_start();
    code_check_end();
    std::int32_t p0 = temp_position();
    code_editor_set_text(GADGET_CODE,
                         string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, p0), 1);
    temp_reset(p0);
    code_editor_restyle_lines(GADGET_CODE, 0, -1, -1);
    auto* editor = static_cast<QsciScintillaBase*>(scintilla_widget(GADGET_CODE));
    editor->setFocus();
    QApplication::processEvents();
    filter_keys();
    editor->setFocus();
    compare_typing(editor, text.size(), keys, interval);
    application_end();
    return 0;
}
