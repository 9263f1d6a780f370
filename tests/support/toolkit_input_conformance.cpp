// The toolkit contract's input: clicks, keys and mouse moves.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "toolkit_conformance.h"
#include "toolkit_probe.h"

namespace quorvex::test {
namespace {

using namespace probe;

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

}  // namespace
}  // namespace quorvex::test
