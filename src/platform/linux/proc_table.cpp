#include "platform/linux/proc_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include "platform/linux/file_descriptor.h"

namespace quorvex {

namespace {

FileDescriptor openProc() {
    FileDescriptor proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc) throw std::system_error(errno, std::system_category(), "cannot open /proc");
    return proc;
}

// Errors that mean the process has exited, or that its files are not ours to
// read: both leave nothing to compare, and neither is a failure of the table.
bool processOutOfReach(int error) {
    return error == ENOENT || error == ESRCH || error == EACCES || error == EPERM;
}

std::optional<pid_t> parsePid(const char* entryName) {
    const char* end = entryName + std::strlen(entryName);
    pid_t pid = 0;
    const auto [stop, error] = std::from_chars(entryName, end, pid);
    if (error != std::errc{} || stop != end || pid <= 0) return std::nullopt;
    return pid;
}

// Reads a /proc file to its end; nullopt when it cannot be read whole.
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

}  // namespace

bool ProcProcessRecord::load(int procDirectory, pid_t pid) {
    procDirectory_ = procDirectory;
    pid_ = pid;
    const auto [end, error] = std::to_chars(path_, path_ + sizeof path_ - 8, pid);
    (void)error;  // a pid_t always fits
    *end = '/';
    pathPrefix_ = std::size_t(end + 1 - path_);

    std::memcpy(path_ + pathPrefix_, "exe", 4);
    const ssize_t length = ::readlinkat(procDirectory, path_, link_, sizeof link_);
    // Any failure (no privilege, a kernel thread, a process that has just
    // exited) sends us to the command name, which tells these apart.
    if (length <= 0 || std::size_t(length) >= sizeof link_) {
        linkLength_ = 0;
        return loadCommandName();
    }
    linkLength_ = std::size_t(length);
    const std::string_view image = proctext::imageNameFromLink({link_, linkLength_});
    if (!proctext::isWineLoader(image)) {
        source_ = NameSource::ExecutableLink;
        name_ = image;
        return true;
    }

    if (const auto argv0 = readFirstArgument()) {
        const std::string_view windowsImage = proctext::wineImageName(*argv0);
        if (!windowsImage.empty()) {
            source_ = NameSource::WineImage;
            name_ = windowsImage;
            return true;
        }
    }
    // What the program wrote over its arguments cannot be trusted.
    return loadCommandName();
}

bool ProcProcessRecord::loadCommandName() {
    const auto length = readProcessFile("stat", stat_, sizeof stat_);
    if (!length) return false;
    const auto fields = proctext::parseStat({stat_, *length});
    // An exited process waiting to be reaped is not running.
    if (!fields || fields->exited) return false;

    std::string_view argv0;
    if (fields->commandName.size() == proctext::kCommandNameBytes && !fields->kernelThread)
        argv0 = readFirstArgument().value_or(std::string_view{});
    source_ = NameSource::CommandName;
    name_ = proctext::nameFromCommand(fields->commandName, argv0);
    return true;
}

std::optional<std::size_t> ProcProcessRecord::readProcessFile(const char* leaf, char* buffer,
                                                              std::size_t size) {
    std::memcpy(path_ + pathPrefix_, leaf, std::strlen(leaf) + 1);
    FileDescriptor file(::openat(procDirectory_, path_, O_RDONLY | O_CLOEXEC));
    const ssize_t got = file ? ::read(file.get(), buffer, size) : -1;
    if (got < 0) {
        const int error = errno;
        if (processOutOfReach(error)) return std::nullopt;
        throw std::system_error(error, std::system_category(), "cannot read /proc/" + std::string(path_));
    }
    // An empty file: the process is on its way out.
    if (got == 0) return std::nullopt;
    return std::size_t(got);
}

std::optional<std::string_view> ProcProcessRecord::readFirstArgument() {
    // No command line: a kernel thread, or a process on its way out, which
    // the command name's state then tells.
    const auto length = readProcessFile("cmdline", cmdline_, sizeof cmdline_);
    if (!length) return std::string_view{};
    return proctext::firstArgument({cmdline_, *length}, *length == sizeof cmdline_);
}

std::optional<ExecutableFile> ProcProcessRecord::executable() const {
    switch (source_) {
    case NameSource::ExecutableLink:
        return ExecutableFile{std::string(proctext::withoutDeletedMark({link_, linkLength_})),
                              executableLinkIdentity()};
    case NameSource::WineImage:
        return wineImage();
    case NameSource::CommandName:
        break;
    }
    return std::nullopt;
}

std::optional<FileIdentity> ProcProcessRecord::executableLinkIdentity() const {
    // The link leads to the very file the process runs, whatever has become
    // of its path since.
    const std::string link = std::string(path_, pathPrefix_) + "exe";
    struct stat status {};
    if (::fstatat(procDirectory_, link.c_str(), &status, 0) != 0) return std::nullopt;
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)};
}

std::optional<ExecutableFile> ProcProcessRecord::wineImage() const {
    const std::string path = std::string(path_, pathPrefix_) + "maps";
    const auto maps = readWholeFile(procDirectory_, path.c_str());
    if (!maps) return std::nullopt;
    const auto image = proctext::wineImage(*maps, name_);
    if (!image) return std::nullopt;
    const FileIdentity identity{std::uint64_t(makedev(image->deviceMajor, image->deviceMinor)), image->inode};
    return ExecutableFile{std::string(image->path), identity};
}

void ProcProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    forEachProcess([&visit](const ProcProcessRecord& process) { return visit(process); });
}

void ProcProcessTable::forEachProcess(
    const std::function<bool(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    alignas(struct dirent64) char entries[32768];
    ProcProcessRecord record;
    for (;;) {
        const ssize_t got = ::getdents64(proc.get(), entries, sizeof entries);
        if (got < 0) throw std::system_error(errno, std::system_category(), "cannot list /proc");
        if (got == 0) return;
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
            offset += entry->d_reclen;
            const auto pid = parsePid(entry->d_name);
            if (!pid || !record.load(proc.get(), *pid)) continue;
            if (!visit(record)) return;
        }
    }
}

void ProcProcessTable::visitProcess(
    pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    if (record.load(proc.get(), pid)) visit(record);
}

}  // namespace quorvex
