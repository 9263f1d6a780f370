// One guard per desktop session: the lock file in the user's runtime folder.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/linux/session_claim.h"
#include "temp_folder.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

TEST(SessionLock, OneClaimPerSessionUntilItsHolderLetsGo) {
    const TempFolder runtime;
    auto first = SessionLock::claim(runtime.path(), "DISPLAY=:0");
    ASSERT_TRUE(first);
    EXPECT_FALSE(SessionLock::claim(runtime.path(), "DISPLAY=:0")) << "a second guard in the same session";
    EXPECT_TRUE(SessionLock::claim(runtime.path(), "DISPLAY=:1")) << "another session has a guard of its own";
    first.reset();
    EXPECT_TRUE(SessionLock::claim(runtime.path(), "DISPLAY=:0")) << "the session is free again";
}

// A lock file that someone else planted, in /tmp where there is no runtime
// folder, must neither keep the guard from starting nor lead it to open
// another file.
TEST(SessionLock, APlantedFileNeitherBlocksTheGuardNorIsFollowed) {
    const TempFolder runtime;
    const fs::path victim = runtime / "victim";
    std::ofstream(victim) << "kept";
    const std::string name = "quorvex-" + std::to_string(::geteuid()) + "-DISPLAY__0.lock";
    fs::create_symlink(victim, runtime / name);
    EXPECT_TRUE(SessionLock::claim(runtime.path(), "DISPLAY=:0"));
    EXPECT_TRUE(fs::is_symlink(runtime / name));
    EXPECT_EQ(fs::file_size(victim), 4u);

    if (::geteuid() != 0) GTEST_SKIP() << "planting another user's file needs root";
    const std::string other = "quorvex-0-DISPLAY__1.lock";
    std::ofstream(runtime / other).flush();
    ASSERT_EQ(::chown((runtime / other).c_str(), 65534, 65534), 0);
    const auto held = SessionLock::claim(runtime.path(), "DISPLAY=:1");
    EXPECT_TRUE(held);
    EXPECT_TRUE(SessionLock::claim(runtime.path(), "DISPLAY=:1")) << "a foreign file is no lock at all";
}

}  // namespace
}  // namespace quorvex::test
