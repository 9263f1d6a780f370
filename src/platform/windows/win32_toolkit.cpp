#include "platform/windows/win32_toolkit.h"

#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"

namespace quorvex {

namespace {

constexpr wchar_t kWindowClass[] = L"QuorvexWindow";
constexpr wchar_t kTasksClass[] = L"QuorvexTasks";
constexpr UINT kRunPostedTasks = WM_APP;
// Control ids start clear of IDOK and IDCANCEL: neither button is a default
// or cancel button.
constexpr int kFirstControlId = 100;
constexpr int kTwipsPerInch = 1440;
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

int toPixels(int twips, UINT dpi) { return MulDiv(twips, int(dpi), kTwipsPerInch); }

// A box in twips to pixels, by its edges so neighbours never gap or overlap.
RECT toPixels(const Box& box, UINT dpi) {
    return {toPixels(box.left, dpi), toPixels(box.top, dpi), toPixels(box.left + box.width, dpi),
            toPixels(box.top + box.height, dpi)};
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
    return WS_EX_CONTROLPARENT | (desc.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW);
}

struct ControlClass {
    const wchar_t* className;
    DWORD style;
};

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

int heldButtons(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? kLeftButton : 0) | ((keys & MK_RBUTTON) ? kRightButton : 0) |
           ((keys & MK_MBUTTON) ? kMiddleButton : 0);
}

Win32Window* windowFromHandle(HWND hwnd) {
    wchar_t className[std::size(kWindowClass)];
    if (!hwnd || !GetClassNameW(hwnd, className, int(std::size(className))) ||
        std::wstring_view(className) != kWindowClass)
        return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

// ---------------------------------------------------------------------------
// Win32Window

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
    RECT frame{0, 0, toPixels(desc_.clientWidth, dpi), toPixels(desc_.clientHeight, dpi)};
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
void Win32Window::dragByTitleBar() noexcept {
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

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        ++window->toolkit_.loadedWindows_;
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (window && window->onMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Handlers run last in each case: one may unload this window, or destroy it.
bool Win32Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Win32Toolkit& toolkit = toolkit_;
    WindowEvents& events = events_;
    switch (message) {
    case WM_TIMER: {
        const ControlId id = ControlId(wParam - 1);
        if (id >= timersRunning_.size() || !timersRunning_[id]) return true;
        toolkit.dispatch([&] { events.timer(id); });
        return true;
    }
    case WM_COMMAND: {
        const ControlId id = ControlId(LOWORD(wParam) - kFirstControlId);
        if (HIWORD(wParam) != BN_CLICKED || id >= controls_.size() || controls_[id] != reinterpret_cast<HWND>(lParam) ||
            !raisesClicks(id))
            return false;
        toolkit.dispatch([&] { events.click(id); });
        return true;
    }
    case WM_CHAR:
        toolkit.dispatch([&] { events.keyPress(int(wParam)); });
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        pressedOnSurface_ = message == WM_LBUTTONDOWN;
        return false;
    case WM_MOUSEMOVE: {
        const int buttons = heldButtons(wParam);
        toolkit.dispatch([&] { events.mouseMove(buttons); });
        return true;
    }
    case WM_CTLCOLORSTATIC:
        // Labels on the window's own colour, as buttons and the window are.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    case WM_DRAWITEM:
        drawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_ACTIVATE:
        // As a form does: the first tab stop takes the focus, else the window.
        if (LOWORD(wParam) != WA_INACTIVE) {
            const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            SetFocus(first ? first : hwnd_);
            return true;
        }
        return false;
    case WM_DPICHANGED: {
        layout(HIWORD(wParam));
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    case WM_SYSCOMMAND:
        // The user's close (Alt+F4, the window manager's close button) only hides.
        if ((wParam & 0xFFF0) != SC_CLOSE) return false;
        hide();
        return true;
    case WM_CLOSE:
        // Another program's polite end request (taskkill without /f): the program ends.
        PostQuitMessage(0);
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        --toolkit.loadedWindows_;
        return false;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Win32Toolkit

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
    const std::lock_guard lock(postedMutex_);
    // One message wakes the loop for every task queued before it runs.
    if (posted_.empty()) PostMessageW(tasksWindow_, kRunPostedTasks, 0, 0);
    posted_.push_back(std::move(task));
}

LRESULT CALLBACK Win32Toolkit::tasksProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* toolkit = reinterpret_cast<Win32Toolkit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != kRunPostedTasks || !toolkit) return DefWindowProcW(hwnd, message, wParam, lParam);
    toolkit->runPostedTasks();
    return 0;
}

// Runs what was posted so far; tasks that these post come with their own message.
void Win32Toolkit::runPostedTasks() {
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard lock(postedMutex_);
        tasks.swap(posted_);
    }
    for (const auto& task : tasks) dispatch(task);
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
