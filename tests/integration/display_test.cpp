// The installed program where the desktop is not plain X: no display at all,
// a DISPLAY naming no server, and a Wayland session with Xwayland (weston).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "watched_names_lock.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// This process's environment without any display or platform choice.
std::vector<std::string> environmentWithoutDisplays() {
    return withVariables(inheritedEnvironment(),
                         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "XDG_SESSION_TYPE"});
}

// A display number no X server listens on.
std::string absentDisplay() {
    int number = 99;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
    return ":" + std::to_string(number);
}

TEST(ProgramWithoutDisplay, SaysSoInOneLineAndStillKillsAWorm) {
    const WatchedNamesLock machineWide;
    for (const std::string& display : {std::string(), absentDisplay()}) {
        SCOPED_TRACE(display.empty() ? "DISPLAY unset" : "DISPLAY=" + display);
        TempFolder work{"quorvex no display "};
        std::vector<std::string> environment = environmentWithoutDisplays();
        if (!display.empty()) environment.push_back("DISPLAY=" + display);
        const fs::path log = work.path() / "quorvex.log";
        Child program(QUORVEX_PROGRAM, {}, {.environment = environment, .log = log});
        ASSERT_TRUE(waitUntil([&] { return contentsOf(log).find("无法打开显示") != std::string::npos; }, 10s))
            << contentsOf(log);

        const fs::path worm = work.path() / "WinSvcs.exe";
        fs::copy_file("/bin/sleep", worm);
        Child wormProcess(worm, {"60"}, {.environment = environment});
        EXPECT_TRUE(wormProcess.waitForExit(10s)) << "the worm was not killed";
        EXPECT_TRUE(program.running()) << contentsOf(log);
    }
}

// Any program of the user may take the session's lock first: unless it is a
// guard, the program guards all the same.
TEST(ProgramWithoutDisplay, ALockHeldByAnotherProgramDoesNotKeepItFromGuarding) {
    const WatchedNamesLock machineWide;
    TempFolder work{"quorvex squatted "};
    std::vector<std::string> environment = environmentWithoutDisplays();
    environment.push_back("XDG_RUNTIME_DIR=" + work.path().string());
    environment.push_back("XDG_SESSION_ID=squatted");
    // This test holds the session's lock, as a squatter would.
    const fs::path lock = work.path() / ("quorvex-" + std::to_string(::geteuid()) + "-XDG_SESSION_ID_squatted.lock");
    const int squatter = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_TRUE(squatter >= 0 && ::flock(squatter, LOCK_EX | LOCK_NB) == 0) << lock;

    const fs::path log = work.path() / "quorvex.log";
    Child program(QUORVEX_PROGRAM, {}, {.environment = environment, .log = log});
    const fs::path worm = work.path() / "WinSvcs.exe";
    fs::copy_file("/bin/sleep", worm);
    Child wormProcess(worm, {"60"}, {.environment = environment});
    EXPECT_TRUE(diedOfSigkill(wormProcess.waitForExit(30s))) << "the worm was not killed\n" << contentsOf(log);
    EXPECT_TRUE(program.running()) << contentsOf(log);
    ::close(squatter);
}

// weston with Xwayland in a runtime folder of its own; its X display is read
// from its log.
class Weston {
public:
    Weston() {
        fs::permissions(runtime_.path(), fs::perms::owner_all, fs::perm_options::replace);
        server_ = Child("weston",
                        {"--backend=headless-backend.so", "--xwayland", "--socket=wayland-test", "--width=1280",
                         "--height=800", "--log=" + log().string()},
                        {.environment = runtimeEnvironment(), .log = runtime_.path() / "weston.out"});
        const std::regex listening("xserver listening on display (:[0-9]+)");
        waitUntil(
            [&] {
                std::smatch match;
                const std::string text = contentsOf(log());
                if (std::regex_search(text, match, listening)) x_ = match[1];
                return !x_.empty();
            },
            10s);
    }
    // Empty when weston did not come up.
    const std::string& x() const { return x_; }
    std::vector<std::string> sessionEnvironment() const {
        std::vector<std::string> environment = runtimeEnvironment();
        environment.push_back("XDG_SESSION_TYPE=wayland");  // Qt then prefers Wayland by itself
        environment.push_back("WAYLAND_DISPLAY=wayland-test");
        environment.push_back("DISPLAY=" + x_);
        return environment;
    }
    fs::path log() const { return runtime_.path() / "weston.log"; }

private:
    std::vector<std::string> runtimeEnvironment() const {
        std::vector<std::string> environment = environmentWithoutDisplays();
        environment.push_back("XDG_RUNTIME_DIR=" + runtime_.path().string());
        return environment;
    }

    TempFolder runtime_{"quorvex weston "};
    Child server_;
    std::string x_;
};

TEST(ProgramInAWaylandSession, ShowsItsWindowsOnXwayland) {
    const WatchedNamesLock machineWide;
    Weston weston;
    ASSERT_FALSE(weston.x().empty()) << "weston did not start:\n" << contentsOf(weston.log());
    const auto environment = weston.sessionEnvironment();
    TempFolder work{"quorvex wayland "};
    Child program(QUORVEX_PROGRAM, {}, {.environment = environment, .log = work.path() / "quorvex.log"});
    // The windows as the X server sees them: only the xcb platform puts them there.
    const fs::path found = work.path() / "windows.txt";
    const auto xWindowsShow = [&](const std::string& size) {
        return waitUntil(
            [&] {
                fs::remove(found);
                runCommand({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(program.pid()), "--class",
                            "quorvex", "getwindowgeometry", "%@"},
                           10s, {.environment = environment, .log = found});
                return contentsOf(found).find("Geometry: " + size) != std::string::npos;
            },
            20s);
    };
    EXPECT_TRUE(xWindowsShow("492x283")) << "no splash on X\n" << contentsOf(work.path() / "quorvex.log");

    const fs::path worm = work.path() / "WinSvcs.exe";
    fs::copy_file("/bin/sleep", worm);
    Child wormProcess(worm, {"60"}, {.environment = environment});
    EXPECT_TRUE(wormProcess.waitForExit(10s)) << "the worm was not killed";
    EXPECT_TRUE(xWindowsShow("610x281")) << "no main window on X\n" << contentsOf(found);
}

}  // namespace
}  // namespace quorvex::test
