// The process table and the kill command on real processes under the system.
#include <gtest/gtest.h>

#include "monitor/monitor.h"
#include "process_table_contract.h"
#include "platform/windows/system_process_table.h"
#include "platform/windows/wide_text.h"
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

// Copies of the stand-in, started and ended through their handles.
class SystemDriver final : public ProcessTableDriver {
public:
    const ProcessTable& table() override { return table_; }
    // "-w": Wine numbers its processes apart from Linux, whose tests' names
    // carry their Linux process IDs.
    std::string uniqueName(std::string_view stem) override {
        return std::string(stem) + "-w" + std::to_string(GetCurrentProcessId()) + ".exe";
    }
    int start(const std::string& name) override {
        copies_.push_back(standIns_.start(toWide(name).c_str()));
        return int(copies_.size()) - 1;
    }
    bool running(int copy) override { return !StandIns::endsWithin(copies_.at(copy), 0); }
    void end(int copy) override { standIns_.end(copies_.at(copy)); }
    std::string executablePath(const std::string& name) override { return standIns_.path(toWide(name).c_str()); }

private:
    StandIns standIns_;
    SystemProcessTable table_;
    std::vector<HANDLE> copies_;
};

std::unique_ptr<ProcessTableDriver> makeSystemDriver() { return std::make_unique<SystemDriver>(); }

INSTANTIATE_TEST_SUITE_P(System, ProcessTableContract, testing::Values(&makeSystemDriver));

class ProcessesTest : public testing::Test {
protected:
    StandIns standIns;
    SystemProcessTable table;
};

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
