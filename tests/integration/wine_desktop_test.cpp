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
#include <string>

#include "program_on_x.h"
#include "wine_standin_test.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

class WineWormOnX : public WineStandInTest<ProgramOnX> {
protected:
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
