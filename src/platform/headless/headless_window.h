// A window of the headless toolkit: what it shows, where it is, and the
// user's input a test raises on it. There are no other programs' windows and
// no keyboard to keep here: staying on top changes nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "support/geometry.h"

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
    // Where a change of the screen leaves the window: anywhere, even off it.
    void moveTo(Point position) { position_ = position; }

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
    Point centred() const;
    bool liesOnTheScreen() const;

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

}  // namespace quorvex
