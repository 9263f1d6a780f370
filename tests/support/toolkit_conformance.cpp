#include "toolkit_conformance.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace quorvex::test {
namespace {

constexpr std::array<ControlDesc, 6> kControls{{
    {.name = "Caption", .kind = ControlKind::Label, .box = {300, 150, 3000, 375}, .text = "标题"},
    {.name = "Go", .kind = ControlKind::Button, .box = {300, 900, 1500, 600}, .text = "开始", .tabIndex = 0},
    {.name = "Box", .kind = ControlKind::Frame, .box = {3600, 150, 2400, 1800}},
    {.name = "Inner", .kind = ControlKind::Label, .box = {150, 300, 1500, 300}, .parent = "Box",
     .text = "里面"},
    {.name = "Tick", .kind = ControlKind::Timer, .intervalMs = 100, .running = true},
    {.name = "Idle", .kind = ControlKind::Timer, .intervalMs = 50, .running = false},
}};
constexpr WindowDesc kWindow{.name = "Probe", .title = "Probe", .clientWidth = 6300,
                             .clientHeight = 2250, .controls = kControls};
constexpr ControlId Caption = controlIndex(kControls, "Caption");
constexpr ControlId Go = controlIndex(kControls, "Go");
constexpr ControlId Inner = controlIndex(kControls, "Inner");
constexpr ControlId Tick = controlIndex(kControls, "Tick");
constexpr ControlId Idle = controlIndex(kControls, "Idle");

// Records every event, and can be told to take long or to fail.
struct Recorder : WindowEvents {
    std::vector<std::string> events;
    std::vector<ControlId> timers;
    ToolkitDriver* slowDriver = nullptr;  // when set, each Tick takes 350 ms
    bool throwOnTick = false;
    Window* unloadOnTick = nullptr;

    void load() override { events.push_back("load"); }
    void click(ControlId id) override { events.push_back("click " + std::to_string(id)); }
    void timer(ControlId id) override {
        events.push_back("timer");
        timers.push_back(id);
        if (throwOnTick) throw std::system_error(std::make_error_code(std::errc::io_error), "探测失败");
        if (slowDriver) slowDriver->busy(350);
        if (unloadOnTick) unloadOnTick->unload();
    }
    int count(const std::string& what) const { return int(std::count(events.begin(), events.end(), what)); }
};

TEST_P(ToolkitConformance, WindowHasTheDescribedSizesInPixels) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    window->show();
    driver->wait(50);
    const Rect client = driver->clientRect(*window);
    EXPECT_EQ(client.width, 420);
    EXPECT_EQ(client.height, 150);
    EXPECT_EQ(driver->controlRect(*window, Caption), (Rect{20, 10, 200, 25}));
    EXPECT_EQ(driver->controlRect(*window, Go), (Rect{20, 60, 100, 40}));
    // A control inside a frame is placed from the frame's corner.
    EXPECT_EQ(driver->controlRect(*window, Inner), (Rect{250, 30, 100, 20}));
    EXPECT_EQ(window->caption(Caption), "标题");
    EXPECT_EQ(window->caption(Inner), "里面");
}

TEST_P(ToolkitConformance, HideKeepsStateAndTimers) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    window->show();
    driver->wait(50);
    window->setCaption(Caption, "新的文字 with Latin");
    window->setEnabled(Go, false);
    const Rect before = driver->clientRect(*window);

    window->hide();
    EXPECT_FALSE(window->isVisible());
    const int ticksBefore = recorder.count("timer");
    driver->wait(450);
    EXPECT_GE(recorder.count("timer") - ticksBefore, 3) << "timers stop while hidden";

    window->show();
    driver->wait(50);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->caption(Caption), "新的文字 with Latin");
    EXPECT_FALSE(window->isEnabled(Go));
    const Rect after = driver->clientRect(*window);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
}

