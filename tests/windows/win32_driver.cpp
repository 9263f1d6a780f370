#include "win32_driver.h"

#include <cstdio>

#include "platform/windows/wide_text.h"

namespace quorvex::test {

namespace {

void sendInput(INPUT input) { SendInput(1, &input, sizeof(INPUT)); }

// The texts of the message box's static controls, in order.
std::string messageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM collected) {
            wchar_t className[16];
            GetClassNameW(child, className, 16);
            if (CompareStringOrdinal(className, -1, L"Static", -1, TRUE) == CSTR_EQUAL) {
                wchar_t part[1024];
                if (GetWindowTextW(child, part, 1024) > 0) *reinterpret_cast<std::wstring*>(collected) += part;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return toUtf8(text);
}

HWND findMessageBox(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM result) {
            wchar_t className[16];
            if (IsWindowVisible(window) && GetClassNameW(window, className, 16) &&
                std::wstring_view(className) == L"#32770") {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

Win32Driver::Win32Driver()
    : messageBoxCloser_([uiThread = GetCurrentThreadId()](std::stop_token stop) {
          while (!stop.stop_requested()) {
              if (const HWND box = findMessageBox(uiThread)) {
                  std::fprintf(stderr, "message box: %s\n", messageBoxText(box).c_str());
                  std::fflush(stderr);
                  PostMessageW(box, WM_COMMAND, IDOK, 0);
                  return;
              }
              Sleep(20);
          }
      }) {}

void Win32Driver::wait(int ms) {
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(ms);
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        toolkit_.processPendingEvents();
    }
    toolkit_.processPendingEvents();
}

bool Win32Driver::waitUntil(const std::function<bool()>& done, int boundMs) {
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(boundMs);
    toolkit_.processPendingEvents();
    for (ULONGLONG now = GetTickCount64(); !done() && now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        toolkit_.processPendingEvents();
    }
    return done();
}

namespace {
// What the running loop checks on each stopper tick (a timer procedure has no context).
std::function<bool()> stopWhen;
}  // namespace

void Win32Driver::runUntil(Window& startup, const std::function<bool()>& done, int boundMs) {
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(boundMs);
    stopWhen = [&] { return done() || GetTickCount64() >= deadline; };
    const UINT_PTR stopper = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        if (stopWhen()) PostQuitMessage(0);
    });
    toolkit_.run(startup);
    KillTimer(nullptr, stopper);
    // The stopper may have asked more than once: leave no quit for the next loop.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    stopWhen = nullptr;
}

void Win32Driver::requestClose(Window& window) {
    activate(window);
    typeAltF4();
}

void typeAltF4() {
    INPUT keys[4]{};
    for (INPUT& key : keys) key.type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[3].ki.wVk = VK_MENU;
    keys[1].ki.wVk = keys[2].ki.wVk = VK_F4;
    keys[2].ki.dwFlags = keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, keys, sizeof(INPUT));
}

void Win32Driver::click(Window& window, ControlId control) {
    if (!window.isVisible()) return;
    moveMouseTo(window, control);
    pressLeftButton(true);
    pressLeftButton(false);
}

Rect Win32Driver::clientRect(Window& window) {
    const HWND hwnd = static_cast<Win32Window&>(window).hwnd();
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    RECT client;
    GetClientRect(hwnd, &client);
    return {origin.x, origin.y, client.right, client.bottom};
}

Rect Win32Driver::controlRect(Window& window, ControlId control) {
    auto& win32 = static_cast<Win32Window&>(window);
    RECT rect;
    GetWindowRect(win32.controlWindow(control), &rect);
    MapWindowPoints(nullptr, win32.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void Win32Driver::moveMouseTo(Window& window, ControlId control) {
    const Rect box = controlRect(window, control);
    moveMouseTo(window, POINT{box.x + box.width / 2, box.y + box.height / 2});
}

void Win32Driver::moveMouseTo(Window& window, POINT client) {
    ClientToScreen(static_cast<Win32Window&>(window).hwnd(), &client);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{.type = INPUT_MOUSE};
    input.mi = {.dx = LONG((client.x * 65536 + width / 2) / width), .dy = LONG((client.y * 65536 + height / 2) / height),
                .dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE};
    sendInput(input);
}

void Win32Driver::pressLeftButton(bool down) {
    INPUT input{.type = INPUT_MOUSE};
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    sendInput(input);
}

void Win32Driver::pressKey(WORD virtualKey) {
    INPUT input{.type = INPUT_KEYBOARD};
    input.ki.wVk = virtualKey;
    sendInput(input);
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    sendInput(input);
}

void Win32Driver::activate(Window& window) {
    SetForegroundWindow(static_cast<Win32Window&>(window).hwnd());
    wait(100);
}

std::unique_ptr<ToolkitDriver> makeWin32Driver() { return std::make_unique<Win32Driver>(); }

std::wstring programPath() {
    wchar_t path[MAX_PATH];
    const std::wstring_view tests(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring relative = std::wstring(tests.substr(0, tests.find_last_of(L"\\/") + 1)) + L"" QUORVEX_PROGRAM;
    wchar_t full[MAX_PATH];
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return full;
}

}  // namespace quorvex::test
