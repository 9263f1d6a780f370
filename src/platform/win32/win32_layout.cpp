#include "platform/win32/win32_layout.h"

#include <cmath>

#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"
#include "support/geometry.h"

namespace quorvex {

namespace {

constexpr int kPointsPerInch = 72;

// Texts without a font of their own: a face that shows Chinese with Latin.
constexpr Font kDefaultFont{"微软雅黑", 9, kGb2312Charset, 400};

// Functions of Windows 10 and later, looked up so the program still starts on
// older systems (which then scale by the system DPI).
template <typename Function>
Function* user32Function(const char* name) {
    return reinterpret_cast<Function*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

void registerWindowClass(const WNDCLASSEXW& windowClass) {
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw lastWin32Failure("RegisterClassExW");
}

UINT windowDpi(HWND hwnd) {
    static const auto getDpiForWindow = user32Function<UINT WINAPI(HWND)>("GetDpiForWindow");
    if (getDpiForWindow) return getDpiForWindow(hwnd);
    const HDC dc = GetDC(hwnd);
    const UINT dpi = UINT(GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(hwnd, dc);
    return dpi;
}

void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto adjustForDpi =
        user32Function<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (adjustForDpi)
        adjustForDpi(&rect, style, FALSE, exStyle, dpi);
    else
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

RECT toPixels(const Box& box, UINT dpi) {
    const Rect rect = twipsToPixels(box, int(dpi));
    return {rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
}

UniqueFont makeFont(const Font& wanted, UINT dpi) {
    const Font& font = wanted.face.empty() ? kDefaultFont : wanted;
    const int height = -int(std::lround(font.points * dpi / kPointsPerInch));
    return UniqueFont(CreateFontW(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, BYTE(font.charset),
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, toWide(font.face).c_str()));
}

DWORD windowStyle(const WindowDesc& desc) {
    // Not WS_CLIPCHILDREN: a frame draws only its border, the window fills its inside.
    DWORD style = WS_POPUP;
    // A dialog frame gets its title bar only with a title to show in it.
    if (desc.border == Border::FixedDialog) style |= desc.title.empty() ? WS_DLGFRAME : WS_CAPTION;
    return style;
}

DWORD windowExStyle(const WindowDesc& desc) {
    return WS_EX_CONTROLPARENT | (desc.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW) |
           (desc.stayOnTop ? WS_EX_TOPMOST : 0);
}

// Labels, pictures and frames notify clicks, which also makes them take the
// mouse: moves over them are theirs, not the window's.
ControlClass controlClass(const ControlDesc& control) {
    switch (control.kind) {
    case ControlKind::Label:
        return {L"STATIC", DWORD(SS_NOTIFY | SS_NOPREFIX | (control.align == Align::Right ? SS_RIGHT : SS_LEFT))};
    case ControlKind::Button: return {L"BUTTON", DWORD(BS_PUSHBUTTON | WS_TABSTOP)};
    case ControlKind::Picture: return {L"STATIC", DWORD(SS_OWNERDRAW | SS_NOTIFY)};
    case ControlKind::Frame: return {L"STATIC", DWORD(SS_ETCHEDFRAME | SS_NOTIFY)};
    case ControlKind::Timer: break;
    }
    return {nullptr, 0};
}

}  // namespace quorvex
