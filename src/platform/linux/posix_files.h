// The cleanup's file operations on a POSIX file system. None follows a
// symbolic link at the path, none removes a directory, none throws.
#pragma once

#include "platform/files.h"

namespace quorvex {

class PosixFileSystem final : public FileSystem {
public:
    bool isAbsolutePath(std::string_view path) const override;
    // For a regular file: clears the immutable and append-only inode flags
    // (where the file system has them and we may), on FAT also the read-only,
    // hidden and system attributes, and makes it writable by its owner. Goes on
    // past a step's failure and returns the first. A symbolic link has nothing
    // to reset (success); any other kind of file is refused.
    std::error_code resetAttributes(std::string_view path) override;
    // Unlinks a file or a symbolic link (never its target); a directory fails.
    std::error_code deleteFile(std::string_view path) override;
    // Creates the directory with mode 0777 less the umask.
    std::error_code createDirectory(std::string_view path) override;
    bool isDirectory(std::string_view path) const override;
};

}  // namespace quorvex
