#include "wine_prefix.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace quorvex::test {

namespace fs = std::filesystem;

namespace {

const fs::path kPrefix = QUORVEX_WINE_PREFIX;
// What the Wine commands of the set-up print.
const fs::path kPrefixLog = kPrefix.string() + ".log";

}  // namespace

std::string prepareWinePrefix() {
    fs::remove(kPrefixLog);
    if (runCommand({QUORVEX_WINE_PREFIX_SCRIPT, kPrefix.string()}, 600s, {.log = kPrefixLog}) == 0) return {};
    std::ifstream log(kPrefixLog);
    return "no Wine prefix in " + kPrefix.string() + " (is wine installed?)\n--- " + kPrefixLog.string() +
           " ---\n" + std::string(std::istreambuf_iterator<char>(log), {});
}

std::vector<std::string> wineEnvironment(std::vector<std::string> base) {
    return withVariables(std::move(base), {"WINEPREFIX=" + kPrefix.string(), "WINEDEBUG=-all", "LANG=C.UTF-8",
                                           "LC_ALL=C.UTF-8", "WINEDLLOVERRIDES"});
}

void stopWineServer() {
    runCommand({"wineserver", "-k"}, 30s, {.environment = wineEnvironment(), .log = "/dev/null"});
}

std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::ranges::replace(text, '/', '\\');
    return text;
}

WineStandIn findWineStandIn(const std::string& arch, const fs::path& program) {
    WineStandIn standIn{program};
    if (program.empty()) {
        standIn.problem = "the " + arch + " Windows stand-in was not built: CMake found no mingw-w64 C compiler for " +
                          arch + " or no wine (install g++-mingw-w64-" +
                          (arch == "x86" ? "i686" : "x86-64") + "-posix and wine)";
        return standIn;
    }
    const fs::path log = kPrefix.string() + ".loader-" + arch + ".log";
    fs::remove(log);
    const int status = runCommand({QUORVEX_WINE_LOADER_SCRIPT, arch}, 30s, {.log = log});
    std::ifstream in(log);
    std::string said(std::istreambuf_iterator<char>(in), {});
    while (!said.empty() && said.back() == '\n') said.pop_back();
    (status == 0 ? standIn.loader : standIn.problem) = said;
    return standIn;
}

}  // namespace quorvex::test
