// What stands behind a descriptor, as statx tells it: its kind, its names and
// which file on which file system it is. A detection and the cleanup's look
// at the path both read it so, so that the two compare.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

#include "platform/files.h"

namespace quorvex {

// Asks statx for a mount ID that no later mount gets (Linux 6.8 and later);
// older headers lack the name.
inline constexpr unsigned kStatxUniqueMountId = 0x4000;  // STATX_MNT_ID_UNIQUE

// True when `status` alone tells its file system from any that may come to
// the same device later: its mount ID is unique, or a reusable one comes with
// the file's birth time.
bool tellsFileSystemApart(const struct statx& status);

// The identity `status` gives. Where it does not tell the file system apart,
// the file system's UUID (folded to 64 bits) takes the mount's place, and
// without one the identity is ambiguous.
FileIdentity identityFrom(const struct statx& status, std::optional<std::uint64_t> fileSystemUuid);

// What statx tells of the descriptor `fd` (O_PATH will do), asked for all
// that an identity takes; nullopt when it cannot be read.
std::optional<struct statx> statxOf(int fd);

// The status of `fd` from `status`, its statx. A regular file's UUID is read
// only where statx is not enough.
FileStatus statusFrom(int fd, const struct statx& status);

// Both of the above in one.
std::optional<FileStatus> statusOf(int fd);

// The file system of `fd` (O_PATH will do), told apart as a file's identity
// there tells it where nothing but the file system is compared: by a unique
// mount ID, else the file system's UUID. A reusable mount ID is no help: the
// next stick mounted in the same place may take it, and only a file's birth
// time tells its files apart.
VolumeIdentity volumeOf(int fd);

// What stands at `path` in the folder `directory`, a link there not followed.
std::optional<FileStatus> statusAt(int directory, const char* path);

}  // namespace quorvex
