// One process of a pass over /proc, and the rules by which it is named.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/linux/proc/kept_descriptors.h"
#include "platform/linux/proc/proc_files.h"
#include "platform/linux/proc/proc_text.h"
#include "platform/linux/proc/process_directory.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/process_table.h"

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
    // with the identity of the file the process runs; absent for a program
    // that runs from no file (a memfd).
    std::optional<ExecutableFile> executable() const override;

    pid_t pid() const { return directory_.pid(); }

private:
    friend class ProcProcessTable;

    enum class NameSource { ExecutableLink, WineImage, CommandName };
    // What the read of one /proc entry found.
    enum class Found { Process, KernelThread, Nothing };

    // Reads what the name needs from the process's `directory`, through the
    // descriptors `kept` from earlier passes where it may. Nothing when the
    // process has gone, is a zombie or is hidden from us; throws when /proc
    // itself cannot be read.
    Found load(const ProcessDirectory& directory, KeptDescriptors* kept);
    // Names the process by the executable link in link_ (or by its Wine image).
    Found loadFromLink();
    // No privilege, a kernel thread, an exited leader or a process that has
    // just gone: the stat file tells these apart.
    Found loadWithoutLink();
    // A process whose leader has exited lives on in its other threads, and is
    // read through one of them.
    Found loadThroughLiveThread(std::string_view commandName);
    Found loadCommandName(std::string_view commandName);
    // Reads the stat file into stat_, through the kept one if there is
    // one; a file opened here is left in `opened`.
    std::optional<std::size_t> readStat(FileDescriptor& opened);
    // argv[0]; nullopt when it is too long to be read whole.
    std::optional<std::string_view> readFirstArgument();

    // The process's directory, or that of the thread it is read through.
    ProcessDirectory directory_;
    KeptDescriptors* kept_ = nullptr;
    NameSource source_ = NameSource::CommandName;
    std::string_view name_;
    // The executable link's target, and the path of the file it names in it
    // (less a deletion mark that is not part of the file's name).
    LinkTarget link_;
    std::optional<std::string_view> path_;
    char stat_[512] = {};
    char cmdline_[proctext::kMaxPathBytes + 1] = {};
};

}  // namespace quorvex
