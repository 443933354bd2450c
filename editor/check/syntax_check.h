/** @file syntax_check.h
 * The syntax check away from the user-interface thread: a thread of its own holds the engine's
 * context and checks the latest text it is given, then builds the symbol index of the same bytes.
 * Each answer carries the generation of the text it checked, so that its owner can drop answers
 * about a text that has changed since. */
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "editor/check/js_check.h"
#include "editor/names/symbols.h"

struct SyntaxCheckAnswer {
    std::uint64_t generation = 0;
    JsCheckOutcome outcome = JsCheckOutcome::UNCHECKED;
    JsSyntaxError error;
    double wall_ms = 0;                          // how long the check took on the clock
    double cpu_ms = 0;                           // and on the checking thread's own CPU time
    std::shared_ptr<const SymbolIndex> symbols;  // of the same text
    double symbols_wall_ms = 0;                  // how long building it took, apart from the check
    double symbols_cpu_ms = 0;
};

class SyntaxChecker {
public:
    // `answered` is called on the checking thread each time an answer is ready, to wake the owner.
    explicit SyntaxChecker(void (*answered)());
    // Waits for a check in progress; a text still waiting is dropped.
    ~SyntaxChecker();
    SyntaxChecker(const SyntaxChecker&) = delete;  // owns a thread
    SyntaxChecker& operator=(const SyntaxChecker&) = delete;

    // Asks for a check of the UTF-8 text; a text still waiting for its check is replaced by it.
    void post(std::shared_ptr<const std::string> code, std::uint64_t generation);
    // The latest answer not taken yet; false when there is none.
    bool take(SyntaxCheckAnswer* answer);

private:
    void run();

    void (*const answered_)();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const std::string> waiting_;
    std::uint64_t waiting_generation_ = 0;
    bool has_answer_ = false;
    SyntaxCheckAnswer answer_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};
