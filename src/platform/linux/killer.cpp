#include "platform/linux/killer.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/linux/process_table.h"
#include "platform/linux/system/pidfd.h"
#include "support/image_name.h"

namespace quorvex {

int ImageKiller::killByImageName(std::string_view imageName) {
    const ProcProcessTable table(0);  // one pass: nothing worth keeping
    const pid_t self = ::getpid();
    int signalled = 0;
    table.forEachProcess([&](const ProcProcessRecord& process) {
        if (process.pid() == self || !equalImageNames(process.name(), imageName)) return true;
        // The pidfd pins the process that holds this ID now, and its name is
        // read again after that. If the pinned process is still alive when
        // signalled, it held the ID during the read, so the name read was its
        // own; if it has exited (and the ID perhaps gone to someone else), the
        // signal fails with ESRCH and reaches no one.
        const FileDescriptor pidfd = openPidfd(process.pid());
        if (!pidfd) return true;
        bool stillMatches = false;
        table.visitProcess(process.pid(), [&](const ProcProcessRecord& now) {
            stillMatches = equalImageNames(now.name(), imageName);
        });
        if (stillMatches && signalThroughPidfd(pidfd, SIGKILL) == 0) ++signalled;
        return true;
    });
    return signalled;
}

void ImageKiller::endAll(const KillOrder& order) {
    std::string name(order.imageName);
    {
        const std::lock_guard lock(mutex_);
        if (std::ranges::find(waiting_, name) != waiting_.end()) return;
        waiting_.push_back(name);
    }
    // Its own failures are not seen, like a kill command's exit status.
    worker_.post([this, name = std::move(name)] {
        {
            const std::lock_guard lock(mutex_);
            std::erase(waiting_, name);
        }
        killByImageName(name);
    });
}

}  // namespace quorvex
