#include "platform/windows/process_table.h"

#include <windows.h>

#include "platform/windows/files.h"
#include "platform/windows/system/long_name.h"
#include "platform/windows/system/process_image.h"
#include "platform/windows/system/system_records.h"
#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/wow64_redirection.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

// A file name has at most 255 UTF-16 units, each at most three bytes of WTF-8.
constexpr std::size_t kLongestNameBytes = 255 * 3;

// The session a process belongs to; a process may always ask for its own.
unsigned long sessionOf(DWORD process) {
    DWORD session = 0;
    ProcessIdToSessionId(process, &session);
    return session;
}

}  // namespace

std::optional<ExecutableFile> SystemProcessRecord::executable() const {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(key_.id)));
    if (!process) return std::nullopt;
    const auto path = processImagePath(process.get());
    if (!path) return std::nullopt;
    ExecutableFile file{toUtf8(*path), std::nullopt};
    if (!equalImageNames(lastComponent(file.path, kWindowsSeparators), name_)) return std::nullopt;
    // Read while the process runs, which keeps its image file from being
    // replaced; at the true path, which a 32-bit guard's redirector would
    // turn from System32 to SysWOW64.
    const Wow64RedirectionOff asNamed;
    if (const auto status = statusAt(*path); status && status->kind == FileStatus::Kind::File)
        file.identity = status->identity;
    return file;
}

SystemProcessTable::SystemProcessTable() : ownSession_(sessionOf(GetCurrentProcessId())), records_(kSystemRecordsRoom) {
    name_.reserve(kLongestNameBytes);
}

void SystemProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    forEachSystemRecord(records_, [&](const SystemRecord& record) {
        toUtf8(record.imageName, name_);
        lengthenImageName(record.id, name_);
        return visit(SystemProcessRecord(record, name_, ownSession_));
    });
}

}  // namespace quorvex
