// One suite of behaviour every toolkit backend must show. A backend's test
// program supplies a driver and instantiates the suite with
// INSTANTIATE_TEST_SUITE_P(Name, ToolkitConformance, testing::Values(&makeDriver)),
// and likewise for ToolkitConformanceDeathTest.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

#include "platform/toolkit.h"
#include "support/geometry.h"

namespace quorvex {
// Readable points in test failures.
inline void PrintTo(const Point& point, std::ostream* out) { *out << "(" << point.x << ", " << point.y << ")"; }
}  // namespace quorvex

namespace quorvex::test {

// Keys a user presses, each pressed and released on a real keyboard: the
// first seven type a character, the others none.
enum class Key { A, Digit5, Space, Enter, Escape, Backspace, CtrlC, Shift, Left, Delete, F5 };

// What the suite needs beyond the toolkit interface: letting time pass and
// acting and looking as a user would.
class ToolkitDriver {
public:
    virtual ~ToolkitDriver() = default;
    virtual Toolkit& toolkit() = 0;
    // Lets `ms` milliseconds pass with the message loop running.
    virtual void wait(int ms) = 0;
    // Runs the message loop until `done` holds, for at most `boundMs`
    // milliseconds; tells whether `done` held. `done` runs on this thread.
    virtual bool waitUntil(const std::function<bool()>& done, int boundMs) = 0;
    // Keeps the user-interface thread busy for `ms` milliseconds (called inside a handler).
    virtual void busy(int ms) = 0;
    // Milliseconds on the clock the toolkit's timers follow.
    virtual std::int64_t clockMs() = 0;
    // Runs the toolkit's message loop with `startup` as start-up window until
    // `done` holds, for at most `boundMs` milliseconds.
    virtual void runUntil(Window& startup, const std::function<bool()>& done, int boundMs) = 0;
    // A user's click on a control's centre (ignored by the platform where it cannot happen).
    virtual void click(Window& window, ControlId control) = 0;
    // A click on a point of the client area, in pixels: on whatever lies there.
    virtual void clickAt(Window& window, Point at) = 0;
    // Presses the buttons of `buttons` (a MouseButton set, perhaps empty) at
    // `from`, moves the mouse to `to` and releases them there; both points in
    // pixels of the client area, over the same control or the window's surface.
    virtual void moveMouse(Window& window, Point from, Point to, int buttons) = 0;
    // A key press and its release on `window`, made active first: the keyboard
    // gives them to its focused control, if it has one.
    virtual void pressKey(Window& window, Key key) = 0;
    // The user's close request: Alt+F4, or the window manager's close button.
    virtual void requestClose(Window& window) = 0;
    // Client area on screen, in pixels.
    virtual Rect clientRect(Window& window) = 0;
    // A control's box relative to the client area, in pixels.
    virtual Rect controlRect(Window& window, ControlId control) = 0;
    // The primary screen, in pixels.
    virtual Rect screenRect() = 0;
    // Puts the client area's corner at a point of the screen, as a drag does,
    // or anywhere off the screens, where a change of the screens leaves it.
    virtual void moveWindow(Window& window, Point at) = 0;
};

using DriverFactory = std::unique_ptr<ToolkitDriver> (*)();

class ToolkitConformance : public testing::TestWithParam<DriverFactory> {
protected:
    void SetUp() override { driver = GetParam()(); }
    // A window created and shown, once the platform has had a moment to map it.
    std::unique_ptr<Window> open(const WindowDesc& desc, WindowEvents& events) {
        auto window = driver->toolkit().create(desc, events);
        window->show();
        driver->wait(50);
        return window;
    }
    std::unique_ptr<ToolkitDriver> driver;
};

// The same, for the tests that end the program (run in a child process).
using ToolkitConformanceDeathTest = ToolkitConformance;

}  // namespace quorvex::test
