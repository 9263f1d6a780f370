#include "platform/win32/win32_window.h"

#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {

bool keyboardWithAnotherProgram() {
    const HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    return foreground && GetWindowThreadProcessId(foreground, &process) && process != GetCurrentProcessId();
}

int heldButtons(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? kLeftButton : 0) | ((keys & MK_RBUTTON) ? kRightButton : 0) |
           ((keys & MK_MBUTTON) ? kMiddleButton : 0);
}

// Takes a monitor's rectangle out of the region of what no monitor shows.
BOOL CALLBACK removeMonitor(HMONITOR, HDC, LPRECT monitor, LPARAM unseen) {
    const HRGN shown = CreateRectRgnIndirect(monitor);
    CombineRgn(reinterpret_cast<HRGN>(unseen), reinterpret_cast<HRGN>(unseen), shown, RGN_DIFF);
    DeleteObject(shown);
    return TRUE;
}

}  // namespace

Win32Window::Win32Window(Win32Toolkit& toolkit, const WindowDesc& desc, WindowEvents& events)
    : toolkit_(toolkit), desc_(desc), events_(events) {
    for (const ControlDesc& control : desc.controls)
        if (control.kind == ControlKind::Picture) toolkit.picture(control.picture);

    hwnd_ = CreateWindowExW(windowExStyle(desc), kWindowClass, toWide(desc.title).c_str(), windowStyle(desc),
                            0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) throw lastWin32Failure("CreateWindowExW");
    try {
        setUp();
    } catch (...) {
        DestroyWindow(hwnd_);
        throw;
    }
}

Win32Window::~Win32Window() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Win32Window::setUp() {
    setIcons();
    controls_.emplace(toolkit_, desc_, hwnd_);
    layout(windowDpi(hwnd_));
    if (desc_.centred) centre();
}

void Win32Window::setIcons() {
    if (desc_.icon.empty()) return;
    const std::wstring icon = toWide(desc_.icon);
    for (const auto& [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int size = GetSystemMetrics(metric);
        const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), icon.c_str(), IMAGE_ICON, size, size, LR_SHARED);
        if (!image) throw lastWin32Failure("LoadImageW");
        SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(image));
    }
}

void Win32Window::centre() {
    MONITORINFO monitor{.cbSize = sizeof(MONITORINFO)};
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    const RECT& screen = monitor.rcMonitor;
    SetWindowPos(hwnd_, nullptr, screen.left + (screen.right - screen.left - (frame.right - frame.left)) / 2,
                 screen.top + (screen.bottom - screen.top - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Whether the monitors show every part of the window, its frame included.
bool Win32Window::liesOnTheScreens() const {
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    const HRGN unseen = CreateRectRgnIndirect(&frame);
    EnumDisplayMonitors(nullptr, nullptr, removeMonitor, reinterpret_cast<LPARAM>(unseen));
    RECT box;
    const bool seen = GetRgnBox(unseen, &box) == NULLREGION;
    DeleteObject(unseen);
    return seen;
}

// Sizes the window and places its controls for `dpi`, with fonts made for it.
void Win32Window::layout(UINT dpi) {
    RECT frame = toPixels(Box{0, 0, desc_.clientWidth, desc_.clientHeight}, dpi);
    adjustWindowRect(frame, windowStyle(desc_), windowExStyle(desc_), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (controls_) controls_->layout(dpi);
}

void Win32Window::registerClass() {
    registerWindowClass({
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32Window::windowProc,
        .hInstance = GetModuleHandleW(nullptr),
        .hCursor = LoadCursorW(nullptr, IDC_ARROW),
        .hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        .lpszClassName = kWindowClass,
    });
}

Win32Window* Win32Window::fromHandle(HWND hwnd) {
    wchar_t className[std::size(kWindowClass)];
    if (!hwnd || !GetClassNameW(hwnd, className, int(std::size(className))) ||
        std::wstring_view(className) != kWindowClass)
        return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Win32Window::show() {
    if (!hwnd_) return;
    if (!liesOnTheScreens()) centre();
    if (!desc_.stayOnTop) {
        ShowWindow(hwnd_, SW_SHOW);
        return;
    }
    // Above the other topmost windows too. The keyboard stays with another
    // program's window that has it; where none has, the window takes it, as a
    // window shown without it is one Wine leaves to itself, unmanaged and
    // without the window manager's moves.
    const UINT keepKeyboard = keyboardWithAnotherProgram() ? SWP_NOACTIVATE : 0;
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | keepKeyboard);
}

void Win32Window::hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

// Destroying the window ends its timers and drops its queued messages.
void Win32Window::unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool Win32Window::isVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

HWND Win32Window::controlWindow(ControlId id) const { return hwnd_ ? controls_->controlWindow(id) : nullptr; }

std::string Win32Window::caption(ControlId id) const { return hwnd_ ? controls_->caption(id) : std::string(); }

void Win32Window::setCaption(ControlId id, std::string_view text) {
    if (hwnd_) controls_->setCaption(id, text);
}

bool Win32Window::isEnabled(ControlId id) const { return hwnd_ && controls_->isEnabled(id); }

void Win32Window::setEnabled(ControlId id, bool enabled) {
    if (hwnd_) controls_->setEnabled(id, enabled);
}

// The move the system runs for a title bar grabbed by the mouse; it returns
// when the button is released. Failures are ignored: the window stays put.
// Each move needs its own press on the window's surface: a mouse move queued
// before the release, or one that still claims the button after a move the
// window manager ran (Wine then misses the release), must not start another,
// or the window would follow the mouse until the next click.
void Win32Window::dragByTitleBar() {
    if (!pressedOnSurface_) return;
    pressedOnSurface_ = false;
    ReleaseCapture();
    SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Win32Window::raiseLoadOnce() {
    if (loadRaised_ || !hwnd_) return;
    loadRaised_ = true;
    toolkit_.dispatch([this] { events_.load(); });
}

void Win32Window::previewKey(int charCode) {
    WindowEvents& events = events_;
    toolkit_.dispatch([&] { events.keyPress(charCode); });
}

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
        const std::optional<ControlId> timer = controls_ ? controls_->runningTimer(wParam) : std::nullopt;
        if (timer) toolkit.dispatch([&] { events.timer(*timer); });
        return true;
    }
    case WM_COMMAND: {
        const std::optional<ControlId> control = controls_ ? controls_->clicked(wParam, lParam) : std::nullopt;
        if (!control) return false;
        toolkit.dispatch([&] { events.click(*control); });
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
        if (controls_) controls_->drawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
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
