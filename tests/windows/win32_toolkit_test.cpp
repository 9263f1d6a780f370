// What the Win32 toolkit makes of the program's two window descriptions: styles,
// sizes, fonts, pictures, DPI, the keyboard focus, and the error report.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <system_error>

#include "platform/windows/system/wide_text.h"
#include "ui/form1_layout.h"
#include "ui/splash_layout.h"
#include "win32_driver.h"

namespace quorvex::test {
namespace {

struct NoEvents : WindowEvents {};

class Win32ToolkitTest : public testing::Test {
protected:
    std::unique_ptr<Window> open(const WindowDesc& desc) {
        auto window = driver.toolkit().create(desc, ignored);
        window->show();
        driver.wait(100);
        return window;
    }
    static HWND hwnd(Window& window) { return static_cast<Win32Window&>(window).hwnd(); }
    static LOGFONTW fontOf(Window& window, ControlId id) {
        LOGFONTW font{};
        const auto handle = HGDIOBJ(SendMessageW(static_cast<Win32Window&>(window).controlWindow(id), WM_GETFONT, 0, 0));
        EXPECT_NE(handle, nullptr);
        GetObjectW(handle, sizeof font, &font);
        return font;
    }
    Win32Driver driver;
    NoEvents ignored;  // these tests look at the windows, not at their events
};

TEST_F(Win32ToolkitTest, MainWindowIsABorderlessPopupWithoutTaskbarButton) {
    auto window = open(form1::kWindow);
    const LONG style = GetWindowLongW(hwnd(*window), GWL_STYLE);
    const LONG exStyle = GetWindowLongW(hwnd(*window), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    const Rect client = driver.clientRect(*window);
    EXPECT_EQ(client.width, 610);
    EXPECT_EQ(client.height, 281);
    EXPECT_EQ(driver.controlRect(*window, form1::Image1), (Rect{24, 32, 179, 179}));
    EXPECT_NE(SendMessageW(hwnd(*window), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(hwnd(*window), WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Win32ToolkitTest, SplashHasAThinDialogFrameWithoutTitleBarAndIsCentred) {
    auto window = open(splash::kWindow);
    const LONG style = GetWindowLongW(hwnd(*window), GWL_STYLE);
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_FALSE(style & WS_BORDER) << "WS_DLGFRAME with WS_BORDER is a title bar";
    EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME));
    EXPECT_TRUE(GetWindowLongW(hwnd(*window), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    const Rect client = driver.clientRect(*window);
    EXPECT_EQ(client.width, 492);
    EXPECT_EQ(client.height, 283);
    RECT frame;
    GetWindowRect(hwnd(*window), &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(Win32ToolkitTest, EveryControlGetsAFontThatShowsChinese) {
    auto window = open(splash::kWindow);
    const LOGFONTW productName = fontOf(*window, controlIndex(splash::kControls, "lblProductName"));
    EXPECT_STREQ(productName.lfFaceName, L"微软雅黑");
    EXPECT_EQ(productName.lfHeight, -24);  // 18 pt at 96 dpi
    EXPECT_EQ(productName.lfWeight, 700);
    EXPECT_EQ(productName.lfCharSet, GB2312_CHARSET);
    const LOGFONTW version = fontOf(*window, controlIndex(splash::kControls, "lblVersion"));
    EXPECT_STREQ(version.lfFaceName, L"宋体");
    EXPECT_EQ(version.lfHeight, -16);
    EXPECT_EQ(fontOf(*window, controlIndex(splash::kControls, "Label1")).lfHeight, -14);  // 10.5 pt
    // Labels without a font of their own still get one with the Chinese character set.
    const LOGFONTW copyright = fontOf(*window, controlIndex(splash::kControls, "lblCopyright"));
    EXPECT_EQ(copyright.lfCharSet, GB2312_CHARSET);
    EXPECT_NE(copyright.lfFaceName[0], L'\0');
}

TEST_F(Win32ToolkitTest, SelfSizingRightAlignedLabelKeepsItsRightEdge) {
    auto window = open(splash::kWindow);
    const ControlId version = controlIndex(splash::kControls, "lblVersion");
    const Rect before = driver.controlRect(*window, version);
    EXPECT_EQ(before.x + before.width, (120 + 5580 + 1170) / 15);
    window->setCaption(version, "版本：3.0 正式版");
    const Rect after = driver.controlRect(*window, version);
    EXPECT_EQ(after.x + after.width, before.x + before.width);
    EXPECT_GT(after.width, before.width);
    EXPECT_EQ(window->caption(version), "版本：3.0 正式版");
}

COLORREF pixelAt(HWND control, int x, int y) {
    const HDC dc = GetDC(control);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(control, dc);
    return colour;
}

// How many of a few pixels of the logo differ from what `window` (null: the
// screen) shows with the logo's corner at `corner`.
int pixelsUnlikeTheLogo(Win32Toolkit& toolkit, HWND window, POINT corner) {
    const Picture& logo = toolkit.picture("logo");
    const HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(memory, logo.bitmap.get());
    const HDC shown = GetDC(window);
    int differing = 0;
    for (const POINT p : {POINT{5, 5}, POINT{89, 89}, POINT{60, 120}, POINT{170, 30}, POINT{178, 178}})
        differing += GetPixel(shown, corner.x + p.x, corner.y + p.y) != GetPixel(memory, p.x, p.y);
    ReleaseDC(window, shown);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return differing;
}

TEST_F(Win32ToolkitTest, PicturesShowTheLogoAtNaturalSizeOrStretched) {
    auto main = open(form1::kWindow);
    const Picture& logo = driver.toolkit().picture("logo");
    ASSERT_EQ(logo.size.cx, 179);
    ASSERT_EQ(logo.size.cy, 179);
    const HWND image1 = static_cast<Win32Window&>(*main).controlWindow(form1::Image1);
    ASSERT_NE(pixelAt(image1, 89, 89), CLR_INVALID);
    EXPECT_EQ(pixelsUnlikeTheLogo(driver.toolkit(), image1, {0, 0}), 0) << "Image1 shows the logo pixel for pixel";

    // The splash's logo fills its box: its far corner is drawn, not background.
    auto splashWindow = open(splash::kWindow);
    const HWND imgLogo = static_cast<Win32Window&>(*splashWindow).controlWindow(controlIndex(splash::kControls, "imgLogo"));
    const COLORREF corner = pixelAt(imgLogo, 159, 157);
    EXPECT_NE(corner, CLR_INVALID);
    EXPECT_NE(corner, GetSysColor(COLOR_BTNFACE));
}

// Another program's window, maximised, as a user works in it.
class MaximisedNotepad {
public:
    MaximisedNotepad() {
        STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW), .dwFlags = STARTF_USESHOWWINDOW,
                             .wShowWindow = SW_SHOWMAXIMIZED};
        wchar_t command[] = L"notepad.exe";
        if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
            return;
        WaitForInputIdle(process_.hProcess, 30'000);
        for (int tries = 0; tries < 300 && !(window_ && IsZoomed(window_)); ++tries, Sleep(50)) window_ = find();
    }
    ~MaximisedNotepad() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 10'000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    // Null until its window is up and maximised.
    HWND window() const { return window_ && IsZoomed(window_) ? window_ : nullptr; }

private:
    HWND find() const {
        std::pair<DWORD, HWND> search{process_.dwProcessId, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM found) CALLBACK {
                auto& [process, window] = *reinterpret_cast<std::pair<DWORD, HWND>*>(found);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner != process || !IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER)) return TRUE;
                window = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.second;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// The alert comes above a maximised window the user works in, and stays above
// it when the user activates it again, leaving it the keyboard all along.
TEST_F(Win32ToolkitTest, MainWindowStaysAboveAMaximisedWindowAndLeavesItTheKeyboard) {
    MaximisedNotepad other;
    ASSERT_NE(other.window(), nullptr) << "no maximised notepad";
    SetForegroundWindow(other.window());
    ASSERT_TRUE(driver.waitUntil([&] { return GetForegroundWindow() == other.window(); }, 10'000));

    auto window = open(form1::kWindow);
    EXPECT_EQ(GetForegroundWindow(), other.window()) << "the alert took the keyboard";
    EXPECT_TRUE(GetWindowLongW(hwnd(*window), GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The other program comes to the front again.
    BringWindowToTop(other.window());
    SetForegroundWindow(other.window());
    driver.wait(200);
    const Rect client = driver.clientRect(*window);
    const Rect image1 = driver.controlRect(*window, form1::Image1);
    const POINT logoCentre{client.x + image1.x + image1.width / 2, client.y + image1.y + image1.height / 2};
    EXPECT_EQ(GetAncestor(WindowFromPoint(logoCentre), GA_ROOT), hwnd(*window)) << "the maximised window covers it";
    EXPECT_TRUE(driver.waitUntil(
        [&] { return pixelsUnlikeTheLogo(driver.toolkit(), nullptr, {client.x + image1.x, client.y + image1.y}) == 0; },
        10'000))
        << "the screen does not show the alert's logo";
}

TEST_F(Win32ToolkitTest, MovingToAMonitorOf144DpiScalesTwipsAndFonts) {
    auto window = open(splash::kWindow);
    RECT suggested;
    GetWindowRect(hwnd(*window), &suggested);
    SendMessageW(hwnd(*window), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    const ControlId label = controlIndex(splash::kControls, "Label3");
    // 10 twips per pixel: Frame1's corner (120, 60) plus Label3's box inside it.
    EXPECT_EQ(driver.controlRect(*window, label), (Rect{456, 366, 254, 38}));
    EXPECT_EQ(fontOf(*window, label).lfHeight, -18);  // 9 pt at 144 dpi
    EXPECT_EQ(fontOf(*window, controlIndex(splash::kControls, "lblProductName")).lfHeight, -36);
}

TEST_F(Win32ToolkitTest, ButtonHasTheKeyboardAndTabMovesInTabOrder) {
    auto window = open(form1::kWindow);
    driver.activate(*window);
    auto& win32 = static_cast<Win32Window&>(*window);
    EXPECT_EQ(GetFocus(), win32.controlWindow(form1::Command1));
    driver.pressKey(VK_TAB);
    driver.wait(100);
    EXPECT_EQ(GetFocus(), win32.controlWindow(form1::Command2));
}

using Win32ToolkitDeathTest = Win32ToolkitTest;

TEST_F(Win32ToolkitDeathTest, ErrorReportIsAMessageBoxWithNumberAndText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Failing : WindowEvents {
        void timer(ControlId) override {
            throw std::system_error(std::error_code(ERROR_ACCESS_DENIED, std::system_category()), "拒绝");
        }
    };
    static constexpr std::array<ControlDesc, 1> kTimer{{{.name = "T", .kind = ControlKind::Timer, .intervalMs = 50, .running = true}}};
    static constexpr WindowDesc kDesc{.name = "F", .title = "标题", .controls = kTimer};
    const auto run = [this] {
        Failing failing;
        auto window = driver.toolkit().create(kDesc, failing);
        driver.runUntil(*window, [] { return false; }, 10'000);
        std::exit(0);
    };
    // The box's text, as the closer read it from the box itself.
    EXPECT_EXIT(run(), testing::ExitedWithCode(1), "message box: 运行时错误 '5':");
}

}  // namespace
}  // namespace quorvex::test
