// Starts a command line as a process of its own, as the classic shell call
// does: the line as it stands, with a window style, not waited for.
#pragma once

#include "platform/commands.h"

namespace quorvex {

class ProcessStarter final : public CommandStarter {
public:
    // Throws std::system_error when the process cannot be created.
    void start(std::string_view commandLine, WindowStyle style) override;
};

}  // namespace quorvex
