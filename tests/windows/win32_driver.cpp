#include "win32_driver.h"

#include <cstdio>
#include <utility>

#include "platform/windows/system/wide_text.h"

namespace quorvex::test {

namespace {

void sendInput(INPUT input) { SendInput(1, &input, sizeof(INPUT)); }

void sendKey(WORD virtualKey, DWORD flags) {
    INPUT input{.type = INPUT_KEYBOARD};
    input.ki = {.wVk = virtualKey, .dwFlags = flags};
    sendInput(input);
}

// The key that makes each Key, with its flags: the arrows and Delete are keys
// of their own, not the keypad's. Ctrl+C is C with Ctrl held.
std::pair<WORD, DWORD> virtualKeyOf(Key key) {
    switch (key) {
    case Key::A: return {'A', 0};
    case Key::Digit5: return {'5', 0};
    case Key::Space: return {VK_SPACE, 0};
    case Key::Enter: return {VK_RETURN, 0};
    case Key::Escape: return {VK_ESCAPE, 0};
    case Key::Backspace: return {VK_BACK, 0};
    case Key::CtrlC: return {'C', 0};
    case Key::Shift: return {VK_SHIFT, 0};
    case Key::Left: return {VK_LEFT, KEYEVENTF_EXTENDEDKEY};
    case Key::Delete: return {VK_DELETE, KEYEVENTF_EXTENDEDKEY};
    case Key::F5: return {VK_F5, 0};
    }
    return {0, 0};
}

// The texts of the message box's static controls, in order.
std::string messageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM collected) CALLBACK {
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
        [](HWND window, LPARAM result) CALLBACK {
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
    const UINT_PTR stopper = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
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
    const Rect box = controlRect(window, control);
    clickAt(window, {box.x + box.width / 2, box.y + box.height / 2});
}

void Win32Driver::clickAt(Window& window, Point at) {
    if (!window.isVisible()) return;
    moveMouseTo(window, at);
    pressButtons(kLeftButton, true);
    pressButtons(kLeftButton, false);
}

void Win32Driver::moveMouse(Window& window, Point from, Point to, int buttons) {
    moveMouseTo(window, from);
    pressButtons(buttons, true);
    moveMouseTo(window, to);
    pressButtons(buttons, false);
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

void Win32Driver::moveWindow(Window& window, Point at) {
    const HWND hwnd = static_cast<Win32Window&>(window).hwnd();
    RECT frame;
    GetWindowRect(hwnd, &frame);
    const Rect client = clientRect(window);
    SetWindowPos(hwnd, nullptr, at.x - (client.x - frame.left), at.y - (client.y - frame.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Driver::moveMouseTo(Window& window, Point client) {
    POINT screen{client.x, client.y};
    ClientToScreen(static_cast<Win32Window&>(window).hwnd(), &screen);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{.type = INPUT_MOUSE};
    input.mi = {.dx = LONG((screen.x * 65536 + width / 2) / width), .dy = LONG((screen.y * 65536 + height / 2) / height),
                .dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE};
    sendInput(input);
}

void Win32Driver::pressButtons(int buttons, bool down) {
    struct Flags {
        int button;
        DWORD press, release;
    };
    static constexpr Flags kFlags[] = {{kLeftButton, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                                       {kRightButton, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                       {kMiddleButton, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP}};
    for (const Flags& flags : kFlags) {
        if (!(buttons & flags.button)) continue;
        INPUT input{.type = INPUT_MOUSE};
        input.mi.dwFlags = down ? flags.press : flags.release;
        sendInput(input);
    }
}

void Win32Driver::pressKey(WORD virtualKey, DWORD flags) {
    sendKey(virtualKey, flags);
    sendKey(virtualKey, flags | KEYEVENTF_KEYUP);
}

void Win32Driver::pressKey(Window& window, Key key) {
    if (GetForegroundWindow() != static_cast<Win32Window&>(window).hwnd()) activate(window);
    const auto [virtualKey, flags] = virtualKeyOf(key);
    if (key == Key::CtrlC) sendKey(VK_CONTROL, 0);
    pressKey(virtualKey, flags);
    if (key == Key::CtrlC) sendKey(VK_CONTROL, KEYEVENTF_KEYUP);
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
