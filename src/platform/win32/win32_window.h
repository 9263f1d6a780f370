// One window of the Win32 toolkit: a top-level popup built from its stored
// description, with its controls (Win32Controls), and what it does with its
// messages.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/toolkit.h"
#include "platform/win32/win32_controls.h"

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

    // The window class of the toolkit's windows, registered once per program.
    static void registerClass();
    // The toolkit's window behind a handle; null for a window of another class.
    static Win32Window* fromHandle(HWND hwnd);
    HWND hwnd() const { return hwnd_; }
    // The control's own window; null for timers and once unloaded.
    HWND controlWindow(ControlId id) const;
    const WindowDesc& desc() const { return desc_; }

    // The start-up window's load event, raised once.
    void raiseLoadOnce();
    // Key preview: the window hears a character before its focused control does.
    void previewKey(int charCode);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    bool onInput(UINT message, WPARAM, LPARAM);
    bool onEndRequest(UINT message, WPARAM, LRESULT& result);
    bool onWindowMessage(UINT message, WPARAM, LPARAM, LRESULT& result);
    void setUp();  // icons, controls, layout and place, once the window exists
    void setIcons();
    void centre();
    bool liesOnTheScreens() const;
    void layout(UINT dpi);
    void focusFirstTabStop();
    void moveTo(const RECT& frame);

    Win32Toolkit& toolkit_;
    const WindowDesc& desc_;
    WindowEvents& events_;
    HWND hwnd_ = nullptr;
    bool loadRaised_ = false;
    bool pressedOnSurface_ = false;  // the left button went down on the window itself
    std::optional<Win32Controls> controls_;  // once the window exists
};

}  // namespace quorvex
