// Windows programs run by Wine, seen, killed and cleaned up by the Linux
// backends. Needs wine and the stand-in built by mingw-w64; the build tree's
// Wine prefix is made on first use, and its server is ended after each test.
#include <gtest/gtest.h>

#include <chrono>

#include "child_process.h"
#include "monitor/monitor.h"
#include "platform/linux/image_killer.h"
#include "platform/linux/posix_files.h"
#include "platform/linux/proc_table.h"
#include "remedy/cleanup.h"
#include "temp_folder.h"
#include "wine_prefix.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// Empty when the build found no mingw-w64 compiler or no wine.
const fs::path kStandIn = QUORVEX_WINE_STANDIN;

class WineHosted : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        problem_ = kStandIn.empty() ? "the Windows stand-in was not built: CMake found no "
                                      "x86_64-w64-mingw32-gcc-posix or no wine (install mingw-w64 and wine)"
                                    : prepareWinePrefix();
    }
    static void TearDownTestSuite() { stopWineServer(); }

    // A machine without Wine fails here rather than passing untested.
    void SetUp() override { ASSERT_TRUE(problem_.empty()) << problem_; }

    // Starts the stand-in through wine by `how` (a Unix or Windows path).
    std::unique_ptr<Child> startWine(const std::string& how) {
        return std::make_unique<Child>("wine", std::vector<std::string>{how},
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
    static inline std::string problem_;
};

TEST_F(WineHosted, StartedByUnixPathIsSeenKilledAndCleanedUp) {
    fs::create_directory(folder / "usb drive");
    const std::string name = uniqueImageName("WindowsServices");  // longer than 15 characters
    const fs::path worm = copyProgram(kStandIn, folder / "usb drive" / name);
    const auto wine = startWine(worm.string());

    const auto seen = awaitProcess(name);
    ASSERT_TRUE(seen) << "no process named " << name;
    ASSERT_TRUE(seen->second);
    EXPECT_EQ(seen->second->path, worm.string());
    EXPECT_TRUE(FindProcess(table, name));

    EXPECT_GE(ImageKiller::killByImageName(name), 1);
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(30s)));
    EXPECT_FALSE(FindProcess(table, name));

    EXPECT_EQ(cleanUp(seen->second->path, seen->second->identity, files), CleanupOutcome::Succeeded)
        << "the mapped image is the file at its path";
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(worm)));
}

TEST_F(WineHosted, StartedByWindowsPathIsSeenByItsImageName) {
    const std::string name = uniqueImageName("WinSvcs");
    const fs::path worm = copyProgram(kStandIn, folder / name);
    const auto wine = startWine(windowsPath(worm));

    const auto seen = awaitProcess(name);
    ASSERT_TRUE(seen) << "no process named " << name;
    ASSERT_TRUE(seen->second);
    EXPECT_EQ(seen->second->path, worm.string()) << "the Unix path of the mapped image";

    ImageKiller killer;
    killer.endAll({name, "cmd /c taskkill /f /im " + name});
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(30s)));
}

}  // namespace
}  // namespace quorvex::test
