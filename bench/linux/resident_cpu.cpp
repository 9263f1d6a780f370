// CPU the resident program uses with no worm running, as a share of one
// core, and how often it wakes, next to the floor of a poller of the same
// period (one enumeration of getdents64 plus one readlinkat per process every
// poll period) and next to the shell loop a user would write instead (pgrep -x
// for each watched name every poll period). All three run in turn, each for
// the same time, with the same idle processes about.
//
//   resident_cpu [--seconds=20] [--idle=300] [--quorvex=PATH]
//
// The last two lines are cpu_vs_floor= and cpu_vs_shell_loop=.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <thread>

#include "bench_support.h"
#include "monitor/watch_list.h"

namespace quorvex::bench {
namespace {

// One enumeration every poll period, forever (run in a child process).
[[noreturn]] void runFloorLoop() {
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        floorEnumeration();
        next.tv_nsec += long(kPollIntervalMs) * 1000000;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

std::string shellLoop() {
    std::string names;
    for (const WatchEntry& entry : kWatchList) names += " '" + std::string(entry.name) + "'";
    return "while :; do for name in" + names + "; do pgrep -x \"$name\" >/dev/null 2>&1; done; sleep 0.1; done";
}

struct Use {
    double coreShare;          // of one core
    double wakeupsPerSecond;  // of all its threads
};

// What `pid` (with its reaped children) used over `seconds`, after
// `warmUp`; ends the process afterwards.
Use measure(pid_t pid, std::chrono::seconds warmUp, std::chrono::seconds seconds) {
    std::this_thread::sleep_for(warmUp);
    const double before = cpuSeconds(pid);
    const long wakeupsBefore = wakeups(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(seconds);
    const double used = cpuSeconds(pid) - before;
    const long woken = wakeups(pid) - wakeupsBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    endProcess(pid);
    return {used / wall, double(woken) / wall};
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
    using namespace quorvex::bench;
    const std::chrono::seconds seconds(std::stoi(takeOption(argc, argv, "seconds", "20")));
    const ProgramOptions options = takeProgramOptions(argc, argv);

    const IdleProcesses children(options.idle);
    // The program's first seconds (start-up, the splash) are not resident use.
    const Use ours = measure(startQuorvex(options.quorvex), std::chrono::seconds(4), seconds);

    const pid_t floorLoop = ::fork();
    if (floorLoop < 0) return 1;
    if (floorLoop == 0) runFloorLoop();
    const Use floor = measure(floorLoop, std::chrono::seconds(1), seconds);

    const Use shell = measure(spawn("/bin/bash", {"-c", shellLoop()}), std::chrono::seconds(1), seconds);

    std::printf("seconds=%lld idle_processes=%d\n", (long long)seconds.count(), options.idle);
    for (const auto& [name, use] : {std::pair{"quorvex", ours}, {"floor", floor}, {"shell_loop", shell}})
        std::printf("%-10s %5.1f%% of a core, %6.1f wakeups/s\n", name, 100 * use.coreShare, use.wakeupsPerSecond);
    std::printf("cpu_vs_floor=%.2f\n", ours.coreShare / floor.coreShare);
    std::printf("cpu_vs_shell_loop=%.2f\n", ours.coreShare / shell.coreShare);
    return 0;
}
