// The real program on an X server of the test's own, with or without a window
// manager: its windows as the server sees them, driven with xdotool, against
// real processes and files. The fixture every integration test builds on.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "desktop.h"
#include "ui/form1_layout.h"
#include "ui/splash_layout.h"

namespace quorvex::test {

// A control's centre in the client area, in pixels.
template <std::size_t N>
std::pair<int, int> centreOf(const std::array<ControlDesc, N>& controls, std::string_view name) {
    const Box box = boxInWindow(controls, controlIndex(controls, name));
    return {(box.left + box.width / 2) / kTwipsPerPixel, (box.top + box.height / 2) / kTwipsPerPixel};
}

class ProgramOnX : public testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    virtual bool withWindowManager() const { return true; }

    // Brings up the desktop and the program, and waits for its splash.
    void SetUp() override;
    // On failure: the program's output, and any other copy of it running.
    void TearDown() override;

    std::filesystem::path log() const { return work.path() / "quorvex.log"; }

    std::optional<XWindow> windowOfSize(int width, int height);
    std::optional<XWindow> splash();
    std::optional<XWindow> mainWindow();
    bool nothingMapped();

    // A copy of a harmless program under a worm's name, running from a folder
    // whose name has a space.
    ChildProcess startWorm(const std::string& name);

    void click(const XWindow& window, std::pair<int, int> at);
    void key(const std::string& name);

    // The window's pixels, kept for a person to look at.
    void screenshot(const XWindow& window, const std::string& name);

    // A worm that the program must kill within a second, bringing up its main
    // window; `what` names the worm in messages.
    XWindow awaitDetection(ChildProcess worm, const std::string& what);
    XWindow detect(const std::string& wormName) { return awaitDetection(startWorm(wormName), wormName); }

    // Command1 on the shown main window puts a directory where the worm's file was.
    void cleanUp(const XWindow& shown, const std::filesystem::path& worm);

    void waitForTheSplashToGo();

    TemporaryDirectory work{"quorvex integration "};
    std::optional<XDesktop> desktop;
    ChildProcess program;
    Clock::time_point splashSeen;
};

}  // namespace quorvex::test
