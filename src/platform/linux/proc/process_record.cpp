#include "platform/linux/proc/process_record.h"

#include <fcntl.h>

#include <cerrno>
#include <string>

#include "platform/linux/proc/executable_identity.h"
#include "platform/linux/proc/proc_listing.h"
#include "platform/linux/proc/wine_image.h"

namespace quorvex {

ProcProcessRecord::Found ProcProcessRecord::load(const ProcessDirectory& directory, KeptDescriptors* kept) {
    directory_ = directory;
    kept_ = kept;
    const int error = kept_ ? kept_->readExecutableLink(directory_, link_) : directory_.readLink("exe", link_);
    return error == 0 ? loadFromLink() : loadWithoutLink();
}

ProcProcessRecord::Found ProcProcessRecord::loadFromLink() {
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
    return loadWithoutLink();
}

ProcProcessRecord::Found ProcProcessRecord::loadWithoutLink() {
    FileDescriptor opened;
    const auto length = readStat(opened);
    if (!length) return Found::Nothing;
    const auto fields = proctext::parseStat({stat_, *length});
    if (!fields) return Found::Nothing;
    if (fields->kernelThread) return Found::KernelThread;
    if (fields->exited) {
        // Alone, an exited leader is a zombie waiting to be reaped.
        const bool liveThreads = fields->threads > 1 && !directory_.isThread();
        return liveThreads ? loadThroughLiveThread(fields->commandName) : Found::Nothing;
    }
    if (kept_ && opened && !directory_.isThread())
        kept_->keep(pid(), std::move(opened), KeptDescriptors::Kind::StatFile);
    return loadCommandName(fields->commandName);
}

std::optional<std::size_t> ProcProcessRecord::readStat(FileDescriptor& opened) {
    if (kept_ && !directory_.isThread())
        if (const auto length = kept_->readStatFile(pid(), stat_)) return length;
    const auto path = directory_.file("stat");
    opened = FileDescriptor(::openat(directory_.proc(), path.c_str(), O_RDONLY | O_CLOEXEC));
    return readFrom(opened, path.c_str(), stat_);
}

ProcProcessRecord::Found ProcProcessRecord::loadThroughLiveThread(std::string_view commandName) {
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
        found = error == 0 ? loadFromLink() : loadCommandName(commandName);
        return false;
    });
    return found;
}

ProcProcessRecord::Found ProcProcessRecord::loadCommandName(std::string_view commandName) {
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

}  // namespace quorvex
