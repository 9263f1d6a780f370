// Kills by image name without a command interpreter: every process whose
// image name is the one ordered gets SIGKILL, on a thread of the killer's own.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/killer.h"
#include "support/serial_worker.h"

namespace quorvex {

class ImageKiller final : public Killer {
public:
    // Queues the kill for the killer's own thread and returns at once; a kill
    // of the same name still waiting to begin is not queued twice. The
    // order's command line is not read: no command is started.
    void endAll(const KillOrder& order) override;

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
