// A desktop of the test's own for the real program: an X server (Xvfb on a
// free display), a window manager, and what the X server says about the
// windows of the processes the test started.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"

class QImage;
struct xcb_connection_t;

namespace quorvex::test {

struct XWindow {
    std::uint32_t id = 0;
    int x = 0, y = 0;  // client area, relative to the screen
    int width = 0, height = 0;
    std::vector<std::string> states;  // _NET_WM_STATE atom names
    bool hasState(const std::string& name) const;
};

class XDesktop {
public:
    // Starts Xvfb on a display it finds free, and openbox when asked. A
    // resizable screen is Xephyr's, shown on a hidden Xvfb: RandR (xrandr -s)
    // changes its size.
    explicit XDesktop(bool withWindowManager, bool resizableScreen = false);
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

    // A window of this test's own, maximised and mapped, with a plain white
    // background: another program's window the user works in.
    std::uint32_t openMaximisedWindow();
    // The window the window manager says has the keyboard; 0 for none.
    std::uint32_t activeWindow() const;

    // Runs a command on this display (input with xdotool), under a timeout
    // so that nothing it waits for can hang the test; returns its exit status.
    int run(const std::vector<std::string>& argv) const;
    // Sends the window's owner a _NET_WM_PING and waits for its answer: the
    // owner has then handled every event the server gave it before, and the
    // server every request the owner made before answering.
    bool ping(const XWindow& window, std::chrono::milliseconds timeout = 20s);

private:
    std::uint32_t atom(const char* name) const;
    std::string atomName(std::uint32_t atom) const;

    Child host_;  // the server a nested one shows on
    Child server_;
    Child windowManager_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t pings_ = 0;
};

// How many distinct colours an image holds, sampling every other pixel.
std::size_t distinctColours(const QImage& image);

}  // namespace quorvex::test
