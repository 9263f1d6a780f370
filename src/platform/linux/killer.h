// Kills without a command interpreter: the copy ordered gets SIGKILL through
// a pidfd, at once, after the pinned process has been checked to be the
// copy. The monitor orders every copy of a name it finds, so every process
// of the name ends.
#pragma once

#include <sys/types.h>

#include <functional>

#include "platform/killer.h"
#include "platform/linux/process_table.h"

namespace quorvex {

class ImageKiller final : public Killer {
public:
    // Called with the copy's ID once the process holding it is pinned and
    // before it is checked: where a test makes that ID another program's.
    using BeforeCheck = std::function<void(pid_t)>;

    explicit ImageKiller(BeforeCheck beforeCheck = {}) : beforeCheck_(std::move(beforeCheck)) {}

    // The order's command line is not read: no command is started. This
    // process is never ended. Refused when the kernel will not let us
    // signal the copy (it is not ours).
    KillOutcome end(const KillOrder& order) override;

private:
    const ProcProcessTable table_{0};  // single reads: nothing worth keeping
    BeforeCheck beforeCheck_;
};

}  // namespace quorvex
