#include "platform/windows/win32_toolkit.h"

#include <objbase.h>

#include <algorithm>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/win32_layout.h"

namespace quorvex {

namespace {

constexpr wchar_t kTasksClass[] = L"QuorvexTasks";
constexpr UINT kRunPostedTasks = WM_APP;

Win32Window* windowFromHandle(HWND hwnd) {
    wchar_t className[std::size(kWindowClass)];
    if (!hwnd || !GetClassNameW(hwnd, className, int(std::size(className))) ||
        std::wstring_view(className) != kWindowClass)
        return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

Win32Toolkit::Win32Toolkit() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialized_ = SUCCEEDED(com);

    const WNDCLASSEXW windowClass{
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32Window::windowProc,
        .hInstance = GetModuleHandleW(nullptr),
        .hCursor = LoadCursorW(nullptr, IDC_ARROW),
        .hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        .lpszClassName = kWindowClass,
    };
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw lastWin32Failure("RegisterClassExW");
    const WNDCLASSEXW tasksClass{
        .cbSize = sizeof(WNDCLASSEXW),
        .lpfnWndProc = &Win32Toolkit::tasksProc,
        .hInstance = GetModuleHandleW(nullptr),
        .lpszClassName = kTasksClass,
    };
    if (!RegisterClassExW(&tasksClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw lastWin32Failure("RegisterClassExW");

    wchar_t module[MAX_PATH];
    const std::wstring_view path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    reportTitle_ = path.substr(path.find_last_of(L"\\/") + 1);
    reportTitle_ = reportTitle_.substr(0, reportTitle_.rfind(L'.'));

    tasksWindow_ = CreateWindowExW(0, kTasksClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!tasksWindow_) throw lastWin32Failure("CreateWindowExW");
    SetWindowLongPtrW(tasksWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Toolkit::~Win32Toolkit() {
    DestroyWindow(tasksWindow_);
    pictures_.clear();
    if (comInitialized_) CoUninitialize();
}

std::unique_ptr<Window> Win32Toolkit::create(const WindowDesc& desc, WindowEvents& events) {
    return std::make_unique<Win32Window>(*this, desc, events);
}

const Picture& Win32Toolkit::picture(std::string_view asset) {
    auto found = pictures_.find(asset);
    if (found == pictures_.end()) found = pictures_.emplace(std::string(asset), loadResourcePicture(asset)).first;
    return found->second;
}

int Win32Toolkit::run(Window& startup) {
    auto& window = static_cast<Win32Window&>(startup);
    if (!window.desc().title.empty()) reportTitle_ = toWide(window.desc().title);
    window.raiseLoadOnce();
    MSG msg;
    while (loadedWindows_ > 0) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return int(msg.wParam);
        if (got < 0) throw lastWin32Failure("GetMessageW");
        handleMessage(msg);
    }
    return 0;
}

// Timers fall due again while handlers run: each timer's event is handled at
// most once here, or a slow handler would keep this from ever returning.
void Win32Toolkit::processPendingEvents() {
    std::vector<std::pair<HWND, WPARAM>> timersRun;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        const std::pair timer{msg.hwnd, msg.wParam};
        // A quit request is left for the loop that waits for it.
        if (msg.message == WM_QUIT || (msg.message == WM_TIMER && std::ranges::count(timersRun, timer) > 0))
            return;
        if (!PeekMessageW(&msg, msg.hwnd, msg.message, msg.message, PM_REMOVE)) continue;
        if (msg.message == WM_TIMER) timersRun.push_back(timer);
        handleMessage(msg);
    }
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

void Win32Toolkit::handleMessage(MSG& msg) {
    if (moveFocusOnTab(msg)) return;
    TranslateMessage(&msg);
    // Key preview: the window hears a character before its focused control does.
    if (msg.message == WM_CHAR) {
        const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        const Win32Window* window = root != msg.hwnd ? windowFromHandle(root) : nullptr;
        if (window && window->desc().keyPreview) {
            WindowEvents& events = window->events_;
            const int charCode = int(msg.wParam);
            dispatch([&] { events.keyPress(charCode); });
            if (!IsWindow(msg.hwnd)) return;
        }
    }
    DispatchMessageW(&msg);
}

// Tab and Shift+Tab move between a window's tab stops, in tab order.
bool Win32Toolkit::moveFocusOnTab(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (!windowFromHandle(root)) return false;
    const bool backwards = GetKeyState(VK_SHIFT) < 0;
    const HWND next = GetNextDlgTabItem(root, GetFocus() == root ? nullptr : GetFocus(), backwards);
    if (!next) return false;
    SetFocus(next);
    return true;
}

void Win32Toolkit::showReport(const std::string& message) const {
    MessageBoxW(nullptr, toWide(message).c_str(), reportTitle_.c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace quorvex
