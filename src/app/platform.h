// The concrete backends of one build, chosen by CMake: each platform's
// platform_*.cpp defines makePlatform().
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/killer.h"
#include "platform/process_table.h"
#include "platform/session_claim.h"
#include "platform/toolkit.h"

namespace quorvex {

struct Platform {
    std::unique_ptr<Toolkit> toolkit;
    std::unique_ptr<ProcessTable> processes;
    std::unique_ptr<Killer> killer;
    std::unique_ptr<FileSystem> files;
};

// This desktop session's claim to its one guard, held for the program's
// life; nullptr when another guard of the session runs (a claim squatted on
// by anything else is granted without it). Never throws.
std::unique_ptr<SessionClaim> claimSession() noexcept;

Platform makePlatform(int& argc, char** argv);

// Shows the standard error report for a failure before the message loop runs,
// where no toolkit may stand yet to show it: as a message box where there is
// a screen, and on standard error.
void reportStartupFailure(const std::string& message);

}  // namespace quorvex
