#include <gtest/gtest.h>

#include <set>

#include "app/running_guard.h"
#include "fakes.h"
#include "monitor/monitor.h"
#include "support/image_name.h"

namespace quorvex::test {
namespace {

TEST(WatchList, EveryEntryIsBuiltFromItsOwnName) {
    std::set<std::string_view> timers, names;
    for (const WatchEntry& entry : kWatchList) {
        EXPECT_EQ(entry.killCommand, "cmd /c taskkill /f /im " + std::string(entry.name));
        EXPECT_EQ(entry.alertText,
                  "监测到U盘病毒" + std::string(entry.name) + "，已为您阻止其运行！");
        EXPECT_EQ(entry.refusedText, "监测到U盘病毒" + std::string(entry.name) + "，未能阻止其运行！");
        EXPECT_EQ(watchEntryForTimer(entry.timer), &entry);
        timers.insert(entry.timer);
        names.insert(entry.name);
    }
    EXPECT_EQ(timers.size(), kWatchList.size()) << "one timer per entry";
    EXPECT_EQ(names.size(), kWatchList.size()) << "one entry per name";
    EXPECT_EQ(watchEntryForTimer("Timer0"), nullptr);
}

TEST(ImageName, ComparesWholeNamesIgnoringAsciiCase) {
    EXPECT_TRUE(equalImageNames("WINSVCS.EXE", "winsvcs.exe"));
    EXPECT_TRUE(equalImageNames("WinSvcs.Exe", "winsvcs.exe"));
    EXPECT_FALSE(equalImageNames("xwinsvcs.exe", "winsvcs.exe"));
    EXPECT_FALSE(equalImageNames("winsvcs.exe ", "winsvcs.exe"));
    EXPECT_FALSE(equalImageNames("winsvcs.ex", "winsvcs.exe"));
    EXPECT_FALSE(equalImageNames("", "winsvcs.exe"));
    // Only ASCII letters fold: other bytes must be the same.
    EXPECT_FALSE(equalImageNames("winsvcs\xC3\xA9.exe", "winsvcs\xC3\x89.exe"));
    EXPECT_FALSE(equalImageNames("winsvcs{exe", "winsvcs[exe"));
}

class MonitorTest : public testing::Test {
protected:
    FakeProcessTable table;
    RecordingKiller killer;
    Monitor monitor{table, killer};
};

// One look per period, whatever the number of entries: each entry's first
// question is answered by the period's look, its second begins a new period.
TEST_F(MonitorTest, OneLookAnswersEveryEntryOfAPeriod) {
    for (const std::size_t entries : {std::size_t(1), kWatchList.size(), std::size_t(40)}) {
        SCOPED_TRACE(entries);
        std::vector<std::string> names;
        std::vector<WatchEntry> watchList;
        for (std::size_t i = 0; i < entries; ++i) names.push_back("worm" + std::to_string(i) + ".exe");
        for (const std::string& name : names) watchList.push_back({"Timer", name});
        FakeProcessTable processes;
        processes.processes = {{"bash", "/bin/bash"}, {"sshd", "/usr/sbin/sshd"}};
        Monitor shared(processes, killer, watchList);
        for (int period = 1; period <= 3; ++period) {
            for (const WatchEntry& entry : watchList) EXPECT_FALSE(shared.pollTick(entry));
            EXPECT_EQ(processes.enumerations, period);
            EXPECT_EQ(processes.recordsVisited, 2 * period) << "a look meets each process once";
        }
        EXPECT_EQ(processes.pathsRead, 0) << "a look reads names only";
    }
}

TEST_F(MonitorTest, FindProcessNeedsTheWholeNameOfAProcessOfThisSession) {
    table.processes = {{"mywinsvcs.exe", {}}, {"winsvcs.exe.bak", {}}, {"winsvcs", {}},
                       {"winsvcs.exe", "/home/other/winsvcs.exe", {}, /*ownSession=*/false}};
    EXPECT_FALSE(monitor.FindProcess("winsvcs.exe"));
    table.processes.push_back({"WINSVCS.EXE", {}});
    EXPECT_TRUE(monitor.FindProcess("winsvcs.exe"));
    EXPECT_THROW(monitor.FindProcess("notwatched.exe"), std::invalid_argument);
}

// A worm started after a period's look is seen by the next period's.
TEST_F(MonitorTest, AProcessStartedAfterALookIsSeenByTheNextPeriod) {
    EXPECT_FALSE(monitor.FindProcess("winsvcs.exe"));
    table.processes = {{"DeviceManager.exe", "/u/DeviceManager.exe"}};
    EXPECT_FALSE(monitor.FindProcess("DeviceManager.exe")) << "answered by this period's look";
    EXPECT_FALSE(monitor.FindProcess("winsvcs.exe")) << "the next period's look";
    EXPECT_TRUE(monitor.FindProcess("DeviceManager.exe"));
    EXPECT_EQ(table.enumerations, 2);
}

TEST_F(MonitorTest, AnotherSessionsWormIsNeitherSeenNorKilled) {
    table.processes = {{"winsvcs.exe", "/home/other/winsvcs.exe", {}, /*ownSession=*/false}};
    for (int period = 0; period < 3; ++period) EXPECT_FALSE(monitor.pollTick(kWatchList[0]));
    EXPECT_TRUE(killer.orders.empty());
}

TEST_F(MonitorTest, PollTickKillsEveryCopyRightAfterReadingItsPath) {
    table.processes = {{"VolDriver.exe", "/media/a/VolDriver.exe"},
                       {"bash", "/bin/bash"},
                       {"VolDriver.exe", "/home/other/VolDriver.exe", {}, /*ownSession=*/false},
                       {"VOLDRIVER.EXE", "/media/b/VOLDRIVER.EXE", FileIdentity{3, 77}}};
    std::vector<int> pathsReadAtEachKill;
    killer.onOrder = [&] { pathsReadAtEachKill.push_back(table.pathsRead); };

    const auto detection = monitor.pollTick(kWatchList[6]);
    ASSERT_TRUE(detection);
    EXPECT_FALSE(detection->refused);
    ASSERT_TRUE(detection->lastExecutable);
    EXPECT_EQ(detection->lastExecutable->path, "/media/b/VOLDRIVER.EXE");
    EXPECT_EQ(detection->lastExecutable->identity, (FileIdentity{3, 77})) << "the file goes with its path";
    // The name and the line in the watch list's letter case, whatever the process's.
    const RecordingKiller::Order order{"VolDriver.exe", "cmd /c taskkill /f /im VolDriver.exe"};
    EXPECT_EQ(killer.orders, (std::vector<RecordingKiller::Order>(2, order)));
    EXPECT_EQ(killer.copies, (std::vector<ProcessKey>{table.processes[0].key(), table.processes[3].key()}));
    // Each copy's path is read before its kill, when the process is surely still there.
    EXPECT_EQ(pathsReadAtEachKill, (std::vector<int>{1, 2}));
    EXPECT_EQ(table.enumerations, 2) << "the kill pass is a second, fresh enumeration";
}

// A copy whose path cannot be read still gets its kill. Its empty text is
// what Label2 receives only when no copy of the pass gave a path: a kill that
// ended every copy at the first order leaves the later copies unreadable.
TEST_F(MonitorTest, UnreadablePathsStillKillAndGiveEmptyTextOnlyWhenNoCopyWasRead) {
    struct Case {
        std::vector<std::optional<std::string>> paths;  // of the copies, in enumeration order
        std::optional<std::uint64_t> shownCopy;         // whose path and file Label2 receives
    };
    const Case cases[] = {
        {{std::nullopt}, std::nullopt},
        {{"/media/a/winrgtt.exe", std::nullopt, std::nullopt}, 0},
        {{std::nullopt, "/media/b/winrgtt.exe"}, 1},
        {{"/media/a/winrgtt.exe", std::nullopt, "/media/c/winrgtt.exe"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.paths));
        FakeProcessTable processes;
        RecordingKiller kills;
        Monitor fresh(processes, kills);
        for (std::uint64_t copy = 0; copy < c.paths.size(); ++copy)
            processes.processes.push_back({"winrgtt.exe", c.paths[copy], FileIdentity{5, copy}});
        const auto detection = fresh.pollTick(kWatchList[3]);
        ASSERT_TRUE(detection);
        EXPECT_EQ(kills.orders.size(), c.paths.size());
        ASSERT_TRUE(detection->lastExecutable);
        if (c.shownCopy) {
            EXPECT_EQ(detection->lastExecutable->path, c.paths[*c.shownCopy]);
            EXPECT_EQ(detection->lastExecutable->identity, (FileIdentity{5, *c.shownCopy}));
        } else {
            EXPECT_EQ(detection->lastExecutable->path, "");
            EXPECT_FALSE(detection->lastExecutable->identity);
        }
    }
}

TEST_F(MonitorTest, WormGoneByTheKillPassStillDetectsWithoutKill) {
    table.processes = {{"sysfgdrvs.exe", "/x/sysfgdrvs.exe"}};
    table.afterEnumeration = [&](bool) { table.processes.clear(); };
    const auto detection = monitor.pollTick(kWatchList[8]);
    ASSERT_TRUE(detection);
    EXPECT_FALSE(detection->lastExecutable.has_value());
    EXPECT_TRUE(killer.orders.empty());
}

// A copy the system will not let the guard end is said so once: it gets no
// second kill and no second detection while it runs. Another copy, or the
// same program started again, is a new process and is detected again.
TEST_F(MonitorTest, ACopyThatCannotBeEndedIsReportedOnce) {
    const WatchEntry& entry = kWatchList[0];
    table.processes = {{"winsvcs.exe", "/opt/elevated/winsvcs.exe"}};
    killer.refusing.insert(table.processes[0].id);
    const auto refused = monitor.pollTick(entry);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->refused);
    EXPECT_EQ(refused->lastExecutable->path, "/opt/elevated/winsvcs.exe");

