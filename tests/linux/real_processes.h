// Real files and processes for the Linux backend tests: a temporary folder
// with a hostile name, program copies under worm names, and child processes
// that are always ended and reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::test {

// A fresh folder under the system's temporary directory, removed with all it
// holds. Its name has a space and Chinese characters.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Copies `program` to `destination`, executable.
std::filesystem::path copyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& destination);

// The small program the tests run under other names.
inline const std::filesystem::path kSleepProgram = "/bin/sleep";

// A child process, killed and reaped when the object goes.
class Child {
public:
    // Runs `program` with `arguments` (argv[0] is the program's path unless given).
    explicit Child(const std::filesystem::path& program, std::vector<std::string> arguments = {},
                   std::optional<std::string> argv0 = std::nullopt);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the child to end and reaps it: its wait status, or nullopt
    // when it still runs after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True while the child runs (a child that ended is reaped here).
    bool running();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A sleeping copy of the small program, run from `path`.
inline std::unique_ptr<Child> startSleeper(const std::filesystem::path& path) {
    return std::make_unique<Child>(path, std::vector<std::string>{"600"});
}

bool diedOfSigkill(const std::optional<int>& status);

// An image name that no other process on this machine has ("stem-PID.exe"):
// a guard running beside the tests must not take our processes, nor we its.
std::string uniqueImageName(std::string_view stem);

}  // namespace quorvex::test
