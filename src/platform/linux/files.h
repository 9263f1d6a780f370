// The cleanup's file operations on a POSIX file system. The folder is walked
// to from the root one component at a time, refusing every symbolic link, and
// the operations act on the name inside it; none removes a directory.
#pragma once

#include "platform/files.h"
#include "platform/linux/system/file_protection.h"

namespace quorvex {

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(ProtectionCalls& calls = kernelProtectionCalls()) : calls_(calls) {}

    bool isAbsolutePath(std::string_view path) const override;
    // Fails (ELOOP) when a component before the last is a symbolic link, and
    // (EINVAL) for a path with a NUL, an empty, "." or ".." component.
    std::unique_ptr<FolderEntry> reach(std::string_view path, std::error_code& error) override;

private:
    ProtectionCalls& calls_;
};

}  // namespace quorvex
