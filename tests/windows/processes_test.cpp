// The process table and the kill command on real processes under the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "kill_line_watch.h"
#include "monitor/monitor.h"
#include "platform/windows/killer.h"
#include "platform/windows/process_table.h"
#include "platform/windows/system/long_name.h"
#include "platform/windows/system/wide_text.h"
#include "process_table_contract.h"
#include "stand_ins.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex::test {
namespace {

// The real killer, counting what it is told.
struct CountingKiller final : Killer {
    Win32Killer real;
    std::vector<std::string> lines;
    KillOutcome end(const KillOrder& order) override {
        lines.emplace_back(order.commandLine);
        return real.end(order);
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
    Monitor monitor(table, killer);

    const auto detection = monitor.pollTick(entryNamed("winsvcs.exe"));
    ASSERT_TRUE(detection);
    ASSERT_TRUE(detection->lastExecutable);
    EXPECT_EQ(detection->lastExecutable->path, standIns.path(L"WinSvcs.exe"));
    EXPECT_TRUE(detection->lastExecutable->identity) << "the image is identified while it runs";
    EXPECT_EQ(killer.lines, (std::vector<std::string>(2, "cmd /c taskkill /f /im winsvcs.exe")));
    EXPECT_TRUE(StandIns::endsWithin(first, 5000));
    EXPECT_TRUE(StandIns::endsWithin(second, 5000));
    EXPECT_FALSE(StandIns::endsWithin(other, 0)) << "WindowsServices.exe is another worm's name";
    EXPECT_FALSE(monitor.pollTick(entryNamed("winsvcs.exe")));
}

// The copies of a name in the records, by their keys.
std::vector<ProcessKey> copiesNamed(const ProcessTable& table, std::string_view name) {
    std::vector<ProcessKey> copies;
    table.forEach([&](const ProcessRecord& process) {
        if (equalImageNames(process.name(), name)) copies.push_back(*process.key());
        return true;
    });
    return copies;
}

TEST_F(ProcessesTest, KillerEndsTheCopyThroughItsOwnProcessAtOnceAndNoOther) {
    // A name of no worm: a kill line an earlier test left running ends
    // watched names, and would take a copy away before the count.
    const HANDLE copy = standIns.start(L"DirectKill.exe");
    const HANDLE namesake = standIns.start(L"directkill2.exe");
    const std::vector<ProcessKey> keys = copiesNamed(table, "DIRECTKILL.EXE");
    ASSERT_EQ(keys.size(), 1u);
    // An ID whose process started at another time is another process's.
    EXPECT_EQ(Win32Killer::terminateCopy({"DIRECTKILL.EXE", "", {keys[0].id, keys[0].startedAt + 1}}),
              KillOutcome::Ended);
    // A copy of another name under the ID is not the worm's either.
    EXPECT_EQ(Win32Killer::terminateCopy({"directkill2.exe", "", keys[0]}), KillOutcome::Ended);
    EXPECT_EQ(Win32Killer::terminateCopy({"DIRECTKILL.EXE", "", keys[0]}), KillOutcome::Ended);
    EXPECT_TRUE(StandIns::endsWithin(copy, kEventBoundMs));
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(copy, &exitCode) && exitCode == 1) << "ended once, by the right order";
    EXPECT_FALSE(StandIns::endsWithin(namesake, 0)) << "only the whole name is the worm's";
}

// A relaunch storm: copy after copy of one worm, each found by a tick of its
// own while the kill line of an earlier tick may still run. Every copy dies,
// and no second line of that name starts while one runs.
TEST_F(ProcessesTest, StormOfCopiesAllDiesWithOneKillLineOfTheNameAtATime) {
    const WatchEntry& entry = entryNamed("winhxvh.exe");
    Win32Killer killer;
    Monitor monitor(table, killer);
    KillLineWatch lines(L"winhxvh.exe");
    std::vector<HANDLE> copies;
    // Twenty copies, and more until the watch has seen a line run.
    const ULONGLONG deadline = GetTickCount64() + kEventBoundMs;
    while (copies.size() < 20 || (lines.mostInterpreters() == 0 && GetTickCount64() < deadline)) {
        copies.push_back(standIns.start(L"winhxvh.exe"));
        // A line of an earlier tick may have ended this copy before its tick.
        if (const auto detection = monitor.pollTick(entry); detection && detection->lastExecutable) {
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

// A room's policy may forbid the command interpreter: the copies are ended
// all the same, tick after tick, and the guard goes on.
TEST_F(ProcessesTest, AKillLineThatCannotStartLeavesTheCopiesEndedTickAfterTick) {
    const WatchEntry& entry = entryNamed("DriveMgr.exe");
    Win32Killer killer(standIns.folder() + L"no such interpreter\\cmd.exe");
    Monitor monitor(table, killer);
    for (int worm = 0; worm < 2; ++worm) {
        SCOPED_TRACE(worm);
        const HANDLE copy = standIns.start(L"DriveMgr.exe");
        std::optional<Detection> detection;
        ASSERT_NO_THROW(detection = monitor.pollTick(entry));
        ASSERT_TRUE(detection);
        EXPECT_FALSE(detection->refused);
        EXPECT_TRUE(StandIns::endsWithin(copy, kEventBoundMs));
    }
}

// A cmd.exe the worm put beside the program or in the current folder never
// runs: the kill line is the system's own interpreter's, in the system's folder.
TEST_F(ProcessesTest, APlantedInterpreterNeverRunsTheKillLine) {
    wchar_t self[MAX_PATH];
    const std::wstring_view program(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::wstring besideProgram = std::wstring(program.substr(0, program.find_last_of(L'\\') + 1)) + L"cmd.exe";
    const std::wstring inCurrentFolder = standIns.folder() + L"cmd.exe";
    // Gone again whatever the test finds: the build tree's own programs start cmd too.
    struct Planted {
        const std::wstring& path;
        wchar_t previousFolder[MAX_PATH] = L"";
        ~Planted() {
            SetCurrentDirectoryW(previousFolder);
            DeleteFileW(path.c_str());
        }
    } planted{besideProgram};
    GetCurrentDirectoryW(MAX_PATH, planted.previousFolder);
    StandIns::copyTo(besideProgram);
    StandIns::copyTo(inCurrentFolder);
    ASSERT_TRUE(SetCurrentDirectoryW(standIns.folder().c_str()));

    KillLineWatch lines(L"winrgtt.exe");
    const HANDLE copy = standIns.start(L"winrgtt.exe");
    Win32Killer killer;
    ASSERT_TRUE(Monitor(table, killer).pollTick(entryNamed("winrgtt.exe")));
    EXPECT_TRUE(StandIns::endsWithin(copy, kEventBoundMs));
    // The line has run once an interpreter of it was seen; a planted one
    // would have been started in its place, and would still run.
    const ULONGLONG deadline = GetTickCount64() + kEventBoundMs;
    while (lines.mostInterpreters() == 0 && GetTickCount64() < deadline) Sleep(20);
    EXPECT_EQ(lines.mostInterpreters(), 1) << "the kill line was started";
    const std::string plantedPaths[] = {toUtf8(besideProgram), toUtf8(inCurrentFolder)};
    table.forEach([&](const ProcessRecord& process) {
        const auto file = process.executable();
        EXPECT_FALSE(file && std::ranges::find(plantedPaths, file->path) != std::end(plantedPaths))
            << file->path << " ran";
        return true;
    });
}

}  // namespace
}  // namespace quorvex::test
