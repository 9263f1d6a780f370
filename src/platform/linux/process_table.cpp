#include "platform/linux/process_table.h"

#include <fcntl.h>

#include <system_error>
#include <utility>

#include "platform/linux/proc/proc_files.h"
#include "platform/linux/proc/proc_listing.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/pidfd.h"

namespace quorvex {

void ProcProcessTable::forEach(const std::function<bool(const ProcessRecord&)>& visit) const {
    forEachProcess([&visit](const ProcProcessRecord& process) { return visit(process); });
}

void ProcProcessTable::forEachProcess(const std::function<bool(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    bool stopped = false;
    kept_.startPass();
    const int error = forEachListedId<32768>(proc.get(), [&](pid_t pid) {
        if (kept_.isRunningKernelThread(pid)) return true;
        const ProcessDirectory directory(proc.get(), pid);
        switch (read(directory, record, &kept_)) {
        case Found::Process: stopped = !visit(record); break;
        case Found::KernelThread: pinKernelThread(directory, record); break;
        case Found::Nothing: break;
        }
        return !stopped;
    });
    if (error != 0) throw std::system_error(error, std::system_category(), "cannot list /proc");
    // A pass cut short has not met every process it keeps descriptors for.
    if (!stopped) kept_.forgetUnseen();
}

ProcProcessTable::Found ProcProcessTable::read(const ProcessDirectory& directory, ProcProcessRecord& record,
                                               KeptDescriptors* kept) {
    record.readingAt(directory);
    const int error = kept ? kept->readExecutableLink(directory, record.link()) : directory.readLink("exe", record.link());
    if (error == 0)
        if (const auto found = record.nameFromLink()) return *found;
    return readStat(directory, record, kept);
}

ProcProcessTable::Found ProcProcessTable::readStat(const ProcessDirectory& directory, ProcProcessRecord& record,
                                                   KeptDescriptors* kept) {
    if (kept)
        if (const auto length = kept->readStatFile(directory.pid(), record.stat())) return record.nameFromStat(*length);
    const auto path = directory.file("stat");
    FileDescriptor opened(::openat(directory.proc(), path.c_str(), O_RDONLY | O_CLOEXEC));
    const auto length = readFrom(opened, path.c_str(), record.stat());
    if (!length) return Found::Nothing;
    const Found found = record.nameFromStat(*length);
    if (kept && found == Found::Process && record.namedByItsStat())
        kept->keep(directory.pid(), std::move(opened), KeptDescriptors::Kind::StatFile);
    return found;
}

void ProcProcessTable::pinKernelThread(const ProcessDirectory& directory, ProcProcessRecord& record) const {
    if (!kept_.hasRoom()) return;
    FileDescriptor pidfd = openPidfd(directory.pid());
    if (pidfd && read(directory, record, nullptr) == Found::KernelThread)
        kept_.keep(directory.pid(), std::move(pidfd), KeptDescriptors::Kind::KernelThread);
}

void ProcProcessTable::visitProcess(pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    if (read(ProcessDirectory(proc.get(), pid), record, nullptr) == Found::Process) visit(record);
}

}  // namespace quorvex
