#include <fcntl.h>
#include <signal.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <atomic>
#include <set>
#include <thread>

#include "child_process.h"
#include "monitor/monitor.h"
#include "single_watch.h"
#include "platform/linux/proc/proc_text.h"
#include "platform/linux/process_table.h"
#include "proc_reading.h"
#include "process_table_contract.h"
#include "temp_folder.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// Copies of the shell in a folder of their own, each waiting for the path of
// a program to run in its place.
class ProcDriver final : public ProcessTableDriver {
public:
    ~ProcDriver() override {
        for (const Copy& copy : copies_) ::close(copy.next);
    }
    const ProcessTable& table() override { return table_; }
    std::string uniqueName(std::string_view stem) override { return uniqueImageName(stem); }
    int start(const std::string& name) override {
        startCopy(name, kWaitForNext);
        return int(copies_.size()) - 1;
    }
    bool running(int copy) override { return copies_.at(copy).process->running(); }
    void end(int copy) override { copies_.at(copy).process->stop(); }
    std::string executablePath(const std::string& name) override { return (folder_ / name).string(); }

    bool execAs(int copy, const std::string& name) override {
        const std::string line = standIn(name).string() + "\n";
        const pid_t pid = copies_.at(copy).process->pid();
        return ::write(copies_.at(copy).next, line.data(), line.size()) == ssize_t(line.size()) &&
               waitUntil([&] { return runs(pid, name); }, 30s);
    }
    // The kernel gives a new process the ID after the one written to
    // ns_last_pid, where this test may write it (as root), unless another
    // process on the machine takes it first: tried again then.
    bool reuseIdAs(int copy, const std::string& name) override {
        const pid_t pid = copies_.at(copy).process->pid();
        end(copy);
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::ofstream lastId("/proc/sys/kernel/ns_last_pid");
            if (!(lastId << pid - 1 << std::flush)) return false;
            if (startCopy(name, kWait) == pid) return true;
            copies_.back().process->stop();  // not under the ID: no copy of this name may stay
        }
        return false;
    }

private:
    struct Copy {
        std::unique_ptr<Child> process;
        int next;  // where the copy reads the program to run next
    };
    // The shell's scripts: wait for descriptor 3 to close, or first run the
    // program whose path comes on it, which then waits so.
    static constexpr const char* kWait = "read line <&3";
    static constexpr const char* kWaitForNext = "read next <&3 && exec \"$next\" -c 'read line <&3'";

    // Starts a copy as `name` running `script`, with the read end of its pipe: its process ID.
    pid_t startCopy(const std::string& name, const char* script) {
        int next[2];
        if (::pipe2(next, O_CLOEXEC) != 0) throw std::system_error(errno, std::system_category(), "pipe");
        copies_.push_back({std::make_unique<Child>(standIn(name), std::vector<std::string>{"-c", script},
                                                   ChildOptions{.passFd = next[0]}),
                           next[1]});
        ::close(next[0]);
        return copies_.back().process->pid();
    }

    // The stand-in as `name`; a running copy cannot be written over.
    fs::path standIn(const std::string& name) {
        const fs::path program = folder_ / name;
        if (!fs::exists(program)) copyProgram("/bin/sh", program);
        return program;
    }
    static bool runs(pid_t pid, const std::string& name) {
        std::error_code gone;
        return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", gone).filename() == name;
    }

    const TempFolder folder_;
    const ProcProcessTable table_;
    std::vector<Copy> copies_;
};

std::unique_ptr<ProcessTableDriver> makeProcDriver() { return std::make_unique<ProcDriver>(); }

INSTANTIATE_TEST_SUITE_P(Proc, ProcessTableContract, testing::Values(&makeProcDriver));

TEST(ProcProcessTable, NamesAProcessByItsExecutableNotByTheLinkItWasStartedThrough) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("DeviceManager");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);
    fs::create_symlink(worm, folder / "launcher");
    const auto child = startSleeper(folder / "launcher");

    EXPECT_TRUE(monitorSees(table, name));
    EXPECT_FALSE(monitorSees(table, "launcher"));
    EXPECT_EQ(lookUp(table, child->pid())->path, worm.string());
}

// A table reads each process through what it kept from the pass before: it
// must still see the process as it is now.
TEST(ProcProcessTable, SeesAProcesssExecutableAsItIsNowAfterARenameOrAnExec) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string started = uniqueImageName("launcher");
    const std::string renamed = uniqueImageName("WinSvcs");
    const std::string worm = uniqueImageName("DeviceManager");
    copyProgram(kSleepProgram, folder / worm);
    int go[2];
    ASSERT_EQ(::pipe2(go, O_CLOEXEC), 0);
    Child shell(copyProgram("/bin/sh", folder / started), {"-c", "read line <&3; exec \"$0\" 600", folder / worm},
                {.passFd = go[0]});
    ::close(go[0]);
    const auto nameNow = [&] { return lookUp(table, shell.pid()).value_or(Seen{}).name; };
    ASSERT_EQ(nameNow(), started);

    fs::rename(folder / started, folder / renamed);
    EXPECT_EQ(nameNow(), renamed);

    ASSERT_EQ(::write(go[1], "\n", 1), 1);
    ::close(go[1]);
    EXPECT_TRUE(waitUntil([&] { return nameNow() == worm; }, 10s)) << nameNow();
    EXPECT_EQ(lookUp(table, shell.pid())->path, (folder / worm).string());
}

