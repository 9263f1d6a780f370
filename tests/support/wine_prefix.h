// The build tree's one Wine prefix, made once by the wine-prefix script beside
// this file and shared by every test and benchmark that runs a Windows program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace quorvex::test {

// Makes the prefix unless an earlier run has: what went wrong, empty when it
// is ready. Wine missing is an error, never a reason to skip.
std::string prepareWinePrefix();

// `base` with Wine pointed at the prefix, quiet, and in a UTF-8 locale (Wine
// reads Chinese folder names through it).
std::vector<std::string> wineEnvironment(std::vector<std::string> base = inheritedEnvironment());

// Ends the prefix's server and every program it runs.
void stopWineServer();

// The path a Windows program sees for a Unix path: Wine maps the root as Z:.
std::string windowsPath(const std::filesystem::path& path);

// A Windows stand-in built for one architecture, "x64" or "x86", and the
// Wine loader that runs it as itself: `wine` alone starts a program of the
// other architecture as a second process and waits in its place.
struct WineStandIn {
    std::filesystem::path program;
    std::string loader;
    std::string problem;  // what keeps it from running; empty when it can
};
// `program` is where the build put the stand-in for `arch`: empty when it
// found no compiler for it.
WineStandIn findWineStandIn(const std::string& arch, const std::filesystem::path& program);

}  // namespace quorvex::test
