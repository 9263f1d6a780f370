#include "platform/linux/process_table.h"

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

void ProcProcessTable::forEachProcess(
    const std::function<bool(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    bool stopped = false;
    kept_.startPass();
    const int error = forEachListedId<32768>(proc.get(), [&](pid_t pid) {
        if (kept_.isRunningKernelThread(pid)) return true;
        stopped = !visitEntry(ProcessDirectory(proc.get(), pid), record, visit);
        return !stopped;
    });
    if (error != 0) throw std::system_error(error, std::system_category(), "cannot list /proc");
    // A pass cut short has not met every process it keeps descriptors for.
    if (!stopped) kept_.forgetUnseen();
}

bool ProcProcessTable::visitEntry(const ProcessDirectory& directory, ProcProcessRecord& record,
                                  const std::function<bool(const ProcProcessRecord&)>& visit) const {
    switch (record.load(directory, &kept_)) {
    case Found::Process:
        return visit(record);
    case Found::KernelThread:
        pinKernelThread(directory, record);
        return true;
    case Found::Nothing:
        return true;
    }
    return true;
}

void ProcProcessTable::pinKernelThread(const ProcessDirectory& directory, ProcProcessRecord& record) const {
    if (!kept_.hasRoom()) return;
    FileDescriptor pidfd = openPidfd(directory.pid());
    if (pidfd && record.load(directory, nullptr) == Found::KernelThread)
        kept_.keep(directory.pid(), std::move(pidfd), KeptDescriptors::Kind::KernelThread);
}

void ProcProcessTable::visitProcess(
    pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const {
    const FileDescriptor proc = openProc();
    ProcProcessRecord record;
    if (record.load(ProcessDirectory(proc.get(), pid), nullptr) == Found::Process) visit(record);
}

}  // namespace quorvex
