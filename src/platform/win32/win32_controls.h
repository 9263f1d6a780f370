// The controls of one Win32 window, built from its description once the
// window exists: STATIC and BUTTON child windows and window timers. Holds
// what they show (captions as the bytes given, fonts at the window's DPI),
// places them, and draws the pictures.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit.h"
#include "platform/win32/resource_picture.h"

namespace quorvex {

class Win32Toolkit;

class Win32Controls {
public:
    // Creates every control in `window`, in tab order, and starts the running
    // timers; they go with the window. Throws std::system_error.
    Win32Controls(Win32Toolkit& toolkit, const WindowDesc& desc, HWND window);

    // The control's own window; null for timers. Throws for an unknown id.
    HWND controlWindow(ControlId id) const { return controls_.at(id); }
    std::string caption(ControlId id) const { return captions_.at(id); }
    void setCaption(ControlId id, std::string_view text);
    bool isEnabled(ControlId id) const;
    void setEnabled(ControlId id, bool enabled);

    // The control a WM_COMMAND reports a click of; none when it raises no clicks.
    std::optional<ControlId> clicked(WPARAM wParam, LPARAM lParam) const;
    // The timer a WM_TIMER is of, while it runs: a message queued before it
    // was disabled is dropped.
    std::optional<ControlId> runningTimer(WPARAM timerId) const;

    // Places the controls and makes their fonts for `dpi`.
    void layout(UINT dpi);
    void drawPicture(const DRAWITEMSTRUCT& item) const;

private:
    void create(ControlId id);
    void startTimer(ControlId id);
    bool raisesClicks(ControlId id) const;
    void fitToText(ControlId id);

    Win32Toolkit& toolkit_;
    const WindowDesc& desc_;
    HWND window_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::vector<HWND> controls_;         // by ControlId; null for timers
    std::vector<bool> timersRunning_;    // by ControlId
    std::vector<std::string> captions_;  // by ControlId: the bytes given, which the screen may not show exactly
    std::vector<UniqueFont> fonts_;      // by ControlId, at the window's current DPI
};

}  // namespace quorvex
