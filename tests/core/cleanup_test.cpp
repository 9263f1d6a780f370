#include <gtest/gtest.h>

#include "fakes.h"
#include "remedy/cleanup.h"

namespace quorvex::test {
namespace {

using Kind = FileStatus::Kind;

constexpr std::string_view kPath = "/media/u/winsvcs.exe";
constexpr FileIdentity kWorm{8, 1001};
constexpr FileIdentity kOther{8, 2002};
// The worm's numbers on the file system mounted at the same place later.
constexpr FileIdentity kOnTheNextVolume{8, 1001, 0, 77};
// What cannot tell the worm's file system from the next one.
constexpr FileIdentity kAmbiguous{8, 1001, 0, 0, 0, true};
// The file systems a folder can be on: the worm's, the next one mounted at
// the same place (or the computer's own disk under a pulled stick's mount
// point), one that cannot be told apart.
constexpr VolumeIdentity kWormsVolume{8, 0, false};
constexpr VolumeIdentity kNextVolume{8, 77, false};
constexpr VolumeIdentity kUnknownVolume{8, 0, true};

struct Case {
    const char* what;
    std::optional<FileStatus> atPath;       // what stands at the path
    std::optional<FileIdentity> wormFile;   // which file the path stood for at detection
    bool behindLink = false;
    bool inUse = false;
    CleanupOutcome outcome;
    std::vector<std::string> calls;         // what was changed, in order
    VolumeIdentity folder = kWormsVolume;   // the file system of the path's folder now
};

std::vector<std::string> steps(std::initializer_list<const char*> names) {
    std::vector<std::string> calls;
    for (const char* name : names) calls.push_back(std::string(name) + " " + std::string(kPath));
    return calls;
}

TEST(Cleanup, ActsOnlyOnTheWormsOwnFile) {
    const Case cases[] = {
        {"the worm's file", FileStatus{Kind::File, kWorm, 1}, kWorm, false, false, CleanupOutcome::Succeeded,
         steps({"reset", "delete", "mkdir"})},
        {"a worm file with another name keeps its attributes", FileStatus{Kind::File, kWorm, 2}, kWorm, false,
         false, CleanupOutcome::Succeeded, steps({"delete", "mkdir"})},
        {"a worm file still in use", FileStatus{Kind::File, kWorm, 1}, kWorm, false, true,
         CleanupOutcome::Failed, steps({"reset", "delete", "mkdir"})},
        {"another file at the path", FileStatus{Kind::File, kOther, 1}, kWorm, false, false,
         CleanupOutcome::Failed, {}},
        {"another volume's file with the worm's numbers", FileStatus{Kind::File, kOnTheNextVolume, 1}, kWorm,
         false, false, CleanupOutcome::Failed, {}},
        {"a worm whose file system cannot be told apart", FileStatus{Kind::File, kAmbiguous, 1}, kAmbiguous,
         false, false, CleanupOutcome::Failed, {}},
        {"a directory at the path of such a worm", FileStatus{Kind::Directory, kOther, 1}, kAmbiguous, false,
         false, CleanupOutcome::Failed, {}},
        {"a link at the path", FileStatus{Kind::Other, kWorm, 1}, kWorm, false, false, CleanupOutcome::Failed, {}},
        {"a worm whose file could not be identified", FileStatus{Kind::File, kWorm, 1}, std::nullopt, false,
         false, CleanupOutcome::Failed, {}},
        {"a link among the folders", FileStatus{Kind::File, kWorm, 1}, kWorm, true, false,
         CleanupOutcome::Failed, {}},
        {"nothing at the path, in a folder of the worm's volume", std::nullopt, kWorm, false, false,
         CleanupOutcome::Succeeded, steps({"mkdir"})},
        {"nothing at the path, in a folder now on another volume", std::nullopt, kWorm, false, false,
         CleanupOutcome::Failed, {}, kNextVolume},
        {"nothing at the path, in a folder whose volume cannot be told apart", std::nullopt, kWorm, false, false,
         CleanupOutcome::Failed, {}, kUnknownVolume},
        {"nothing at the path of a worm whose file could not be identified", std::nullopt, std::nullopt, false,
         false, CleanupOutcome::Failed, {}},
        {"nothing at the path of a worm whose file system cannot be told apart", std::nullopt, kAmbiguous, false,
         false, CleanupOutcome::Failed, {}},
        {"a directory from an earlier cleanup", FileStatus{Kind::Directory, kOther, 1}, kWorm, false, false,
         CleanupOutcome::Succeeded, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFileSystem files;
        if (c.atPath) files.disk.emplace(kPath, *c.atPath);
        if (c.behindLink) files.behindLinks.emplace(kPath);
        if (c.inUse) files.inUse.emplace(kPath);
        files.folders = c.folder;
        EXPECT_EQ(cleanUp(kPath, c.wormFile, files), c.outcome);
        EXPECT_EQ(files.calls(), c.calls);
    }
}

TEST(Cleanup, TextThatIsNoCompletePathTouchesNothing) {
    for (std::string_view caption : {std::string_view{}, kCleanupSucceededText, kCleanupFailedText,
                                     std::string_view{"winsvcs.exe"}, std::string_view{"./x.exe"}}) {
        FakeFileSystem files;
        int reached = 0;
        files.onReach = [&] { ++reached; };
        EXPECT_EQ(cleanUp(caption, kWorm, files), CleanupOutcome::Failed) << caption;
        EXPECT_EQ(reached, 0) << caption;
    }
}

}  // namespace
}  // namespace quorvex::test