TEST(ProcProcessTable, KeepsTheNameAndPathOfAnExecutableDeletedWhileRunning) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("winrgtt");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);
    const auto child = startSleeper(worm);
    fs::remove(worm);
    // Another file at the marked path is not the one running.
    copyProgram(kSleepProgram, folder / (name + " (deleted)"));

    const auto seen = lookUp(table, child->pid());
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->name, name);
    EXPECT_EQ(seen->path, worm.string());
}

TEST(ProcProcessTable, KeepsAFileNameThatReallyEndsInTheDeletedMark) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("winsvcs") + " (deleted)";
    const fs::path program = copyProgram(kSleepProgram, folder / name);
    const auto child = startSleeper(program);

    const auto present = lookUp(table, child->pid());
    ASSERT_TRUE(present);
    EXPECT_EQ(present->name, name);
    EXPECT_EQ(present->path, program.string());

    fs::remove(program);
    const auto deleted = lookUp(table, child->pid());
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->name, name);
    EXPECT_EQ(deleted->path, program.string());
}

TEST(ProcProcessTable, PassesOverAnExitedProcessNotYetReaped) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::string name = uniqueImageName("sysfgdrvs");
    Child child(copyProgram(kSleepProgram, folder / name), {"600"});
    ASSERT_TRUE(monitorSees(table, name));
    ASSERT_EQ(::kill(child.pid(), SIGKILL), 0);
    // Until reaped the process stays a zombie; waitid with WNOWAIT waits for that without reaping.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, id_t(child.pid()), &info, WEXITED | WNOWAIT), 0);

    EXPECT_FALSE(monitorSees(table, name));
    EXPECT_FALSE(lookUp(table, child.pid()));
}

// A forked copy of this test program whose first thread has exited while
// another runs on; killed and reaped when the object goes.
class LeaderExited {
public:
    LeaderExited() : pid_(::fork()) {
        if (pid_ != 0) return;
        pthread_t thread;
        if (::pthread_create(&thread, nullptr, [](void*) -> void* { for (;;) ::pause(); }, nullptr) != 0) ::_exit(1);
        // The thread's own exit, without pthread_exit's unwinding through the
        // test framework, which would catch it.
        ::syscall(SYS_exit, 0);
    }
    ~LeaderExited() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

// The state letter of /proc/PID/stat.
char stateOf(pid_t pid) {
    const std::string stat = procText(pid, "stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

TEST(ProcProcessTable, NamesALiveProcessWhoseLeaderHasExitedThroughAnotherThread) {
    const ProcProcessTable table;
    const LeaderExited process;
    ASSERT_GT(process.pid(), 0);
    // The leader shows as a zombie once it has exited.
    ASSERT_TRUE(waitUntil([&] { return stateOf(process.pid()) == 'Z'; }, 10s));

    const fs::path self = fs::read_symlink("/proc/self/exe");
    for (int pass = 0; pass < 2; ++pass) {
        const auto seen = lookUp(table, process.pid());
        ASSERT_TRUE(seen) << "pass " << pass;
        EXPECT_EQ(seen->name, self.filename().string());
        EXPECT_EQ(seen->path, self.string());
    }
}

// The kernel threads of this moment, read from their stat files.
std::set<pid_t> kernelThreads() {
    std::set<pid_t> threads;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto fields = proctext::parseStat(procText(std::stoi(name), "stat"));
        if (fields && fields->kernelThread) threads.insert(std::stoi(name));
    }
    return threads;
}

TEST(ProcProcessTable, PassesOverKernelThreadsButNotTheProcessesBesideThem) {
    const TempFolder folder;
    const ProcProcessTable table;
    const std::set<pid_t> threads = kernelThreads();
    if (threads.empty()) GTEST_SKIP() << "no kernel thread is visible here (a PID namespace of its own)";
    // Later passes take the kernel threads met before by a shorter road.
    for (int pass = 0; pass < 3; ++pass) {
        const std::string name = uniqueImageName("kthreadd") + std::to_string(pass);
        const auto child = startSleeper(copyProgram(kSleepProgram, folder / name));
        bool childSeen = false;
        table.forEachProcess([&](const ProcProcessRecord& process) {
            EXPECT_FALSE(threads.count(process.pid())) << "kernel thread " << process.pid() << " named "
                                                        << process.name() << " in pass " << pass;
            childSeen = childSeen || process.pid() == child->pid();
            return true;
        });
        EXPECT_TRUE(childSeen) << "pass " << pass;
        EXPECT_TRUE(monitorSees(table, name)) << "pass " << pass;
    }
}

TEST(ProcProcessTable, EnumeratesThroughProcessChurnWithoutFailingOrRepeating) {
    const ProcProcessTable table;
    // A few hundred of each meet every race a few thousand do; more only
    // slowed the sanitizer build, where each start costs far more.
    constexpr int kShortLived = 300;
    constexpr int kEnumerations = 300;
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
