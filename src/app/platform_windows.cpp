// Windows: Win32 windows, processes from the system's process records.
#include "app/platform.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "app/running_guard.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/files.h"
#include "platform/windows/killer.h"
#include "platform/windows/process_table.h"
#include "platform/windows/session_claim.h"
#include "platform/windows/system/process_access.h"
#include "platform/windows/system/wide_text.h"

namespace quorvex {

std::unique_ptr<SessionClaim> claimSession() noexcept {
    try {
        if (auto claim = claimSessionMutex(kGuardMutexName)) return claim;
        // Held by this session's guard, or by anything squatting on the
        // name: only a program of our image name in this session keeps us out.
        wchar_t module[MAX_PATH];
        const std::wstring_view path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
        const std::string name = toUtf8(path.substr(path.find_last_of(L"\\/") + 1));
        if (anotherGuardRuns(SystemProcessTable(), GetCurrentProcessId(), name)) return nullptr;
    } catch (...) {
    }
    return std::make_unique<SessionClaim>();  // no claim to be had: guard all the same
}

Platform makePlatform(int& /*argc*/, char** /*argv*/) {
    // Other programs of the user, a worm among them, cannot end the guard. A
    // guard whose access list could not be set still guards.
    restrictProcessAccess(GetCurrentProcess());
    return {
        std::make_unique<Win32Toolkit>(),
        std::make_unique<SystemProcessTable>(),
        std::make_unique<Win32Killer>(),
        std::make_unique<Win32FileSystem>(),
    };
}

void reportStartupFailure(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    MessageBoxW(nullptr, toWide(message).c_str(), L"Quorvex", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace quorvex
