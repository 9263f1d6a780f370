#include "monitor/monitor.h"

#include "support/image_name.h"

namespace quorvex {

bool FindProcess(const ProcessTable& processes, std::string_view ProcessName) {
    bool found = false;
    processes.forEach([&](const ProcessRecord& process) {
        found = equalImageNames(process.name(), ProcessName);
        return !found;
    });
    return found;
}

std::optional<Detection> pollTick(const WatchEntry& entry, const ProcessTable& processes, Killer& killer) {
    if (!FindProcess(processes, entry.name)) return std::nullopt;

    Detection detection;
    processes.forEach([&](const ProcessRecord& process) {
        if (equalImageNames(process.name(), entry.name)) {
            // The executable is read just before the kill goes out: a fast
            // kill can end the process before it could be read afterwards, and
            // the cleanup would lose the worm's file. A path that cannot be
            // read does not hold the kill back.
            std::optional<ExecutableFile> file = process.executable();
            killer.endAll({entry.name, entry.killCommand});
            // A kill may end every copy at the first order, before the
            // later copies of this pass are read: a path they no longer give
            // does not wipe the one an earlier copy gave.
            if (file || !detection.lastExecutable)
                detection.lastExecutable = std::move(file).value_or(ExecutableFile{});
        }
        return true;
    });
    return detection;
}

}  // namespace quorvex
