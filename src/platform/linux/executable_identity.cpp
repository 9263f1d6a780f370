#include "platform/linux/executable_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>

namespace quorvex {

namespace {

std::optional<FileIdentity> identityAt(int directory, const char* path, int flags) {
    struct stat status {};
    if (::fstatat(directory, path, &status, flags) != 0) return std::nullopt;
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)};
}

}  // namespace

std::optional<FileIdentity> executableLinkIdentity(const ProcessDirectory& process) {
    return identityAt(process.proc(), process.file("exe").c_str(), 0);
}

bool runsFileAt(const ProcessDirectory& process, const char* path) {
    const auto named = identityAt(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW);
    return named && named == executableLinkIdentity(process);
}

}  // namespace quorvex
