#include "platform/windows/killer.h"

#include <system_error>

#include "platform/windows/system/long_name.h"
#include "platform/windows/system/process_image.h"
#include "platform/windows/system/system_records.h"
#include "platform/windows/system/wide_text.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

std::uint64_t ticks(const FILETIME& time) {
    return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
}

// True when `process` is the one the order names: the same creation time and image name.
bool isTheCopy(HANDLE process, const KillOrder& order) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user) || ticks(created) != order.copy.startedAt)
        return false;
    const auto image = processImagePath(process);
    return image && equalImageNames(lastComponent(toUtf8(*image), kWindowsSeparators), order.imageName);
}

bool isRunning(HANDLE process) { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// The kill line, run by `interpreter` in the system's folder, where taskkill
// is found first (a program's own folder and the current one are the worm's
// to fill); none when it cannot be started (a policy may forbid the
// interpreter).
UniqueHandle startKillLine(const std::wstring& interpreter, std::string_view commandLine) {
    const std::wstring folder = Win32Killer::systemFolder();
    if (folder.empty()) return nullptr;
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    // Window style 2: minimized, with the focus.
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW), .dwFlags = STARTF_USESHOWWINDOW,
                         .wShowWindow = SW_SHOWMINIMIZED};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(interpreter.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

}  // namespace

std::wstring Win32Killer::systemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

Win32Killer::Win32Killer(std::wstring interpreter) : interpreter_(std::move(interpreter)) {}

bool isCriticalProcess(HANDLE process) {
    using IsProcessCriticalCall = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const auto isProcessCritical = reinterpret_cast<IsProcessCriticalCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsProcessCritical")));
    BOOL critical = FALSE;
    return isProcessCritical && isProcessCritical(process, &critical) && critical;
}

KillOutcome Win32Killer::terminateCopy(const KillOrder& order) {
    const DWORD id = DWORD(order.copy.id);
    if (id == GetCurrentProcessId()) return KillOutcome::Ended;
    // The opened process holds its ID until closed, so the one confirmed is the one ended.
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED ? KillOutcome::Refused : KillOutcome::Ended;
    if (!isTheCopy(process.get(), order)) return KillOutcome::Ended;
    if (isCriticalProcess(process.get())) return KillOutcome::Refused;
    if (TerminateProcess(process.get(), 1) || !isRunning(process.get())) return KillOutcome::Ended;
    return KillOutcome::Refused;
}

bool Win32Killer::anyCopyIsCritical(std::string_view imageName) {
    bool critical = false;
    std::string name;
    try {
        forEachSystemRecord(records_, [&](const SystemRecord& record) {
            toUtf8(record.imageName, name);
            lengthenImageName(record.id, name);
            if (!equalImageNames(name, imageName)) return true;
            const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.id));
            critical = process && isCriticalProcess(process.get());
            return !critical;
        });
    } catch (const std::system_error&) {
        return true;
    }
    return critical;
}

KillOutcome Win32Killer::end(const KillOrder& order) {
    const KillOutcome outcome = terminateCopy(order);
    auto line = lines_.find(order.imageName);
    if (line == lines_.end()) line = lines_.emplace(order.imageName, nullptr).first;
    // One line in flight per name: under load each takes a second to start
    // taskkill, and a tick every 100 ms would pile them up. taskkill /f would
    // end a process the system cannot lose, and the computer with it.
    if (!isRunning(line->second.get()) && !anyCopyIsCritical(order.imageName))
        line->second = startKillLine(interpreter_, order.commandLine);
    return outcome;
}

}  // namespace quorvex
