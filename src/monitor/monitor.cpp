#include "monitor/monitor.h"

#include "platform/image_name.h"

namespace quorvex {

bool FindProcess(const ProcessTable& processes, std::string_view ProcessName) {
    bool found = false;
    processes.forEach([&](const ProcessRecord& process) {
        found = equalImageNames(process.name(), ProcessName);
        return !found;
    });
    return found;
}

std::optional<Detection> pollTick(const WatchEntry& entry, const ProcessTable& processes,
                                  CommandStarter& commands) {
    if (!FindProcess(processes, entry.name)) return std::nullopt;

    Detection detection{&entry, std::nullopt};
    processes.forEach([&](const ProcessRecord& process) {
        if (equalImageNames(process.name(), entry.name)) {
            // The kill goes out before the path is read, so a copy whose path
            // cannot be read is still ended.
            commands.start(entry.killCommand, WindowStyle::MinimizedFocus);
            detection.lastPath = process.executablePath().value_or(std::string{});
        }
        return true;
    });
    return detection;
}

}  // namespace quorvex
