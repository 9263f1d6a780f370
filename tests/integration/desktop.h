// A desktop of the test's own for the real program: an X server (Xvfb on a
// free display), a window manager, child processes the test started, and what
// the X server says about their windows.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QImage;
struct xcb_connection_t;

namespace quorvex::test {

using namespace std::chrono_literals;

// A process this test started. Ended (SIGTERM, then SIGKILL) and reaped when
// it goes out of scope; nothing else is ever signalled.
class ChildProcess {
public:
    ChildProcess() = default;
    // Starts argv[0] (searched on PATH) with `environment`, in `directory` when
    // given, with its output appended to `log` when given.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::filesystem::path& directory = {}, const std::filesystem::path& log = {},
                 std::optional<int> keepOpenFd = std::nullopt);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    bool running();
    // Waits up to `timeout` for the process to end; true when it did.
    bool waitForExit(std::chrono::milliseconds timeout);
    // Exit status once ended (as waitpid reports it).
    std::optional<int> status() const { return status_; }
    void stop();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct XWindow {
    std::uint32_t id = 0;
    int x = 0, y = 0;  // client area, relative to the screen
    int width = 0, height = 0;
    std::vector<std::string> states;  // _NET_WM_STATE atom names
    bool hasState(const std::string& name) const;
};

class XDesktop {
public:
    // Starts Xvfb on a display it finds free, and openbox when asked.
    explicit XDesktop(bool withWindowManager);
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    const std::string& display() const { return display_; }
    // This process's environment, pointed at this desktop's display.
    std::vector<std::string> environment() const;

    // The mapped (viewable) top-level windows a process has put on screen.
    std::vector<XWindow> mappedWindowsOf(pid_t pid) const;
    // The screen's pixels under a window's client area.
    QImage grab(const XWindow& window) const;

    // Runs a command on this display (input with xdotool), under `timeout`
    // so that nothing it waits for can hang the test; returns its exit status.
    int run(std::vector<std::string> argv) const;

private:
    std::uint32_t atom(const char* name) const;
    std::string atomName(std::uint32_t atom) const;

    ChildProcess server_;
    ChildProcess windowManager_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
};

// This process's environment.
std::vector<std::string> inheritedEnvironment();

// Runs a command to its end, killed after `timeout` so that nothing it waits
// for can hang the test; its output is appended to `log` when given. Returns
// its exit status, or -1 when it did not exit by itself.
int runCommand(std::vector<std::string> argv, const std::vector<std::string>& environment,
               std::chrono::seconds timeout, const std::filesystem::path& log = {});

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A fresh directory that is removed with everything in it at the end.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& prefix);
    ~TemporaryDirectory();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// How many distinct colours an image holds, sampling every other pixel.
std::size_t distinctColours(const QImage& image);

}  // namespace quorvex::test
