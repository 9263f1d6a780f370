// CPU the resident program uses with no worm running, as a share of one
// core, next to the floor (90 enumerations a second of getdents64 plus one
// readlinkat per process) and next to the shell loop a user would write
// instead (pgrep -x for each of the nine names every 100 ms). All three run
// in turn, each for the same time, with the same idle processes about.
//
//   resident_cpu [--seconds=20] [--idle=300] [--quorvex=PATH]
//
// The last two lines are cpu_vs_floor= and cpu_vs_shell_loop=.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "bench_support.h"
#include "monitor/watch_list.h"

namespace quorvex::bench {
namespace {

// Nine enumerations every poll period, forever (run in a child process).
[[noreturn]] void runFloorLoop() {
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        for (std::size_t i = 0; i < kWatchList.size(); ++i) floorEnumeration();
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

// Share of one core that `pid` (with its reaped children) used over
// `seconds`, after `warmUp`; ends the process afterwards.
double coreShare(pid_t pid, std::chrono::seconds warmUp, std::chrono::seconds seconds) {
    std::this_thread::sleep_for(warmUp);
    const double before = cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(seconds);
    const double used = cpuSeconds(pid) - before;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    endProcess(pid);
    return used / wall;
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
    using namespace quorvex::bench;
    const std::chrono::seconds seconds(std::stoi(takeOption(argc, argv, "seconds", "20")));
    const ProgramOptions options = takeProgramOptions(argc, argv);

    const IdleProcesses children(options.idle);
    // The program's first seconds (start-up, the splash) are not resident use.
    const double ours = coreShare(startQuorvex(options.quorvex), std::chrono::seconds(4), seconds);

    const pid_t floorLoop = ::fork();
    if (floorLoop < 0) return 1;
    if (floorLoop == 0) runFloorLoop();
    const double floor = coreShare(floorLoop, std::chrono::seconds(1), seconds);

    const double shell = coreShare(spawn("/bin/bash", {"-c", shellLoop()}), std::chrono::seconds(1), seconds);

    std::printf("seconds=%lld idle_processes=%d\n", (long long)seconds.count(), options.idle);
    std::printf("quorvex    %5.1f%% of a core\n", 100 * ours);
    std::printf("floor      %5.1f%% of a core\n", 100 * floor);
    std::printf("shell_loop %5.1f%% of a core\n", 100 * shell);
    std::printf("cpu_vs_floor=%.2f\n", ours / floor);
    std::printf("cpu_vs_shell_loop=%.2f\n", ours / shell);
    return 0;
}
