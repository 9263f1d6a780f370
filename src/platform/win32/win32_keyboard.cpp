// What the toolkit does with keys before they reach a control: key preview,
// and Tab between the tab stops.
#include "platform/win32/win32_toolkit.h"

namespace quorvex {

// Key preview: the window hears a character before its focused control does.
// False when the window's handler destroyed that control (by unloading).
bool Win32Toolkit::previewCharacter(const MSG& msg) {
    if (msg.message != WM_CHAR) return true;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    const Win32Window* window = root != msg.hwnd ? Win32Window::fromHandle(root) : nullptr;
    if (!window || !window->desc().keyPreview) return true;
    WindowEvents& events = window->events_;
    const int charCode = int(msg.wParam);
    dispatch([&] { events.keyPress(charCode); });
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

}  // namespace quorvex
