// Drives the Win32 toolkit as a user would, through the system's own input:
// time passes with the message loop running, clicks and keys are injected.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "platform/win32/win32_toolkit.h"
#include "toolkit_conformance.h"

namespace quorvex::test {

class Win32Driver final : public ToolkitDriver {
public:
    Win32Driver();

    Win32Toolkit& toolkit() override { return toolkit_; }
    void wait(int ms) override;
    bool waitUntil(const std::function<bool()>& done, int boundMs) override;
    void busy(int ms) override { Sleep(DWORD(ms)); }
    std::int64_t clockMs() override { return std::int64_t(GetTickCount64()); }
    void runUntil(Window& startup, const std::function<bool()>& done, int boundMs) override;
    void click(Window& window, ControlId control) override;
    void clickAt(Window& window, Point at) override;
    void moveMouse(Window& window, Point from, Point to, int buttons) override;
    void pressKey(Window& window, Key key) override;
    // Alt+F4 on the window, as the keyboard sends it.
    void requestClose(Window& window) override;
    Rect clientRect(Window& window) override;
    Rect controlRect(Window& window, ControlId control) override;
    Rect screenRect() override { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
    void moveWindow(Window& window, Point at) override;

    // A key press with its release, as the keyboard sends it, to whatever has the focus.
    void pressKey(WORD virtualKey, DWORD flags = 0);
    // Brings the window to the front so that it gets the keyboard.
    void activate(Window& window);

private:
    // Puts the mouse on a point of the client area.
    void moveMouseTo(Window& window, Point client);
    // Presses or releases each button of a MouseButton set.
    void pressButtons(int buttons, bool down);

    Win32Toolkit toolkit_;
    // The error report's message box would wait for a user: this closes it,
    // after writing its text to standard error as "message box: <text>".
    std::jthread messageBoxCloser_;
};

std::unique_ptr<ToolkitDriver> makeWin32Driver();

// Alt+F4 as the keyboard sends it, to whichever window has the focus.
void typeAltF4();

// The full path of the program under test (QUORVEX_PROGRAM, relative to the tests).
std::wstring programPath();

}  // namespace quorvex::test
