#include <gtest/gtest.h>

#include <set>

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

TEST(FindProcess, AnswersFromAFreshEnumerationEachCall) {
    FakeProcessTable table;
    table.processes = {{"bash", "/bin/bash"}, {"sshd", "/usr/sbin/sshd"}};
    EXPECT_FALSE(FindProcess(table, "winsvcs.exe"));
    EXPECT_EQ(table.recordsVisited, 2) << "a miss looks at every process";
    EXPECT_EQ(table.pathsRead, 0) << "the query reads names only";

    table.processes.push_back({"winsvcs.exe", "/media/u/winsvcs.exe"});
    EXPECT_TRUE(FindProcess(table, "winsvcs.exe"));
    table.processes.pop_back();
    EXPECT_FALSE(FindProcess(table, "winsvcs.exe"));
    EXPECT_EQ(table.enumerations, 3);
}

TEST(FindProcess, StopsAtTheFirstMatch) {
    FakeProcessTable table;
    table.processes = {{"init", {}}, {"WinSvcs.exe", "/a"}, {"winsvcs.exe", "/b"}, {"bash", {}}};
    EXPECT_TRUE(FindProcess(table, "winsvcs.exe"));
    EXPECT_EQ(table.recordsVisited, 2);
}

TEST(FindProcess, NeedsTheWholeName) {
    FakeProcessTable table;
    table.processes = {{"mywinsvcs.exe", {}}, {"winsvcs.exe.bak", {}}, {"winsvcs", {}}};
    EXPECT_FALSE(FindProcess(table, "winsvcs.exe"));
    table.processes = {{"WINSVCS.EXE", {}}};
    EXPECT_TRUE(FindProcess(table, "winsvcs.exe"));
}

TEST(PollTick, NothingRunningStartsNothingAndReadsOnce) {
    FakeProcessTable table;
    RecordingKiller killer;
    table.processes = {{"bash", "/bin/bash"}};
    EXPECT_FALSE(pollTick(kWatchList[0], table, killer));
    EXPECT_TRUE(killer.orders.empty());
    EXPECT_EQ(table.enumerations, 1);
}

TEST(PollTick, KillsEveryCopyRightAfterReadingItsPath) {
    FakeProcessTable table;
    RecordingKiller killer;
    table.processes = {{"VolDriver.exe", "/media/a/VolDriver.exe"},
                       {"bash", "/bin/bash"},
                       {"VOLDRIVER.EXE", "/media/b/VOLDRIVER.EXE", FileIdentity{3, 77}}};
    std::vector<int> pathsReadAtEachKill;
    killer.onOrder = [&] { pathsReadAtEachKill.push_back(table.pathsRead); };

    const auto detection = pollTick(kWatchList[6], table, killer);
    ASSERT_TRUE(detection);
    ASSERT_TRUE(detection->lastExecutable);
    EXPECT_EQ(detection->lastExecutable->path, "/media/b/VOLDRIVER.EXE");
    EXPECT_EQ(detection->lastExecutable->identity, (FileIdentity{3, 77})) << "the file goes with its path";
    // The name and the line in the watch list's letter case, whatever the process's.
    const RecordingKiller::Order order{"VolDriver.exe", "cmd /c taskkill /f /im VolDriver.exe"};
    EXPECT_EQ(killer.orders, (std::vector<RecordingKiller::Order>(2, order)));
    // Each copy's path is read before its kill, when the process is surely still there.
    EXPECT_EQ(pathsReadAtEachKill, (std::vector<int>{1, 2}));
    EXPECT_EQ(table.enumerations, 2) << "the kill pass is a second, fresh enumeration";
}

// A copy whose path cannot be read still gets its kill. Its empty text is
// what Label2 receives only when no copy of the pass gave a path: a kill that
// ended every copy at the first order leaves the later copies unreadable.
TEST(PollTick, UnreadablePathsStillKillAndGiveEmptyTextOnlyWhenNoCopyWasRead) {
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
        FakeProcessTable table;
        RecordingKiller killer;
        for (std::uint64_t copy = 0; copy < c.paths.size(); ++copy)
            table.processes.push_back({"winrgtt.exe", c.paths[copy], FileIdentity{5, copy}});
        const auto detection = pollTick(kWatchList[3], table, killer);
        ASSERT_TRUE(detection);
        EXPECT_EQ(killer.orders.size(), c.paths.size());
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

TEST(PollTick, WormGoneByTheSecondEnumerationStillDetectsWithoutKill) {
    FakeProcessTable table;
    RecordingKiller killer;
    table.processes = {{"sysfgdrvs.exe", "/x/sysfgdrvs.exe"}};
    table.afterEnumeration = [&](bool stoppedEarly) {
        if (stoppedEarly) table.processes.clear();
    };
    const auto detection = pollTick(kWatchList[8], table, killer);
    ASSERT_TRUE(detection);
    EXPECT_FALSE(detection->lastExecutable.has_value());
    EXPECT_TRUE(killer.orders.empty());
}

TEST(PollTick, AKillThatCannotBeSetGoingReachesTheCaller) {
    struct FailingKiller : Killer {
        void endAll(const KillOrder&) override {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
    } killer;
    FakeProcessTable table;
    table.processes = {{"winsvcs.exe", "/w"}};
    EXPECT_THROW(pollTick(kWatchList[0], table, killer), std::system_error);
}

}  // namespace
}  // namespace quorvex::test
