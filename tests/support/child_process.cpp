#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace quorvex::test {

namespace fs = std::filesystem;

namespace {

std::vector<char*> cStrings(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// In the forked child: only async-signal-safe calls, and no return. A failure
// is written to `report` as an errno value for the parent to throw.
[[noreturn]] void becomeProgram(const char* program, char* const* argv, char* const* env, const char* directory,
                                const char* output, std::optional<int> passFd, pid_t parent, int report) {
    // The passed descriptor's number must stay free.
    if (report == kPassedFd) report = fcntl(report, F_DUPFD_CLOEXEC, kPassedFd + 1);
    auto fail = [report] {
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
    };
    // Should the test itself die, what it started goes with it.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(126);
    setpgid(0, 0);  // the test's terminal signals are not the child's
    if (*directory && chdir(directory) != 0) fail();
    if (*output) {
        const int out = open(output, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (out < 0 || in < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
            dup2(out, STDERR_FILENO) < 0)
            fail();
    }
    if (passFd && (*passFd == kPassedFd ? fcntl(kPassedFd, F_SETFD, 0) : dup2(*passFd, kPassedFd)) < 0) fail();
    // Nothing else this process holds (CTest's pipes among it) passes on.
    close_range(passFd ? kPassedFd + 1 : kPassedFd, ~0U, CLOSE_RANGE_CLOEXEC);
    execvpe(program, argv, env);
    fail();
    _exit(127);
}

}  // namespace

std::vector<std::string> inheritedEnvironment() {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) result.emplace_back(*entry);
    return result;
}

std::vector<std::string> withVariables(std::vector<std::string> base, const std::vector<std::string>& changes) {
    for (const std::string& change : changes) {
        const std::string name = change.substr(0, change.find('='));
        std::erase_if(base, [&](const std::string& entry) { return entry.substr(0, entry.find('=')) == name; });
        if (name.size() < change.size()) base.push_back(change);
    }
    return base;
}

Child::Child(const fs::path& program, std::vector<std::string> arguments, ChildOptions options) {
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    arguments.insert(arguments.begin(), options.argv0.value_or(program.string()));
    std::vector<std::string> environment = options.environment.value_or(inheritedEnvironment());
    const std::vector<char*> argv = cStrings(arguments);
    const std::vector<char*> env = cStrings(environment);
    const std::string directory = options.directory.string(), output = options.log.string();

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0)
        becomeProgram(program.c_str(), argv.data(), env.data(), directory.c_str(), output.c_str(), options.passFd,
                      parent, report[1]);
    const int forkError = errno;
    close(report[1]);
    if (pid_ < 0) {
        close(report[0]);
        throw std::system_error(forkError, std::generic_category(), "fork");
    }
    // The report pipe closes at the exec: nothing read means the program runs.
    int execError = 0;
    const bool failed = read(report[0], &execError, sizeof execError) == sizeof execError;
    close(report[0]);
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (failed) {
        waitForExit(5s);
        closePidfd();
        throw std::system_error(execError, std::generic_category(), "cannot start " + program.string());
    }
}

Child::Child(Child&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      pidfd_(std::exchange(other.pidfd_, -1)),
      status_(std::exchange(other.status_, std::nullopt)) {}

Child& Child::operator=(Child&& other) noexcept {
    if (this != &other) {
        stop();
        closePidfd();
        pid_ = std::exchange(other.pid_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        status_ = std::exchange(other.status_, std::nullopt);
    }
    return *this;
}

Child::~Child() {
    stop();
    closePidfd();
}

void Child::closePidfd() {
    if (pidfd_ >= 0) close(pidfd_);
    pidfd_ = -1;
}

pid_t Child::detach() {
    closePidfd();
    status_.reset();
    return std::exchange(pid_, -1);
}

std::optional<int> Child::waitForExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0 || status_) return status_;
    pollfd ended{pidfd_, POLLIN, 0};
    if (pidfd_ >= 0 && poll(&ended, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
    int status = 0;
    // Without a pidfd (an old kernel), poll the child instead.
    const bool reaped = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout);
    if (reaped) status_ = status;
    return status_;
}

void Child::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    if (waitForExit(2s)) return;
    kill(pid_, SIGKILL);
    waitForExit(std::chrono::hours(1));
}

bool diedOfSigkill(const std::optional<int>& status) {
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL;
}

int runCommand(const std::vector<std::string>& argv, std::chrono::seconds timeout, ChildOptions options) {
    std::vector<std::string> arguments{"--kill-after=5", std::to_string(timeout.count())};
    arguments.insert(arguments.end(), argv.begin(), argv.end());
    Child command("timeout", std::move(arguments), std::move(options));
    const std::optional<int> status = command.waitForExit(timeout + 10s);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) != 124 ? WEXITSTATUS(*status) : -1;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

fs::path copyProgram(const fs::path& program, const fs::path& destination) {
    fs::copy_file(program, destination, fs::copy_options::overwrite_existing);
    fs::permissions(destination, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    return destination;
}

std::string uniqueImageName(std::string_view stem) {
    return std::string(stem) + "-" + std::to_string(getpid()) + ".exe";
}

}  // namespace quorvex::test
