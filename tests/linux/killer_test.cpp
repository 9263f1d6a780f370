#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

#include "child_process.h"
#include "monitor/monitor.h"
#include "platform/linux/files.h"
#include "platform/linux/killer.h"
#include "platform/linux/process_table.h"
#include "platform/linux/system/file_descriptor.h"
#include "single_watch.h"
#include "remedy/cleanup.h"
#include "temp_folder.h"

extern char** environ;

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// A copy of the small program in a memfd named `name`, run from there with
// fexecve, as a worm that leaves no file behind does. Killed and reaped when
// the object goes.
class RunFromMemory {
public:
    explicit RunFromMemory(std::string name) : name_(std::move(name)) {
        std::ifstream program(kSleepProgram, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(program), {}};
        const FileDescriptor memory(::memfd_create(name_.c_str(), MFD_CLOEXEC));
        int ran[2];
        if (!memory || ::write(memory.get(), bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
            ::pipe2(ran, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::system_category(), "memfd");
        // argv[0] says nothing of the name: only the memfd does.
        std::string argv0 = "sleep", duration = "600";
        char* const argv[] = {argv0.data(), duration.data(), nullptr};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::fexecve(memory.get(), argv, environ);
            const int error = errno;
            (void)!::write(ran[1], &error, sizeof error);
            ::_exit(127);
        }
        ::close(ran[1]);
        // The pipe closes unwritten once the program runs.
        int error = 0;
        const bool failed = ::read(ran[0], &error, sizeof error) > 0;
        ::close(ran[0]);
        if (pid_ < 0 || failed) throw std::system_error(pid_ < 0 ? errno : error, std::system_category(), "fexecve");
    }
    ~RunFromMemory() {
        if (status_) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }
    // The wait status once it has ended, within `bound`.
    std::optional<int> waitForExit(std::chrono::milliseconds bound = 5s) {
        int status = 0;
        if (!status_ && waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, bound)) status_ = status;
        return status_;
    }

private:
    std::string name_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};


// What a pass reads as the key of the process `pid`.
ProcessKey keyOf(pid_t pid) {
    std::optional<ProcessKey> key;
    ProcProcessTable(0).visitProcess(pid, [&](const ProcProcessRecord& process) { key = process.key(); });
    if (!key) throw std::runtime_error("process " + std::to_string(pid) + " has gone");
    return *key;
}

TEST(ImageKiller, ATickEndsEveryCopyOfTheNameAndNothingElse) {
    const TempFolder folder;
    fs::create_directory(folder / "other drive");
    const std::string name = uniqueImageName("WinSvcs");
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));

    std::vector<std::unique_ptr<Child>> copies;
    copies.push_back(startSleeper(copyProgram(kSleepProgram, folder / name)));
    copies.push_back(startSleeper(folder / name));
    copies.push_back(startSleeper(copyProgram(kSleepProgram, folder / "other drive" / upper)));
    const auto other = startSleeper(copyProgram(kSleepProgram, folder / uniqueImageName("DriveMgr")));
    const auto prefixed = startSleeper(copyProgram(kSleepProgram, folder / ("x" + name)));
    const auto suffixed = startSleeper(copyProgram(kSleepProgram, folder / (name + ".bak")));

    ImageKiller killer;
    const auto detection = pollTickFor(ProcProcessTable(), killer, name);
    ASSERT_TRUE(detection);
    EXPECT_FALSE(detection->refused);
    for (auto& copy : copies) EXPECT_TRUE(diedOfSigkill(copy->waitForExit())) << copy->pid();
    // The tick has returned, so whatever it would end has been signalled.
    EXPECT_TRUE(other->running());
    EXPECT_TRUE(prefixed->running());
    EXPECT_TRUE(suffixed->running());
    // No shell or other child was started: after reaping the victims, only
    // the bystanders are children of ours.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), 0);
}

TEST(ImageKiller, NeverEndsItsOwnProcess) {
    const TempFolder folder;
    const fs::path probe = copyProgram(QUORVEX_KILL_PROBE, folder / uniqueImageName("VolDriver"));
    Child sibling(probe, {"wait"});
    Child killer(probe, {"kill", probe.filename().string()});

    const auto status = killer.waitForExit();
    ASSERT_TRUE(status && WIFEXITED(*status)) << "the probe was killed";
    EXPECT_EQ(WEXITSTATUS(*status), 0) << "its tick found the copies and was refused nothing";
    EXPECT_TRUE(diedOfSigkill(sibling.waitForExit()));
}

// A program copied into memory runs from no file: it is named by its memfd's
// name, seen and killed by it, and leaves no file for the cleanup to touch.
TEST(ImageKiller, KillsAProgramRunFromMemoryWhichLeavesNoFileToClean) {
    const std::string name = uniqueImageName("winsvcs");
    RunFromMemory worm(name);
    const ProcProcessTable table;
    ASSERT_TRUE(monitorSees(table, name));

    ImageKiller killer;
    const auto detection = pollTickFor(table, killer, name);
    ASSERT_TRUE(detection && detection->lastExecutable);
    EXPECT_TRUE(diedOfSigkill(worm.waitForExit()));
    EXPECT_EQ(detection->lastExecutable->path, "") << "there is no file";
    EXPECT_FALSE(detection->lastExecutable->identity);
    PosixFileSystem files;
    EXPECT_EQ(cleanUp(detection->lastExecutable->path, detection->lastExecutable->identity, files),
              CleanupOutcome::Failed);
}

