// Child processes of a test or benchmark: started from an argument list (no
// shell), always ended and reaped, never anything else signalled.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::test {

using namespace std::chrono_literals;

// The descriptor number ChildOptions::passFd gets in the child.
constexpr int kPassedFd = 3;

// How a child starts; every default is this process's own.
struct ChildOptions {
    std::optional<std::string> argv0;                     // the program's path when absent
    std::optional<std::vector<std::string>> environment;  // this process's when absent
    std::filesystem::path directory;                      // this process's when empty
    std::filesystem::path log;                            // output appended here; inherited when empty
    std::optional<int> passFd;                            // given to the child as kPassedFd
};

// A process this test started. Ended (SIGTERM, then SIGKILL) and reaped when
// the object goes; if the test itself dies, the kernel ends it too.
class Child {
public:
    Child() = default;
    // Runs `program` (searched on PATH when it has no slash) with `arguments`;
    // returns once the program runs, so its /proc entry is final. Throws when
    // it cannot be started.
    explicit Child(const std::filesystem::path& program, std::vector<std::string> arguments = {},
                   ChildOptions options = {});
    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    ~Child();

    pid_t pid() const { return pid_; }
    // Waits for the child to end and reaps it: its wait status, or nullopt
    // when it still runs after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = 5s);
    // True while the child runs (a child that ended is reaped here).
    bool running() { return pid_ > 0 && !waitForExit(0ms); }
    // The wait status once reaped.
    std::optional<int> status() const { return status_; }
    void stop();
    // Gives the process up: the caller ends and reaps it. Its pid.
    pid_t detach();

private:
    void closePidfd();

    pid_t pid_ = -1;
    int pidfd_ = -1;  // readable once the child has ended
    std::optional<int> status_;
};

bool diedOfSigkill(const std::optional<int>& status);

// Runs a command to its end, killed after `timeout` so that nothing it waits
// for can hang the test. Returns its exit status, or -1 when it did not exit
// by itself.
int runCommand(const std::vector<std::string>& argv, std::chrono::seconds timeout, ChildOptions options = {});

// This process's environment.
std::vector<std::string> inheritedEnvironment();
// `base` with `changes` applied: "NAME=value" sets NAME, a bare "NAME" removes it.
std::vector<std::string> withVariables(std::vector<std::string> base, const std::vector<std::string>& changes);

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Copies `program` to `destination`, executable.
std::filesystem::path copyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& destination);

// The small program the tests run under other names.
inline const std::filesystem::path kSleepProgram = "/bin/sleep";

// A sleeping copy of the small program, run from `path`.
inline std::unique_ptr<Child> startSleeper(const std::filesystem::path& path) {
    return std::make_unique<Child>(path, std::vector<std::string>{"600"});
}

// An image name that no other process on this machine has ("stem-PID.exe"):
// a guard running beside the tests must not take our processes, nor we its.
std::string uniqueImageName(std::string_view stem);

}  // namespace quorvex::test
