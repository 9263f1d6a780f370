#include "platform/win32/win32_window.h"

#include <algorithm>
#include <numeric>

#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

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

void Win32Window::setUp() {
    if (!desc_.icon.empty()) {
        const std::wstring icon = toWide(desc_.icon);
        for (const auto& [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
            const int size = GetSystemMetrics(metric);
            const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), icon.c_str(), IMAGE_ICON, size, size, LR_SHARED);
            if (!image) throw lastWin32Failure("LoadImageW");
            SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(image));
        }
    }
    createControls();
    layout(windowDpi(hwnd_));

    if (desc_.centred) {
        MONITORINFO monitor{.cbSize = sizeof(MONITORINFO)};
        GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        RECT frame;
        GetWindowRect(hwnd_, &frame);
        const RECT& screen = monitor.rcMonitor;
        SetWindowPos(hwnd_, nullptr,
                     screen.left + (screen.right - screen.left - (frame.right - frame.left)) / 2,
                     screen.top + (screen.bottom - screen.top - (frame.bottom - frame.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Win32Window::~Win32Window() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Win32Window::createControls() {
    controls_.assign(desc_.controls.size(), nullptr);
    timersRunning_.assign(desc_.controls.size(), false);
    for (const ControlDesc& control : desc_.controls) captions_.emplace_back(control.text);
    fonts_.resize(desc_.controls.size());
    // Creation order is tab order; frames then go to the back, behind what they hold.
    std::vector<ControlId> order(desc_.controls.size());
    std::iota(order.begin(), order.end(), ControlId{0});
    std::ranges::stable_sort(order, [](int a, int b) { return unsigned(a) < unsigned(b); },
                             [&](ControlId id) { return desc_.controls[id].tabIndex; });
    for (const ControlId id : order) {
        const ControlDesc& control = desc_.controls[id];
        if (control.kind == ControlKind::Timer) {
            if (control.running) startTimer(id);
            continue;
        }
        const ControlClass kind = controlClass(control);
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style | (control.enabled ? 0 : WS_DISABLED);
        controls_[id] = CreateWindowExW(0, kind.className, toWide(control.text).c_str(), style, 0, 0, 0, 0, hwnd_,
                                        reinterpret_cast<HMENU>(std::uintptr_t(kFirstControlId + id)),
                                        GetModuleHandleW(nullptr), nullptr);
        if (!controls_[id]) throw lastWin32Failure("CreateWindowExW");
    }
    for (ControlId id = 0; id < controls_.size(); ++id)
        if (desc_.controls[id].kind == ControlKind::Frame)
            SetWindowPos(controls_[id], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Window::startTimer(ControlId id) {
    if (!SetTimer(hwnd_, id + 1, UINT(desc_.controls[id].intervalMs), nullptr)) throw lastWin32Failure("SetTimer");
    timersRunning_[id] = true;
}

// Labels and pictures notify clicks only to keep the mouse to themselves.
bool Win32Window::raisesClicks(ControlId id) const {
    const ControlKind kind = desc_.controls[id].kind;
    return kind == ControlKind::Button || kind == ControlKind::Frame;
}

// Sizes the window and places its controls for `dpi`, with fonts made for it.
void Win32Window::layout(UINT dpi) {
    dpi_ = dpi;
    RECT frame = toPixels(Box{0, 0, desc_.clientWidth, desc_.clientHeight}, dpi);
    adjustWindowRect(frame, windowStyle(desc_), windowExStyle(desc_), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (ControlId id = 0; id < controls_.size(); ++id) {
        if (!controls_[id]) continue;
        const ControlDesc& control = desc_.controls[id];
        const RECT rect = toPixels(boxInWindow(desc_.controls, id), dpi);
        UniqueFont font = makeFont(control.font, dpi);
        SendMessageW(controls_[id], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        fonts_[id] = std::move(font);
        MoveWindow(controls_[id], rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
        if (control.autoSize) fitToText(id);
    }
}

// A self-sizing label takes its text's extent, keeping the edge it is aligned to.
void Win32Window::fitToText(ControlId id) {
    const HWND control = controls_[id];
    const std::wstring text = toWide(caption(id));
    const HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, fonts_[id].get());
    RECT extent{};
    DrawTextW(dc, text.c_str(), int(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);

    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
    const int left = desc_.controls[id].align == Align::Right ? rect.right - extent.right : rect.left;
    MoveWindow(control, left, rect.top, extent.right, extent.bottom, TRUE);
}

void Win32Window::show() {
    if (hwnd_) ShowWindow(hwnd_, SW_SHOW);
}

void Win32Window::hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

// Destroying the window ends its timers and drops its queued messages.
void Win32Window::unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool Win32Window::isVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

HWND Win32Window::controlWindow(ControlId id) const { return hwnd_ ? controls_.at(id) : nullptr; }

std::string Win32Window::caption(ControlId id) const { return hwnd_ ? captions_.at(id) : std::string(); }

void Win32Window::setCaption(ControlId id, std::string_view text) {
    if (!hwnd_) return;
    captions_.at(id) = text;
    if (!controls_[id]) return;
    SetWindowTextW(controls_[id], toWide(text).c_str());
    if (desc_.controls[id].autoSize) fitToText(id);
}

bool Win32Window::isEnabled(ControlId id) const {
    if (!hwnd_) return false;
    if (timersRunning_.at(id)) return true;
    const HWND control = controls_[id];
    return control && IsWindowEnabled(control);
}

void Win32Window::setEnabled(ControlId id, bool enabled) {
    if (!hwnd_) return;
    const bool running = timersRunning_.at(id);
    if (desc_.controls[id].kind != ControlKind::Timer) {
        EnableWindow(controls_[id], enabled);
    } else if (enabled && !running) {
        startTimer(id);
    } else if (!enabled && running) {
        // A WM_TIMER already queued stays queued: the flag drops it.
        KillTimer(hwnd_, id + 1);
        timersRunning_[id] = false;
    }
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

}  // namespace quorvex
