#include "platform/win32/win32_controls.h"

#include <algorithm>
#include <numeric>

#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

Win32Controls::Win32Controls(Win32Toolkit& toolkit, const WindowDesc& desc, HWND window)
    : toolkit_(toolkit),
      desc_(desc),
      window_(window),
      controls_(desc.controls.size(), nullptr),
      timersRunning_(desc.controls.size(), false),
      fonts_(desc.controls.size()) {
    for (const ControlDesc& control : desc.controls) captions_.emplace_back(control.text);
    // Creation order is tab order; frames then go to the back, behind what they hold.
    std::vector<ControlId> order(desc.controls.size());
    std::iota(order.begin(), order.end(), ControlId{0});
    std::ranges::stable_sort(order, [](int a, int b) { return unsigned(a) < unsigned(b); },
                             [&](ControlId id) { return desc.controls[id].tabIndex; });
    for (const ControlId id : order) create(id);
    for (ControlId id = 0; id < controls_.size(); ++id)
        if (desc.controls[id].kind == ControlKind::Frame)
            SetWindowPos(controls_[id], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Controls::create(ControlId id) {
    const ControlDesc& control = desc_.controls[id];
    if (control.kind == ControlKind::Timer) {
        if (control.running) startTimer(id);
        return;
    }
    const ControlClass kind = controlClass(control);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style | (control.enabled ? 0 : WS_DISABLED);
    controls_[id] = CreateWindowExW(0, kind.className, toWide(control.text).c_str(), style, 0, 0, 0, 0, window_,
                                    reinterpret_cast<HMENU>(std::uintptr_t(kFirstControlId + id)),
                                    GetModuleHandleW(nullptr), nullptr);
    if (!controls_[id]) throw lastWin32Failure("CreateWindowExW");
}

void Win32Controls::startTimer(ControlId id) {
    if (!SetTimer(window_, id + 1, UINT(desc_.controls[id].intervalMs), nullptr)) throw lastWin32Failure("SetTimer");
    timersRunning_[id] = true;
}

// Labels and pictures notify clicks only to keep the mouse to themselves.
bool Win32Controls::raisesClicks(ControlId id) const {
    const ControlKind kind = desc_.controls[id].kind;
    return kind == ControlKind::Button || kind == ControlKind::Frame;
}

std::optional<ControlId> Win32Controls::clicked(WPARAM wParam, LPARAM lParam) const {
    const ControlId id = ControlId(LOWORD(wParam) - kFirstControlId);
    if (HIWORD(wParam) != BN_CLICKED || id >= controls_.size() || controls_[id] != reinterpret_cast<HWND>(lParam) ||
        !raisesClicks(id))
        return std::nullopt;
    return id;
}

std::optional<ControlId> Win32Controls::runningTimer(WPARAM timerId) const {
    const ControlId id = ControlId(timerId - 1);
    if (id >= timersRunning_.size() || !timersRunning_[id]) return std::nullopt;
    return id;
}

void Win32Controls::setCaption(ControlId id, std::string_view text) {
    captions_.at(id) = text;
    if (!controls_[id]) return;
    SetWindowTextW(controls_[id], toWide(text).c_str());
    if (desc_.controls[id].autoSize) fitToText(id);
}

bool Win32Controls::isEnabled(ControlId id) const {
    if (timersRunning_.at(id)) return true;
    const HWND control = controls_[id];
    return control && IsWindowEnabled(control);
}

void Win32Controls::setEnabled(ControlId id, bool enabled) {
    const bool running = timersRunning_.at(id);
    if (desc_.controls[id].kind != ControlKind::Timer) {
        EnableWindow(controls_[id], enabled);
    } else if (enabled && !running) {
        startTimer(id);
    } else if (!enabled && running) {
        // A WM_TIMER already queued stays queued: the flag drops it.
        KillTimer(window_, id + 1);
        timersRunning_[id] = false;
    }
}

void Win32Controls::layout(UINT dpi) {
    dpi_ = dpi;
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
void Win32Controls::fitToText(ControlId id) {
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
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    const int left = desc_.controls[id].align == Align::Right ? rect.right - extent.right : rect.left;
    MoveWindow(control, left, rect.top, extent.right, extent.bottom, TRUE);
}

// A picture at its natural size, or stretched into its box.
void Win32Controls::drawPicture(const DRAWITEMSTRUCT& item) const {
    const ControlDesc& control = desc_.controls[item.CtlID - kFirstControlId];
    const Picture& picture = toolkit_.picture(control.picture);
    const RECT& box = item.rcItem;
    // Natural size is the picture's size at 96 dpi, scaled like everything else.
    const int width = control.stretch ? box.right - box.left : MulDiv(picture.size.cx, int(dpi_), USER_DEFAULT_SCREEN_DPI);
    const int height = control.stretch ? box.bottom - box.top : MulDiv(picture.size.cy, int(dpi_), USER_DEFAULT_SCREEN_DPI);

    const HDC source = CreateCompatibleDC(item.hDC);
    const HGDIOBJ previous = SelectObject(source, picture.bitmap.get());
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, box.left, box.top, width, height, source, 0, 0, picture.size.cx, picture.size.cy,
               SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

}  // namespace quorvex
