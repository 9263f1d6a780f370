#include "platform/linux/system/file_status.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <linux/types.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <string>

#include "platform/linux/system/file_descriptor.h"

namespace quorvex {

namespace {

// FS_IOC_GETFSUUID of Linux 6.5, which older headers lack.
struct FileSystemUuid {
    __u8 length;
    __u8 bytes[16];
};
constexpr unsigned long kGetFileSystemUuid = _IOR(0x15, 0, FileSystemUuid);

constexpr unsigned kAsked = STATX_BASIC_STATS | STATX_BTIME | kStatxUniqueMountId;
constexpr unsigned kNeeded = STATX_TYPE | STATX_INO | STATX_NLINK;

FileStatus::Kind kindOf(mode_t mode) {
    return S_ISREG(mode) ? FileStatus::Kind::File : S_ISDIR(mode) ? FileStatus::Kind::Directory : FileStatus::Kind::Other;
}

std::optional<std::uint64_t> nonZero(std::uint64_t value) {
    return value != 0 ? std::optional(value) : std::nullopt;
}

// The UUID of the regular file's file system (on FAT, its volume ID); nullopt
// where none can be read.
std::optional<std::uint64_t> readFileSystemUuid(int fd) {
    // The queries need a file open for reading; reopened through /proc, the
    // descriptor leads to the very same file.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const FileDescriptor file(::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) return std::nullopt;
    FileSystemUuid uuid{};
    if (::ioctl(file.get(), kGetFileSystemUuid, &uuid) == 0 && uuid.length <= sizeof uuid.bytes) {
        std::uint64_t folded = 0;
        for (unsigned i = 0; i < uuid.length; ++i) folded ^= std::uint64_t(uuid.bytes[i]) << (8 * (i % 8));
        return nonZero(folded);
    }
    struct statfs fileSystem {};
    __u32 volumeId = 0;
    if (::fstatfs(file.get(), &fileSystem) == 0 && fileSystem.f_type == MSDOS_SUPER_MAGIC &&
        ::ioctl(file.get(), FAT_IOCTL_GET_VOLUME_ID, &volumeId) == 0)
        return nonZero(volumeId);
    return std::nullopt;
}

}  // namespace

bool tellsFileSystemApart(const struct statx& status) {
    const unsigned mask = status.stx_mask;
    return (mask & kStatxUniqueMountId) || ((mask & STATX_MNT_ID) && (mask & STATX_BTIME));
}

FileIdentity identityFrom(const struct statx& status, std::optional<std::uint64_t> fileSystemUuid) {
    FileIdentity identity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
    if (status.stx_mask & STATX_BTIME)
        identity.birth = std::uint64_t(status.stx_btime.tv_sec) * 1'000'000'000 + status.stx_btime.tv_nsec;
    if (tellsFileSystemApart(status)) {
        identity.volume = status.stx_mnt_id;
    } else {
        identity.volume = fileSystemUuid.value_or(0);
        identity.ambiguous = !fileSystemUuid;
    }
    return identity;
}

std::optional<struct statx> statxOf(int fd) {
    struct statx status {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kAsked, &status) != 0 ||
        (status.stx_mask & kNeeded) != kNeeded)
        return std::nullopt;
    return status;
}

FileStatus statusFrom(int fd, const struct statx& status) {
    const FileStatus::Kind kind = kindOf(status.stx_mode);
    std::optional<std::uint64_t> uuid;
    if (kind == FileStatus::Kind::File && !tellsFileSystemApart(status)) uuid = readFileSystemUuid(fd);
    return FileStatus{kind, identityFrom(status, uuid), status.stx_nlink};
}

std::optional<FileStatus> statusOf(int fd) {
    const auto status = statxOf(fd);
    return status ? std::optional(statusFrom(fd, *status)) : std::nullopt;
}

VolumeIdentity volumeOf(int fd) {
    const auto status = statxOf(fd);
    if (!status) return {};
    VolumeIdentity volume{makedev(status->stx_dev_major, status->stx_dev_minor)};
    const auto told = (status->stx_mask & kStatxUniqueMountId) ? std::optional<std::uint64_t>(status->stx_mnt_id)
                                                                : readFileSystemUuid(fd);
    volume.volume = told.value_or(0);
    volume.ambiguous = !told;
    return volume;
}

std::optional<FileStatus> statusAt(int directory, const char* path) {
    const FileDescriptor file(::openat(directory, path, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    return file ? statusOf(file.get()) : std::nullopt;
}

}  // namespace quorvex
