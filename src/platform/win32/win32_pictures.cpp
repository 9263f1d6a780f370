// The program's pictures: decoded once from its resources, drawn by the
// picture controls at natural size or stretched into their boxes.
#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"

namespace quorvex {

const Picture& Win32Toolkit::picture(std::string_view asset) {
    auto found = pictures_.find(asset);
    if (found == pictures_.end()) found = pictures_.emplace(std::string(asset), loadResourcePicture(asset)).first;
    return found->second;
}

void Win32Window::drawPicture(const DRAWITEMSTRUCT& item) {
    const Picture& picture = toolkit_.picture(desc_.controls[item.CtlID - kFirstControlId].picture);
    const bool stretch = desc_.controls[item.CtlID - kFirstControlId].stretch;
    const RECT& box = item.rcItem;
    // Natural size is the picture's size at 96 dpi, scaled like everything else.
    const int width = stretch ? box.right - box.left : MulDiv(picture.size.cx, int(dpi_), USER_DEFAULT_SCREEN_DPI);
    const int height = stretch ? box.bottom - box.top : MulDiv(picture.size.cy, int(dpi_), USER_DEFAULT_SCREEN_DPI);

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
