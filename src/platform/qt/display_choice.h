// Which of Qt's platforms the program runs on, chosen before Qt starts: X
// wherever an X display answers (also inside a Wayland session, where only X
// lets the windows stay off the taskbar and be placed), Wayland without one,
// and no screen at all rather than Qt's abort when nothing answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

struct Displays {
    std::string x;        // DISPLAY, empty when unset
    bool xAnswers = false;
    std::string wayland;  // WAYLAND_DISPLAY, empty when unset
    bool waylandAnswers = false;
};

struct PlatformChoice {
    std::string platform;  // for QT_QPA_PLATFORM
    std::string notice;    // one line for standard error; empty when all is well
};

// Nothing when the user chose the platform (QT_QPA_PLATFORM set).
std::optional<PlatformChoice> choosePlatform(std::string_view userChoice, const Displays& displays);

// Looks at this process's displays and sets QT_QPA_PLATFORM as chosen,
// saying so on standard error when there is no screen.
void chooseQtPlatform();

}  // namespace quorvex
