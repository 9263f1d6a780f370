#include "platform/linux/system/file_protection.h"

#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include "platform/linux/system/last_error.h"

namespace quorvex {

namespace {

class KernelCalls final : public ProtectionCalls {
public:
    std::error_code ioctl(int fd, unsigned long request, void* value) override {
        return ::ioctl(fd, request, value) == 0 ? std::error_code{} : lastError();
    }
    std::error_code fileSystemType(int fd, long& type) override {
        struct statfs fileSystem {};
        if (::fstatfs(fd, &fileSystem) != 0) return lastError();
        type = long(fileSystem.f_type);
        return {};
    }
    std::error_code changeMode(int fd, mode_t mode) override {
        return ::fchmod(fd, mode) == 0 ? std::error_code{} : lastError();
    }
};

// Clears `protecting` in the attribute bits that `get` reads and `set` writes
// (the kernel reads and writes the type given).
template <typename Bits>
std::error_code clearBits(ProtectionCalls& calls, int fd, unsigned long get, unsigned long set,
                          Bits protecting) {
    Bits bits = 0;
    if (const auto error = calls.ioctl(fd, get, &bits)) return error;
    if ((bits & protecting) == 0) return {};
    bits &= Bits(~protecting);
    return calls.ioctl(fd, set, &bits);
}

std::error_code clearInodeFlags(ProtectionCalls& calls, int fd) {
    const std::error_code error =
        clearBits<int>(calls, fd, FS_IOC_GETFLAGS, FS_IOC_SETFLAGS, FS_IMMUTABLE_FL | FS_APPEND_FL);
    const bool unsupported = error == std::errc::inappropriate_io_control_operation ||
                             error == std::errc::operation_not_supported ||
                             error == std::errc::invalid_argument;
    return unsupported ? std::error_code{} : error;
}

std::error_code clearFatAttributes(ProtectionCalls& calls, int fd) {
    long type = 0;
    if (const auto error = calls.fileSystemType(fd, type)) return error;
    if (type != MSDOS_SUPER_MAGIC) return {};
    return clearBits<__u32>(calls, fd, FAT_IOCTL_GET_ATTRIBUTES, FAT_IOCTL_SET_ATTRIBUTES,
                            ATTR_RO | ATTR_HIDDEN | ATTR_SYS);
}

std::error_code makeOwnerWritable(ProtectionCalls& calls, int fd, mode_t mode) {
    if (mode & S_IWUSR) return {};
    return calls.changeMode(fd, (mode & 07777) | S_IWUSR);
}

}  // namespace

ProtectionCalls& kernelProtectionCalls() {
    static KernelCalls calls;
    return calls;
}

std::error_code clearProtection(int fd, mode_t mode, ProtectionCalls& calls) {
    std::error_code first = clearInodeFlags(calls, fd);
    for (const std::error_code step : {clearFatAttributes(calls, fd), makeOwnerWritable(calls, fd, mode)})
        if (!first) first = step;
    return first;
}

}  // namespace quorvex
