// The toolkit's window classes, registered once per program, and the window
// of the toolkit behind a handle.
#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {

void registerClass(const WNDCLASSEXW& windowClass) {
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw lastWin32Failure("RegisterClassExW");
}

}  // namespace

void Win32Toolkit::registerWindowClasses() {
    registerClass({
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32Window::windowProc,
        .hInstance = GetModuleHandleW(nullptr),
        .hCursor = LoadCursorW(nullptr, IDC_ARROW),
        .hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        .lpszClassName = kWindowClass,
    });
    registerClass({
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32Toolkit::tasksProc,
        .hInstance = GetModuleHandleW(nullptr),
        .lpszClassName = kTasksClass,
    });
}

Win32Window* Win32Window::fromHandle(HWND hwnd) {
    wchar_t className[std::size(kWindowClass)];
    if (!hwnd || !GetClassNameW(hwnd, className, int(std::size(className))) ||
        std::wstring_view(className) != kWindowClass)
        return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace quorvex
