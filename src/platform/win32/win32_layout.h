// How a window description becomes Win32 windows: class and styles, pixels
// and fonts at a DPI.
#pragma once

#include <windows.h>

#include "platform/toolkit.h"
#include "platform/win32/resource_picture.h"

namespace quorvex {

inline constexpr wchar_t kWindowClass[] = L"QuorvexWindow";
// Control ids start clear of IDOK and IDCANCEL: neither button is a default
// or cancel button.
inline constexpr int kFirstControlId = 100;

// Registers a window class; one already registered (by an earlier toolkit of
// the program) is kept.
void registerWindowClass(const WNDCLASSEXW& windowClass);

// The window's DPI (the system's before Windows 10).
UINT windowDpi(HWND hwnd);
// The window rectangle around a client rectangle, at `dpi`.
void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// A box in twips as a rectangle of pixels at `dpi`.
RECT toPixels(const Box& box, UINT dpi);
// The font, or the default face for texts without one, at `dpi`.
UniqueFont makeFont(const Font& wanted, UINT dpi);

DWORD windowStyle(const WindowDesc& desc);
DWORD windowExStyle(const WindowDesc& desc);

struct ControlClass {
    const wchar_t* className;
    DWORD style;
};
ControlClass controlClass(const ControlDesc& control);

}  // namespace quorvex
