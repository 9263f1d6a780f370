#include "platform/linux/killer.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/system/pidfd.h"
#include "support/image_name.h"

namespace quorvex {

KillOutcome ImageKiller::end(const KillOrder& order) {
    const pid_t pid = pid_t(order.copy.id);
    if (pid == ::getpid()) return KillOutcome::Ended;
    // The pidfd pins the process that holds this ID now, and it is read again
    // after that. If the pinned process is still alive when signalled, it was
    // the one read, so its start time and name are its own; if it has exited
    // (and the ID perhaps gone to someone else), the signal fails with ESRCH
    // and reaches no one.
    const FileDescriptor pidfd = openPidfd(pid);
    if (!pidfd) return KillOutcome::Ended;
    if (beforeCheck_) beforeCheck_(pid);
    bool stillTheCopy = false;
    table_.visitProcess(pid, [&](const ProcProcessRecord& now) {
        stillTheCopy = now.key() == order.copy && equalImageNames(now.name(), order.imageName);
    });
    if (!stillTheCopy) return KillOutcome::Ended;
    if (signalThroughPidfd(pidfd, SIGKILL) == 0 || errno == ESRCH) return KillOutcome::Ended;
    return KillOutcome::Refused;
}

}  // namespace quorvex
