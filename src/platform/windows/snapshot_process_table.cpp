#include "platform/windows/snapshot_process_table.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "platform/image_name.h"
#include "platform/windows/unique_handle.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/win32_files.h"

namespace quorvex {

namespace {

std::string_view lastComponent(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// The system's record of every process, taken in one call, visited as an ID
// and an image name until `visit` returns false. The Toolhelp snapshot makes
// this same call and then copies the records into a section that each
// Process32NextW maps again, which costs a pass more than twice as much
// under Wine.
void forEachSystemProcess(const std::function<bool(DWORD, std::wstring_view)>& visit) {
    constexpr NTSTATUS kBufferTooSmall = NTSTATUS(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
    std::vector<char> records(std::size_t(1) << 18);
    ULONG needed = 0;
    NTSTATUS status;
    // Processes may start between the calls: leave room for more.
    while ((status = NtQuerySystemInformation(SystemProcessInformation, records.data(), ULONG(records.size()),
                                              &needed)) == kBufferTooSmall)
        records.resize(std::max<std::size_t>(needed + needed / 4, records.size() * 2));
    if (status < 0)
        throw std::system_error(win32Error(long(RtlNtStatusToDosError(status))), "NtQuerySystemInformation");

    for (std::size_t offset = 0;;) {
        const auto& record = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(records.data() + offset);
        const std::wstring_view name(record.ImageName.Buffer ? record.ImageName.Buffer : L"",
                                     record.ImageName.Length / sizeof(wchar_t));
        if (!visit(DWORD(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId)), name) ||
            record.NextEntryOffset == 0)
            return;
        offset += record.NextEntryOffset;
    }
}

}  // namespace

std::optional<ExecutableFile> SnapshotProcessRecord::executable() const {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id_));
    if (!process) return std::nullopt;
    std::wstring path(32768, L'\0');  // the longest path Windows knows
    DWORD length = DWORD(path.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) return std::nullopt;
    path.resize(length);
    ExecutableFile file{toUtf8(path), std::nullopt};
    if (!equalImageNames(lastComponent(file.path), name_)) return std::nullopt;
    // Read while the process runs, which keeps its image file from being
    // replaced.
    if (const auto status = statusAt(path); status && status->kind == FileStatus::Kind::File)
        file.identity = status->identity;
    return file;
}

void SnapshotProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    forEachSystemProcess([&visit](DWORD id, std::wstring_view name) {
        return visit(SnapshotProcessRecord(id, toUtf8(name)));
    });
}

}  // namespace quorvex
