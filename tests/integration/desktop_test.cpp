// The real program on an X server of the test's own, with a window manager:
// its windows as the server sees them, driven with xdotool, against real
// processes and files.
#include <QtGui/QImage>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <thread>

#include "desktop.h"
#include "ui/form1_layout.h"
#include "ui/splash_layout.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A control's centre in the client area, in pixels; controls inside a frame
// are placed from the frame's corner.
template <std::size_t N>
std::pair<int, int> centreOf(const std::array<ControlDesc, N>& controls, std::string_view name) {
    const ControlDesc& control = controls[controlIndex(controls, name)];
    int left = control.box.left, top = control.box.top;
    if (!control.parent.empty()) {
        const Box& frame = controls[controlIndex(controls, control.parent)].box;
        left += frame.left;
        top += frame.top;
    }
    return {(left + control.box.width / 2) / kTwipsPerPixel, (top + control.box.height / 2) / kTwipsPerPixel};
}

class QuorvexOnX : public testing::Test {
protected:
    virtual bool withWindowManager() const { return true; }

    void SetUp() override {
        desktop.emplace(withWindowManager());
        program = ChildProcess({QUORVEX_PROGRAM}, desktop->environment(), work.path(), log());
        ASSERT_TRUE(waitUntil([&] { return splash().has_value(); }, 10s)) << "the splash never showed";
        splashSeen = Clock::now();
    }

    void TearDown() override {
        if (!HasFailure()) return;
        std::ifstream in(log());
        std::cerr << "--- program output ---\n" << std::string(std::istreambuf_iterator<char>(in), {}) << '\n';
        // Any copy of the program ends every worm on the machine, and shows its
        // window for worms it did not start.
        for (const auto& entry : fs::directory_iterator("/proc", fs::directory_options::skip_permission_denied)) {
            std::error_code unreadable;
            const fs::path image = fs::read_symlink(entry.path() / "exe", unreadable);
            if (!unreadable && image.filename() == fs::path(QUORVEX_PROGRAM).filename() &&
                entry.path().filename() != std::to_string(program.pid()))
                std::cerr << "another copy of the program runs beside this test: pid "
                          << entry.path().filename().string() << " (" << image.string() << ")\n";
        }
    }

    fs::path log() const { return work.path() / "quorvex.log"; }

    std::optional<XWindow> windowOfSize(int width, int height) {
        for (const XWindow& window : desktop->mappedWindowsOf(program.pid()))
            if (window.width == width && window.height == height) return window;
        return std::nullopt;
    }
    std::optional<XWindow> splash() {
        return windowOfSize(splash::kWindow.clientWidth / kTwipsPerPixel, splash::kWindow.clientHeight / kTwipsPerPixel);
    }
    std::optional<XWindow> mainWindow() {
        return windowOfSize(form1::kWindow.clientWidth / kTwipsPerPixel, form1::kWindow.clientHeight / kTwipsPerPixel);
    }
    bool nothingMapped() { return desktop->mappedWindowsOf(program.pid()).empty(); }

    // A copy of a harmless program under a worm's name, running from a folder
    // whose name has a space.
    ChildProcess startWorm(const std::string& name) {
        const fs::path path = work.path() / name;
        if (!fs::exists(path)) fs::copy_file("/bin/sleep", path);
        return ChildProcess({path.string(), "60"}, desktop->environment());
    }

    void click(const XWindow& window, std::pair<int, int> at) {
        ASSERT_EQ(desktop->run({"xdotool", "mousemove", std::to_string(window.x + at.first),
                                std::to_string(window.y + at.second), "click", "1"}),
                  0);
    }

    void key(const std::string& name) { ASSERT_EQ(desktop->run({"xdotool", "key", name}), 0); }

    // The window's pixels, kept for a person to look at.
    void screenshot(const XWindow& window, const std::string& name) {
        std::this_thread::sleep_for(300ms);  // let it paint
        const QImage image = desktop->grab(window);
        EXPECT_EQ(image.size(), QSize(window.width, window.height));
        EXPECT_GT(distinctColours(image), 50u) << name << " looks blank";
        fs::create_directories(QUORVEX_SCREENSHOTS);
        EXPECT_TRUE(image.save(QString::fromStdString(fs::path(QUORVEX_SCREENSHOTS) / name), "PNG"));
    }

    // A worm that the program must end within a second, bringing up its main window.
    XWindow detect(const std::string& wormName) {
        ChildProcess worm = startWorm(wormName);
        EXPECT_TRUE(worm.waitForExit(1s)) << wormName << " still runs after 1 s";
        std::optional<XWindow> shown;
        EXPECT_TRUE(waitUntil([&] { return (shown = mainWindow()).has_value(); }, 2s)) << "Form1 never came up";
        return shown.value_or(XWindow{});
    }

    void waitForTheSplashToGo() { ASSERT_TRUE(waitUntil([&] { return !splash(); }, 4s)); }
    void dragHideAndDetectAgain();

    TemporaryDirectory work{"quorvex integration "};
    std::optional<XDesktop> desktop;
    ChildProcess program;
    Clock::time_point splashSeen;
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
    ASSERT_TRUE(fs::is_regular_file(worm));

    click(shown, centreOf(form1::kControls, "Command1"));
    EXPECT_TRUE(waitUntil([&] { return fs::is_directory(worm); }, 2s)) << "the worm's file is still there";
    EXPECT_TRUE(mainWindow()) << "the window stays up after the cleanup";
    EXPECT_TRUE(program.running());
}

}  // namespace
}  // namespace quorvex::test
