#include "platform/linux/proc/process_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/linux/proc/executable_identity.h"
#include "platform/linux/proc/proc_listing.h"
#include "platform/linux/proc/wine_image.h"

namespace quorvex {

std::optional<ProcProcessRecord::Found> ProcProcessRecord::nameFromLink() {
    // The kernel marks a deleted file's path, but a file may really be named
    // so: the mark is the kernel's only when no such file is the one running.
    const bool kernelsMark = proctext::hasDeletedMark(link_.text()) && !runsFileAt(directory_, link_.c_str());
    const proctext::LinkedExecutable linked = proctext::linkedExecutable(link_.text(), kernelsMark);
    if (!proctext::isWineLoader(linked.name)) {
        source_ = NameSource::ExecutableLink;
        name_ = linked.name;
        path_ = linked.path;
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
    return std::nullopt;
}

ProcProcessRecord::Found ProcProcessRecord::nameFromStat(std::size_t length) {
    const auto fields = proctext::parseStat({stat_, length});
    if (!fields) return Found::Nothing;
    if (fields->kernelThread) return Found::KernelThread;
    if (fields->exited) {
        // Alone, an exited leader is a zombie waiting to be reaped.
        const bool liveThreads = fields->threads > 1 && !directory_.isThread();
        return liveThreads ? nameThroughLiveThread(fields->commandName) : Found::Nothing;
    }
    return nameFromCommand(fields->commandName);
}

ProcProcessRecord::Found ProcProcessRecord::nameThroughLiveThread(std::string_view commandName) {
    const FileDescriptor tasks = directory_.open("task", O_RDONLY | O_DIRECTORY);
    if (!tasks) return Found::Nothing;
    const ProcessDirectory process = directory_;
    Found found = Found::Nothing;
    forEachListedId<2048>(tasks.get(), [&](pid_t tid) {
        if (tid == process.pid()) return true;
        directory_ = process.thread(tid);
        const int error = directory_.readLink("exe", link_);
        // This thread has exited too; another may still run.
        if (error == ENOENT || error == ESRCH) return true;
        const auto byLink = error == 0 ? nameFromLink() : std::nullopt;
        found = byLink ? *byLink : nameFromCommand(commandName);
        return false;
    });
    return found;
}

ProcProcessRecord::Found ProcProcessRecord::nameFromCommand(std::string_view commandName) {
    std::string_view argv0;
    if (commandName.size() == proctext::kCommandNameBytes)
        argv0 = readFirstArgument().value_or(std::string_view{});
    source_ = NameSource::CommandName;
    name_ = proctext::nameFromCommand(commandName, argv0);
    return Found::Process;
}

std::optional<std::string_view> ProcProcessRecord::readFirstArgument() {
    // No command line: a kernel thread, or a process on its way out, which
    // the command name's state then tells.
    const auto length = directory_.read("cmdline", cmdline_);
    if (!length) return std::string_view{};
    return proctext::firstArgument({cmdline_, *length}, *length == sizeof cmdline_);
}

std::optional<ExecutableFile> ProcProcessRecord::executable() const {
    switch (source_) {
    case NameSource::ExecutableLink:
        // A program run from no file (a memfd) has nothing to clean.
        if (!path_) return std::nullopt;
        return ExecutableFile{std::string(*path_), executableLinkIdentity(directory_)};
    case NameSource::WineImage:
        return readWineImage(directory_, name_);
    case NameSource::CommandName:
        break;
    }
    return std::nullopt;
}

std::optional<ProcessKey> ProcProcessRecord::key() const {
    // The process's own stat, the leader's even when it is read through a thread.
    char stat[512];
    const auto length = ProcessDirectory(directory_.proc(), pid()).read("stat", stat);
    const auto started = length ? proctext::startTime({stat, *length}) : std::nullopt;
    if (!started) return std::nullopt;
    return ProcessKey{std::uint64_t(pid()), *started};
}

bool ProcProcessRecord::inThisSession() const {
    const uid_t self = ::getuid();
    if (self == 0) return true;
    char status[4096];
    const auto length = ProcessDirectory(directory_.proc(), pid()).read("status", status);
    const auto owner = length ? proctext::realUser({status, *length}) : std::nullopt;
    return owner == self;
}

}  // namespace quorvex
