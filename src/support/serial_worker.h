// One thread of its own, started with the worker, that runs the jobs given
// to it one at a time, in order. Starting it is the only step that needs the
// system to grant a thread, so a job given later never depends on that: a
// process that has used up its user's thread limit cannot stop it.
#pragma once

#include <functional>
#include <thread>
#include <utility>

#include "support/task_queue.h"

namespace quorvex {

class SerialWorker {
public:
    SerialWorker() : thread_([this] { run(); }) {}
    // Jobs not yet begun are dropped; the one under way is waited for.
    ~SerialWorker() {
        jobs_.close();
        thread_.join();
    }

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Runs `job` on the worker's thread after the jobs given before it. An
    // exception escaping the job is dropped with it.
    void post(std::function<void()> job) { jobs_.push(std::move(job)); }

private:
    void run() {
        while (jobs_.waitForTask())
            for (const auto& job : jobs_.takeAll()) {
                if (jobs_.isClosed()) return;
                try {
                    job();
                } catch (...) {
                }
            }
    }

    TaskQueue jobs_;
    std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace quorvex
