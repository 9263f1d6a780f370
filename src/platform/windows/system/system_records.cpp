#include "platform/windows/system/system_records.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <algorithm>
#include <system_error>

#include "platform/windows/system/win32_error.h"

namespace quorvex {

void forEachSystemRecord(std::vector<char>& buffer, const std::function<bool(const SystemRecord&)>& visit) {
    constexpr NTSTATUS kTooSmall = NTSTATUS(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
    if (buffer.empty()) buffer.resize(kSystemRecordsRoom);
    for (ULONG needed = 0;;) {
        const NTSTATUS status =
            NtQuerySystemInformation(SystemProcessInformation, buffer.data(), ULONG(buffer.size()), &needed);
        if (status >= 0) break;
        if (status != kTooSmall)
            throw std::system_error(win32Error(long(RtlNtStatusToDosError(status))), "NtQuerySystemInformation");
        buffer.resize(2 * std::max<std::size_t>(needed, buffer.size()));  // processes may start meanwhile
    }
    for (const char* at = buffer.data();;) {
        const auto& record = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(at);
        const bool goOn = visit(
            {DWORD(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId)),
             {record.ImageName.Buffer ? record.ImageName.Buffer : L"", record.ImageName.Length / sizeof(wchar_t)},
             std::uint64_t(record.CreateTime.QuadPart), record.SessionId});
        if (!goOn || record.NextEntryOffset == 0) return;
        at += record.NextEntryOffset;
    }
}

}  // namespace quorvex
