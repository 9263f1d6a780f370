// A Windows worm run by Wine, the way a user opens it from a USB drive, met by
// the real program on its desktop: a Windows stand-in built with mingw-w64,
// 64-bit or 32-bit, is killed by its Windows image name and cleaned up at the
// Unix path Wine mapped it from. Without 32-bit Wine or the 32-bit compiler
// the 32-bit cases are skipped, saying which is missing. The build tree's
// Wine prefix is made on first use; its server runs only while a test does.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>

#include "program_on_x.h"
#include "wine_prefix.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// Each empty when the build found no mingw-w64 compiler for it or no wine.
const std::map<std::string, fs::path> kStandIns{{"x64", QUORVEX_WINE_STANDIN_X64}, {"x86", QUORVEX_WINE_STANDIN_X86}};

// The stand-in of one architecture, "x64" or "x86".
class WineWormOnX : public ProgramOnX, public testing::WithParamInterface<std::string> {
protected:
    static void SetUpTestSuite() { prefixProblem_ = prepareWinePrefix(); }
    static void TearDownTestSuite() { stopWineServer(); }

    void SetUp() override {
        // A machine without Wine fails here rather than passing untested;
        // 32-bit Wine is an extra, so without it the 32-bit cases are skipped.
        ASSERT_TRUE(prefixProblem_.empty()) << prefixProblem_;
        if (GetParam() == "x86" && !standIn.problem.empty()) GTEST_SKIP() << standIn.problem;
        ASSERT_TRUE(standIn.problem.empty()) << standIn.problem;
        ProgramOnX::SetUp();
    }

    void TearDown() override {
        ProgramOnX::TearDown();
        if (!HasFailure()) return;
        std::ifstream in(wineLog());
        std::cerr << "--- wine output ---\n" << std::string(std::istreambuf_iterator<char>(in), {}) << '\n';
    }

    fs::path wineLog() const { return work.path() / "wine.log"; }

    // The stand-in as "WinSvcs.exe" in the worms' folder.
    fs::path copyStandIn() {
        fs::create_directories(wormFolder());
        const fs::path worm = wormFolder() / "WinSvcs.exe";
        fs::copy_file(standIn.program, worm);
        return worm;
    }

    // `<the stand-in's loader> <program>` on the test's desktop.
    Child startWine(const std::string& program) {
        return Child(standIn.loader, {program},
                     {.environment = wineEnvironment(desktop->environment()), .log = wineLog()});
    }

    const WineStandIn standIn = findWineStandIn(GetParam(), kStandIns.at(GetParam()));

private:
    static inline std::string prefixProblem_;
};

INSTANTIATE_TEST_SUITE_P(, WineWormOnX, testing::Values("x64", "x86"), [](const auto& info) { return info.param; });

TEST_P(WineWormOnX, StartedByItsUnixPathIsKilledAndCleanedUp) {
    const fs::path worm = copyStandIn();
    const XWindow shown = awaitDetection(startWine(worm.string()), "wine " + worm.string());
    // Only the path Wine mapped the image from leads the cleanup to this file.
    cleanUp(shown, worm);
}

TEST_P(WineWormOnX, StartedByItsWindowsPathIsKilledAndCleanedUp) {
    const fs::path worm = copyStandIn();
    const std::string path = windowsPath(worm);
    const XWindow shown = awaitDetection(startWine(path), "wine " + path);
    cleanUp(shown, worm);
}

}  // namespace
}  // namespace quorvex::test
