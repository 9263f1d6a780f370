#include "platform/linux/posix_files.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/linux/file_descriptor.h"

namespace quorvex {

namespace {

std::error_code lastError() { return {errno, std::system_category()}; }

// The path as the kernel takes it; nullopt when it holds a NUL, which would
// silently cut it short.
std::optional<std::string> kernelPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return std::nullopt;
    return std::string(path);
}

const std::error_code kNotAPath = std::make_error_code(std::errc::invalid_argument);

// Clears `protecting` in a set of file attributes read and written by the
// ioctl requests `get` and `set` (the kernel reads and writes the type given).
template <typename Bits>
std::error_code clearAttributeBits(int fd, unsigned long get, unsigned long set, Bits protecting) {
    Bits bits = 0;
    if (::ioctl(fd, get, &bits) != 0) return lastError();
    if ((bits & protecting) == 0) return {};
    bits &= Bits(~protecting);
    return ::ioctl(fd, set, &bits) == 0 ? std::error_code{} : lastError();
}

// Clears the inode flags that forbid deleting or rewriting the file; a file
// system without such flags has nothing to clear.
std::error_code clearInodeFlags(int fd) {
    const std::error_code error =
        clearAttributeBits<int>(fd, FS_IOC_GETFLAGS, FS_IOC_SETFLAGS, FS_IMMUTABLE_FL | FS_APPEND_FL);
    const bool unsupported = error == std::errc::inappropriate_io_control_operation ||
                             error == std::errc::operation_not_supported || error == std::errc::invalid_argument;
    return unsupported ? std::error_code{} : error;
}

// Clears the DOS attributes of a file on a FAT file system.
std::error_code clearFatAttributes(int fd) {
    struct statfs fileSystem {};
    if (::fstatfs(fd, &fileSystem) != 0) return lastError();
    if (fileSystem.f_type != MSDOS_SUPER_MAGIC) return {};
    return clearAttributeBits<__u32>(fd, FAT_IOCTL_GET_ATTRIBUTES, FAT_IOCTL_SET_ATTRIBUTES,
                                     ATTR_RO | ATTR_HIDDEN | ATTR_SYS);
}

std::error_code makeOwnerWritable(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return lastError();
    if (status.st_mode & S_IWUSR) return {};
    return ::fchmod(fd, (status.st_mode & 07777) | S_IWUSR) == 0 ? std::error_code{} : lastError();
}

}  // namespace

bool PosixFileSystem::isAbsolutePath(std::string_view path) const { return path.starts_with('/'); }

std::error_code PosixFileSystem::resetAttributes(std::string_view path) {
    const auto target = kernelPath(path);
    if (!target) return kNotAPath;
    // Looking first keeps us from opening a device or a FIFO at all.
    struct stat status {};
    if (::lstat(target->c_str(), &status) != 0) return lastError();
    if (S_ISLNK(status.st_mode)) return {};
    if (!S_ISREG(status.st_mode))
        return std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory
                                                            : std::errc::operation_not_supported);

    const FileDescriptor file(
        ::open(target->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) return errno == ELOOP ? std::error_code{} : lastError();  // became a link meanwhile
    if (::fstat(file.get(), &status) != 0) return lastError();
    if (!S_ISREG(status.st_mode)) return std::make_error_code(std::errc::operation_not_supported);

    // The inode flags go first: an immutable file refuses every other change.
    std::error_code first = clearInodeFlags(file.get());
    for (const std::error_code step : {clearFatAttributes(file.get()), makeOwnerWritable(file.get())})
        if (!first) first = step;
    return first;
}

std::error_code PosixFileSystem::deleteFile(std::string_view path) {
    const auto target = kernelPath(path);
    if (!target) return kNotAPath;
    return ::unlinkat(AT_FDCWD, target->c_str(), 0) == 0 ? std::error_code{} : lastError();
}

std::error_code PosixFileSystem::createDirectory(std::string_view path) {
    const auto target = kernelPath(path);
    if (!target) return kNotAPath;
    return ::mkdir(target->c_str(), 0777) == 0 ? std::error_code{} : lastError();
}

bool PosixFileSystem::isDirectory(std::string_view path) const {
    const auto target = kernelPath(path);
    struct stat status {};
    return target && ::lstat(target->c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace quorvex
