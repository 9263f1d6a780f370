// The toolkit's message loop, the call that runs what is pending, and the
// end of the session.
#include <algorithm>

#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {

BOOL CALLBACK unloadWindow(HWND hwnd, LPARAM) {
    if (Win32Window* window = Win32Window::fromHandle(hwnd)) window->unload();
    return TRUE;
}

}  // namespace

int Win32Toolkit::run(Window& startup) {
    auto& window = static_cast<Win32Window&>(startup);
    if (!window.desc().title.empty()) reportTitle_ = toWide(window.desc().title);
    window.raiseLoadOnce();
    MSG msg;
    while (loadedWindows_ > 0) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return int(msg.wParam);
        if (got < 0) throw lastWin32Failure("GetMessageW");
        handleMessage(msg);
    }
    return 0;
}

// Timers fall due again while handlers run: each timer's event is handled at
// most once here, or a slow handler would keep this from ever returning.
void Win32Toolkit::processPendingEvents() {
    std::vector<std::pair<HWND, WPARAM>> timersRun;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        const std::pair timer{msg.hwnd, msg.wParam};
        // A quit request is left for the loop that waits for it.
        if (msg.message == WM_QUIT || (msg.message == WM_TIMER && std::ranges::count(timersRun, timer) > 0))
            return;
        if (!PeekMessageW(&msg, msg.hwnd, msg.message, msg.message, PM_REMOVE)) continue;
        if (msg.message == WM_TIMER) timersRun.push_back(timer);
        handleMessage(msg);
    }
}

void Win32Toolkit::endSession() {
    EnumThreadWindows(GetCurrentThreadId(), unloadWindow, 0);
    PostQuitMessage(0);
}

void Win32Toolkit::handleMessage(MSG& msg) {
    if (moveFocusOnTab(msg)) return;
    TranslateMessage(&msg);
    if (previewCharacter(msg)) DispatchMessageW(&msg);
}

}  // namespace quorvex
