#include "platform/headless/headless_toolkit.h"

#include <algorithm>
#include <limits>

namespace quorvex {

std::unique_ptr<Window> HeadlessToolkit::create(const WindowDesc& desc, WindowEvents& events) {
    auto window = std::make_unique<HeadlessWindow>(*this, desc, events);
    windows_.push_back(window.get());
    return window;
}

int HeadlessToolkit::run(Window& startup) {
    auto& window = static_cast<HeadlessWindow&>(startup);
    dispatch([&] { window.events_.load(); });
    return 0;
}

void HeadlessToolkit::processPendingEvents() {
    ++pendingCalls_;
    runPostedTasks();
    while (fireNextDue(now_)) {
    }
}

void HeadlessToolkit::post(std::function<void()> task) { posted_.push(std::move(task)); }

// Runs what was posted so far; tasks that these post wait for the next round.
void HeadlessToolkit::runPostedTasks() {
    for (const auto& task : posted_.takeAll()) dispatch(task);
}

bool HeadlessToolkit::runPostedTasksUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    runPostedTasks();
    while (!done()) {
        if (!posted_.waitForTask(deadline)) return done();
        runPostedTasks();
    }
    return true;
}

void HeadlessToolkit::advance(std::int64_t ms) {
    const std::int64_t until = now_ + ms;
    while (fireNextDue(until)) {
    }
    now_ = std::max(now_, until);
}

bool HeadlessToolkit::fireNextDue(std::int64_t until) {
    runPostedTasks();
    HeadlessWindow* dueWindow = nullptr;
    ControlId dueTimer = 0;
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    for (HeadlessWindow* window : windows_)
        for (ControlId id = 0; id < window->controls_.size(); ++id) {
            const auto& control = window->controls_[id];
            const bool running = window->loaded_ && window->desc_.controls[id].kind == ControlKind::Timer &&
                                 control.enabled;
            if (running && control.nextDue < due) {
                due = control.nextDue;
                dueWindow = window;
                dueTimer = id;
            }
        }
    if (!dueWindow || due > until) return false;

    now_ = std::max(now_, due);
    auto& control = dueWindow->controls_[dueTimer];
    ++control.fired;
    control.fireTimes.push_back(now_);
    if (control.fireTimes.size() > HeadlessWindow::kFireTimesKept) control.fireTimes.pop_front();
    // Rescheduled before the handler runs, so a handler that unloads its window
    // stops the timer for good; a late handler never leaves a second event queued.
    const int interval = dueWindow->desc_.controls[dueTimer].intervalMs;
    control.nextDue = due + interval;
    WindowEvents& events = dueWindow->events_;
    dispatch([&] { events.timer(dueTimer); });
    if (control.nextDue <= now_) control.nextDue = now_;
    return true;
}

void HeadlessToolkit::forget(HeadlessWindow* window) {
    std::erase(windows_, window);
}

}  // namespace quorvex
