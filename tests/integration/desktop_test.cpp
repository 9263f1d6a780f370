// The real program on an X server of the test's own, with a window manager:
// its windows as the server sees them, driven with xdotool, against real
// processes and files.
#include <QtGui/QImage>
#include <sys/wait.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "program_on_x.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// The program's own tests: splash, detection, drag and hide, cleanup.
class QuorvexOnX : public ProgramOnX {
protected:
    void dragHideAndDetectAgain();

    // The splash's own timer closes it 3 s after the program started at the
    // earliest: an input closes it if it is gone before then. An input sent
    // later than this cannot be told from the timer (the headless splash
    // tests can, on their virtual clock).
    bool tooLateToTellFromTheTimer() const { return Clock::now() > programStarted + 1500ms; }
    // Waits for the splash to go before its timer could have closed it.
    bool splashGoesBeforeItsTimer() {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(programStarted + 3s - Clock::now());
        return waitUntil([&] { return !splash(); }, left);
    }
};

TEST_F(QuorvexOnX, StartsWithTheSplashAloneThenShowsNothingAndKeepsRunning) {
    const XWindow shown = *splash();
    EXPECT_FALSE(mainWindow()) << "Form1 must stay hidden at start-up";
    EXPECT_TRUE(shown.hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    screenshot(shown, "splash.png");

    // Started again in the same session (from the menu, beside the copy its
    // autostart entry started), it ends at once, quietly and without a window.
    const fs::path secondLog = work.path() / "second.log";
    Child second(QUORVEX_PROGRAM, {}, {.environment = desktop->environment(), .directory = work.path(), .log = secondLog});
    const auto ended = second.waitForExit(kStartBound);
    ASSERT_TRUE(ended && WIFEXITED(*ended)) << "the second copy kept running";
    EXPECT_EQ(WEXITSTATUS(*ended), 0);
    EXPECT_EQ(fs::file_size(secondLog), 0u) << "the second copy said something";

    waitForTheSplashToGo();
    // Seen late and gone early, it was still up well past two seconds.
    EXPECT_GT(Clock::now() - splashSeen, 2s) << "the splash went before its 3 seconds";
    EXPECT_TRUE(nothingMapped());
    EXPECT_TRUE(program.running());
}

TEST_F(QuorvexOnX, SplashClosesOnACharacterKeyOnly) {
    const XWindow shown = *splash();
    for (const char* nonCharacter : {"Shift_L", "Left", "F5", "Delete"}) {
        key(nonCharacter);
        awaitInputHandled(shown);
        EXPECT_TRUE(splash()) << nonCharacter << " closed the splash";
    }
    if (tooLateToTellFromTheTimer()) GTEST_SKIP() << "too slow a machine to tell the key from the splash's timer";
    key("q");
    EXPECT_TRUE(splashGoesBeforeItsTimer()) << "a character key left the splash up";
    EXPECT_TRUE(program.running());
}

TEST_F(QuorvexOnX, SplashClosesOnAClickOnItsFrameOnly) {
    const XWindow shown = *splash();
    for (const char* control : {"Label1", "imgLogo", "lblCompany"}) {
        click(shown, centreOf(splash::kControls, control));
        awaitInputHandled(shown);
        EXPECT_TRUE(splash()) << "a click on " << control << " closed the splash";
    }
    click(shown, {3, shown.height / 2});  // the margin left of the frame
    awaitInputHandled(shown);
    EXPECT_TRUE(splash()) << "a click on the margin closed the splash";

    if (tooLateToTellFromTheTimer()) GTEST_SKIP() << "too slow a machine to tell the click from the splash's timer";
    click(shown, {20, 20});  // inside the frame, above every control
    EXPECT_TRUE(splashGoesBeforeItsTimer()) << "a click on the frame left the splash up";
}

TEST_F(QuorvexOnX, WormIsEndedAndTheMainWindowComesBackWithoutTaskbarButton) {
    waitForTheSplashToGo();
    const XWindow first = detect("WinSvcs.exe");
    EXPECT_TRUE(first.hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    screenshot(first, "main.png");

    click(first, centreOf(form1::kControls, "Command2"));
    EXPECT_TRUE(waitUntil([&] { return !mainWindow(); }, kEventBound)) << "Command2 did not hide Form1";
    EXPECT_TRUE(program.running());

    const XWindow second = detect("VolDriver.exe");
    EXPECT_EQ(std::pair(second.x, second.y), std::pair(first.x, first.y));
    EXPECT_TRUE(second.hasState("_NET_WM_STATE_SKIP_TASKBAR")) << "lost after a hide and a second show";
}

// The user works in another program's maximised window when a worm comes:
// the alert comes above it, leaves it the keyboard, and stays above it when
// the user clicks into it again, until "最小化" hides the alert.
TEST_F(QuorvexOnX, AlertComesAboveAMaximisedWindowAndLeavesItTheKeyboard) {
    waitForTheSplashToGo();
    const std::uint32_t other = desktop->openMaximisedWindow();
    ASSERT_EQ(desktop->run({"xdotool", "windowactivate", std::to_string(other)}), 0);
    ASSERT_TRUE(waitUntil([&] { return desktop->activeWindow() == other; }, kEventBound));

    const XWindow shown = detect("WinSvcs.exe");
    EXPECT_TRUE(shown.hasState("_NET_WM_STATE_ABOVE"));
    awaitInputHandled(shown);
    EXPECT_EQ(desktop->activeWindow(), other) << "the alert took the keyboard";

    // The user goes back to the other window: the window manager raises it.
    ASSERT_EQ(desktop->run({"xdotool", "windowactivate", std::to_string(other)}), 0);
    EXPECT_TRUE(waitUntil([&] { return desktop->activeWindow() == other; }, kEventBound));
    awaitInputHandled(shown);
    EXPECT_GT(distinctColours(desktop->grab(shown)), 50u) << "the maximised window covers the alert";

    click(shown, centreOf(form1::kControls, "Command2"));
    EXPECT_TRUE(waitUntil([&] { return !mainWindow(); }, kEventBound)) << "Command2 did not hide Form1";
}

// Drags the main window by its surface, hides it, brings it back with a new worm.
void QuorvexOnX::dragHideAndDetectAgain() {
    const XWindow shown = detect("winsvcs.exe");
    auto mouse = [&](std::vector<std::string> steps) {
        steps.insert(steps.begin(), "xdotool");
        ASSERT_EQ(desktop->run(steps), 0);
    };
    // Left of the logo: the window's own surface.
    mouse({"mousemove", std::to_string(shown.x + 10), std::to_string(shown.y + 10), "mousedown", "1"});
    // The move starts some way into the first motions: nudge until the window follows.
    std::optional<XWindow> following;
    for (int nudge = 0; nudge < 100 && !following; ++nudge) {
        mouse({"mousemove_relative", "1", "1"});
        waitUntil([&] { return (following = mainWindow()) && following->x != shown.x; }, 200ms);
        if (following && following->x == shown.x) following.reset();
    }
    ASSERT_TRUE(following) << "the window never followed the mouse";
    // From here it follows the mouse step for step, give or take a nudge in flight.
    mouse({"mousemove_relative", "80", "50", "mouseup", "1"});
    std::optional<XWindow> moved;
    EXPECT_TRUE(waitUntil([&] { return (moved = mainWindow()) && moved->x >= following->x + 78; }, kEventBound))
        << "the window stopped following the mouse";
    ASSERT_TRUE(moved);
    awaitInputHandled(*moved);
    moved = mainWindow();
    ASSERT_TRUE(moved);
    EXPECT_NEAR(moved->x - following->x, 80, 3);
    EXPECT_NEAR(moved->y - following->y, 50, 3);

    click(*moved, centreOf(form1::kControls, "Command2"));
    ASSERT_TRUE(waitUntil([&] { return !mainWindow(); }, kEventBound));
    const XWindow again = detect("winsvcs.exe");
    EXPECT_EQ(std::pair(again.x, again.y), std::pair(moved->x, moved->y));
}

// The window manager moves the window.
TEST_F(QuorvexOnX, DraggedMainWindowComesBackWhereItWasLeft) {
    waitForTheSplashToGo();
    dragHideAndDetectAgain();
}

// No window manager to ask: the program moves the window itself.
class QuorvexOnBareX : public QuorvexOnX {
    bool withWindowManager() const override { return false; }
};

TEST_F(QuorvexOnBareX, DraggedMainWindowComesBackWhereItWasLeft) {
    waitForTheSplashToGo();
    dragHideAndDetectAgain();
}

// A screen whose resolution the test changes (xrandr -s).
class QuorvexOnResizableX : public QuorvexOnX {
protected:
    bool withResizableScreen() const override { return true; }
    void resizeScreen(int width, int height) {
        ASSERT_EQ(desktop->run({"xrandr", "-s", std::to_string(width) + "x" + std::to_string(height)}), 0);
    }
    // Resizes the screen; the next detection brings the alert back centred on it.
    void shrinkScreenAndDetect(int width, int height, const std::string& wormName, const XWindow& alert) {
        resizeScreen(width, height);
        // Once it answers, the program has read the change; once it answers
        // again, Qt has also passed the new screen on to its windows.
        awaitInputHandled(alert);
        awaitInputHandled(alert);
        detect(wormName);
        expectAlertCentredOn(width, height);
    }
    void expectAlertCentredOn(int width, int height) {
        std::optional<XWindow> shown;
        EXPECT_TRUE(waitUntil(
            [&] {
                return (shown = mainWindow()) &&
                       std::pair(shown->x, shown->y) == std::pair((width - shown->width) / 2, (height - shown->height) / 2);
            },
            kEventBound))
            << "the alert is at " << (shown ? shown->x : -1) << ", " << (shown ? shown->y : -1) << " on a screen of "
            << width << "x" << height;
    }
};

TEST_F(QuorvexOnResizableX, AlertOffAShrunkScreenComesBackCentredOnIt) {
    waitForTheSplashToGo();
    const XWindow first = detect("WinSvcs.exe");
    click(first, centreOf(form1::kControls, "Command2"));
    ASSERT_TRUE(waitUntil([&] { return !mainWindow(); }, kEventBound));
    // Hidden when the screen shrinks past its right edge: the next detection
    // shows it centred on the screen left.
    shrinkScreenAndDetect(800, 600, "VolDriver.exe", first);
    // Up when the screen shrinks past its edge again: it comes back by itself.
    resizeScreen(640, 480);
    expectAlertCentredOn(640, 480);
}

// The program has no command line, and Qt's own options on it are not taken.
class QuorvexGivenQtOptions : public QuorvexOnX {
    std::vector<std::string> arguments() const override { return {"-platform", "offscreen"}; }
};

TEST_F(QuorvexGivenQtOptions, IgnoresThemAndShowsItsSplashOnX) {
    // The set-up saw the splash on this X server: taken, the option would
    // have put it on no screen at all.
    EXPECT_TRUE(program.running());
    EXPECT_FALSE(mainWindow()) << "Form1 must stay hidden at start-up";
}

TEST_F(QuorvexOnX, CleanupReplacesTheWormFileWithADirectory) {
    // Detected while the splash is still up: the main window comes up beside it.
    const XWindow shown = detect("DriveMgr.exe");
    const fs::path worm = wormFolder() / "DriveMgr.exe";
    cleanUp(shown, worm);
}

}  // namespace
}  // namespace quorvex::test
