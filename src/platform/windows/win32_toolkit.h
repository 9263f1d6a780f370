// The window toolkit on plain Win32: top-level popup windows with STATIC and
// BUTTON controls, window timers, and the program's pictures and icon taken
// from its own resources (asset names are resource names).
#pragma once

#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/event_dispatch.h"
#include "platform/toolkit.h"
#include "platform/windows/resource_picture.h"

namespace quorvex {

class Win32Toolkit;

class Win32Window final : public Window {
public:
    Win32Window(Win32Toolkit& toolkit, const WindowDesc& desc, WindowEvents& events);
    ~Win32Window() override;

    void show() override;
    void hide() override;
    void unload() override;
    bool isVisible() const override;
    bool isLoaded() const override { return hwnd_ != nullptr; }
    std::uintptr_t handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }
    std::string caption(ControlId id) const override;
    void setCaption(ControlId id, std::string_view text) override;
    bool isEnabled(ControlId id) const override;
    void setEnabled(ControlId id, bool enabled) override;
    void dragByTitleBar() noexcept override;

    HWND hwnd() const { return hwnd_; }
    // The control's own window; null for timers and once unloaded.
    HWND controlWindow(ControlId id) const;
    const WindowDesc& desc() const { return desc_; }

private:
    friend class Win32Toolkit;
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    bool onMessage(UINT message, WPARAM, LPARAM, LRESULT& result);
    void setUp();  // icons, controls, layout and place, once the window exists
    void createControls();
    void startTimer(ControlId id);
    bool raisesClicks(ControlId id) const;
    void layout(UINT dpi);
    void fitToText(ControlId id);
    void drawPicture(const DRAWITEMSTRUCT& item);
    void raiseLoadOnce();

    Win32Toolkit& toolkit_;
    const WindowDesc& desc_;
    WindowEvents& events_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool loadRaised_ = false;
    bool pressedOnSurface_ = false;  // the left button went down on the window itself
    std::vector<HWND> controls_;     // by ControlId; null for timers
    std::vector<bool> timersRunning_;  // by ControlId
    std::vector<std::string> captions_;  // by ControlId: the bytes given, which the screen may not show exactly
    std::vector<UniqueFont> fonts_;  // by ControlId, at the window's current DPI
};

class Win32Toolkit final : public Toolkit {
public:
    Win32Toolkit();
    ~Win32Toolkit() override;

    std::unique_ptr<Window> create(const WindowDesc& desc, WindowEvents& events) override;
    // Runs until every window is unloaded or the thread is told to quit.
    int run(Window& startup) override;
    void processPendingEvents() override;
    void post(std::function<void()> task) override;

    void dispatch(const std::function<void()>& handler) noexcept { dispatch_.run(handler); }

    // A picture asset, decoded once from the program's resources.
    const Picture& picture(std::string_view asset);

private:
    friend class Win32Window;
    void handleMessage(MSG& msg);
    bool moveFocusOnTab(const MSG& msg);
    void showReport(const std::string& message) const;
    static LRESULT CALLBACK tasksProc(HWND, UINT, WPARAM, LPARAM);
    void runPostedTasks();

    bool comInitialized_ = false;
    int loadedWindows_ = 0;
    std::wstring reportTitle_;
    EventDispatch dispatch_{[this](const std::string& message) { showReport(message); }};
    std::map<std::string, Picture, std::less<>> pictures_;

    // A message-only window: a message to it, posted from any thread, runs the tasks.
    HWND tasksWindow_ = nullptr;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace quorvex
