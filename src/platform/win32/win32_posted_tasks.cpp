#include "platform/win32/win32_posted_tasks.h"

#include <utility>

#include "platform/win32/win32_layout.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {
constexpr wchar_t kTasksClass[] = L"QuorvexTasks";
constexpr UINT kRunPostedTasks = WM_APP;
}  // namespace

Win32PostedTasks::Win32PostedTasks(std::function<void(const std::function<void()>&)> run) : run_(std::move(run)) {
    registerWindowClass({
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32PostedTasks::windowProc,
        .hInstance = GetModuleHandleW(nullptr),
        .lpszClassName = kTasksClass,
    });
    window_ = CreateWindowExW(0, kTasksClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    if (!window_) throw lastWin32Failure("CreateWindowExW");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32PostedTasks::~Win32PostedTasks() { DestroyWindow(window_); }

void Win32PostedTasks::post(std::function<void()> task) {
    // One message wakes the loop for every task queued before it runs.
    if (queue_.push(std::move(task))) PostMessageW(window_, kRunPostedTasks, 0, 0);
}

LRESULT CALLBACK Win32PostedTasks::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* tasks = reinterpret_cast<Win32PostedTasks*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != kRunPostedTasks || !tasks) return DefWindowProcW(hwnd, message, wParam, lParam);
    tasks->runPosted();
    return 0;
}

// Runs what was posted so far; tasks that these post come with their own message.
void Win32PostedTasks::runPosted() {
    for (const auto& task : queue_.takeAll()) run_(task);
}

}  // namespace quorvex
