// Which file a process runs, told by the file system rather than by a path.
#pragma once

#include <optional>

#include "platform/file_identity.h"
#include "platform/linux/proc/process_directory.h"

namespace quorvex {

// The file the process runs, through its executable link: that leads to the
// very file whatever has become of its path since.
std::optional<FileIdentity> executableLinkIdentity(const ProcessDirectory& process);

// True when the file at `path` (a link there not followed) is the very file
// the process runs.
bool runsFileAt(const ProcessDirectory& process, const char* path);

}  // namespace quorvex
