#include "platform/win32/win32_toolkit.h"

#include <objbase.h>

namespace quorvex {

Win32Toolkit::Win32Toolkit() : reportTitle_(programName()) {
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    registerWindowClasses();
    createTasksWindow();
}

Win32Toolkit::~Win32Toolkit() {
    DestroyWindow(tasksWindow_);
    pictures_.clear();
    if (comInitialized_) CoUninitialize();
}

std::unique_ptr<Window> Win32Toolkit::create(const WindowDesc& desc, WindowEvents& events) {
    return std::make_unique<Win32Window>(*this, desc, events);
}

}  // namespace quorvex
