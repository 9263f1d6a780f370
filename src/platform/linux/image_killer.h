// The kill commands of the watch list, carried out without a command
// interpreter: "cmd /c taskkill /f /im NAME" ends every process whose image
// name is NAME.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/commands.h"
#include "platform/serial_worker.h"

namespace quorvex {

class ImageKiller final : public CommandStarter {
public:
    // Queues the kill for the killer's own thread and returns at once; a kill
    // of the same name still waiting to begin is not queued twice. Throws
    // std::system_error (EINVAL) for any text other than a kill command, and
    // nothing is queued. The window style has no meaning here: no window is
    // made.
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

private:
    std::mutex mutex_;
    std::vector<std::string> waiting_;  // names queued and not yet begun
    // A kill is a full pass over /proc plus a few calls per victim, far more
    // on a loaded system, which the user-interface thread must not wait for.
    // One thread started with the killer takes them all: a worm that has
    // used up its user's process limit cannot keep the next kill from running.
    SerialWorker worker_;
};

}  // namespace quorvex
