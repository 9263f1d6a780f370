// The monitor watching for one name alone, for the tests of the platform
// backends: names made for a test, which no guard beside it watches for.
#pragma once

#include <optional>
#include <string>

#include "monitor/monitor.h"

namespace quorvex::test {

// Does the monitor see a process named `name` running in this session?
inline bool monitorSees(const ProcessTable& table, const std::string& name) {
    struct NoKiller final : Killer {
        KillOutcome end(const KillOrder&) override { return KillOutcome::Ended; }
    } killer;
    const WatchEntry entry{"Timer1", name};
    return Monitor(table, killer, {&entry, 1}).FindProcess(name);
}

// One poll tick for `name`, its copies ended by `killer`.
inline std::optional<Detection> pollTickFor(const ProcessTable& table, Killer& killer, const std::string& name) {
    const std::string line = "cmd /c taskkill /f /im " + name;
    const WatchEntry entry{"Timer1", name, line, "alert", "refused"};
    return Monitor(table, killer, {&entry, 1}).pollTick(entry);
}

}  // namespace quorvex::test
