// The whole guard on the headless toolkit, with the real Linux process
// table, killer and file system.
#pragma once

#include <chrono>

#include "child_process.h"
#include "platform/headless/headless_toolkit.h"
#include "platform/linux/files.h"
#include "platform/linux/killer.h"
#include "platform/linux/process_table.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"

namespace quorvex::test {

class RealGuard {
public:
    RealGuard() { toolkit.run(form.window()); }
    HeadlessWindow& window() { return static_cast<HeadlessWindow&>(form.window()); }
    // Lets the poll timers run until `worm` has ended (20 s at most): true
    // when the guard killed it.
    bool pollUntilKilled(Child& worm) {
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             worm.running() && std::chrono::steady_clock::now() < deadline;)
            toolkit.advance(kPollIntervalMs);
        return diedOfSigkill(worm.waitForExit(std::chrono::milliseconds(0)));
    }

    HeadlessToolkit toolkit;
    const ProcProcessTable processes;
    ImageKiller killer;
    PosixFileSystem files;
    Form1 form{toolkit, processes, killer, files};
};

}  // namespace quorvex::test
