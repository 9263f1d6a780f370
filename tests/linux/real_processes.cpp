#include "real_processes.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace quorvex::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorvex 测试 U盘 XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::system_category(), "mkdtemp");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path copyProgram(const fs::path& program, const fs::path& destination) {
    fs::copy_file(program, destination, fs::copy_options::overwrite_existing);
    fs::permissions(destination, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    return destination;
}

Child::Child(const fs::path& program, std::vector<std::string> arguments,
             std::optional<std::string> argv0) {
    arguments.insert(arguments.begin(), argv0.value_or(program.string()));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // posix_spawn returns once the program runs, so its /proc entry is final.
    const int error = ::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) throw std::system_error(error, std::system_category(), "posix_spawn " + program.string());
}

Child::~Child() {
    if (status_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

std::optional<int> Child::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return status_;
}

bool Child::running() { return !waitForExit(std::chrono::milliseconds(0)); }

bool diedOfSigkill(const std::optional<int>& status) {
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL;
}

std::string uniqueImageName(std::string_view stem) {
    return std::string(stem) + "-" + std::to_string(::getpid()) + ".exe";
}

}  // namespace quorvex::test
