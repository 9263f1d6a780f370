// Linux desktop: Qt Widgets (Qt 6 or 5.15) windows, processes from /proc.
#include "app/platform.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/running_guard.h"
#include "platform/linux/files.h"
#include "platform/linux/killer.h"
#include "platform/linux/process_table.h"
#include "platform/linux/session_claim.h"
#include "platform/linux/system/open_file_limit.h"
#include "platform/qt/display_choice.h"
#include "platform/qt/qt_toolkit.h"

namespace quorvex {

std::unique_ptr<SessionClaim> claimSession() noexcept {
    try {
        if (auto claim = claimThisSession()) return claim;
        // Held by this session's guard, or by anything squatting on the lock:
        // only a guard running our very program (its path as the kernel
        // names it, even once an upgrade replaced the file) keeps us out.
        const ProcProcessTable processes(0);
        std::optional<ExecutableFile> self;
        std::string name;
        processes.visitProcess(::getpid(), [&](const ProcProcessRecord& process) {
            self = process.executable();
            name = process.name();
        });
        const auto isThisProgram = [&](const ExecutableFile& file) { return self && file.path == self->path; };
        if (anotherGuardRuns(processes, std::uint64_t(::getpid()), name, isThisProgram)) return nullptr;
    } catch (...) {
    }
    return std::make_unique<SessionClaim>();  // no claim to be had: guard all the same
}

Platform makePlatform(int& argc, char** argv) {
    chooseQtPlatform();
    raiseOpenFileLimit();  // before the process table sizes what it keeps
    // The program has no command line: Qt gets the program's name alone, so
    // none of Qt's own options (-platform, -display, -style, -reverse...)
    // takes effect. Qt keeps both for the application's life.
    static char fallbackName[] = "quorvex";
    static char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    static int qtArgc = 1;
    return {
        std::make_unique<QtToolkit>(qtArgc, qtArgv),
        std::make_unique<ProcProcessTable>(),
        std::make_unique<ImageKiller>(),
        std::make_unique<PosixFileSystem>(),
    };
}

void reportStartupFailure(const std::string& message) {
    // Qt may be what failed to start: standard error is the one sure place.
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    showErrorReport(message);
}

}  // namespace quorvex
