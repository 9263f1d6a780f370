// One process of a pass over /proc, and the rules by which it is named.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string_view>

#include "platform/linux/proc/proc_files.h"
#include "platform/linux/proc/proc_text.h"
#include "platform/linux/proc/process_directory.h"
#include "platform/process_table.h"

namespace quorvex {

// One process of a pass. The table reads what naming it takes (the
// executable link, else the stat file) into the record's fixed buffers and
// hands it over; the record applies the rules. A pass that only compares
// names allocates nothing per process; the record is reused for the next
// process and is valid only inside the visit.
class ProcProcessRecord final : public ProcessRecord {
public:
    // What the read of one /proc entry found.
    enum class Found { Process, KernelThread, Nothing };

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
    // The process ID with the start time of the process (clock ticks since
    // boot): an ID that passes to another process comes with another time.
    std::optional<ProcessKey> key() const override;
    // Its real user is ours, or we are root.
    bool inThisSession() const override;

    pid_t pid() const { return directory_.pid(); }

    // The process at `directory` is read now: its link into link(), its stat
    // file into stat().
    void readingAt(const ProcessDirectory& directory) { directory_ = directory; }
    LinkTarget& link() { return link_; }
    std::span<char> stat() { return stat_; }
    // Names the process by the link just read; nullopt when the link cannot
    // name it (a Wine loader whose arguments tell nothing): the stat file must.
    std::optional<Found> nameFromLink();
    // Names the process by the first `length` bytes of its stat file: no
    // privilege to its link, a kernel thread, an exited leader, or a process
    // that has just gone.
    Found nameFromStat(std::size_t length);
    // True when the stat file named the process itself (not one of its threads):
    // it names it again while the process lives.
    bool namedByItsStat() const { return source_ == NameSource::CommandName && !directory_.isThread(); }

private:
    enum class NameSource { ExecutableLink, WineImage, CommandName };

    // A process whose leader has exited lives on in its other threads, and is
    // read through one of them.
    Found nameThroughLiveThread(std::string_view commandName);
    Found nameFromCommand(std::string_view commandName);
    // argv[0]; nullopt when it is too long to be read whole.
    std::optional<std::string_view> readFirstArgument();

    // The process's directory, or that of the thread it is read through.
    ProcessDirectory directory_;
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
