// The whole guard on the real Linux backends while its cleanup waits on a
// file system that never answers.
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "child_process.h"
#include "mount_point.h"
#include "real_guard.h"
#include "temp_folder.h"
#include "watched_names_lock.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// The silent file system mounted at `at` for as long as this lives; going,
// it ends the server (which fails every request still waiting) and detaches
// the mount.
class SilentMount {
public:
    explicit SilentMount(const fs::path& at) : at_(at), server_(QUORVEX_SILENT_FUSE, {at.string()}) {
        waitUntil([this] { return isMountPoint(at_) || !server_.running(); }, std::chrono::seconds(20));
    }
    ~SilentMount() {
        ::kill(server_.pid(), SIGKILL);
        server_.waitForExit();
        ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return isMountPoint(at_); }

private:
    fs::path at_;
    Child server_;
};

TEST(StuckCleanup, GuardKeepsKillingWhileTheCleanupWaits) {
    if (::geteuid() != 0 || !fs::exists("/dev/fuse")) GTEST_SKIP() << "mounting a FUSE file system needs root";
    const WatchedNamesLock machineWide;
    const TempFolder folder;
    RealGuard guard;
    HeadlessWindow& window = guard.window();

    fs::create_directory(folder / "share");
    const SilentMount share(folder / "share");
    ASSERT_TRUE(share.mounted());
    window.setCaption(form1::Label2, (folder / "share" / "drive" / "winsvcs.exe").string());
    window.show();
    window.click(form1::Command1);

    const WatchEntry& watched = kWatchList[8];
    const auto worm = startSleeper(copyProgram(kSleepProgram, folder / std::string(watched.name)));
    EXPECT_TRUE(guard.pollUntilKilled(*worm)) << "the worm still runs";
    EXPECT_EQ(window.caption(form1::Label1), watched.alertText);
    EXPECT_EQ(window.caption(form1::Label2), (folder / std::string(watched.name)).string());
    EXPECT_FALSE(window.isEnabled(form1::Command1)) << "the first cleanup is still under way";
}

}  // namespace
}  // namespace quorvex::test
