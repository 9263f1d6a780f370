#include "platform/windows/snapshot_process_table.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "platform/windows/unique_handle.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"

namespace quorvex {

namespace {

class SnapshotRecord final : public ProcessRecord {
public:
    explicit SnapshotRecord(const PROCESSENTRY32W& entry)
        : id_(entry.th32ProcessID), name_(toUtf8(entry.szExeFile)) {}

    std::string_view name() const override { return name_; }

    // Absent when the process has ended or may not be opened.
    std::optional<std::string> executablePath() const override {
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id_));
        if (!process) return std::nullopt;
        std::wstring path(32768, L'\0');  // the longest path Windows knows
        DWORD length = DWORD(path.size());
        if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) return std::nullopt;
        path.resize(length);
        return toUtf8(path);
    }

private:
    DWORD id_;
    std::string name_;
};

}  // namespace

void SnapshotProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE) throw lastWin32Failure("CreateToolhelp32Snapshot");
    const UniqueHandle snapshot(taken);
    PROCESSENTRY32W entry{.dwSize = sizeof(PROCESSENTRY32W)};
    BOOL more = Process32FirstW(snapshot.get(), &entry);
    for (; more; more = Process32NextW(snapshot.get(), &entry))
        if (!visit(SnapshotRecord(entry))) return;
    if (GetLastError() != ERROR_NO_MORE_FILES) throw lastWin32Failure("Process32NextW");
}

}  // namespace quorvex
