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
#include <vector>

#include "desktop.h"
#include "support/geometry.h"
#include "temp_folder.h"
#include "ui/form1_layout.h"
#include "ui/splash_layout.h"
#include "watched_names_lock.h"

namespace quorvex::test {

// A control's centre in the client area, in pixels.
template <std::size_t N>
std::pair<int, int> centreOf(const std::array<ControlDesc, N>& controls, std::string_view name) {
    const Box box = boxInWindow(controls, controlIndex(controls, name));
    return {twipsToPixels(box.left + box.width / 2), twipsToPixels(box.top + box.height / 2)};
}

class ProgramOnX : public testing::Test {
protected:
    using Clock = std::chrono::steady_clock;
    // How long anything the program does may take on a busy machine: a bound
    // on waiting for an event, never a measure of speed (bench/ has those).
    static constexpr auto kEventBound = 30s;
    // A program's start-up (Qt, the CJK fonts) is the slowest of them.
    static constexpr auto kStartBound = 90s;

    virtual bool withWindowManager() const { return true; }
    // A screen the test can resize (xrandr -s), on Xephyr.
    virtual bool withResizableScreen() const { return false; }
    // The program's command line after its name.
    virtual std::vector<std::string> arguments() const { return {}; }

    // Brings up the desktop and the program, and waits for its splash.
    void SetUp() override;
    // On failure: the program's output, and any other copy of it running.
    void TearDown() override;

    std::filesystem::path log() const { return work.path() / "quorvex.log"; }

    std::optional<XWindow> windowOfSize(int width, int height);
    std::optional<XWindow> splash();
    std::optional<XWindow> mainWindow();
    bool nothingMapped();

    // Where startWorm puts the worms: a folder named like a Chinese user's USB
    // drive, a space and characters beyond ASCII.
    std::filesystem::path wormFolder() const { return work.path() / "U盘 病毒"; }
    // A copy of a harmless program under a worm's name, running from wormFolder().
    Child startWorm(const std::string& name);

    void click(const XWindow& window, std::pair<int, int> at);
    void key(const std::string& name);
    // Waits until the program has handled every input it was given so far.
    void awaitInputHandled(const XWindow& window);

    // The window's pixels once painted, kept for a person to look at.
    void screenshot(const XWindow& window, const std::string& name);

    // A worm that the program must kill, bringing up its main window; `what`
    // names the worm in messages.
    XWindow awaitDetection(Child worm, const std::string& what);
    XWindow detect(const std::string& wormName) { return awaitDetection(startWorm(wormName), wormName); }

    // Command1 on the shown main window puts a directory where the worm's file was.
    void cleanUp(const XWindow& shown, const std::filesystem::path& worm);

    void waitForTheSplashToGo();

    // Held first and released last: no other tree's guard or worms meanwhile.
    WatchedNamesLock machineWide;
    // Its name shows in the main window, and so in the README's pictures.
    TempFolder work{"quorvex-demo-"};
    std::optional<XDesktop> desktop;
    Child program;
    Clock::time_point programStarted;  // just before it was
    Clock::time_point splashSeen;
};

}  // namespace quorvex::test
