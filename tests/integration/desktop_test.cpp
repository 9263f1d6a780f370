// The real program on an X server of the test's own, with a window manager:
// its windows as the server sees them, driven with xdotool, against real
// processes and files.
#include <filesystem>
#include <optional>
#include <thread>

#include "program_on_x.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// The program's own tests: splash, detection, drag and hide, cleanup.
class QuorvexOnX : public ProgramOnX {
protected:
    void dragHideAndDetectAgain();
};

TEST_F(QuorvexOnX, StartsWithTheSplashAloneThenShowsNothingAndKeepsRunning) {
    const XWindow shown = *splash();
    EXPECT_FALSE(mainWindow()) << "Form1 must stay hidden at start-up";
    EXPECT_TRUE(shown.hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    screenshot(shown, "splash.png");

    std::this_thread::sleep_until(splashSeen + 2500ms);
    EXPECT_TRUE(splash()) << "the splash went before its 3 seconds";
    std::this_thread::sleep_until(splashSeen + 3500ms);
    EXPECT_TRUE(nothingMapped());
    EXPECT_TRUE(program.running());
}

TEST_F(QuorvexOnX, SplashClosesOnACharacterKeyOnly) {
    for (const char* nonCharacter : {"Shift_L", "Left", "F5", "Delete"}) {
        key(nonCharacter);
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(splash()) << nonCharacter << " closed the splash";
    }
    key("q");
    EXPECT_TRUE(waitUntil([&] { return !splash(); }, 1s));
    EXPECT_LT(Clock::now() - splashSeen, 2900ms) << "too slow to tell the key from the timer";
    EXPECT_TRUE(program.running());
}

TEST_F(QuorvexOnX, SplashClosesOnAClickOnItsFrameOnly) {
    const XWindow shown = *splash();
    for (const char* control : {"Label1", "imgLogo", "lblCompany"}) {
        click(shown, centreOf(splash::kControls, control));
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(splash()) << "a click on " << control << " closed the splash";
    }
    click(shown, {3, shown.height / 2});  // the margin left of the frame
    std::this_thread::sleep_for(150ms);
    EXPECT_TRUE(splash()) << "a click on the margin closed the splash";

    click(shown, {20, 20});  // inside the frame, above every control
    EXPECT_TRUE(waitUntil([&] { return !splash(); }, 1s));
    EXPECT_LT(Clock::now() - splashSeen, 2900ms) << "too slow to tell the click from the timer";
}

TEST_F(QuorvexOnX, WormIsEndedAndTheMainWindowComesBackWithoutTaskbarButton) {
    waitForTheSplashToGo();
    const XWindow first = detect("WinSvcs.exe");
    EXPECT_TRUE(first.hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    screenshot(first, "main.png");

    click(first, centreOf(form1::kControls, "Command2"));
    EXPECT_TRUE(waitUntil([&] { return !mainWindow(); }, 2s)) << "Command2 did not hide Form1";
    EXPECT_TRUE(program.running());

    const XWindow second = detect("VolDriver.exe");
    EXPECT_EQ(std::pair(second.x, second.y), std::pair(first.x, first.y));
    EXPECT_TRUE(second.hasState("_NET_WM_STATE_SKIP_TASKBAR")) << "lost after a hide and a second show";
}

// Drags the main window by its surface, hides it, brings it back with a new worm.
void QuorvexOnX::dragHideAndDetectAgain() {
    const XWindow shown = detect("winsvcs.exe");
    const int x = shown.x + 10, y = shown.y + 10;  // left of the logo: the window's own surface
    ASSERT_EQ(desktop->run({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "mousedown", "1",
                            "sleep", "0.2", "mousemove", std::to_string(x + 3), std::to_string(y + 2), "sleep",
                            "0.3", "mousemove", std::to_string(x + 83), std::to_string(y + 52), "sleep", "0.3",
                            "mouseup", "1"}),
              0);
    std::optional<XWindow> moved;
    ASSERT_TRUE(waitUntil([&] { return (moved = mainWindow()) && moved->x != shown.x; }, 2s)) << "no drag";
    // The window follows the mouse, give or take the first step that started the move.
    EXPECT_NEAR(moved->x - shown.x, 83, 4);
    EXPECT_NEAR(moved->y - shown.y, 52, 4);

    click(*moved, centreOf(form1::kControls, "Command2"));
    ASSERT_TRUE(waitUntil([&] { return !mainWindow(); }, 2s));
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

TEST_F(QuorvexOnX, CleanupReplacesTheWormFileWithADirectory) {
    // Detected while the splash is still up: the main window comes up beside it.
    const XWindow shown = detect("DriveMgr.exe");
    const fs::path worm = work.path() / "DriveMgr.exe";
    cleanUp(shown, worm);
}

}  // namespace
}  // namespace quorvex::test
