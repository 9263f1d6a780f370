// Windows programs run by Wine, seen, killed and cleaned up by the Linux
// backends. Needs wine and the stand-in built by mingw-w64; the Wine prefix
// lives in the build directory and its server is ended after the tests.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "monitor/monitor.h"
#include "platform/linux/image_killer.h"
#include "platform/linux/posix_files.h"
#include "platform/linux/proc_table.h"
#include "real_processes.h"
#include "remedy/cleanup.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kPrefix = QUORVEX_WINE_PREFIX;
const fs::path kStandIn = QUORVEX_WINE_STANDIN;

int runWine(const std::string& command) {
    const std::string line = "WINEPREFIX='" + kPrefix.string() + "' WINEDEBUG=-all " + command;
    return std::system(line.c_str());
}

class WineHosted : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A prefix takes seconds to make; it is kept for later runs.
        if (!fs::exists(kPrefix / "system.reg"))
            ranBoot_ = runWine("WINEDLLOVERRIDES='mscoree,mshtml=' wineboot -i >/dev/null 2>&1") == 0;
        else
            ranBoot_ = true;
    }
    static void TearDownTestSuite() { runWine("wineserver -k >/dev/null 2>&1"); }

    void SetUp() override {
        if (!ranBoot_) GTEST_SKIP() << "no Wine prefix could be made in " << kPrefix;
    }

    // Starts the stand-in through wine by `how` (a Unix or Windows path).
    std::unique_ptr<Child> startWine(const std::string& how) {
        ::setenv("WINEPREFIX", kPrefix.c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        return std::make_unique<Child>("/usr/bin/wine", std::vector<std::string>{how});
    }

    // Waits until the table names a process `name`: its pid and path.
    std::optional<std::pair<pid_t, std::optional<ExecutableFile>>> awaitProcess(const std::string& name) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            std::optional<std::pair<pid_t, std::optional<ExecutableFile>>> found;
            table.forEachProcess([&](const ProcProcessRecord& process) {
                if (process.name() == name) found.emplace(process.pid(), process.executable());
                return !found;
            });
            if (found) return found;
            std::this_thread::sleep_for(50ms);
        }
        return std::nullopt;
    }

    // What Wine maps as drive Z: is the Unix root.
    static std::string windowsPath(const fs::path& path) {
        std::string text = "Z:" + path.string();
        for (char& c : text)
            if (c == '/') c = '\\';
        return text;
    }

    const ProcProcessTable table;
    TempFolder folder;
    PosixFileSystem files;
    static inline bool ranBoot_ = false;
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
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(5s)));
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
    killer.start("cmd /c taskkill /f /im " + name, WindowStyle::MinimizedFocus);
    EXPECT_TRUE(diedOfSigkill(wine->waitForExit(5s)));
}

}  // namespace
}  // namespace quorvex::test