TEST_P(ToolkitConformance, TimerFiresOncePerIntervalAndStoppedTimerNever) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    driver->wait(1050);
    const int ticks = recorder.count("timer");
    EXPECT_GE(ticks, 8);
    EXPECT_LE(ticks, 11);
    for (ControlId id : recorder.timers) EXPECT_NE(id, Idle);
}

TEST_P(ToolkitConformance, SlowHandlerNeverLeavesEventsQueued) {
    Recorder recorder;
    recorder.slowDriver = driver.get();
    auto window = driver->toolkit().create(kWindow, recorder);
    // Each tick takes 350 ms of a 100 ms period: no backlog may build up, so
    // 1 s holds at most one tick per 350 ms plus the one under way.
    driver->wait(1000);
    const int ticks = recorder.count("timer");
    EXPECT_GE(ticks, 2);
    EXPECT_LE(ticks, 4);
}

TEST_P(ToolkitConformance, UnloadStopsTimersAndEvents) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    recorder.unloadOnTick = window.get();
    window->show();
    driver->wait(350);
    EXPECT_EQ(recorder.count("timer"), 1) << "the unloading tick must be the last";
    EXPECT_FALSE(window->isLoaded());
    EXPECT_FALSE(window->isVisible());
    driver->click(*window, Go);
    driver->wait(50);
    EXPECT_EQ(recorder.count("click " + std::to_string(Go)), 0);
    window->show();  // does nothing on an unloaded window
    EXPECT_FALSE(window->isVisible());
}

TEST_P(ToolkitConformance, DisabledButtonRaisesNoClick) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    window->show();
    driver->wait(50);
    driver->click(*window, Go);
    driver->wait(50);
    EXPECT_EQ(recorder.count("click " + std::to_string(Go)), 1);
    window->setEnabled(Go, false);
    driver->click(*window, Go);
    driver->wait(50);
    EXPECT_EQ(recorder.count("click " + std::to_string(Go)), 1);
    window->setEnabled(Go, true);
    driver->click(*window, Go);
    driver->wait(50);
    EXPECT_EQ(recorder.count("click " + std::to_string(Go)), 2);
}

TEST_P(ToolkitConformance, LoadComesOnceBeforeAnyTimer) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    driver->runFor(*window, 350);
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), "load");
    EXPECT_EQ(recorder.count("load"), 1);
    EXPECT_GE(recorder.count("timer"), 2);
}

TEST_P(ToolkitConformance, PostedTasksRunOnTheInterfaceThreadInOrder) {
    const std::thread::id interfaceThread = std::this_thread::get_id();
    std::vector<int> ran;
    bool allOnInterfaceThread = true;
    std::jthread poster([&] {
        for (int i = 0; i < 5; ++i)
            driver->toolkit().post([&, i] {
                ran.push_back(i);
                allOnInterfaceThread = allOnInterfaceThread && std::this_thread::get_id() == interfaceThread;
            });
    });
    ASSERT_TRUE(driver->waitUntil([&] { return ran.size() == 5; }, 10'000)) << ran.size() << " tasks ran";
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnInterfaceThread);
}

TEST_P(ToolkitConformanceDeathTest, EscapingFailureShowsTheReportAndEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto failingTick = [this] {
        Recorder recorder;
        recorder.throwOnTick = true;
        auto window = driver->toolkit().create(kWindow, recorder);
        driver->wait(500);
        std::exit(0);  // not reached when the failure ends the program
    };
    const auto failingTask = [this] {
        driver->toolkit().post([] { throw std::system_error(std::make_error_code(std::errc::io_error), "探测失败"); });
        driver->wait(500);
        std::exit(0);
    };
    // The error number and its text; checked apart, as the report spans lines.
    EXPECT_EXIT(failingTick(), testing::ExitedWithCode(1), "运行时错误 '5'");
    EXPECT_EXIT(failingTick(), testing::ExitedWithCode(1), "探测失败");
    EXPECT_EXIT(failingTask(), testing::ExitedWithCode(1), "运行时错误 '5'");
}

}  // namespace
}  // namespace quorvex::test
