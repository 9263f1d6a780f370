// The process table of a Linux system, read from /proc afresh on every pass.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>

#include "platform/linux/proc/kept_descriptors.h"
#include "platform/linux/proc/process_directory.h"
#include "platform/linux/proc/process_record.h"
#include "platform/process_table.h"

namespace quorvex {

// A pass visits every process except kernel threads and zombies. Passes of
// one table run one at a time: the table keeps descriptors from one pass to
// the next, each tied to its process, so that a pass reads each process's
// state as it is now (after any exec) with one call, and never a process
// that took over a PID as the one that held it before.
class ProcProcessTable final : public ProcessTable {
public:
    // A table for a single pass keeps nothing: `mostKept` 0.
    explicit ProcProcessTable(std::size_t mostKept = KeptDescriptors::kMostKept) : kept_(mostKept) {}

    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;

    // The same pass, with the records' process IDs (for the kill backend).
    void forEachProcess(const std::function<bool(const ProcProcessRecord&)>& visit) const;
    // Reads the process `pid` alone, by the same rules as a pass but through
    // no kept descriptor, and visits it unless it has gone.
    void visitProcess(pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const;

private:
    using Found = ProcProcessRecord::Found;

    // Reads what naming the process at `directory` takes into `record`,
    // through the descriptors kept from earlier passes where `kept` is given.
    static Found read(const ProcessDirectory& directory, ProcProcessRecord& record, KeptDescriptors* kept);
    // The stat file into the record: through the one kept for the process,
    // else opened, and then kept when it names the process.
    static Found readStat(const ProcessDirectory& directory, ProcProcessRecord& record, KeptDescriptors* kept);
    // Keeps a pidfd for the kernel thread at `directory`, read again once
    // pinned: the process that held its PID before may have gone, and the
    // pidfd then pins whoever holds it now.
    void pinKernelThread(const ProcessDirectory& directory, ProcProcessRecord& record) const;

    mutable KeptDescriptors kept_;
};

}  // namespace quorvex
