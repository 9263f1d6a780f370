// The process table and the kill command on real processes under the system.
#include <gtest/gtest.h>

#include "monitor/monitor.h"
#include "platform/windows/system_process_table.h"
#include "platform/windows/win32_killer.h"
#include "stand_ins.h"
#include "support/error_report.h"

namespace quorvex::test {
namespace {

// The real killer, counting what it is told.
struct CountingKiller final : Killer {
    Win32Killer real;
    std::vector<std::string> lines;
    void endAll(const KillOrder& order) override {
        lines.emplace_back(order.commandLine);
        real.endAll(order);
    }
};

const WatchEntry& entryNamed(std::string_view name) {
    for (const WatchEntry& entry : kWatchList)
        if (entry.name == name) return entry;
    throw std::invalid_argument("not in the watch list");
}

class ProcessesTest : public testing::Test {
protected:
    StandIns standIns;
    SystemProcessTable table;
};

TEST_F(ProcessesTest, RunningCopyIsFoundByTheWatchListSpellingWithItsFullPath) {
    standIns.start(L"WinSvcs.exe");
    EXPECT_TRUE(FindProcess(table, "winsvcs.exe"));
    EXPECT_FALSE(FindProcess(table, "svcs.exe")) << "whole names only";
    EXPECT_FALSE(FindProcess(table, "winsvcs.ex"));

    std::vector<std::string> names, paths;
    table.forEach([&](const ProcessRecord& process) {
        if (process.name() == "WinSvcs.exe") {  // the name keeps its case on disk
            names.emplace_back(process.name());
            paths.push_back(process.executable().value_or(ExecutableFile{"(none)"}).path);
        }
        return true;
    });
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(paths[0], standIns.path(L"WinSvcs.exe"));
}

TEST_F(ProcessesTest, PollTickKillsEveryCopyOfItsWormAndNoOtherProcess) {
    const HANDLE first = standIns.start(L"WinSvcs.exe");
    const HANDLE second = standIns.start(L"WinSvcs.exe");
    const HANDLE other = standIns.start(L"WindowsServices.exe");
    CountingKiller killer;

    const auto detection = pollTick(entryNamed("winsvcs.exe"), table, killer);
    ASSERT_TRUE(detection);
    ASSERT_TRUE(detection->lastExecutable);
    EXPECT_EQ(detection->lastExecutable->path, standIns.path(L"WinSvcs.exe"));
    EXPECT_TRUE(detection->lastExecutable->identity) << "the image is identified while it runs";
    EXPECT_EQ(killer.lines, (std::vector<std::string>(2, "cmd /c taskkill /f /im winsvcs.exe")));
    EXPECT_TRUE(StandIns::endsWithin(first, 5000));
    EXPECT_TRUE(StandIns::endsWithin(second, 5000));
    EXPECT_FALSE(StandIns::endsWithin(other, 0)) << "WindowsServices.exe is another worm's name";
    EXPECT_FALSE(pollTick(entryNamed("winsvcs.exe"), table, killer));
}

TEST_F(ProcessesTest, EnumerationStopsWhenTheVisitorSaysSo) {
    int visited = 0;
    table.forEach([&](const ProcessRecord&) { return ++visited < 2; });
    EXPECT_EQ(visited, 2);
}

TEST(Win32Killer, KillLineThatCannotStartThrowsWithTheSystemsErrorNumber) {
    Win32Killer killer;
    try {
        killer.endAll({"winsvcs.exe", "quorvex-no-such-program.exe /c"});
        FAIL() << "started a program that does not exist";
    } catch (const std::system_error& failure) {
        EXPECT_EQ(failure.code().value(), ERROR_FILE_NOT_FOUND);
        const ErrorReport report = describeError(std::current_exception());
        EXPECT_EQ(report.number, ERROR_FILE_NOT_FOUND);
        EXPECT_NE(report.text.find("CreateProcessW"), std::string::npos) << report.text;
    }
}

}  // namespace
}  // namespace quorvex::test
