#include <gtest/gtest.h>

#include "fakes.h"
#include "remedy/cleanup.h"

namespace quorvex::test {
namespace {

TEST(Cleanup, RunsTheThreeStepsInOrderPastFailures) {
    RecordingFileSystem files;  // every step fails
    files.directoryAfterCleanup = true;
    EXPECT_EQ(cleanUp("/media/u/winsvcs.exe", files), CleanupOutcome::Succeeded);
    EXPECT_EQ(files.calls, (std::vector<std::string>{
                               "reset /media/u/winsvcs.exe", "delete /media/u/winsvcs.exe",
                               "mkdir /media/u/winsvcs.exe", "isdir /media/u/winsvcs.exe"}));
}

TEST(Cleanup, FailsWhenNoDirectoryStandsAtThePath) {
    RecordingFileSystem files;
    files.directoryAfterCleanup = false;
    EXPECT_EQ(cleanUp("/media/u/winsvcs.exe", files), CleanupOutcome::Failed);
}

TEST(Cleanup, TextThatIsNoCompletePathTouchesNothing) {
    for (std::string_view caption : {std::string_view{}, kCleanupSucceededText, kCleanupFailedText,
                                     std::string_view{"winsvcs.exe"}, std::string_view{"./x.exe"}}) {
        RecordingFileSystem files;
        EXPECT_EQ(cleanUp(caption, files), CleanupOutcome::Failed) << caption;
        EXPECT_TRUE(files.calls.empty()) << caption;
    }
}

}  // namespace
}  // namespace quorvex::test
