// A toolkit without a screen for tests: time moves only when a test advances
// it, and a test raises clicks, keys and mouse moves and reads back what the
// windows show.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "support/event_dispatch.h"
#include "support/geometry.h"
#include "support/task_queue.h"

namespace quorvex {

class HeadlessToolkit;

class HeadlessWindow final : public Window {
public:
    HeadlessWindow(HeadlessToolkit& toolkit, const WindowDesc& desc, WindowEvents& events);
    ~HeadlessWindow() override;

    void show() override;
    void hide() override;
    void unload() override;
    bool isVisible() const override { return loaded_ && visible_; }
    bool isLoaded() const override { return loaded_; }
    std::string caption(ControlId id) const override { return loaded_ ? controls_.at(id).caption : ""; }
    void setCaption(ControlId id, std::string_view text) override;
    bool isEnabled(ControlId id) const override { return loaded_ && controls_.at(id).enabled; }
    void setEnabled(ControlId id, bool enabled) override;
    void dragByTitleBar() override;

    // What a user does. Each is dropped, as on screen, where it could not happen:
    // on a hidden or unloaded window, or a disabled button.
    void click(ControlId id);
    // A key that types `charCode`. The focused control has it (a button takes
    // Space as a click), and the window hears it first with key preview on, or
    // when no control has the focus.
    void pressKey(int charCode);
    // A move over the window's own surface.
    void moveMouse(int buttons);
    // A click or move at a point of the client area (pixels) goes to what lies
    // there; the window hears moves only over its own surface.
    void clickAt(Point at);
    void moveMouseAt(Point at, int buttons);
    // The user's close request (Alt+F4, the window manager's close button).
    void requestClose() { hide(); }
    // The user's drag: where the window lands when the next drag ends.
    void dragTo(Point position) { dragTarget_ = position; }

    const WindowDesc& desc() const { return desc_; }
    Point position() const { return position_; }
    Rect clientRect() const;
    Rect controlRect(ControlId id) const;  // relative to the client area
    // The control at a point of the client area, one in a frame before the
    // frame; none on the window's own surface.
    std::optional<ControlId> controlAt(Point at) const;
    // The control with the keyboard: the first enabled button in tab order.
    std::optional<ControlId> focusedControl() const;
    int dragCount() const { return dragCount_; }
    int timerFireCount(ControlId id) const { return controls_.at(id).fired; }
    // Virtual times of a timer's most recent events (up to kFireTimesKept), for rhythm checks.
    static constexpr std::size_t kFireTimesKept = 256;
    std::vector<std::int64_t> timerFireTimes(ControlId id) const {
        const auto& times = controls_.at(id).fireTimes;
        return {times.begin(), times.end()};
    }

private:
    friend class HeadlessToolkit;
    struct ControlState {
        std::string caption;
        bool enabled = true;  // for a timer: running
        std::int64_t nextDue = 0;
        int fired = 0;
        std::deque<std::int64_t> fireTimes;
    };

    HeadlessToolkit& toolkit_;
    const WindowDesc& desc_;
    WindowEvents& events_;
    std::vector<ControlState> controls_;
    bool loaded_ = true;
    bool visible_ = false;
    Point position_;
    int dragCount_ = 0;
    Point dragTarget_;
};

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
