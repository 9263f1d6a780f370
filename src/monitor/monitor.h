// The process query and the poll tick: pure decisions over the platform's
// process table and killer. They touch no window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "monitor/watch_list.h"
#include "platform/killer.h"
#include "platform/process_table.h"

namespace quorvex {

// Is a process with image name `ProcessName` running right now? A fresh
// enumeration that stops at the first match.
bool FindProcess(const ProcessTable& processes, std::string_view ProcessName);

// What a poll tick that found its worm leaves for the main window.
struct Detection {
    // Executable of the last copy killed whose path could be read (an empty
    // path when none could); absent when the worm was gone by the second
    // enumeration.
    std::optional<ExecutableFile> lastExecutable;
};

// One poll tick for `entry`: on a hit, a second enumeration reads each
// matching copy's path and orders the kill of its image name for it.
// Returns nothing when the worm is not running.
std::optional<Detection> pollTick(const WatchEntry& entry, const ProcessTable& processes, Killer& killer);

}  // namespace quorvex
