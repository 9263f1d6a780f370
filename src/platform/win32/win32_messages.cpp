// What a window of the Win32 toolkit does with its messages.
#include "platform/win32/win32_window.h"

#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"

namespace quorvex {

namespace {

int heldButtons(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? kLeftButton : 0) | ((keys & MK_RBUTTON) ? kRightButton : 0) |
           ((keys & MK_MBUTTON) ? kMiddleButton : 0);
}

}  // namespace

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        ++window->toolkit_.loadedWindows_;
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (window && (window->onInput(message, wParam, lParam) || window->onEndRequest(message, wParam, result) ||
                   window->onWindowMessage(message, wParam, lParam, result)))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Messages that raise an event. Handlers run last in each case: one may
// unload this window, or destroy it.
bool Win32Window::onInput(UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Toolkit& toolkit = toolkit_;
    WindowEvents& events = events_;
    switch (message) {
    case WM_TIMER: {
        const ControlId id = ControlId(wParam - 1);
        if (id >= timersRunning_.size() || !timersRunning_[id]) return true;
        toolkit.dispatch([&] { events.timer(id); });
        return true;
    }
    case WM_COMMAND: {
        const ControlId id = ControlId(LOWORD(wParam) - kFirstControlId);
        if (HIWORD(wParam) != BN_CLICKED || id >= controls_.size() || controls_[id] != reinterpret_cast<HWND>(lParam) ||
            !raisesClicks(id))
            return false;
        toolkit.dispatch([&] { events.click(id); });
        return true;
    }
    case WM_CHAR:
        toolkit.dispatch([&] { events.keyPress(int(wParam)); });
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        pressedOnSurface_ = message == WM_LBUTTONDOWN;
        return false;
    case WM_MOUSEMOVE: {
        const int buttons = heldButtons(wParam);
        toolkit.dispatch([&] { events.mouseMove(buttons); });
        return true;
    }
    default:
        return false;
    }
}

// The user's close, another program's end request and the session's end.
bool Win32Window::onEndRequest(UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
    case WM_SYSCOMMAND:
        // The user's close (Alt+F4, the window manager's close button) only hides.
        if ((wParam & 0xFFF0) != SC_CLOSE) return false;
        hide();
        return true;
    case WM_CLOSE:
        // Another program's polite end request (taskkill without /f): the program ends.
        PostQuitMessage(0);
        return true;
    case WM_QUERYENDSESSION:
        result = TRUE;  // the guard never holds up a log-off or shut-down
        return true;
    case WM_ENDSESSION:
        // The system may end the process as soon as this returns.
        if (wParam) toolkit_.endSession();
        return true;
    default:
        return false;
    }
}

// Drawing, focus, DPI, and the window's end.
bool Win32Window::onWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // Labels on the window's own colour, as buttons and the window are.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    case WM_DRAWITEM:
        drawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) return false;
        focusFirstTabStop();
        return true;
    case WM_DPICHANGED:
        layout(HIWORD(wParam));
        moveTo(*reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        --toolkit_.loadedWindows_;
        return false;
    default:
        return false;
    }
}

// As a form does: the first tab stop takes the focus, else the window.
void Win32Window::focusFirstTabStop() {
    const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    SetFocus(first ? first : hwnd_);
}

void Win32Window::moveTo(const RECT& frame) {
    SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quorvex
