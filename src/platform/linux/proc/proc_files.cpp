#include "platform/linux/proc/proc_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorvex {

FileDescriptor openProc() {
    FileDescriptor proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc) throw std::system_error(errno, std::system_category(), "cannot open /proc");
    return proc;
}

bool processOutOfReach(int error) {
    return error == ENOENT || error == ESRCH || error == EACCES || error == EPERM;
}

std::optional<std::size_t> readFrom(const FileDescriptor& file, const char* path, std::span<char> buffer) {
    const ssize_t got = file ? ::read(file.get(), buffer.data(), buffer.size()) : -1;
    if (got < 0) {
        const int error = errno;
        if (processOutOfReach(error)) return std::nullopt;
        throw std::system_error(error, std::system_category(), "cannot read /proc/" + std::string(path));
    }
    // An empty file: the process is on its way out.
    if (got == 0) return std::nullopt;
    return std::size_t(got);
}

std::optional<std::string> readWholeFile(int directory, const char* path) {
    constexpr std::size_t kLimit = 64u << 20;  // far beyond any real maps text
    FileDescriptor file(::openat(directory, path, O_RDONLY | O_CLOEXEC));
    if (!file) return std::nullopt;
    std::string text;
    std::size_t used = 0;
    for (;;) {
        if (text.size() - used < 4096) text.resize(text.size() + 65536);
        const ssize_t got = ::read(file.get(), text.data() + used, text.size() - used);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        used += std::size_t(got);
        if (used > kLimit) return std::nullopt;
    }
    text.resize(used);
    return text;
}

int LinkTarget::readAt(int directory, const char* path) {
    const ssize_t length = ::readlinkat(directory, path, text_, sizeof text_);
    if (length < 0) return errno;
    if (length == 0 || std::size_t(length) >= sizeof text_) return ENAMETOOLONG;
    length_ = std::size_t(length);
    text_[length_] = '\0';
    return 0;
}

}  // namespace quorvex
