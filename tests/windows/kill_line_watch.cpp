#include "kill_line_watch.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "platform/windows/system/system_records.h"
#include "platform/windows/system/unique_handle.h"

namespace quorvex::test {

namespace {

// The command line from the process's own parameters; empty when the
// process has ended or may not be read.
std::wstring commandLineOf(unsigned long id) {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!process ||
        NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0 ||
        !ReadProcessMemory(process.get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process.get(), peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return {};
    std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!ReadProcessMemory(process.get(), parameters.CommandLine.Buffer, line.data(), parameters.CommandLine.Length,
                           nullptr))
        return {};
    return line;
}

bool isImage(std::wstring_view name, std::wstring_view image) {
    return CompareStringOrdinal(name.data(), int(name.size()), image.data(), int(image.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

KillLineWatch::KillLineWatch(std::wstring worm) : worm_(std::move(worm)), thread_([this] { watch(); }) {}

KillLineWatch::~KillLineWatch() {
    stop_ = true;
    thread_.join();
}

void KillLineWatch::watch() {
    std::vector<char> records;
    const std::wstring named = L"/im " + worm_;
    while (!stop_) {
        int interpreters = 0, taskkills = 0;
        forEachSystemRecord(records, [&](const SystemRecord& record) {
            const bool interpreter = isImage(record.imageName, L"cmd.exe");
            if (!interpreter && !isImage(record.imageName, L"taskkill.exe")) return true;
            if (commandLineOf(record.id).find(named) != std::wstring::npos) ++(interpreter ? interpreters : taskkills);
            return true;
        });
        mostInterpreters_ = std::max(mostInterpreters_.load(), interpreters);
        mostTaskkills_ = std::max(mostTaskkills_.load(), taskkills);
        // A sampler, not a wait: no event tells that a process has started.
        // A line runs for tens of milliseconds at the least, so samples 5 ms
        // apart see every one.
        Sleep(5);
    }
}

}  // namespace quorvex::test
