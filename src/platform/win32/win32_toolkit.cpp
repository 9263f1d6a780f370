#include "platform/win32/win32_toolkit.h"

#include <objbase.h>

#include <algorithm>

#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {

BOOL CALLBACK unloadWindow(HWND hwnd, LPARAM) {
    if (Win32Window* window = Win32Window::fromHandle(hwnd)) window->unload();
    return TRUE;
}

}  // namespace

Win32Toolkit::Win32Toolkit() {
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    Win32Window::registerClass();
}

Win32Toolkit::~Win32Toolkit() {
    pictures_.clear();
    if (comInitialized_) CoUninitialize();
}

std::unique_ptr<Window> Win32Toolkit::create(const WindowDesc& desc, WindowEvents& events) {
    return std::make_unique<Win32Window>(*this, desc, events);
}

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

const Picture& Win32Toolkit::picture(std::string_view asset) {
    auto found = pictures_.find(asset);
    if (found == pictures_.end()) found = pictures_.emplace(std::string(asset), loadResourcePicture(asset)).first;
    return found->second;
}

void Win32Toolkit::handleMessage(MSG& msg) {
    if (moveFocusOnTab(msg)) return;
    TranslateMessage(&msg);
    if (previewCharacter(msg)) DispatchMessageW(&msg);
}

// Key preview: the window hears a character before its focused control does.
// False when the window's handler destroyed that control (by unloading).
bool Win32Toolkit::previewCharacter(const MSG& msg) {
    if (msg.message != WM_CHAR) return true;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Win32Window* window = root != msg.hwnd ? Win32Window::fromHandle(root) : nullptr;
    if (!window || !window->desc().keyPreview) return true;
    window->previewKey(int(msg.wParam));
    return IsWindow(msg.hwnd) != FALSE;
}

// Tab and Shift+Tab move between a window's tab stops, in tab order.
bool Win32Toolkit::moveFocusOnTab(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (!Win32Window::fromHandle(root)) return false;
    const bool backwards = GetKeyState(VK_SHIFT) < 0;
    const HWND next = GetNextDlgTabItem(root, GetFocus() == root ? nullptr : GetFocus(), backwards);
    if (!next) return false;
    SetFocus(next);
    return true;
}

// The program file's name without its extension, until run() names the
// start-up window's title instead.
std::wstring Win32Toolkit::programName() {
    wchar_t module[MAX_PATH];
    const std::wstring_view path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    const std::wstring_view file = path.substr(path.find_last_of(L"\\/") + 1);
    return std::wstring(file.substr(0, file.rfind(L'.')));
}

void Win32Toolkit::showReport(const std::string& message) const {
    MessageBoxW(nullptr, toWide(message).c_str(), reportTitle_.c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace quorvex
