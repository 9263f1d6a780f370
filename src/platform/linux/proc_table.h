// The process table of a Linux system, read from /proc afresh on every pass.
#pragma once

#include <limits.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/processes.h"
#include "platform/linux/proc_text.h"

namespace quorvex {

// One process of a pass. Its texts live in fixed buffers, so a pass that only
// compares names allocates nothing per process; the record is reused for the
// next process and is valid only inside the visit.
class ProcProcessRecord final : public ProcessRecord {
public:
    ProcProcessRecord() = default;
    ProcProcessRecord(const ProcProcessRecord&) = delete;
    ProcProcessRecord& operator=(const ProcProcessRecord&) = delete;

    // The executable's file name; for a Windows program run by Wine, the
    // program's image name; where the executable cannot be read, the command
    // name (see proctext::nameFromCommand).
    std::string_view name() const override { return name_; }
    // The executable's path (for a Wine-hosted program, the mapped image's),
    // with the identity of the file the process runs.
    std::optional<ExecutableFile> executable() const override;

    pid_t pid() const { return pid_; }

private:
    friend class ProcProcessTable;

    enum class NameSource { ExecutableLink, WineImage, CommandName };

    // Reads what the name needs. False when the process has gone (or is hidden
    // from us); throws when /proc itself cannot be read.
    bool load(int procDirectory, pid_t pid);
    bool loadCommandName();
    // Reads the process's file `leaf` into `buffer`: the bytes read, or
    // nullopt when the process has gone or is hidden from us.
    std::optional<std::size_t> readProcessFile(const char* leaf, char* buffer, std::size_t size);
    // argv[0]; nullopt when it is too long to be read whole.
    std::optional<std::string_view> readFirstArgument();
    std::optional<ExecutableFile> wineImage() const;
    std::optional<FileIdentity> executableLinkIdentity() const;

    int procDirectory_ = -1;
    pid_t pid_ = 0;
    NameSource source_ = NameSource::CommandName;
    std::string_view name_;
    // "PID/" followed by the leaf being read.
    char path_[32] = {};
    std::size_t pathPrefix_ = 0;
    char link_[PATH_MAX] = {};
    std::size_t linkLength_ = 0;
    char stat_[256] = {};
    char cmdline_[proctext::kMaxPathBytes + 1] = {};
};

class ProcProcessTable final : public ProcessTable {
public:
    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;

    // The same pass, with the records' process IDs (for the kill backend).
    void forEachProcess(const std::function<bool(const ProcProcessRecord&)>& visit) const;
    // Reads the process `pid` alone, by the same rules as a pass, and visits it
    // unless it has gone.
    void visitProcess(pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const;
};

}  // namespace quorvex
