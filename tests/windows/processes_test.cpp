// The process table and the kill command on real processes under the system.
#include <gtest/gtest.h>

#include "kill_line_watch.h"
#include "monitor/monitor.h"
#include "platform/windows/killer.h"
#include "platform/windows/process_table.h"
#include "platform/windows/system/long_name.h"
#include "platform/windows/system/wide_text.h"
#include "process_table_contract.h"
#include "stand_ins.h"
#include "support/error_report.h"
#include "support/image_name.h"
#include "support/path_component.h"

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

TEST_F(ProcessesTest, KillerEndsEveryCopyThroughItsOwnProcessAtOnce) {
    // A name of no worm: a kill line an earlier test left running ends
    // watched names, and would take a copy away before the count.
    const HANDLE first = standIns.start(L"DirectKill.exe");
    const HANDLE second = standIns.start(L"directkill.exe");
    const HANDLE other = standIns.start(L"directkill2.exe");
    Win32Killer killer;
    EXPECT_EQ(killer.terminateByImageName("DIRECTKILL.EXE"), 2);
    EXPECT_TRUE(StandIns::endsWithin(first, kEventBoundMs));
    EXPECT_TRUE(StandIns::endsWithin(second, kEventBoundMs));
    EXPECT_FALSE(StandIns::endsWithin(other, 0)) << "only the whole name is the worm's";
}

// A relaunch storm: copy after copy of one worm, each found by a tick of its
// own while the kill line of an earlier tick may still run. Every copy dies,
// and no second line of that name starts while one runs.
TEST_F(ProcessesTest, StormOfCopiesAllDiesWithOneKillLineOfTheNameAtATime) {
    const WatchEntry& entry = entryNamed("winhxvh.exe");
    Win32Killer killer;
    KillLineWatch lines(L"winhxvh.exe");
    std::vector<HANDLE> copies;
    // Twenty copies, and more until the watch has seen a line run.
    const ULONGLONG deadline = GetTickCount64() + kEventBoundMs;
    while (copies.size() < 20 || (lines.mostInterpreters() == 0 && GetTickCount64() < deadline)) {
        copies.push_back(standIns.start(L"winhxvh.exe"));
        // A line of an earlier tick may have ended this copy before its tick.
        if (const auto detection = pollTick(entry, table, killer); detection && detection->lastExecutable) {
            EXPECT_EQ(detection->lastExecutable->path, standIns.path(L"winhxvh.exe"));
        }
    }
    for (const HANDLE copy : copies) EXPECT_TRUE(StandIns::endsWithin(copy, kEventBoundMs));
    EXPECT_EQ(lines.mostInterpreters(), 1);
    EXPECT_LE(lines.mostTaskkills(), 1);
}

// A worm started by its 8.3 short name is recorded under that name on
// Windows; Wine records the long one, so the short name Wine gives the file
// is handed in here as a record would carry it, with either form of its path.
TEST_F(ProcessesTest, WormsShortNameIsKnownByItsLongName) {
    const WatchEntry& entry = entryNamed("DeviceManager.exe");
    const std::wstring image = standIns.folder() + L"DeviceManager.exe";
    StandIns::copyTo(image);
    wchar_t shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameW(image.c_str(), shortPath, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH) << GetLastError();
    const std::string shortName(lastComponent(toUtf8(shortPath), kWindowsSeparators));
    ASSERT_NE(shortName.find('~'), std::string::npos) << shortName << ": this system gives the file no short name";
    ASSERT_FALSE(equalImageNames(shortName, entry.name));

    for (const std::wstring& path : {std::wstring(shortPath), image}) {
        const auto longName = longImageName(shortName, path);
        ASSERT_TRUE(longName) << toUtf8(path);
        EXPECT_TRUE(equalImageNames(*longName, entry.name)) << *longName;
    }
    EXPECT_EQ(longPath(shortPath), image);
    EXPECT_FALSE(longImageName("DEVICE~9.EXE", image)) << "not this image's short name";
    std::string recorded = shortName;
    lengthenImageName(GetCurrentProcessId(), recorded);
    EXPECT_EQ(recorded, shortName) << "not the short name of this process's image";
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