// The order's command line is the Windows backend's; here it is never read,
// whatever it says.
TEST(ImageKiller, EndsTheOrderedCopyWhateverTheCommandLineSays) {
    const TempFolder folder;
    const std::string name = uniqueImageName("winversvcs");
    const std::string spared = uniqueImageName("sysfgdrvs");
    const auto bystander = startSleeper(copyProgram(kSleepProgram, folder / spared));
    copyProgram(kSleepProgram, folder / name);
    for (const std::string& line : {"cmd /c taskkill /f /im " + spared, std::string("rm -rf /"), std::string()}) {
        SCOPED_TRACE(line);
        const auto victim = startSleeper(folder / name);
        EXPECT_EQ(ImageKiller().end({name, line, keyOf(victim->pid())}), KillOutcome::Ended);
        EXPECT_TRUE(diedOfSigkill(victim->waitForExit()));
    }
    EXPECT_TRUE(bystander->running());
}

// Between the pass that found a copy and its kill, the copy's ID may have
// become another program's: the pinned process is checked again, by its
// start time and its name, and an innocent one is left alone.
TEST(ImageKiller, ChecksThePinnedProcessIsStillTheCopyFound) {
    const TempFolder folder;
    const std::string worm = uniqueImageName("winhxvh");
    const fs::path innocent = copyProgram(kSleepProgram, folder / uniqueImageName("notepad"));
    int go[2];
    ASSERT_EQ(::pipe2(go, O_CLOEXEC), 0);
    Child copy(copyProgram("/bin/sh", folder / worm), {"-c", "read line <&3; exec \"$0\" 600", innocent},
               {.passFd = go[0]});
    ::close(go[0]);
    const ProcessKey found = keyOf(copy.pid());

    // An ID whose process started at another time is another process's.
    EXPECT_EQ(ImageKiller().end({worm, "", {found.id, found.startedAt + 1}}), KillOutcome::Ended);
    EXPECT_TRUE(copy.running());

    // Once pinned, the copy runs another program under its ID.
    ImageKiller killer([&](pid_t pid) {
        ASSERT_EQ(pid, copy.pid());
        ASSERT_EQ(::write(go[1], "\n", 1), 1);
        ASSERT_TRUE(waitUntil(
            [&] {
                std::error_code gone;
                return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", gone) == innocent;
            },
            30s)) << "the copy has gone";
    });
    EXPECT_EQ(killer.end({worm, "", found}), KillOutcome::Ended);
    ::close(go[1]);
    // A kill sent by either call came before this signal, and would be how it ended.
    ASSERT_EQ(::kill(copy.pid(), SIGTERM), 0);
    const auto status = copy.waitForExit(30s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM) << "the innocent program was killed";
}

// A worm of the guard's user can first fill the user's process limit, so
// that no thread can be created at the moment of the kill.
TEST(ImageKiller, KillsWhenTheUsersProcessLimitIsUsedUp) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the guard as another user";
    TempFolder folder;
    fs::permissions(folder.path(), fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
    const std::string name = uniqueImageName("DriveMgr");
    const fs::path worm = copyProgram(kSleepProgram, folder / name);

    const pid_t guard = ::fork();
    ASSERT_NE(guard, -1);
    if (guard == 0) {
        // Exit codes: 0 killed, 2 not killed, 3 the limit could not be set up.
        ::alarm(60);  // a kill that never comes ends the guard, not the suite
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(3);
        // The pipe closes when the worm's program runs (or it fails to), so
        // the kill cannot come before the worm has its name.
        int running[2];
        if (::pipe2(running, O_CLOEXEC) != 0) ::_exit(3);
        const pid_t victim = ::fork();
        if (victim == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a guard that gave up
            ::execl(worm.c_str(), worm.c_str(), "600", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(running[1]);
        char ignored;
        while (::read(running[0], &ignored, 1) < 0 && errno == EINTR) {
        }
        ImageKiller killer;
        const rlimit none{1, 1};
        if (victim < 0 || ::setrlimit(RLIMIT_NPROC, &none) != 0) ::_exit(3);
        pthread_t probe{};
        if (::pthread_create(&probe, nullptr, [](void*) -> void* { return nullptr; }, nullptr) != EAGAIN) ::_exit(3);
        (void)killer.end({name, "cmd /c taskkill /f /im " + name, keyOf(victim)});
        int status = 0;
        ::waitpid(victim, &status, 0);
        ::_exit(diedOfSigkill(status) ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(guard, &status, 0), guard);
    ASSERT_TRUE(WIFEXITED(status)) << "the guard was ended by signal " << WTERMSIG(status);
    ASSERT_NE(WEXITSTATUS(status), 3) << "the process limit could not be set up";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the worm survived";
}

}  // namespace
}  // namespace quorvex::test
