// The window the toolkit contract drives, and the handler that records what
// it hears.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "toolkit_conformance.h"

namespace quorvex::test::probe {

constexpr std::array<ControlDesc, 7> kControls{{
    {.name = "Caption", .kind = ControlKind::Label, .box = {300, 150, 3000, 375}, .text = "标题"},
    {.name = "Go", .kind = ControlKind::Button, .box = {300, 900, 1500, 600}, .text = "开始", .tabIndex = 0},
    {.name = "Logo", .kind = ControlKind::Picture, .box = {1950, 900, 1200, 600}, .picture = "logo",
     .stretch = true},
    {.name = "Box", .kind = ControlKind::Frame, .box = {3600, 150, 2400, 1800}},
    {.name = "Inner", .kind = ControlKind::Label, .box = {150, 300, 1500, 300}, .parent = "Box",
     .text = "里面"},
    {.name = "Tick", .kind = ControlKind::Timer, .intervalMs = 100, .running = true},
    {.name = "Idle", .kind = ControlKind::Timer, .intervalMs = 50, .running = false},
}};
constexpr WindowDesc kWindow{.name = "Probe", .title = "Probe", .clientWidth = 6300,
                             .clientHeight = 2250, .controls = kControls};
constexpr WindowDesc kPreviewWindow = [] {
    WindowDesc desc = kWindow;
    desc.keyPreview = true;
    return desc;
}();
constexpr ControlId Caption = controlIndex(kControls, "Caption");
constexpr ControlId Go = controlIndex(kControls, "Go");
constexpr ControlId Logo = controlIndex(kControls, "Logo");
constexpr ControlId Box = controlIndex(kControls, "Box");
constexpr ControlId Inner = controlIndex(kControls, "Inner");
constexpr ControlId Tick = controlIndex(kControls, "Tick");
constexpr ControlId Idle = controlIndex(kControls, "Idle");

// Points of the client area, in pixels: the window's own surface below the
// button, and the window's margin right of the frame.
constexpr Point kSurface{10, 120};
constexpr Point kMargin{410, 70};

// Long enough for any event the suite waits for, on a busy machine.
constexpr int kBound = 10'000;

// Records every event, and can be told to take long, to fail, or to act on a tick.
struct Recorder : WindowEvents {
    ToolkitDriver* driver = nullptr;
    std::vector<std::string> events;
    std::vector<std::int64_t> tickStarts, tickEnds;  // on the driver's clock
    int slowTicks = 0;                               // this many first ticks take 350 ms each
    bool throwOnTick = false;
    Window* unloadOnTick = nullptr;
    Window* unloadOnInput = nullptr;  // by a click or a key, as the splash does
    Window* stopIdleOnTick = nullptr;
    int idleWhenStopped = -1;
    std::vector<int> moves;  // the held buttons of each mouse move

    void load() override { events.push_back("load"); }
    void click(ControlId id) override { heard("click " + std::to_string(id)); }
    void keyPress(int charCode) override { heard("key " + std::to_string(charCode)); }
    void mouseMove(int buttons) override { moves.push_back(buttons); }
    void heard(std::string input) {
        events.push_back(std::move(input));
        if (unloadOnInput) unloadOnInput->unload();
    }
    void timer(ControlId id) override {
        if (id == Idle) return events.push_back("idle");
        events.push_back("tick");
        if (throwOnTick) throw std::system_error(std::make_error_code(std::errc::io_error), "探测失败");
        if (driver) tickStarts.push_back(driver->clockMs());
        if (slowTicks > 0) {
            --slowTicks;
            driver->busy(350);
        }
        if (driver) tickEnds.push_back(driver->clockMs());
        if (unloadOnTick) unloadOnTick->unload();
        if (stopIdleOnTick) {
            std::exchange(stopIdleOnTick, nullptr)->setEnabled(Idle, false);
            idleWhenStopped = count("idle");
        }
    }
    int count(const std::string& what) const { return int(std::count(events.begin(), events.end(), what)); }
    int clicks(ControlId id) const { return count("click " + std::to_string(id)); }
    // The clicks and keys heard, in order.
    std::vector<std::string> input() const {
        std::vector<std::string> input;
        std::ranges::copy_if(events, std::back_inserter(input), [](const std::string& event) {
            return event.starts_with("click ") || event.starts_with("key ");
        });
        return input;
    }
};

inline Point centreOf(const Rect& rect) { return {rect.x + rect.width / 2, rect.y + rect.height / 2}; }

}  // namespace quorvex::test::probe
