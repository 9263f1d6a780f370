#include "platform/windows/killer.h"

#include <windows.h>

#include <system_error>

#include "platform/windows/system/long_name.h"
#include "platform/windows/system/process_image.h"
#include "platform/windows/system/system_records.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

std::uint64_t ticks(const FILETIME& time) {
    return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
}

// The process of `record`, opened to be ended; null when it has ended, may
// not be opened, or is not the one the record named.
UniqueHandle openRecorded(const SystemRecord& record, std::string_view imageName) {
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.id));
    if (!process) return nullptr;
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user) || ticks(created) != record.createdAt)
        return nullptr;
    const auto image = processImagePath(process.get());
    if (!image) return nullptr;
    const bool named = equalImageNames(lastComponent(toUtf8(*image), kWindowsSeparators), imageName);
    return named ? std::move(process) : nullptr;
}

bool isRunning(const UniqueHandle& process) {
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

UniqueHandle startKillLine(std::string_view commandLine) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    // Window style 2: minimized, with the focus.
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW), .dwFlags = STARTF_USESHOWWINDOW,
                         .wShowWindow = SW_SHOWMINIMIZED};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw lastWin32Failure("CreateProcessW");
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

}  // namespace

int Win32Killer::terminateByImageName(std::string_view imageName) {
    const DWORD self = GetCurrentProcessId();
    std::string name;
    int ended = 0;
    forEachSystemRecord(records_, [&](const SystemRecord& record) {
        toUtf8(record.imageName, name);
        lengthenImageName(record.id, name);
        if (record.id == self || !equalImageNames(name, imageName)) return true;
        // The opened process holds its ID until closed, so the one confirmed is the one ended.
        if (const UniqueHandle process = openRecorded(record, imageName); process && TerminateProcess(process.get(), 1))
            ++ended;
        return true;
    });
    return ended;
}

void Win32Killer::endAll(const KillOrder& order) {
    try {
        terminateByImageName(order.imageName);
    } catch (const std::system_error&) {
        // The records could not be read: the kill line below still ends them.
    }
    auto line = lines_.find(order.imageName);
    if (line == lines_.end()) line = lines_.emplace(order.imageName, nullptr).first;
    // One line in flight per name: under load each takes a second to start
    // taskkill, and a tick every 100 ms would pile them up.
    if (isRunning(line->second)) return;
    line->second = startKillLine(order.commandLine);
}

}  // namespace quorvex
