/** @file syntax_check.cpp
 * The checking thread: it makes the engine's context when the first text comes (an editor that is
 * never checked pays nothing), checks the latest text, keeps the latest answer, and gives the
 * engine's working memory back once checks pause. */
#include "editor/check/syntax_check.h"

#include <chrono>
#include <ctime>
#include <malloc.h>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// How long checks must pause before the engine's working memory is given back.
constexpr std::chrono::seconds GIVE_BACK_AFTER{2};
// The checking thread's niceness (Linux gives each thread its own).
constexpr int CHECK_NICENESS = 10;

double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

SyntaxChecker::SyntaxChecker(void (*answered)()) : answered_(answered), thread_([this] { run(); }) {}

SyntaxChecker::~SyntaxChecker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SyntaxChecker::post(std::shared_ptr<const std::string> code, std::uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(code);
        waiting_generation_ = generation;
    }
    wake_.notify_one();
}

bool SyntaxChecker::take(SyntaxCheckAnswer* answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!has_answer_) return false;
    *answer = std::move(answer_);
    has_answer_ = false;
    return true;
}

void SyntaxChecker::run() {
    // Typing comes first: where both want the one free core, the check waits.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), CHECK_NICENESS);
    JsCheckContext* context = nullptr;
    // The engine's working memory for a large text is given back once checks pause: giving it back
    // after every check would make the next one fault it in again, and unmapping it stalls the
    // user-interface thread's own page faults while typing goes on.
    bool holding_memory = false;
    for (;;) {
        std::shared_ptr<const std::string> code;
        SyntaxCheckAnswer answer;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            const auto ready = [this] { return stopping_ || waiting_; };
            if (holding_memory && !wake_.wait_for(lock, GIVE_BACK_AFTER, ready)) {
                lock.unlock();
                malloc_trim(0);
                holding_memory = false;
                continue;
            }
            wake_.wait(lock, ready);
            if (stopping_) break;
            code = std::move(waiting_);
            answer.generation = waiting_generation_;
        }
        const auto started = std::chrono::steady_clock::now();
        const double cpu_started = thread_cpu_ms();
        // Memory that runs out here leaves the code unchecked; the editor goes on.
        try {
            if (!context) context = js_check_context_create();
            answer.outcome = js_check(context, *code, &answer.error);
        } catch (const std::bad_alloc&) {
            answer.outcome = JsCheckOutcome::UNCHECKED;
        }
        holding_memory = true;
        const auto checked = std::chrono::steady_clock::now();
        const double cpu_checked = thread_cpu_ms();
        answer.wall_ms = std::chrono::duration<double, std::milli>(checked - started).count();
        answer.cpu_ms = cpu_checked - cpu_started;
        try {
            answer.symbols = symbol_index_build(code->data(), code->size());
        } catch (const std::bad_alloc&) {  // no index this time; the last one stays listed
        }
        code.reset();
        answer.symbols_wall_ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - checked).count();
        answer.symbols_cpu_ms = thread_cpu_ms() - cpu_checked;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answer_ = std::move(answer);
            has_answer_ = true;
        }
        if (answered_) answered_();
    }
    js_check_context_free(context);
}
