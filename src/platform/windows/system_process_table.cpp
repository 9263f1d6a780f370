#include "platform/windows/system_process_table.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <algorithm>

#include "platform/windows/unique_handle.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/win32_files.h"
#include "platform/windows/wow64_redirection.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

constexpr std::size_t kFirstBufferBytes = std::size_t(1) << 18;
// A file name has at most 255 UTF-16 units, each at most three bytes of WTF-8.
constexpr std::size_t kLongestNameBytes = 255 * 3;

// Fills `records` with the system's record of every process, taken in one
// call. The Toolhelp snapshot makes this same call and then copies the
// records into a section that each Process32NextW maps again, which costs a
// pass more than twice as much under Wine.
void readSystemProcesses(std::vector<char>& records) {
    constexpr NTSTATUS kBufferTooSmall = NTSTATUS(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
    ULONG needed = 0;
    NTSTATUS status;
    // Processes may start between the calls: leave room for more.
    while ((status = NtQuerySystemInformation(SystemProcessInformation, records.data(), ULONG(records.size()),
                                              &needed)) == kBufferTooSmall)
        records.resize(std::max<std::size_t>(needed + needed / 4, records.size() * 2));
    if (status < 0)
        throw std::system_error(win32Error(long(RtlNtStatusToDosError(status))), "NtQuerySystemInformation");
}

}  // namespace

std::optional<ExecutableFile> SystemProcessRecord::executable() const {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id_));
    if (!process) return std::nullopt;
    std::wstring path(32768, L'\0');  // the longest path Windows knows
    DWORD length = DWORD(path.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) return std::nullopt;
    path.resize(length);
    ExecutableFile file{toUtf8(path), std::nullopt};
    if (!equalImageNames(lastComponent(file.path, kWindowsSeparators), name_)) return std::nullopt;
    // Read while the process runs, which keeps its image file from being
    // replaced; at the true path, which a 32-bit guard's redirector would
    // turn from System32 to SysWOW64.
    const Wow64RedirectionOff asNamed;
    if (const auto status = statusAt(path); status && status->kind == FileStatus::Kind::File)
        file.identity = status->identity;
    return file;
}

SystemProcessTable::SystemProcessTable() : records_(kFirstBufferBytes) { name_.reserve(kLongestNameBytes); }

void SystemProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    readSystemProcesses(records_);
    for (std::size_t offset = 0;;) {
        const auto& record = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(records_.data() + offset);
        const std::wstring_view name(record.ImageName.Buffer ? record.ImageName.Buffer : L"",
                                     record.ImageName.Length / sizeof(wchar_t));
        toUtf8(name, name_);
        const auto id = DWORD(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId));
        if (!visit(SystemProcessRecord(id, name_)) || record.NextEntryOffset == 0) return;
        offset += record.NextEntryOffset;
    }
}

}  // namespace quorvex
