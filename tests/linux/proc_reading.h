// What the process-table tests read of a process themselves, and what a
// fresh pass of the table reports of it.
#pragma once

#include <sys/types.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/linux/process_table.h"

namespace quorvex::test {

struct Seen {
    std::string name;
    std::optional<std::string> path;
};

// What one fresh pass reports for `pid`.
inline std::optional<Seen> lookUp(const ProcProcessTable& table, pid_t pid) {
    std::optional<Seen> seen;
    table.forEachProcess([&](const ProcProcessRecord& process) {
        if (process.pid() != pid) return true;
        const auto file = process.executable();
        seen = Seen{std::string(process.name()), file ? std::optional(file->path) : std::nullopt};
        return !seen;
    });
    return seen;
}

// The text of /proc/PID/`leaf`, as the test reads it itself.
inline std::string procText(pid_t pid, const char* leaf) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + leaf);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

// The command name in /proc/PID/comm.
inline std::string commandNameOf(pid_t pid) {
    const std::string comm = procText(pid, "comm");
    return comm.substr(0, comm.find('\n'));
}

}  // namespace quorvex::test
