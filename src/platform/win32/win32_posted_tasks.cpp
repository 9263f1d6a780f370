// Tasks posted from any thread, run from the message loop: a message to a
// message-only window wakes the loop for them.
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {
constexpr UINT kRunPostedTasks = WM_APP;
}  // namespace

void Win32Toolkit::createTasksWindow() {
    tasksWindow_ = CreateWindowExW(0, kTasksClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!tasksWindow_) throw lastWin32Failure("CreateWindowExW");
    SetWindowLongPtrW(tasksWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Win32Toolkit::post(std::function<void()> task) {
    // One message wakes the loop for every task queued before it runs.
    if (posted_.push(std::move(task))) PostMessageW(tasksWindow_, kRunPostedTasks, 0, 0);
}

LRESULT CALLBACK Win32Toolkit::tasksProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* toolkit = reinterpret_cast<Win32Toolkit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != kRunPostedTasks || !toolkit) return DefWindowProcW(hwnd, message, wParam, lParam);
    toolkit->runPostedTasks();
    return 0;
}

// Runs what was posted so far; tasks that these post come with their own message.
void Win32Toolkit::runPostedTasks() {
    for (const auto& task : posted_.takeAll()) dispatch(task);
}

}  // namespace quorvex
