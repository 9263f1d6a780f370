// The few file operations of the cleanup. None follows a symbolic link and
// none throws: each returns an error code (empty on success).
#pragma once

#include <string_view>
#include <system_error>

namespace quorvex {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True for a complete path on this platform (not relative to a current directory).
    virtual bool isAbsolutePath(std::string_view path) const = 0;
    // Clears the attributes that protect a file from deletion (read-only, hidden,
    // system; on Linux also the immutable and append-only flags).
    virtual std::error_code resetAttributes(std::string_view path) = 0;
    // Deletes the file at `path`; a directory is never deleted.
    virtual std::error_code deleteFile(std::string_view path) = 0;
    virtual std::error_code createDirectory(std::string_view path) = 0;
    // True when a directory (not a link to one) stands at `path`.
    virtual bool isDirectory(std::string_view path) const = 0;
};

}  // namespace quorvex
