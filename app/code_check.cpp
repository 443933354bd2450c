/** @file code_check.cpp
 * When the code is checked, and what is shown of the answer: the timing and the generation count
 * on the main thread, the check itself on the checker's thread. */
#include "app/code_check.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/code_bytes.h"
#include "app/status_line.h"
#include "editor/code_editor.h"
#include "editor/check/syntax_check.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A second after typing pauses: no marks flicker on a line still being typed.
constexpr int DEFAULT_PAUSE = 1000;
int the_pause = DEFAULT_PAUSE;

struct CodeCheck {
    std::unique_ptr<SyntaxChecker> checker;
    std::uint64_t generation = 0;  // of the code as it stands: every change counts one up
    std::uint64_t posted = 0;      // the generation last handed to the checker (0: the empty start)
    bool pending = false;          // a change that no check has been asked for yet
    Clock::time_point due;
    bool error_shown = false;
    JsSyntaxError shown;
    CodeCheckFigures figures{};
    std::shared_ptr<const SymbolIndex> symbols;
};

std::unique_ptr<CodeCheck> the_check;

// The marks in the code, and the message beside the status line (a screen reader hears it as a
// syntax error); a clean text shows neither.
void show(CodeCheck& c, const SyntaxCheckAnswer& answer) {
    c.error_shown = answer.outcome == JsCheckOutcome::ERROR;
    code_editor_mark_syntax_error(GADGET_CODE, c.error_shown ? &answer.error : nullptr);
    if (c.error_shown) c.shown = answer.error;
    const std::u16string message = code_check_status_text();
    status_line_set_message(message.c_str(), message.empty() ? nullptr : (u"Syntax error: " + message).c_str());
}

void take_answer(CodeCheck& c) {
    SyntaxCheckAnswer answer;
    if (!c.checker->take(&answer)) return;
    c.figures.longest_wall_ms = std::max(c.figures.longest_wall_ms, answer.wall_ms);
    c.figures.longest_cpu_ms = std::max(c.figures.longest_cpu_ms, answer.cpu_ms);
    c.figures.longest_symbols_wall_ms = std::max(c.figures.longest_symbols_wall_ms, answer.symbols_wall_ms);
    c.figures.longest_symbols_cpu_ms = std::max(c.figures.longest_symbols_cpu_ms, answer.symbols_cpu_ms);
    // An answer about an older text would mark the wrong place; the newer text gets its own check.
    if (answer.generation != c.generation) {
        ++c.figures.dropped;
        return;
    }
    show(c, answer);
    if (answer.symbols) c.symbols = std::move(answer.symbols);
    ++c.figures.shown;
}

std::u16string decimal(int number) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

void code_check_start() {
    if (the_check) return;
    auto c = std::make_unique<CodeCheck>();
    try {
        c->checker = std::make_unique<SyntaxChecker>(event_wake);
    } catch (const std::exception&) {  // no thread to be had: the editor works on, unchecked
        return;
    }
    the_check = std::move(c);
}

void code_check_end() { the_check.reset(); }

void code_check_note_change() {
    if (!the_check) return;
    CodeCheck& c = *the_check;
    const bool was_idle = !c.pending;
    ++c.generation;
    c.pending = true;
    c.due = Clock::now() + milliseconds(the_pause);
    // A change in the code editor raises no event, so the loop is told to look at the due time.
    if (was_idle) event_wake();
}

void code_check_texts_settled() {
    if (!the_check || the_check->posted == the_check->generation) return;
    the_check->pending = true;
    the_check->due = Clock::now();
    event_wake();
}

int code_check_wait_time() {
    if (!the_check || !the_check->pending) return -1;
    const auto left = std::chrono::ceil<milliseconds>(the_check->due - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void code_check_tick() {
    if (!the_check) return;
    CodeCheck& c = *the_check;
    take_answer(c);
    if (!c.pending || Clock::now() < c.due) return;
    c.checker->post(code_bytes(), c.generation);
    c.posted = c.generation;
    c.pending = false;
}

std::u16string code_check_status_text() {
    if (!the_check || !the_check->error_shown) return u"";
    const JsSyntaxError& error = the_check->shown;
    TempScope scope;
    string_from_memory(error.message.c_str(), -1, TEXT_UTF8, scope.start());
    return u"Line " + decimal(error.line) + u", column " + decimal(error.column) + u": " + scope.text();
}

bool code_check_go_to_error() {
    if (!code_editor_go_to_syntax_error(GADGET_CODE)) return false;
    gadget_set_focus(GADGET_CODE);
    return true;
}

int code_check_pause() { return the_pause; }
void code_check_set_pause(int milliseconds) { the_pause = milliseconds; }

CodeCheckFigures code_check_figures() { return the_check ? the_check->figures : CodeCheckFigures{}; }

std::shared_ptr<const SymbolIndex> code_check_symbols() { return the_check ? the_check->symbols : nullptr; }
