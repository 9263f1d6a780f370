#include "platform/windows/snapshot_process_table.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

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
    const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE) throw lastWin32Failure("CreateToolhelp32Snapshot");
    const UniqueHandle snapshot(taken);
    PROCESSENTRY32W entry{.dwSize = sizeof(PROCESSENTRY32W)};
    BOOL more = Process32FirstW(snapshot.get(), &entry);
    for (; more; more = Process32NextW(snapshot.get(), &entry))
        if (!visit(SnapshotProcessRecord(entry.th32ProcessID, toUtf8(entry.szExeFile)))) return;
    if (GetLastError() != ERROR_NO_MORE_FILES) throw lastWin32Failure("Process32NextW");
}

}  // namespace quorvex
