// Tasks handed over from any thread to the one that runs them, in the order
// they were given.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace quorvex {

class TaskQueue {
public:
    using Task = std::function<void()>;

    // Queues `task`. True when the queue was empty before: whoever runs the
    // tasks may have to be woken.
    bool push(Task task) {
        bool wasEmpty = false;
        {
            const std::lock_guard lock(mutex_);
            wasEmpty = tasks_.empty();
            tasks_.push_back(std::move(task));
        }
        queued_.notify_all();
        return wasEmpty;
    }

    // Every task queued so far, in order; those queued while they run wait
    // for the next take.
    std::deque<Task> takeAll() {
        const std::lock_guard lock(mutex_);
        return std::exchange(tasks_, {});
    }

    // Wakes every waiter for good: from now on no wait waits.
    void close() {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
        }
        queued_.notify_all();
    }
    bool isClosed() {
        const std::lock_guard lock(mutex_);
        return closed_;
    }

    // Waits until a task is queued or the queue is closed; true when a task
    // waits in an open queue.
    bool waitForTask() {
        std::unique_lock lock(mutex_);
        queued_.wait(lock, [this] { return closed_ || !tasks_.empty(); });
        return !closed_;
    }

    // Waits until a task is queued or `deadline` has passed; true when a task waits.
    bool waitForTask(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return queued_.wait_until(lock, deadline, [this] { return !tasks_.empty(); });
    }

private:
    // A plain condition variable: the stop-token waits of
    // condition_variable_any can deadlock a thread's end on mingw-w64.
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Task> tasks_;
    bool closed_ = false;
};

}  // namespace quorvex
