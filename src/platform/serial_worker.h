// One thread of its own, started with the worker, that runs the jobs given
// to it one at a time, in order. Starting it is the only step that needs the
// system to grant a thread, so a job given later never depends on that: a
// process that has used up its user's thread limit cannot stop it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

namespace quorvex {

class SerialWorker {
public:
    SerialWorker() : thread_([this](std::stop_token stop) { run(stop); }) {}
    // Jobs not yet begun are dropped; the one under way is waited for.
    ~SerialWorker() = default;

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Runs `job` on the worker's thread after the jobs given before it. An
    // exception escaping the job is dropped with it.
    void post(std::function<void()> job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

private:
    void run(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        while (wake_.wait(lock, stop, [this] { return !jobs_.empty(); })) {
            const std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            try {
                job();
            } catch (...) {
            }
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> jobs_;
    std::jthread thread_;  // last: it starts once the members it uses exist
};

}  // namespace quorvex
