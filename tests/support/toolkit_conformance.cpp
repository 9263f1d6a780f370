// The toolkit contract: windows, captions, timers, the load and unload, close
// requests, posted tasks and failures.
#include "toolkit_conformance.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "toolkit_probe.h"

namespace quorvex::test {
namespace {

using namespace probe;

TEST_P(ToolkitConformance, WindowHasTheDescribedSizesInPixels) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
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

TEST_P(ToolkitConformance, CaptionsReadBackTheExactBytesGiven) {
    const std::string rows[] = {
        "新的文字 with Latin",
        "U盘\xB2\xA1\xB6\xBE/winsvcs.exe",     // a folder named in GBK: no UTF-8
        "<b>x</b><font color=red>y</font> &amp;",  // shown as typed, not as markup
        "lone \xED\xA0\x80 surrogate",           // WTF-8 from a Windows file name
        "",
    };
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    window->show();
    for (const std::string& row : rows)
        for (const ControlId control : {Caption, Go}) {
            window->setCaption(control, row);
            EXPECT_EQ(window->caption(control), row) << "control " << control;
        }
}

TEST_P(ToolkitConformance, HideKeepsStateAndTimers) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    window->setCaption(Caption, "新的文字 with Latin");
    window->setEnabled(Go, false);
    const Rect before = driver->clientRect(*window);

    window->hide();
    EXPECT_FALSE(window->isVisible());
    const int ticksBefore = recorder.count("tick");
    EXPECT_TRUE(driver->waitUntil([&] { return recorder.count("tick") >= ticksBefore + 3; }, kBound))
        << "timers stop while hidden";

    window->show();
    driver->wait(50);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->caption(Caption), "新的文字 with Latin");
    EXPECT_FALSE(window->isEnabled(Go));
    const Rect after = driver->clientRect(*window);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
}

// A window the screens no longer show whole (they shrank or went since it
// was placed) comes back on show, visible or hidden before; a window they
// show whole stays where it is.
TEST_P(ToolkitConformance, ShowBringsAWindowOffTheScreensBackCentred) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    const Rect centred = driver->clientRect(*window);
    const Rect screen = driver->screenRect();
    const Point inView{screen.x + 10, screen.y + 10};
    const struct {
        const char* where;
        Point at;
        bool hiddenFirst;
        Point shownAt;
    } rows[] = {
        {"wholly beyond the right edge", {screen.x + screen.width + 100, centred.y}, true, {centred.x, centred.y}},
        {"one pixel past the right edge", {screen.x + screen.width - centred.width + 1, centred.y}, true,
         {centred.x, centred.y}},
        {"its lower half below the bottom edge, still shown", {centred.x, screen.y + screen.height - centred.height / 2},
         false, {centred.x, centred.y}},
        {"wholly in view near the corner", inView, true, inView},
    };
    // A window manager may take a while to carry out a move: each step waits
    // until the window stands where it should.
    const auto cornerIs = [&](Point at) {
        return driver->waitUntil([&] { const Rect r = driver->clientRect(*window); return Point{r.x, r.y} == at; },
                                 10'000);
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        driver->moveWindow(*window, row.at);
        ASSERT_TRUE(cornerIs(row.at)) << "the test could not move the window there";
        if (row.hiddenFirst) window->hide();
        window->show();
        EXPECT_TRUE(cornerIs(row.shownAt));
        const Rect shown = driver->clientRect(*window);
        EXPECT_EQ((Point{shown.x, shown.y}), row.shownAt);
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_P(ToolkitConformance, TimerRunsWhileEnabledAndNeverAfterItIsDisabled) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    EXPECT_TRUE(window->isEnabled(Tick));
    EXPECT_FALSE(window->isEnabled(Idle));
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.count("tick") >= 3; }, kBound));
    EXPECT_EQ(recorder.count("idle"), 0) << "a timer described as stopped ran";

    window->setEnabled(Idle, true);
    EXPECT_TRUE(window->isEnabled(Idle));
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.count("idle") >= 2; }, kBound));

    // Stopped from a tick, when Idle (half Tick's interval) is due as well.
    recorder.stopIdleOnTick = window.get();
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.idleWhenStopped >= 0; }, kBound));
    EXPECT_FALSE(window->isEnabled(Idle));
    const int ticks = recorder.count("tick");
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.count("tick") >= ticks + 3; }, kBound));
    EXPECT_EQ(recorder.count("idle"), recorder.idleWhenStopped);
}

