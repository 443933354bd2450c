/** @file code_check.h
 * The code checked for syntax errors as it is typed: about a second after typing pauses, and at
 * once after New, Open and a recovery, on a thread of its own. The first error is marked in the
 * code editor and told in a line of text; an answer about a text that has changed since is
 * dropped, so the marks never point at the wrong place. Saving is never held up by it. */
#pragma once

#include <memory>
#include <string>

// The checking thread, idle until the first check. At most one at a time.
void code_check_start();
// Waits for a check in progress; the thread and the engine's context go.
void code_check_end();

// The code is about to change (an insertion or removal).
void code_check_note_change();
// The texts have become settled (New, Open, a recovery): the code is checked at once, unless the
// last check already had this text.
void code_check_texts_settled();

// How long the event loop may wait before code_check_tick has something to do (milliseconds);
// -1 while nothing is to be checked.
int code_check_wait_time();
// Asks for the check once it is due, and shows an answer that has arrived.
void code_check_tick();

// "Line 212, column 9: missing ) after argument list" while an error is marked, else "".
std::u16string code_check_status_text();
// Moves the code editor's caret to the marked error and gives the editor the keyboard; false when
// no error is marked.
bool code_check_go_to_error();

// The quiet time after the last change before a check (milliseconds).
int code_check_pause();
void code_check_set_pause(int milliseconds);

// Figures since code_check_start: answers shown, answers dropped as stale, and the longest check
// and symbol index build (on the clock and on the checking thread's CPU time).
struct CodeCheckFigures {
    int shown;
    int dropped;
    double longest_wall_ms;
    double longest_cpu_ms;
    double longest_symbols_wall_ms;
    double longest_symbols_cpu_ms;
};
CodeCheckFigures code_check_figures();

class SymbolIndex;
// The symbol index of the code as last checked, built on the checking thread from the same bytes;
// null before the first check. An index about a text that has changed since is dropped, as the
// check's answers are, so it may be a check behind the code while typing goes on.
std::shared_ptr<const SymbolIndex> code_check_symbols();
