// The kill commands of the watch list, carried out without a command
// interpreter: "cmd /c taskkill /f /im NAME" ends every process whose image
// name is NAME.
#pragma once

#include <string_view>

#include "platform/commands.h"

namespace quorvex {

class ImageKiller final : public CommandStarter {
public:
    // Starts the kill on a detached thread and returns at once. Throws
    // std::system_error: EINVAL for any text other than a kill command (nothing
    // is started), or the thread's failure to start. The window style has no
    // meaning here: no window is made.
    void start(std::string_view commandLine, WindowStyle style) override;

    // NAME of a kill command line; throws std::system_error (EINVAL) for any
    // other text.
    static std::string_view imageNameToKill(std::string_view commandLine);

    // Sends SIGKILL to every process except this one whose image name (as the
    // process table reports it) equals `imageName` ignoring ASCII case, and
    // returns how many were signalled. A process is signalled through a pidfd
    // opened before its name is checked, so a reused process ID is never hit.
    // Runs on the calling thread and does not wait for the victims to die.
    static int killByImageName(std::string_view imageName);
};

}  // namespace quorvex
