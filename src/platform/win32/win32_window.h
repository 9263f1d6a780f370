// One window of the Win32 toolkit: a top-level popup with STATIC and BUTTON
// controls and window timers, built from its stored description.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "platform/win32/resource_picture.h"

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
    std::string caption(ControlId id) const override;
    void setCaption(ControlId id, std::string_view text) override;
    bool isEnabled(ControlId id) const override;
    void setEnabled(ControlId id, bool enabled) override;
    void dragByTitleBar() override;

    // The toolkit's window behind a handle; null for a window of another class.
    static Win32Window* fromHandle(HWND hwnd);
    HWND hwnd() const { return hwnd_; }
    // The control's own window; null for timers and once unloaded.
    HWND controlWindow(ControlId id) const;
    const WindowDesc& desc() const { return desc_; }

private:
    friend class Win32Toolkit;
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    bool onInput(UINT message, WPARAM, LPARAM);
    bool onEndRequest(UINT message, WPARAM, LRESULT& result);
    bool onWindowMessage(UINT message, WPARAM, LPARAM, LRESULT& result);
    void focusFirstTabStop();
    void moveTo(const RECT& frame);
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

}  // namespace quorvex
