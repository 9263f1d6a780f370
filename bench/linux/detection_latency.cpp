// Time from a worm's start to its death under the running program: starts
// the program (offscreen), then for each of the nine watched names starts a
// copy of a small program under that name, `rounds` times, and waits for it
// to be killed. Starts are spread at random over the poll period.
//
//   detection_latency [--rounds=50] [--idle=300] [--quorvex=PATH]
//
// Prints p50, p99 and max in milliseconds; the last line is p99_ms=.
// While it runs, every process of the nine names on this machine is killed.
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "child_process.h"
#include "monitor/watch_list.h"
#include "statistics.h"
#include "temp_folder.h"

namespace quorvex::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUp = std::chrono::seconds(10);

// Starts a worm and waits for its death: the milliseconds it lived, or a
// negative value when it outlived kGiveUp (then it is killed here).
double lifetimeMs(const std::filesystem::path& worm) {
    const auto start = Clock::now();
    test::Child child(worm, {"600"});
    if (!child.waitForExit(kGiveUp)) return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
    using namespace quorvex::bench;
    const int rounds = std::stoi(takeOption(argc, argv, "rounds", "50"));
    const ProgramOptions options = takeProgramOptions(argc, argv);

    const IdleProcesses children(options.idle);
    const quorvex::test::TempFolder folder;
    std::vector<std::filesystem::path> worms;
    for (const quorvex::WatchEntry& entry : quorvex::kWatchList) {
        worms.push_back(quorvex::test::copyProgram("/bin/sleep", folder / std::string(entry.name)));
    }

    const pid_t quorvex = startQuorvex(options.quorvex);
    // The first kill shows that the program is up and polling.
    if (lifetimeMs(worms.front()) < 0) {
        std::fprintf(stderr, "the program killed nothing within %lld s\n", (long long)kGiveUp.count());
        endProcess(quorvex);
        return 1;
    }

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> phase(0, quorvex::kPollIntervalMs - 1);
    std::vector<double> all;
    int survivors = 0;
    for (std::size_t name = 0; name < worms.size(); ++name) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(phase(random)));
            const double ms = lifetimeMs(worms[name]);
            if (ms < 0) {
                ++survivors;
                continue;
            }
            times.push_back(ms);
        }
        if (times.empty()) continue;
        std::printf("%-20s p50 %6.1f ms  max %6.1f ms\n", worms[name].filename().c_str(),
                    percentile(times, 0.5), percentile(times, 1.0));
        all.insert(all.end(), times.begin(), times.end());
    }
    endProcess(quorvex);

    if (survivors > 0) std::printf("survived %d s: %d worms\n", int(kGiveUp.count()), survivors);
    if (all.empty()) return 1;
    std::printf("samples=%zu idle_processes=%d\n", all.size(), options.idle);
    std::printf("p50_ms=%.1f\nmax_ms=%.1f\np99_ms=%.1f\n", percentile(all, 0.5), percentile(all, 1.0),
                percentile(all, 0.99));
    return survivors > 0 ? 1 : 0;
}