    for (int period = 0; period < 20; ++period) EXPECT_FALSE(monitor.pollTick(entry)) << period;
    EXPECT_EQ(killer.orders.size(), 1u);

    table.processes.push_back({"winsvcs.exe", "/media/u/winsvcs.exe"});
    const auto next = monitor.pollTick(entry);
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->refused) << "the new copy was ended";
    EXPECT_EQ(killer.copies.back(), table.processes[1].key()) << "the refused copy gets no new kill";
    EXPECT_EQ(killer.orders.size(), 2u);

    table.processes = {{"winsvcs.exe", "/opt/elevated/winsvcs.exe"}};  // started again
    killer.refusing.insert(table.processes[0].id);
    const auto again = monitor.pollTick(entry);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->refused);
}

// A claim on the session that something holds keeps a second guard out only
// when a guard really runs there: this program, in this session, not itself.
TEST(RunningGuard, OnlyAnotherCopyOfThisProgramInThisSessionCounts) {
    FakeProcessTable table;
    table.processes = {{"quorvex", "/usr/bin/quorvex"},
                       {"quorvex", "/home/u/Downloads/quorvex"},         // a squatter under our name
                       {"quorvex", "/usr/bin/quorvex", {}, /*ownSession=*/false},  // the next user's guard
                       {"bash", "/usr/bin/quorvex"}};
    const std::uint64_t self = table.processes[0].id;
    const auto isThisProgram = [](const ExecutableFile& file) { return file.path == "/usr/bin/quorvex"; };
    EXPECT_FALSE(anotherGuardRuns(table, self, "quorvex", isThisProgram));
    EXPECT_TRUE(anotherGuardRuns(table, self, "quorvex")) << "by its name alone, the squatter looks like one";

    table.processes.push_back({"quorvex", "/usr/bin/quorvex"});
    EXPECT_TRUE(anotherGuardRuns(table, self, "quorvex", isThisProgram));
}

}  // namespace
}  // namespace quorvex::test
