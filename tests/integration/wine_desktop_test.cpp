// A Windows worm run by Wine, the way a user opens it from a USB drive, met by
// the real program on its desktop: the Windows stand-in built with mingw-w64
// is killed by its Windows image name and cleaned up at the Unix path Wine
// mapped it from. The Wine prefix lives in the build directory; its server
// runs only while a test does.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "program_on_x.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

const fs::path kPrefix = QUORVEX_WINE_PREFIX;
// Empty when the build found no mingw-w64 compiler or no wine.
const fs::path kStandIn = QUORVEX_WINE_STANDIN;
// What the Wine commands of the set-up print.
const fs::path kPrefixLog = kPrefix.string() + ".log";

// `base` with Wine pointed at the test's prefix, quiet, and in a UTF-8
// locale (Wine reads the Chinese folder name through it).
std::vector<std::string> wineEnvironment(std::vector<std::string> base) {
    std::erase_if(base, [](std::string_view entry) {
        return entry.starts_with("WINEPREFIX=") || entry.starts_with("WINEDEBUG=") ||
               entry.starts_with("WINEDLLOVERRIDES=") || entry.starts_with("LC_ALL=") ||
               entry.starts_with("LANG=");
    });
    base.insert(base.end(), {"WINEPREFIX=" + kPrefix.string(), "WINEDEBUG=-all", "LANG=C.UTF-8", "LC_ALL=C.UTF-8",
                             // No downloads of .NET or the HTML engine while the prefix is made.
                             "WINEDLLOVERRIDES=mscoree,mshtml="});
    return base;
}

// Wine maps the Unix root as drive Z:.
std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::ranges::replace(text, '/', '\\');
    return text;
}

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

class WineWormOnX : public ProgramOnX {
protected:
    static void SetUpTestSuite() {
        problem_ = prepareWine();
        if (!problem_.empty()) problem_ += "\n--- " + kPrefixLog.string() + " ---\n" + contentsOf(kPrefixLog);
    }

    static void TearDownTestSuite() {
        runCommand({"wineserver", "-k"}, wineEnvironment(inheritedEnvironment()), 30s, kPrefixLog);
    }

    void SetUp() override {
        // A machine without the stand-in fails here rather than passing untested.
        ASSERT_TRUE(problem_.empty()) << problem_;
        ProgramOnX::SetUp();
    }

    void TearDown() override {
        ProgramOnX::TearDown();
        if (HasFailure()) std::cerr << "--- wine output ---\n" << contentsOf(wineLog()) << '\n';
    }

    fs::path wineLog() const { return work.path() / "wine.log"; }

    // The stand-in as "WinSvcs.exe" in a folder named like a Chinese user's
    // USB drive: a space and characters beyond ASCII.
    fs::path copyStandIn() {
        const fs::path folder = work.path() / "U盘 文件";
        fs::create_directory(folder);
        const fs::path worm = folder / "WinSvcs.exe";
        fs::copy_file(kStandIn, worm);
        return worm;
    }

    // `wine <program>` on the test's desktop.
    ChildProcess startWine(const std::string& program) {
        return ChildProcess({"wine", program}, wineEnvironment(desktop->environment()), {}, wineLog());
    }

private:
    // Makes the prefix once and leaves a persistent server with the prefix's
    // services up, so that a program under wine starts in tens of
    // milliseconds rather than most of a second. Returns what went wrong.
    static std::string prepareWine() {
        if (kStandIn.empty())
            return "the Windows stand-in was not built: CMake found no x86_64-w64-mingw32-gcc-posix or no wine "
                   "(install mingw-w64 and wine, then configure again)";
        if (!fs::is_regular_file(kStandIn)) return "the Windows stand-in is missing: " + kStandIn.string();
        fs::remove(kPrefixLog);
        fs::create_directories(kPrefix);
        const auto environment = wineEnvironment(inheritedEnvironment());
        auto wine = [&](std::vector<std::string> argv, std::chrono::seconds timeout) {
            return runCommand(std::move(argv), environment, timeout, kPrefixLog) == 0;
        };
        // A server left over from a test that did not finish would refuse to
        // become persistent; there is none most of the time.
        wine({"wineserver", "-k"}, 30s);
        if (!wine({"wineserver", "-p"}, 30s)) return "wineserver -p failed for " + kPrefix.string();
        // Made once and kept: it takes seconds. A plain wineboot starts the
        // services of a prefix that exists.
        if (fs::exists(kPrefix / "system.reg") ? !wine({"wineboot"}, 60s) : !wine({"wineboot", "-i"}, 180s))
            return "wineboot could not make or start the prefix " + kPrefix.string();
        return {};
    }

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
