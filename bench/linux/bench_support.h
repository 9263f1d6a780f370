// Shared pieces of the benchmarks: idle processes to enumerate, the kernel's
// floor for one enumeration, and small command-line options.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.h"

namespace quorvex::bench {

// Idle child processes that make the process table bigger.
class IdleProcesses {
public:
    explicit IdleProcesses(int count);

private:
    std::vector<test::Child> children_;
};

// Starts `program` with `arguments` (argv[0] is the program), for the caller
// to end with endProcess; throws on failure.
pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& extraEnvironment = {});

// The least one enumeration of the process names can cost: getdents64 over
// /proc and one readlinkat of each process's executable link, nothing else.
// With `commandNames`, also one read of /proc/PID/stat for each process
// whose link cannot be read (kernel threads): what naming those costs.
// Returns the number of processes.
std::size_t floorEnumeration(bool commandNames = false);

// Ends a child process by PID and reaps it.
void endProcess(pid_t pid);

// Starts the program built beside the benchmarks on Qt's offscreen platform.
pid_t startQuorvex(const std::filesystem::path& program);

// CPU time used so far by process `pid` and by its reaped children, in seconds.
double cpuSeconds(pid_t pid);
// How often the threads of process `pid` running now have gone to sleep and
// been woken so far: their voluntary context switches.
long wakeups(pid_t pid);

// Takes "--name=value" out of argv (so that the benchmark library does not
// see it) and returns its value, or `fallback`.
std::string takeOption(int& argc, char** argv, std::string_view name, std::string fallback);

// The options of the benchmarks that run the program, taken after their own:
// --idle=N extra idle processes (300) and --quorvex=PATH. Exits on any other.
struct ProgramOptions {
    int idle = 300;
    std::filesystem::path quorvex;
};
ProgramOptions takeProgramOptions(int& argc, char** argv);

}  // namespace quorvex::bench
