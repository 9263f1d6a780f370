#include "program_on_x.h"

#include <QtGui/QImage>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <iostream>
#include <iterator>

namespace quorvex::test {

namespace fs = std::filesystem;

void ProgramOnX::SetUp() {
    desktop.emplace(withWindowManager(), withResizableScreen());
    programStarted = Clock::now();
    program = Child(QUORVEX_PROGRAM, arguments(), {.environment = desktop->environment(), .directory = work.path(), .log = log()});
    ASSERT_TRUE(waitUntil([&] { return splash().has_value(); }, kStartBound)) << "the splash never showed";
    splashSeen = Clock::now();
}

void ProgramOnX::TearDown() {
    if (!HasFailure()) return;
    std::ifstream in(log());
    std::cerr << "--- program output ---\n" << std::string(std::istreambuf_iterator<char>(in), {}) << '\n';
    // Where each of its threads waits, should it hang.
    if (program.running()) {
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(program.pid()) + "/task")) {
            std::ifstream wchan(task.path() / "wchan"), stack(task.path() / "stack");
            std::cerr << "thread " << task.path().filename().string() << " waits in "
                      << std::string(std::istreambuf_iterator<char>(wchan), {}) << '\n'
                      << std::string(std::istreambuf_iterator<char>(stack), {});
        }
    }
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

std::optional<XWindow> ProgramOnX::windowOfSize(int width, int height) {
    for (const XWindow& window : desktop->mappedWindowsOf(program.pid()))
        if (window.width == width && window.height == height) return window;
    return std::nullopt;
}

std::optional<XWindow> ProgramOnX::splash() {
    return windowOfSize(twipsToPixels(splash::kWindow.clientWidth), twipsToPixels(splash::kWindow.clientHeight));
}

std::optional<XWindow> ProgramOnX::mainWindow() {
    return windowOfSize(twipsToPixels(form1::kWindow.clientWidth), twipsToPixels(form1::kWindow.clientHeight));
}

bool ProgramOnX::nothingMapped() { return desktop->mappedWindowsOf(program.pid()).empty(); }

Child ProgramOnX::startWorm(const std::string& name) {
    fs::create_directories(wormFolder());
    const fs::path path = wormFolder() / name;
    if (!fs::exists(path)) copyProgram(kSleepProgram, path);
    return Child(path, {"600"}, {.environment = desktop->environment()});
}

void ProgramOnX::click(const XWindow& window, std::pair<int, int> at) {
    ASSERT_EQ(desktop->run({"xdotool", "mousemove", std::to_string(window.x + at.first),
                            std::to_string(window.y + at.second), "click", "1"}),
              0);
}

void ProgramOnX::key(const std::string& name) { ASSERT_EQ(desktop->run({"xdotool", "key", name}), 0); }

void ProgramOnX::awaitInputHandled(const XWindow& window) {
    ASSERT_TRUE(desktop->ping(window, kEventBound)) << "the program did not answer a ping";
}

void ProgramOnX::screenshot(const XWindow& window, const std::string& name) {
    QImage image;
    EXPECT_TRUE(waitUntil([&] { return distinctColours(image = desktop->grab(window)) > 50u; }, kEventBound))
        << name << " looks blank";
    EXPECT_EQ(image.size(), QSize(window.width, window.height));
    fs::create_directories(QUORVEX_SCREENSHOTS);
    EXPECT_TRUE(image.save(QString::fromStdString(fs::path(QUORVEX_SCREENSHOTS) / name), "PNG"));
}

XWindow ProgramOnX::awaitDetection(Child worm, const std::string& what) {
    EXPECT_TRUE(worm.waitForExit(kEventBound)) << what << " still runs";
    // Killed, not ended on its own (a program that cannot start ends quickly too).
    const std::optional<int> status = worm.status();
    EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL)
        << what << " was not killed: wait status " << status.value_or(-1);
    std::optional<XWindow> shown;
    EXPECT_TRUE(waitUntil([&] { return (shown = mainWindow()).has_value(); }, kEventBound)) << "Form1 never came up";
    return shown.value_or(XWindow{});
}

void ProgramOnX::cleanUp(const XWindow& shown, const fs::path& worm) {
    ASSERT_NE(shown.id, 0u) << "no main window to click";
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(worm))) << worm;
    click(shown, centreOf(form1::kControls, "Command1"));
    EXPECT_TRUE(waitUntil([&] { return fs::is_directory(fs::symlink_status(worm)); }, kEventBound))
        << "the worm's file is still there: " << worm;
    awaitInputHandled(shown);
    EXPECT_TRUE(mainWindow()) << "the window stays up after the cleanup";
    EXPECT_TRUE(program.running());
}

void ProgramOnX::waitForTheSplashToGo() { ASSERT_TRUE(waitUntil([&] { return !splash(); }, kEventBound)); }

}  // namespace quorvex::test
