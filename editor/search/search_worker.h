/** @file search_worker.h
 * One thread that runs the searches that may take long (regular expressions) away from the
 * user-interface thread. The caller posts a job; a job posted while another runs abandons it:
 * its cancel flag is raised (the engine's watch and the job's own loops read it, search.h's
 * search_set_cancel_flag) and whatever it produces is the caller's to drop. A job reports through
 * what it captured, and calls the wake function when it has something to show (the
 * application's loop then takes it). No Qt. */
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class SearchWorker {
public:
    // The job runs on the worker's thread; `cancelled` is raised when a newer job or cancel() comes.
    using Job = std::function<void(const std::atomic<bool>& cancelled)>;

    SearchWorker();
    // Abandons the running job and waits for it to end (its engine call ends at the watch's next tick).
    ~SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // Abandons the running job, drops a waiting one, and queues this one.
    void post(Job job);
    // Abandons the running job and drops a waiting one.
    void cancel();
    // Whether a job waits or runs.
    bool busy() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wanted_;
    Job waiting_;
    bool running_ = false;
    bool ending_ = false;
    // The running job's flag: raised by post, cancel and the end, lowered when a job starts.
    std::atomic<bool> cancelled_{false};
    std::thread thread_;
};
