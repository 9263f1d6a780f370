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

}  // namespace quorvex::test
