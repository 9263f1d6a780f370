// The process table of a Linux system, read from /proc afresh on every pass.
#pragma once

#include <limits.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/kept_descriptors.h"
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
    // name (see proctext::nameFromCommand). A process whose leader has exited
    // is read through another of its threads.
    std::string_view name() const override { return name_; }
    // The executable's path (for a Wine-hosted program, the mapped image's),
    // with the identity of the file the process runs.
    std::optional<ExecutableFile> executable() const override;

    pid_t pid() const { return pid_; }

private:
    friend class ProcProcessTable;

    enum class NameSource { ExecutableLink, WineImage, CommandName };
    // What the read of one /proc entry found.
    enum class Found { Process, KernelThread, Nothing };

    // Reads what the name needs, through the descriptors `kept` from
    // earlier passes where it may. Nothing when the process has gone, is a
    // zombie or is hidden from us; throws when /proc itself cannot be read.
    Found load(int procDirectory, pid_t pid, KeptDescriptors* kept);
    // Points the reads at the directory of the process's thread `tid`.
    void readFromThread(pid_t tid);
    // Reads the executable link into link_: 0, or the error.
    int readExecutableLink();
    // The same through the link kept for the process, opened and kept now
    // where there is none.
    int readKeptExecutableLink();
    int readLinkAt(int directory, const char* path);
    // Names the process by the executable link in link_ (or by its Wine image).
    Found loadFromLink();
    Found loadWithoutLink();
    // A process whose leader has exited lives on in its other threads, and is
    // read through one of them.
    Found loadThroughLiveThread(std::string_view commandName);
    Found loadCommandName(std::string_view commandName);
    // True when the file at `path` is the very file the process runs.
    bool runsFileAt(const char* path) const;
    // Reads the stat file into stat_, through the kept one if there is
    // one; a file opened here is left in `opened`.
    std::optional<std::size_t> readStat(FileDescriptor& opened);
    // Reads the process's file `leaf` into `buffer`: the bytes read, or
    // nullopt when the process has gone or is hidden from us.
    std::optional<std::size_t> readProcessFile(const char* leaf, char* buffer, std::size_t size);
    // argv[0]; nullopt when it is too long to be read whole.
    std::optional<std::string_view> readFirstArgument();
    std::optional<ExecutableFile> wineImage() const;
    std::optional<FileIdentity> executableLinkIdentity() const;

    int procDirectory_ = -1;
    KeptDescriptors* kept_ = nullptr;
    pid_t pid_ = 0;
    NameSource source_ = NameSource::CommandName;
    std::string_view name_;
    // "PID/" or "PID/task/TID/", followed by the leaf being read.
    char path_[48] = {};
    std::size_t pathPrefix_ = 0;
    std::size_t processPrefix_ = 0;  // the length of "PID/"
    // The executable's path (the link's target, less a deletion mark that
    // is not part of the file's name), NUL-terminated.
    char link_[PATH_MAX] = {};
    std::size_t linkLength_ = 0;
    char stat_[512] = {};
    char cmdline_[proctext::kMaxPathBytes + 1] = {};
};

// A pass visits every process except kernel threads and zombies. Passes of
// one table run one at a time: the table keeps descriptors from one pass to
// the next.
class ProcProcessTable final : public ProcessTable {
public:
    // A table for a single pass keeps nothing: `mostKept` 0.
    explicit ProcProcessTable(std::size_t mostKept = KeptDescriptors::kMostKept) : kept_(mostKept) {}

    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;

    // The same pass, with the records' process IDs (for the kill backend).
    void forEachProcess(const std::function<bool(const ProcProcessRecord&)>& visit) const;
    // Reads the process `pid` alone, by the same rules as a pass, and visits it
    // unless it has gone.
    void visitProcess(pid_t pid, const std::function<void(const ProcProcessRecord&)>& visit) const;

private:
    // Keeps a pidfd for the kernel thread at `pid`, read again through
    // `record` once pinned: the process that held `pid` before may have
    // gone, and the pidfd then pins whoever holds it now.
    void pinKernelThread(int procDirectory, pid_t pid, ProcProcessRecord& record) const;

    mutable KeptDescriptors kept_;
};

}  // namespace quorvex