TEST_P(ToolkitConformance, SlowHandlerLeavesNoBacklog) {
    Recorder recorder;
    recorder.driver = driver.get();
    recorder.slowTicks = 1;  // 350 ms: three more ticks fall due meanwhile
    auto window = driver->toolkit().create(kWindow, recorder);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.tickStarts.size() >= 4; }, kBound));
    // The next tick may come at once; a backlog would bring the two after it
    // at once too. Timers never fire early, so a busy machine only adds to this.
    EXPECT_GE(recorder.tickStarts[3] - recorder.tickEnds[0], 90);
}

TEST_P(ToolkitConformance, UnloadStopsTimersAndEventsAndEmptiesWhatItReads) {
    Recorder recorder, witness;
    auto window = driver->toolkit().create(kWindow, recorder);
    auto other = driver->toolkit().create(kWindow, witness);
    recorder.unloadOnTick = window.get();
    window->show();
    ASSERT_TRUE(driver->waitUntil([&] { return !window->isLoaded(); }, kBound));
    EXPECT_FALSE(window->isVisible());
    driver->click(*window, Go);
    // The other window's ticks show that the unloaded one's would have come.
    const int witnessTicks = witness.count("tick");
    ASSERT_TRUE(driver->waitUntil([&] { return witness.count("tick") >= witnessTicks + 3; }, kBound));
    EXPECT_EQ(recorder.count("tick"), 1) << "the unloading tick must be the last";
    EXPECT_EQ(recorder.clicks(Go), 0);
    EXPECT_EQ(window->caption(Caption), "");
    EXPECT_FALSE(window->isEnabled(Go));
    EXPECT_FALSE(window->isEnabled(Tick));
    window->setCaption(Caption, "x");
    EXPECT_EQ(window->caption(Caption), "");
    window->show();  // does nothing on an unloaded window
    EXPECT_FALSE(window->isVisible());
}

TEST_P(ToolkitConformance, UsersCloseRequestOnlyHides) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    driver->requestClose(*window);
    ASSERT_TRUE(driver->waitUntil([&] { return !window->isVisible(); }, kBound));
    EXPECT_TRUE(window->isLoaded());
    const int ticks = recorder.count("tick");
    EXPECT_TRUE(driver->waitUntil([&] { return recorder.count("tick") >= ticks + 3; }, kBound));
    window->show();
    EXPECT_TRUE(driver->waitUntil([&] { return window->isVisible(); }, kBound));
}

TEST_P(ToolkitConformance, LoadComesOnceBeforeAnyTimer) {
    Recorder recorder;
    auto window = driver->toolkit().create(kWindow, recorder);
    driver->runUntil(*window, [&] { return recorder.count("tick") >= 2; }, kBound);
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), "load");
    EXPECT_EQ(recorder.count("load"), 1);
    EXPECT_GE(recorder.count("tick"), 2);
}

TEST_P(ToolkitConformance, PostedTasksRunOnTheInterfaceThreadInOrder) {
    const std::thread::id interfaceThread = std::this_thread::get_id();
    std::vector<int> ran;
    bool allOnInterfaceThread = true;
    Toolkit& toolkit = driver->toolkit();  // made here, on the interface thread
    std::jthread poster([&] {
        for (int i = 0; i < 5; ++i)
            toolkit.post([&, i] {
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
        driver->waitUntil([] { return false; }, kBound);
        std::exit(0);  // not reached when the failure ends the program
    };
    const auto failingTask = [this] {
        driver->toolkit().post([] { throw std::system_error(std::make_error_code(std::errc::io_error), "探测失败"); });
        driver->waitUntil([] { return false; }, kBound);
        std::exit(0);
    };
    // The error number and its text; checked apart, as the report spans lines.
    EXPECT_EXIT(failingTick(), testing::ExitedWithCode(1), "运行时错误 '5'");
    EXPECT_EXIT(failingTick(), testing::ExitedWithCode(1), "探测失败");
    EXPECT_EXIT(failingTask(), testing::ExitedWithCode(1), "运行时错误 '5'");
}

}  // namespace
}  // namespace quorvex::test
