#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <set>
#include <thread>

#include "monitor/monitor.h"
#include "platform/linux/proc_table.h"
#include "real_processes.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

struct Seen {
    std::string name;
    std::optional<std::string> path;
};

// What one fresh pass reports for `pid`.
std::optional<Seen> lookUp(const ProcProcessTable& table, pid_t pid) {
    std::optional<Seen> seen;
    table.forEachProcess([&](const ProcProcessRecord& process) {
        if (process.pid() == pid) seen = Seen{std::string(process.name()), process.executablePath()};
        return !seen;
    });
    return seen;
}

TEST(ProcProcessTable, FindsWormCopiesByTheWatchListSpelling) {
    const TempFolder folder;
    const ProcProcessTable table;
    const fs::path winsvcs = copyProgram(kSleepProgram, folder / "WinSvcs.exe");
    const fs::path services = copyProgram(kSleepProgram, folder / "WindowsServices.exe");
    ASSERT_FALSE(FindProcess(table, "winsvcs.exe"));
    ASSERT_FALSE(FindProcess(table, "WindowsServices.exe"));
    {
        const auto first = startSleeper(winsvcs);
        const auto second = startSleeper(services);
        EXPECT_TRUE(FindProcess(table, "winsvcs.exe"));
        // 19 characters: more than the kernel's command name keeps.
        EXPECT_TRUE(FindProcess(table, "WindowsServices.exe"));
        EXPECT_FALSE(FindProcess(table, "WindowsServices.ex"));
        EXPECT_FALSE(FindProcess(table, "dowsServices.exe"));

        const auto seen = lookUp(table, second->pid());
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->name, "WindowsServices.exe");
        EXPECT_EQ(seen->path, services.string());
    }
    EXPECT_FALSE(FindProcess(table, "winsvcs.exe")) << "the copies have exited";
    EXPECT_FALSE(FindProcess(table, "WindowsServices.exe"));
}

TEST(ProcProcessTable, NamesAProcessByItsExecutableNotByTheLinkItWasStartedThrough) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("DeviceManager");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);
    fs::create_symlink(worm, folder / "launcher");
    const auto child = startSleeper(folder / "launcher");

    EXPECT_TRUE(FindProcess(table, name));
    EXPECT_FALSE(FindProcess(table, "launcher"));
    EXPECT_EQ(lookUp(table, child->pid())->path, worm.string());
}

TEST(ProcProcessTable, KeepsTheNameAndPathOfAnExecutableDeletedWhileRunning) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("winrgtt");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);
    const auto child = startSleeper(worm);
    fs::remove(worm);

    const auto seen = lookUp(table, child->pid());
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->name, name);
    EXPECT_EQ(seen->path, worm.string());
}

TEST(ProcProcessTable, PassesOverAnExitedProcessNotYetReaped) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("sysfgdrvs");
    Child child(copyProgram(kSleepProgram, folder / name), {"600"});
    ASSERT_TRUE(FindProcess(table, name));
    ASSERT_EQ(::kill(child.pid(), SIGKILL), 0);
    // Until reaped the process stays a zombie; waitid with WNOWAIT waits for that without reaping.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, id_t(child.pid()), &info, WEXITED | WNOWAIT), 0);

    EXPECT_FALSE(FindProcess(table, name));
    EXPECT_FALSE(lookUp(table, child.pid()));
}

// The command name a process's stat file gives, for comparing.
std::string commandNameOf(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

TEST(ProcProcessTable, NamesProcessesWithoutAReadableExecutableByTheirCommandName) {
    // Kernel threads have no executable.
    const ProcProcessTable table;
    int kernelThreads = 0;
    table.forEachProcess([&](const ProcProcessRecord& process) {
        if (process.executablePath()) return true;
        ++kernelThreads;
        EXPECT_EQ(process.name(), commandNameOf(process.pid())) << process.pid();
        return true;
    });
    if (kernelThreads == 0) GTEST_SKIP() << "no process without an executable is visible here";
}

TEST(ProcProcessTable, SeesAnotherUsersLongNameWithoutItsExecutable) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to take another user's identity";
    const TempFolder folder;
    // Longer than the 15 characters of a command name.
    const std::string name = uniqueImageName("WindowsServices");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);
    const auto child = startSleeper(worm);

    // A child that drops to an unprivileged user cannot read root's
    // executable links: it must extend the cut command name from argv[0].
    const pid_t observer = ::fork();
    ASSERT_GE(observer, 0);
    if (observer == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(10);
        const auto seen = lookUp(ProcProcessTable(), child->pid());
        if (!seen) ::_exit(11);
        if (seen->name != name) ::_exit(12);
        if (seen->path) ::_exit(13);
        ::_exit(FindProcess(ProcProcessTable(), name) ? 0 : 14);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(observer, &status, 0), observer);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no identity change, 11: not seen, 12: wrong name, "
                                         "13: path read, 14: FindProcess missed it";
}

TEST(ProcProcessTable, EnumeratesThroughProcessChurnWithoutFailingOrRepeating) {
    const ProcProcessTable table;
    constexpr int kShortLived = 2000;
    constexpr int kEnumerations = 1000;
    // Both sides go on until the other has done its share, so every one of
    // the enumerations runs while processes start and exit.
    std::atomic<bool> enumerating = true, churning = true;
    std::set<pid_t> churnPids;
    std::thread churn([&] {
        for (int i = 0; i < kShortLived || enumerating; ++i) {
            Child child("/bin/true");
            churnPids.insert(child.pid());
            child.waitForExit();
        }
        churning = false;
    });

    std::set<pid_t> everSeen;
    for (int enumerations = 1; enumerations <= kEnumerations || churning; ++enumerations) {
        std::set<pid_t> seen;
        EXPECT_NO_THROW(table.forEachProcess([&](const ProcProcessRecord& process) {
            EXPECT_TRUE(seen.insert(process.pid()).second) << "pid " << process.pid() << " twice";
            return true;
        }));
        everSeen.merge(seen);
        if (enumerations == kEnumerations) enumerating = false;
    }
    churn.join();

    const auto churnSeen = std::count_if(churnPids.begin(), churnPids.end(),
                                         [&](pid_t pid) { return everSeen.count(pid) != 0; });
    EXPECT_GT(churnSeen, 0) << "the enumerations never met a short-lived process";
}

}  // namespace
}  // namespace quorvex::test
