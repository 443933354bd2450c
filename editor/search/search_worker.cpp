/** @file search_worker.cpp
 * The search thread (search_worker.h). */
#include "editor/search/search_worker.h"

#include <utility>

#include "editor/search/search.h"

SearchWorker::SearchWorker() : thread_([this] { run(); }) {}

SearchWorker::~SearchWorker() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        waiting_ = nullptr;
        cancelled_.store(true);
    }
    wanted_.notify_one();
    thread_.join();
}

void SearchWorker::post(Job job) {
    {
        std::lock_guard lock(mutex_);
        cancelled_.store(true);
        waiting_ = std::move(job);
    }
    wanted_.notify_one();
}

void SearchWorker::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_.store(true);
    waiting_ = nullptr;
}

bool SearchWorker::busy() const {
    std::lock_guard lock(mutex_);
    return running_ || waiting_ != nullptr;
}

void SearchWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wanted_.wait(lock, [this] { return ending_ || waiting_ != nullptr; });
        if (ending_) return;
        Job job = std::move(waiting_);
        waiting_ = nullptr;
        // Raised under the lock only, so a flag raised for an older job never reaches this one.
        cancelled_.store(false);
        running_ = true;
        lock.unlock();
        search_set_cancel_flag(&cancelled_);
        job(cancelled_);
        search_set_cancel_flag(nullptr);
        // The job's own objects go before the worker says it is idle.
        job = nullptr;
        lock.lock();
        running_ = false;
    }
}
