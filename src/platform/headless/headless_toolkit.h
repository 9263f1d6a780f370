// A toolkit without a screen for tests: time moves only when a test advances
// it, and a test raises clicks, keys and mouse moves and reads back what the
// windows show.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/headless/headless_window.h"
#include "platform/toolkit.h"
#include "support/event_dispatch.h"
#include "support/geometry.h"
#include "support/task_queue.h"

namespace quorvex {

class HeadlessToolkit final : public Toolkit {
public:
    // The virtual screen the windows are centred on, in pixels.
    static constexpr int kScreenWidth = 1920;
    static constexpr int kScreenHeight = 1080;

    // `sink` hears the error report before the program ends; standard error always does.
    explicit HeadlessToolkit(ReportSink sink = {}) : dispatch_(std::move(sink)) {}

    std::unique_ptr<Window> create(const WindowDesc& desc, WindowEvents& events) override;
    // Raises the load event and returns at once: tests drive the clock themselves.
    int run(Window& startup) override;
    // Runs posted tasks and the timers that are due.
    void processPendingEvents() override;
    void post(std::function<void()> task) override;
    // Runs tasks as other threads post them until `done` holds, waiting at most
    // `bound` of real time; tells whether `done` held.
    bool runPostedTasksUntil(const std::function<bool()>& done,
                             std::chrono::milliseconds bound = std::chrono::seconds(10));

    // Moves the clock by `ms`, raising every timer event that falls due, in
    // order, each after the tasks posted before it.
    void advance(std::int64_t ms);
    // Moves the clock without raising events: a handler that takes this long.
    void spend(std::int64_t ms) { now_ += ms; }
    std::int64_t now() const { return now_; }
    int processPendingCalls() const { return pendingCalls_; }

    // Every window created so far, loaded or not, in creation order.
    const std::vector<HeadlessWindow*>& windows() const { return windows_; }

    // Runs a handler the way the message loop would.
    void dispatch(const std::function<void()>& handler) { dispatch_.run(handler); }

private:
    friend class HeadlessWindow;
    void forget(HeadlessWindow* window);
    bool fireNextDue(std::int64_t until);
    void runPostedTasks();

    std::int64_t now_ = 0;
    int pendingCalls_ = 0;
    std::vector<HeadlessWindow*> windows_;
    EventDispatch dispatch_;

    TaskQueue posted_;
};

}  // namespace quorvex
