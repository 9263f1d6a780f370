// Starting command lines as processes of their own.
#pragma once

#include <string_view>

namespace quorvex {

// Window styles of a started command (the values of the classic Shell call).
enum class WindowStyle : int {
    Hidden = 0,
    NormalFocus = 1,
    MinimizedFocus = 2,
    MaximizedFocus = 3,
    NormalNoFocus = 4,
    MinimizedNoFocus = 6,
};

class CommandStarter {
public:
    virtual ~CommandStarter() = default;

    // Starts `commandLine` detached and returns without waiting for it. Throws
    // when the command cannot be started (what it does afterwards is not seen).
    virtual void start(std::string_view commandLine, WindowStyle style) = 0;
};

}  // namespace quorvex
