#include "platform/linux/proc/executable_identity.h"

#include <fcntl.h>

#include "platform/linux/system/file_status.h"

namespace quorvex {

std::optional<FileIdentity> executableLinkIdentity(const ProcessDirectory& process) {
    // Opened through the link itself, not the path it shows.
    const FileDescriptor file = process.open("exe", O_PATH);
    const auto status = file ? statusOf(file.get()) : std::nullopt;
    if (!status || status->kind != FileStatus::Kind::File) return std::nullopt;
    return status->identity;
}

bool runsFileAt(const ProcessDirectory& process, const char* path) {
    const auto named = statusAt(AT_FDCWD, path);
    return named && named->identity == executableLinkIdentity(process);
}

}  // namespace quorvex
