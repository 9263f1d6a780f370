#include "toolkit_conformance.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quorvex::test {
namespace {

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

Point centreOf(const Rect& rect) { return {rect.x + rect.width / 2, rect.y + rect.height / 2}; }

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

TEST_P(ToolkitConformance, OnlyEnabledButtonsAndFramesRaiseClicks) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    driver->click(*window, Go);
    driver->click(*window, Box);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Box) == 1; }, kBound));
    EXPECT_EQ(recorder.clicks(Go), 1);

    window->setEnabled(Go, false);
    driver->click(*window, Go);
    driver->click(*window, Caption);
    driver->click(*window, Logo);
    driver->click(*window, Inner);
    driver->clickAt(*window, kMargin);  // the window's, beside the frame
    // Input arrives in order: once the frame has its click, the others were handled.
    driver->click(*window, Box);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Box) == 2; }, kBound));
    EXPECT_EQ(recorder.clicks(Go), 1);
    EXPECT_EQ(recorder.clicks(Caption), 0);
    EXPECT_EQ(recorder.clicks(Logo), 0);
    EXPECT_EQ(recorder.clicks(Inner), 0);

    window->setEnabled(Go, true);
    driver->click(*window, Go);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Go) == 2; }, kBound));
    const std::string go = "click " + std::to_string(Go), box = "click " + std::to_string(Box);
    EXPECT_EQ(recorder.input(), (std::vector<std::string>{go, box, box, go}));

    // A frame's click may unload its window, as the splash's does.
    recorder.unloadOnInput = window.get();
    driver->click(*window, Box);
    EXPECT_TRUE(driver->waitUntil([&] { return !window->isLoaded(); }, kBound));
}

TEST_P(ToolkitConformance, KeyPreviewWindowHearsCharacterKeysBeforeItsFocusedButton) {
    Recorder recorder;
    auto window = open(kPreviewWindow, recorder);
    for (const Key key : {Key::A, Key::Shift, Key::Digit5, Key::Left, Key::Enter, Key::F5, Key::Escape,
                          Key::Delete, Key::Backspace, Key::CtrlC, Key::Space})
        driver->pressKey(*window, key);
    // Space comes last: the focused button takes it as its click, once the
    // window has heard it. The codes are those of the character message.
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Go) == 1; }, kBound));
    EXPECT_EQ(recorder.input(), (std::vector<std::string>{"key 97", "key 53", "key 13", "key 27", "key 8", "key 3",
                                                          "key 32", "click " + std::to_string(Go)}));

    // A key's handler may unload its window, as the splash's does.
    recorder.unloadOnInput = window.get();
    driver->pressKey(*window, Key::A);
    EXPECT_TRUE(driver->waitUntil([&] { return !window->isLoaded(); }, kBound));
}

TEST_P(ToolkitConformance, WithoutKeyPreviewKeysTypedOnTheFocusedButtonAreNotTheWindows) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    driver->pressKey(*window, Key::A);
    driver->pressKey(*window, Key::Space);  // the button's click shows the letter was handled
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Go) == 1; }, kBound));
    EXPECT_EQ(recorder.input(), (std::vector<std::string>{"click " + std::to_string(Go)}));
}

TEST_P(ToolkitConformance, MouseMovesOnTheSurfaceCarryTheHeldButtons) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    const Point to{kSurface.x + 4, kSurface.y + 3};
    const int buttonSets[] = {0, kLeftButton, kRightButton, kMiddleButton, kLeftButton | kRightButton,
                              kLeftButton | kMiddleButton, kRightButton | kMiddleButton,
                              kLeftButton | kRightButton | kMiddleButton};
    for (const int buttons : buttonSets) {
        const std::size_t before = recorder.moves.size();
        driver->moveMouse(*window, kSurface, to, buttons);
        const auto since = [&] { return std::span(recorder.moves).subspan(before); };
        EXPECT_TRUE(driver->waitUntil([&] { return std::ranges::count(since(), buttons) > 0; }, kBound))
            << "no move with buttons " << buttons;
        for (const int held : since()) EXPECT_EQ(held & ~buttons, 0) << "a move claimed buttons " << held;
    }
}

TEST_P(ToolkitConformance, MovesOverControlsAreNotTheWindows) {
    Recorder recorder;
    auto window = open(kWindow, recorder);
    // Once the button's click has come, the mouse is on a control and every
    // move before it was handled.
    driver->click(*window, Go);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Go) == 1; }, kBound));
    const std::size_t before = recorder.moves.size();
    for (const ControlId control : {Caption, Go, Logo, Inner, Box}) {
        const Rect box = driver->controlRect(*window, control);
        const Point corner{box.x + 3, box.y + 3};
        driver->moveMouse(*window, corner, centreOf(box), 0);
        driver->moveMouse(*window, corner, centreOf(box), kLeftButton);
    }
    driver->click(*window, Box);
    ASSERT_TRUE(driver->waitUntil([&] { return recorder.clicks(Box) >= 1; }, kBound));
    EXPECT_EQ(recorder.moves.size(), before);
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
