// The names the table gives processes whose executable link another user
// may not read: from the command name, extended from argv[0] when cut.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "child_process.h"
#include "monitor/monitor.h"
#include "single_watch.h"
#include "platform/linux/proc/proc_text.h"
#include "proc_reading.h"
#include "temp_folder.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// Runs `check` in a child process under the unprivileged user 65534 when we
// are root, or as we are otherwise: either way root's executables are not
// ours to read. Returns the child's exit status (0 when every check held).
int asAnotherUserThanRoot(const std::function<int()>& check) {
    const pid_t observer = ::fork();
    if (observer < 0) return -1;
    if (observer == 0) {
        if (::geteuid() == 0 && (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(observer, &status, 0) != observer || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The name the rule gives a process whose executable cannot be read, from
// what the test reads of /proc itself; nullopt when the process has gone or
// its first thread has exited (its command line is then a live thread's,
// which another test checks).
std::optional<std::string> commandRuleName(pid_t pid) {
    const std::string stat = procText(pid, "stat"), cmdline = procText(pid, "cmdline");
    const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    const auto fields = proctext::parseStat(stat);
    if (!fields || fields->exited) return std::nullopt;
    return std::string(proctext::nameFromCommand(fields->commandName, argv0));
}

TEST(ProcProcessTable, NamesProcessesWithoutAReadableExecutableByTheirCommandName) {
    // A long-named process of root beside the machine's own.
    const TempFolder folder;
    const std::string longName = uniqueImageName("WindowsServices");
    const auto child = startSleeper(copyProgram(kSleepProgram, folder / longName));
    const int status = asAnotherUserThanRoot([] {
        // The second pass reads through the stat files the first one kept.
        // A process may exec or rename itself between the table's read and
        // ours: only one misnamed in both passes is misnamed.
        const ProcProcessTable table;
        int unreadable = 0, misnamed = 0;
        std::set<pid_t> misnamedBefore;
        for (int pass = 0; pass < 2; ++pass)
            table.forEachProcess([&](const ProcProcessRecord& process) {
                if (process.executable()) return true;
                ++unreadable;
                const auto expected = commandRuleName(process.pid());
                if (!expected || *expected == process.name()) return true;
                if (pass == 0) misnamedBefore.insert(process.pid());
                else misnamed += misnamedBefore.contains(process.pid());
                return true;
            });
        return unreadable == 0 ? 10 : std::min(misnamed, 99);
    });
    EXPECT_EQ(status, 0) << "10: no executable was unreadable, 1-99: processes misnamed, 100: no identity change";
}

TEST(ProcProcessTable, SeesAnotherUsersLongNameWithoutItsExecutableAndItsLaterName) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process of another user than the observer";
    const TempFolder folder;
    // A shell under a name longer than the 15 characters of a command name,
    // which takes the command name "renamed" on SIGUSR1 and otherwise waits
    // on a FIFO that never speaks.
    const std::string name = uniqueImageName("WindowsServices");
    const fs::path fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Child shell(copyProgram("/bin/bash", folder / name),
                {"-c", "trap 'printf renamed > /proc/$$/comm' USR1; exec 3<>\"$0\"; while :; do read -r -u 3 _; done",
                 fifo.string()});
    const std::string proc = "/proc/" + std::to_string(shell.pid());
    // Descriptor 3 is the FIFO once the trap is set: one inherited before the
    // exec, or one open for a moment during the shell's start, is not.
    ASSERT_TRUE(waitUntil([&] {
        std::error_code unreadable;
        return fs::read_symlink(proc + "/fd/3", unreadable) == fifo;
    }, 10s)) << "the shell never set its trap";

    // An unprivileged observer cannot read root's executable links: it must
    // extend the cut command name from argv[0]. Between its passes the
    // process renames itself, which the next pass must see. Root's process is
    // not the observer's session's: its guard neither alerts nor kills.
    int firstPassDone[2], renamed[2];
    ASSERT_EQ(::pipe(firstPassDone), 0);
    ASSERT_EQ(::pipe(renamed), 0);
    std::thread renamer([&] {
        char byte = 0;
        if (::read(firstPassDone[0], &byte, 1) != 1) return;
        ::kill(shell.pid(), SIGUSR1);
        waitUntil([&] { return commandNameOf(shell.pid()) == "renamed"; }, 10s);
        (void)!::write(renamed[1], &byte, 1);
    });
    const pid_t pid = shell.pid();
    const int status = asAnotherUserThanRoot([&] {
        const ProcProcessTable table;
        const auto seen = lookUp(table, pid);
        struct CountingKiller final : Killer {
            int orders = 0;
            KillOutcome end(const KillOrder&) override { return ++orders, KillOutcome::Ended; }
        } killer;
        const bool acted = monitorSees(table, name) || pollTickFor(table, killer, name) || killer.orders > 0;
        char byte = 'x';
        if (::write(firstPassDone[1], &byte, 1) != 1 || ::read(renamed[0], &byte, 1) != 1) return 15;
        const auto later = lookUp(table, pid);
        if (!seen || !later) return 11;
        if (seen->name != name) return 12;
        if (seen->path) return 13;
        if (acted) return 14;
        return later->name == "renamed" ? 0 : 16;
    });
    renamer.join();
    for (int fd : {firstPassDone[0], firstPassDone[1], renamed[0], renamed[1]}) ::close(fd);
    EXPECT_EQ(status, 0) << "11: not seen, 12: wrong name, 13: path read, 14: the guard acted on it, "
                            "15: no word from the test, 16: the later name was not seen, 100: no identity change";
}

}  // namespace
}  // namespace quorvex::test
