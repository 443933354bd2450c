/** @file syntax_check.cpp
 * The checking thread: it makes the engine's context when the first text comes (an editor that is
 * never checked pays nothing), checks the latest text, and keeps the latest answer. */
#include "editor/syntax_check.h"

#include <chrono>
#include <ctime>
#include <malloc.h>

namespace {

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
    JsCheckContext* context = nullptr;
    for (;;) {
        std::shared_ptr<const std::string> code;
        SyntaxCheckAnswer answer;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_) break;
            code = std::move(waiting_);
            answer.generation = waiting_generation_;
        }
        const auto started = std::chrono::steady_clock::now();
        const double cpu_started = thread_cpu_ms();
        if (!context) context = js_check_context_create();
        answer.outcome = js_check(context, *code, &answer.error);
        code.reset();
        // The engine's working memory for a large text is given back rather than kept between checks.
        malloc_trim(0);
        answer.wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        answer.cpu_ms = thread_cpu_ms() - cpu_started;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answer_ = std::move(answer);
            has_answer_ = true;
        }
        if (answered_) answered_();
    }
    js_check_context_free(context);
}
