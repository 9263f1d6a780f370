#include "platform/linux/proc_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/pidfd.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

using Kind = KeptDescriptors::Kind;

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

// Writes "ID/" at `out` (room for the longest ID is the caller's); returns its end.
char* appendDirectory(char* out, pid_t id) {
    out = std::to_chars(out, out + 16, id).ptr;
    *out = '/';
    return out + 1;
}

// Reads the start of a process's /proc file `path`, opened as `file`, into
// `buffer`: the bytes read, or nullopt when the process has gone or is
// hidden from us.
std::optional<std::size_t> readFrom(const FileDescriptor& file, const char* path, char* buffer, std::size_t size) {
    const ssize_t got = file ? ::read(file.get(), buffer, size) : -1;
    if (got < 0) {
        const int error = errno;
        if (processOutOfReach(error)) return std::nullopt;
        throw std::system_error(error, std::system_category(), "cannot read /proc/" + std::string(path));
    }
    // An empty file: the process is on its way out.
    if (got == 0) return std::nullopt;
    return std::size_t(got);
}

std::optional<std::size_t> readProcFile(int procDirectory, const char* path, char* buffer, std::size_t size) {
    return readFrom(FileDescriptor(::openat(procDirectory, path, O_RDONLY | O_CLOEXEC)), path, buffer, size);
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

ProcProcessRecord::Found ProcProcessRecord::load(int procDirectory, pid_t pid, KeptDescriptors* kept) {
    procDirectory_ = procDirectory;
    kept_ = kept;
    pid_ = pid;
    processPrefix_ = pathPrefix_ = std::size_t(appendDirectory(path_, pid) - path_);
    if ((kept_ ? readKeptExecutableLink() : readExecutableLink()) == 0) return loadFromLink();
    // No privilege, a kernel thread, an exited leader or a process that has
    // just gone: the stat file tells these apart.
    return loadWithoutLink();
}

void ProcProcessRecord::readFromThread(pid_t tid) {
    char* const tasks = std::copy_n("task/", 5, path_ + processPrefix_);
    pathPrefix_ = std::size_t(appendDirectory(tasks, tid) - path_);
}

int ProcProcessRecord::readExecutableLink() {
    std::memcpy(path_ + pathPrefix_, "exe", 4);
    return readLinkAt(procDirectory_, path_);
}

int ProcProcessRecord::readKeptExecutableLink() {
    if (const int link = kept_->descriptor(pid_, Kind::ExecutableLink); link >= 0) {
        if (readLinkAt(link, "") == 0) return 0;
        // Its process has gone, and the PID may be another's now; or it
        // has run a program we may not read.
        kept_->forget(pid_);
    } else if (kept_->descriptor(pid_, Kind::StatFile) >= 0 || !kept_->hasRoom()) {
        // Its link could not be read last time: one read by path tries again.
        return readExecutableLink();
    }
    std::memcpy(path_ + pathPrefix_, "exe", 4);
    FileDescriptor link(::openat(procDirectory_, path_, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!link) return errno;
    const int error = readLinkAt(link.get(), "");
    if (error == 0) kept_->keep(pid_, std::move(link), Kind::ExecutableLink);
    return error;
}

int ProcProcessRecord::readLinkAt(int directory, const char* path) {
    const ssize_t length = ::readlinkat(directory, path, link_, sizeof link_);
    if (length < 0) return errno;
    if (length == 0 || std::size_t(length) >= sizeof link_) return ENAMETOOLONG;
    linkLength_ = std::size_t(length);
    link_[linkLength_] = '\0';
    return 0;
}

ProcProcessRecord::Found ProcProcessRecord::loadFromLink() {
    // The kernel marks a deleted file's path, but a file may really be named
    // so: the mark is cut only when no such file is the one running.
    if (proctext::hasDeletedMark({link_, linkLength_}) && !runsFileAt(link_)) {
        linkLength_ = proctext::withoutDeletedMark({link_, linkLength_}).size();
        link_[linkLength_] = '\0';
    }
    const std::string_view image = lastComponent({link_, linkLength_});
    if (!proctext::isWineLoader(image)) {
        source_ = NameSource::ExecutableLink;
        name_ = image;
        return Found::Process;
    }

    if (const auto argv0 = readFirstArgument()) {
        const std::string_view windowsImage = proctext::wineImageName(*argv0);
        if (!windowsImage.empty()) {
            source_ = NameSource::WineImage;
            name_ = windowsImage;
            return Found::Process;
        }
    }
    // What the program wrote over its arguments cannot be trusted.
    return loadWithoutLink();
}

bool ProcProcessRecord::runsFileAt(const char* path) const {
    struct stat named {};
    return ::fstatat(AT_FDCWD, path, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           executableLinkIdentity() == FileIdentity{std::uint64_t(named.st_dev), std::uint64_t(named.st_ino)};
}

ProcProcessRecord::Found ProcProcessRecord::loadWithoutLink() {
    FileDescriptor opened;
    const auto length = readStat(opened);
    if (!length) return Found::Nothing;
    const auto fields = proctext::parseStat({stat_, *length});
    if (!fields) return Found::Nothing;
    if (fields->kernelThread) return Found::KernelThread;
    const bool ownDirectory = pathPrefix_ == processPrefix_;
    if (fields->exited) {
        // Alone, an exited leader is a zombie waiting to be reaped.
        return fields->threads > 1 && ownDirectory ? loadThroughLiveThread(fields->commandName) : Found::Nothing;
    }
    if (kept_ && opened && ownDirectory) kept_->keep(pid_, std::move(opened), Kind::StatFile);
    return loadCommandName(fields->commandName);
}

std::optional<std::size_t> ProcProcessRecord::readStat(FileDescriptor& opened) {
    const int keptFile = kept_ && pathPrefix_ == processPrefix_ ? kept_->descriptor(pid_, Kind::StatFile) : -1;
    if (keptFile >= 0) {
        const ssize_t got = ::pread(keptFile, stat_, sizeof stat_, 0);
        if (got > 0) return std::size_t(got);
        // The process it was kept for has gone; its PID may be another's now.
        kept_->forget(pid_);
    }
    std::memcpy(path_ + pathPrefix_, "stat", 5);
    opened = FileDescriptor(::openat(procDirectory_, path_, O_RDONLY | O_CLOEXEC));
    return readFrom(opened, path_, stat_, sizeof stat_);
}

ProcProcessRecord::Found ProcProcessRecord::loadThroughLiveThread(std::string_view commandName) {
    std::memcpy(path_ + pathPrefix_, "task", 5);
    const FileDescriptor tasks(::openat(procDirectory_, path_, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!tasks) return Found::Nothing;
    alignas(struct dirent64) char entries[2048];
    for (ssize_t got; (got = ::getdents64(tasks.get(), entries, sizeof entries)) > 0;) {
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
            offset += entry->d_reclen;
            const auto tid = parsePid(entry->d_name);
            if (!tid || *tid == pid_) continue;
            readFromThread(*tid);
            const int error = readExecutableLink();
            if (error == 0) return loadFromLink();
            // This thread has exited too; another may still run.
            if (error == ENOENT || error == ESRCH) continue;
            return loadCommandName(commandName);
        }
    }
    return Found::Nothing;
}

ProcProcessRecord::Found ProcProcessRecord::loadCommandName(std::string_view commandName) {
    std::string_view argv0;
    if (commandName.size() == proctext::kCommandNameBytes)
        argv0 = readFirstArgument().value_or(std::string_view{});
    source_ = NameSource::CommandName;
    name_ = proctext::nameFromCommand(commandName, argv0);
    return Found::Process;
}

std::optional<std::size_t> ProcProcessRecord::readProcessFile(const char* leaf, char* buffer,
                                                              std::size_t size) {
    std::memcpy(path_ + pathPrefix_, leaf, std::strlen(leaf) + 1);
    return readProcFile(procDirectory_, path_, buffer, size);
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
        return ExecutableFile{std::string(link_, linkLength_), executableLinkIdentity()};
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
    kept_.startPass();
    for (ssize_t got; (got = ::getdents64(proc.get(), entries, sizeof entries)) != 0;) {
        if (got < 0) throw std::system_error(errno, std::system_category(), "cannot list /proc");
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
            offset += entry->d_reclen;
            const auto pid = parsePid(entry->d_name);
            if (!pid || kept_.isRunningKernelThread(*pid)) continue;
            switch (record.load(proc.get(), *pid, &kept_)) {
            case ProcProcessRecord::Found::Process:
                if (!visit(record)) return;
                break;
            case ProcProcessRecord::Found::KernelThread:
                pinKernelThread(proc.get(), *pid, record);
                break;
            case ProcProcessRecord::Found::Nothing:
                break;
            }
        }
    }
    kept_.forgetUnseen();
}

void ProcProcessTable::pinKernelThread(int procDirectory, pid_t pid, ProcProcessRecord& record) const {
    if (!kept_.hasRoom()) return;
    FileDescriptor pidfd = openPidfd(pid);
    if (pidfd && record.load(procDirectory, pid, nullptr) == ProcProcessRecord::Found::KernelThread)
        kept_.keep(pid, std::move(pidfd), Kind::KernelThread);
}

void ProcProcessTable::visitProcess(
    pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    if (record.load(proc.get(), pid, nullptr) == ProcProcessRecord::Found::Process) visit(record);
}

}  // namespace quorvex
