// One look at the process list that finds no worm (what every poll period
// costs the idle guard), over /proc, next to the kernel's floor (getdents64
// plus one readlinkat per process) and to libproc2 reading each process's
// executable (PIDS_EXE), on the machine's processes plus idle children.
//
//   process_table [--idle=300] [--repetitions=5] [benchmark options]
//
// The last two lines are ratio_vs_libproc2= (libproc2 / ours) and
// ratio_vs_floor= (ours / floor). Before them, ours against the floor plus the
// command-name reads that kernel threads need (the naming rule's own floor),
// and what ending one copy costs the thread that ends it.
#include <benchmark/benchmark.h>
#include <libproc2/pids.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "monitor/monitor.h"
#include "platform/linux/killer.h"
#include "platform/linux/proc/proc_text.h"
#include "platform/linux/process_table.h"
#include "platform/linux/system/open_file_limit.h"
#include "support/path_component.h"

namespace quorvex::bench {
namespace {

constexpr std::string_view kAbsentName = "NoSuchWorm.exe";

void ours(benchmark::State& state) {
    const ProcProcessTable table;
    ImageKiller killer;
    const WatchEntry absent{"Timer1", kAbsentName};
    Monitor monitor(table, killer, {&absent, 1});
    // Asked again, the one entry looks again.
    for (auto _ : state) benchmark::DoNotOptimize(monitor.FindProcess(kAbsentName));
}

void floor(benchmark::State& state) {
    std::size_t processes = 0;
    for (auto _ : state) processes = floorEnumeration();
    state.counters["processes"] = double(processes);
}

// The floor plus the command names of processes without a readable
// executable link, which the naming rule needs and the floor leaves out.
void floorWithCommandNames(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(floorEnumeration(true));
}

void libproc2(benchmark::State& state) {
    pids_item items[] = {PIDS_EXE};
    pids_info* info = nullptr;
    if (procps_pids_new(&info, items, 1) < 0) {
        state.SkipWithError("procps_pids_new failed");
        return;
    }
    for (auto _ : state) {
        const pids_fetch* fetched = procps_pids_reap(info, PIDS_FETCH_TASKS_ONLY);
        if (!fetched) {
            state.SkipWithError("procps_pids_reap failed");
            break;
        }
        // The same question a look asks, on what libproc2 read.
        bool found = false;
        for (int i = 0; i < fetched->counts->total && !found; ++i) {
            const char* exe = PIDS_VAL(0, str, fetched->stacks[i], info);
            found = lastComponent(proctext::withoutDeletedMark(exe ? exe : "")) == kAbsentName;
        }
        benchmark::DoNotOptimize(found);
    }
    procps_pids_unref(&info);
}

// What ending one copy costs the calling (user-interface) thread: pinning
// it, checking it is still the copy found, and the signal. The copy is
// started and reaped untimed.
void killCopy(benchmark::State& state) {
    ImageKiller killer;
    const ProcProcessTable table(0);
    for (auto _ : state) {
        state.PauseTiming();
        const pid_t copy = spawn("/bin/sleep", {"600"});
        std::optional<ProcessKey> key;
        table.visitProcess(copy, [&](const ProcProcessRecord& process) { key = process.key(); });
        state.ResumeTiming();
        benchmark::DoNotOptimize(killer.end({"sleep", "", key.value_or(ProcessKey{})}));
        state.PauseTiming();
        endProcess(copy);
        state.ResumeTiming();
    }
}

// Keeps the median CPU time per iteration (in microseconds) of every
// benchmark. CPU time, not wall time: on a machine shared with other work a
// pass's wall time also counts the time the pass waited for a core.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            times_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            if (const auto count = run.counters.find("processes"); count != run.counters.end())
                processes_ = count->second.value;
        }
    }
    double median(const std::string& name) {
        std::vector<double>& times = times_[name];
        if (times.empty()) return 0;
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }
    double processes() const { return processes_; }

private:
    std::map<std::string, std::vector<double>> times_;
    double processes_ = 0;
};

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
    using namespace quorvex::bench;
    const int idle = std::stoi(takeOption(argc, argv, "idle", "300"));
    const int repetitions = std::stoi(takeOption(argc, argv, "repetitions", "5"));
    // Interleaved repetitions spread the machine's other load over all three.
    std::vector<char*> arguments(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave.data());
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

    quorvex::raiseOpenFileLimit();  // as the program does, so that the table keeps what it would there
    const IdleProcesses children(idle);
    for (auto [name, function] : {std::pair{"ours", &ours}, {"floor", &floor},
                                  {"floor_with_command_names", &floorWithCommandNames}, {"libproc2", &libproc2}})
        benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMicrosecond)->Repetitions(repetitions);
    benchmark::RegisterBenchmark("kill_copy", killCopy)
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(100)
        ->Repetitions(repetitions);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double processes = reporter.processes();
    const double oursTime = reporter.median("ours");
    const double floorTime = reporter.median("floor");
    const double peerTime = reporter.median("libproc2");
    const double namesTime = reporter.median("floor_with_command_names");
    if (processes <= 0 || oursTime <= 0 || floorTime <= 0 || peerTime <= 0) {
        std::fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    std::printf("processes=%.0f (idle children: %d)\n", processes, idle);
    for (auto [name, time] : {std::pair{"ours", oursTime}, {"floor", floorTime},
                              {"floor_with_command_names", namesTime}, {"libproc2", peerTime}})
        std::printf("%-24s %9.1f us/enumeration %7.2f us/process\n", name, time, time / processes);
    std::printf("kill_copy %.1f us on the calling thread\n", reporter.median("kill_copy"));
    std::printf("ours_vs_floor_with_command_names=%.2f\n", oursTime / namesTime);
    std::printf("ratio_vs_libproc2=%.2f\n", peerTime / oursTime);
    std::printf("ratio_vs_floor=%.2f\n", oursTime / floorTime);
    return 0;
}
