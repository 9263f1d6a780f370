// A Windows worm run by Wine, the way a user opens it from a USB drive, met by
// the real program on its desktop: the Windows stand-in built with mingw-w64
// is killed by its Windows image name and cleaned up at the Unix path Wine
// mapped it from. The build tree's Wine prefix is made on first use; its
// server runs only while a test does.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "program_on_x.h"
#include "wine_prefix.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// Empty when the build found no mingw-w64 compiler or no wine.
const fs::path kStandIn = QUORVEX_WINE_STANDIN;

class WineWormOnX : public ProgramOnX {
protected:
    static void SetUpTestSuite() {
        problem_ = kStandIn.empty() ? "the Windows stand-in was not built: CMake found no "
                                      "x86_64-w64-mingw32-gcc-posix or no wine (install mingw-w64 and wine)"
                                    : prepareWinePrefix();
    }
    static void TearDownTestSuite() { stopWineServer(); }

    void SetUp() override {
        // A machine without Wine fails here rather than passing untested.
        ASSERT_TRUE(problem_.empty()) << problem_;
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
        fs::copy_file(kStandIn, worm);
        return worm;
    }

    // `wine <program>` on the test's desktop.
    Child startWine(const std::string& program) {
        return Child("wine", {program}, {.environment = wineEnvironment(desktop->environment()), .log = wineLog()});
    }

private:
    static inline std::string problem_;
};

TEST_F(WineWormOnX, StartedByItsUnixPathIsKilledAndCleanedUp) {
    const fs::path worm = copyStandIn();
    const XWindow shown = awaitDetection(startWine(worm.string()), "wine " + worm.string());
    // Only the path Wine mapped the image from leads the cleanup to this file.
    cleanUp(shown, worm);
}

TEST_F(WineWormOnX, StartedByItsWindowsPathIsKilledAndCleanedUp) {
    const fs::path worm = copyStandIn();
    const std::string path = windowsPath(worm);
    const XWindow shown = awaitDetection(startWine(path), "wine " + path);
    cleanUp(shown, worm);
}

}  // namespace
}  // namespace quorvex::test
