// Clearing what protects a file from deletion on Linux: the immutable and
// append-only inode flags, the DOS attributes of a file on FAT, and the
// owner's write permission. The system calls go through a seam, so that the
// order and the bits can be checked without such a file system.
#pragma once

#include <sys/types.h>

#include <system_error>

namespace quorvex {

class ProtectionCalls {
public:
    virtual ~ProtectionCalls() = default;
    // ioctl(2) with a pointer to the request's value.
    virtual std::error_code ioctl(int fd, unsigned long request, void* value) = 0;
    // The file system's magic number (statfs f_type).
    virtual std::error_code fileSystemType(int fd, long& type) = 0;
    virtual std::error_code changeMode(int fd, mode_t mode) = 0;
};

// The calls themselves.
ProtectionCalls& kernelProtectionCalls();

// Clears the protection of the regular file open at `fd` whose mode is
// `mode`. The inode flags go first (an immutable file refuses every other
// change); goes on past a step's failure and returns the first. A file system
// without inode flags or DOS attributes has nothing to clear there.
std::error_code clearProtection(int fd, mode_t mode, ProtectionCalls& calls);

}  // namespace quorvex
