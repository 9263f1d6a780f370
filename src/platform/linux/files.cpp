#include "platform/linux/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/file_status.h"
#include "platform/linux/system/last_error.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

// The folder `name` inside `folder`; a symbolic link there fails with ELOOP
// or ENOTDIR, whatever it points to.
FileDescriptor openSubfolder(int folder, const std::string& name) {
    return FileDescriptor(::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

class PosixFolderEntry final : public FolderEntry {
public:
    PosixFolderEntry(FileDescriptor folder, std::string name, ProtectionCalls& calls)
        : folder_(std::move(folder)), name_(std::move(name)), calls_(calls) {}

    std::optional<FileStatus> status() const override { return statusAt(folder_.get(), name_.c_str()); }

    std::error_code resetAttributes(const FileIdentity& expected) override {
        // O_NONBLOCK: should a pipe have taken the name meanwhile, the open
        // must not wait for a writer; it is refused below.
        const FileDescriptor file(::openat(folder_.get(), name_.c_str(),
                                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!file) return lastError();
        const auto status = statxOf(file.get());
        if (!status) return notTheExpectedFile();
        const FileStatus opened = statusFrom(file.get(), *status);
        if (opened.kind != FileStatus::Kind::File || !expected.matches(opened.identity)) return notTheExpectedFile();
        return clearProtection(file.get(), status->stx_mode, calls_);
    }

    std::error_code deleteFile(const FileIdentity& expected) override {
        // A name cannot be unlinked by what it names: the look just before
        // leaves a window only for whoever may rename within this folder.
        const auto now = status();
        if (!now || !expected.matches(now->identity)) return notTheExpectedFile();
        return ::unlinkat(folder_.get(), name_.c_str(), 0) == 0 ? std::error_code{} : lastError();
    }

    std::error_code createDirectory() override {
        return ::mkdirat(folder_.get(), name_.c_str(), 0777) == 0 ? std::error_code{} : lastError();
    }

    // The folder held since the walk, where the directory is made.
    VolumeIdentity folderVolume() const override { return volumeOf(folder_.get()); }

private:
    static std::error_code notTheExpectedFile() { return std::make_error_code(std::errc::operation_not_permitted); }

    FileDescriptor folder_;
    std::string name_;
    ProtectionCalls& calls_;
};

}  // namespace

bool PosixFileSystem::isAbsolutePath(std::string_view path) const { return path.starts_with('/'); }

std::unique_ptr<FolderEntry> PosixFileSystem::reach(std::string_view path, std::error_code& error) {
    const auto refuse = [&error](int number) -> std::unique_ptr<FolderEntry> {
        error = {number, std::system_category()};
        return nullptr;
    };
    if (!isAbsolutePath(path)) return refuse(EINVAL);
    FileDescriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return refuse(errno);
    std::string_view rest = path.substr(1);
    for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos; rest.remove_prefix(slash + 1)) {
        const std::string_view component = rest.substr(0, slash);
        if (!isPlainComponent(component)) return refuse(EINVAL);
        folder = openSubfolder(folder.get(), std::string(component));
        if (!folder) return refuse(errno);
    }
    if (!isPlainComponent(rest)) return refuse(EINVAL);
    error.clear();
    return std::make_unique<PosixFolderEntry>(std::move(folder), std::string(rest), calls_);
}

}  // namespace quorvex
