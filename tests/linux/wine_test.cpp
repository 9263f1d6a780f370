// Windows programs run by Wine, seen, killed and cleaned up by the Linux
// backends: 64-bit and 32-bit ones, as most worms are. Needs wine and the
// stand-ins built by mingw-w64; without 32-bit Wine or the 32-bit compiler
// the 32-bit cases are skipped, saying which is missing. The build tree's
// Wine prefix is made on first use, and its server is ended after each test.
#include <gtest/gtest.h>

#include <chrono>

#include "child_process.h"
#include "monitor/monitor.h"
#include "single_watch.h"
#include "platform/linux/files.h"
#include "platform/linux/killer.h"
#include "platform/linux/process_table.h"
#include "remedy/cleanup.h"
#include "temp_folder.h"
#include "wine_standin_test.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

class WineHosted : public WineStandInTest<testing::Test> {
protected:
    // Starts the stand-in through Wine by `how` (a Unix or Windows path).
    std::unique_ptr<Child> startWine(const std::string& how) {
        return std::make_unique<Child>(standIn.loader, std::vector<std::string>{how},
                                       ChildOptions{.environment = wineEnvironment(), .log = folder / "wine.log"});
    }

    // Waits until the table names a process `name`: its pid and path.
    std::optional<std::pair<pid_t, std::optional<ExecutableFile>>> awaitProcess(const std::string& name) {
        std::optional<std::pair<pid_t, std::optional<ExecutableFile>>> found;
        waitUntil(
            [&] {
                table.forEachProcess([&](const ProcProcessRecord& process) {
                    if (process.name() == name) found.emplace(process.pid(), process.executable());
                    return !found;
                });
                return found.has_value();
            },
            30s);
        return found;
    }

    const ProcProcessTable table;
    TempFolder folder;
    PosixFileSystem files;
};

INSTANTIATE_TEST_SUITE_P(, WineHosted, testing::Values("x64", "x86"), [](const auto& info) { return info.param; });

TEST_P(WineHosted, StartedByUnixPathIsSeenKilledAndCleanedUp) {
    fs::create_directory(folder / "usb drive");
    const std::string name = uniqueImageName("WindowsServices");  // longer than 15 characters
    const fs::path worm = copyProgram(standIn.program, folder / "usb drive" / name);
    const auto wine = startWine(worm.string());

    const auto seen = awaitProcess(name);
    ASSERT_TRUE(seen) << "no process named " << name;
    ASSERT_TRUE(seen->second);
    EXPECT_EQ(seen->second->path, worm.string());
    EXPECT_TRUE(monitorSees(table, name));

    ImageKiller killer;
    const auto detection = pollTickFor(table, killer, name);
    ASSERT_TRUE(detection);
    EXPECT_FALSE(detection->refused);
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(30s)));
    EXPECT_FALSE(monitorSees(table, name));

    EXPECT_EQ(cleanUp(seen->second->path, seen->second->identity, files), CleanupOutcome::Succeeded)
        << "the mapped image is the file at its path";
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(worm)));
}

TEST_P(WineHosted, StartedByWindowsPathIsSeenByItsImageName) {
    const std::string name = uniqueImageName("WinSvcs");
    const fs::path worm = copyProgram(standIn.program, folder / name);
    const auto wine = startWine(windowsPath(worm));

    const auto seen = awaitProcess(name);
    ASSERT_TRUE(seen) << "no process named " << name;
    ASSERT_TRUE(seen->second);
    EXPECT_EQ(seen->second->path, worm.string()) << "the Unix path of the mapped image";

    ImageKiller killer;
    ASSERT_TRUE(pollTickFor(table, killer, name));
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(30s)));
}

}  // namespace
}  // namespace quorvex::test
