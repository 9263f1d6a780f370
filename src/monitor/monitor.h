// The process query and the poll ticks: pure decisions over the platform's
// process table and killer. They touch no window.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "monitor/watch_list.h"
#include "platform/killer.h"
#include "platform/process_table.h"

namespace quorvex {

// What a poll tick that found its worm leaves for the main window.
struct Detection {
    // Executable of the last copy killed whose path could be read (an empty
    // path when none could); absent when the worm was gone by the kill pass.
    std::optional<ExecutableFile> lastExecutable;
    // A copy the system would not let the guard end: the alert must not say
    // the worm was stopped.
    bool refused = false;
};

// The poll ticks of a watch list, each entry on its own timer, sharing one
// look at the process list per poll period: the first question of each
// entry after a look is answered by it, and an entry asked a second time
// looks again for everyone, so no answer outlives its period. Only processes
// of the guard's own session count, and a copy the system refused to end is
// not counted again: it is not alerted twice and gets no new kill.
class Monitor {
public:
    Monitor(const ProcessTable& processes, Killer& killer, std::span<const WatchEntry> watchList = kWatchList);

    // Is a process named `ProcessName` (an entry's name) running in this
    // session, as this period's look saw it?
    bool FindProcess(std::string_view ProcessName);

    // One poll tick for `entry`: when FindProcess says its worm runs, a fresh
    // pass reads each copy's path and orders the copy's kill. Nothing when
    // the worm is not running.
    std::optional<Detection> pollTick(const WatchEntry& entry);

private:
    std::size_t indexOf(std::string_view ProcessName) const;
    // One pass answers every entry at once.
    void lookAtProcesses();
    // The watch list entry a process bears, or npos.
    std::size_t entryOfProcess(const ProcessRecord& process) const;
    // True, and remembered as met in this look, for a copy refused before.
    bool wasRefused(const ProcessKey& copy, bool meetsIt);

    const ProcessTable& processes_;
    Killer& killer_;
    std::span<const WatchEntry> watchList_;
    // By entry, sized once: a look allocates nothing.
    std::vector<char> seen_;      // in the last look
    std::vector<char> answered_;  // since the look that began this period
    bool lookAgain_ = true;
    struct RefusedCopy {
        ProcessKey key;
        bool met;  // in the last look
    };
    std::vector<RefusedCopy> refused_;
};

}  // namespace quorvex
