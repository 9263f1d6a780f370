// Descriptors that a process table keeps from one pass to the next.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "platform/linux/proc/proc_files.h"
#include "platform/linux/proc/process_directory.h"
#include "platform/linux/system/file_descriptor.h"

namespace quorvex {

// Descriptors kept from one pass to the next, each tied to its process, not
// to its PID, so that a pass reads each process's current state without
// walking a path to it:
// - the executable link itself (opened O_PATH), read again with one
//   readlinkat. It reads the process's executable as it is now, after any
//   exec or rename; once the process has gone, reads fail;
// - a kernel thread's pidfd. A kernel thread never runs a program (the
//   kernel starts its user-mode helpers as user processes), so while it
//   runs, its PID needs no more than one poll of the pidfd;
// - the stat file of a process whose link cannot be read, read again with
//   one pread instead of an open, a read and a close.
class KeptDescriptors {
public:
    // Enough for the largest process tables met; each costs the kernel a
    // file and keeps a /proc entry cached.
    static constexpr std::size_t kMostKept = 8192;
    // Open files the descriptor limit allows for each one kept: the kept
    // stay a quarter of it, the rest is the program's.
    static constexpr std::size_t kLimitPerKept = 4;

    // Room for `mostKept` at most, fewer where the current limit is low
    // (raiseOpenFileLimit raises it at start-up).
    explicit KeptDescriptors(std::size_t mostKept = kMostKept);
    KeptDescriptors(const KeptDescriptors&) = delete;
    KeptDescriptors& operator=(const KeptDescriptors&) = delete;

    enum class Kind { ExecutableLink, KernelThread, StatFile };

    void startPass();
    // The descriptor of that kind kept for `pid`, or -1; either way `pid`
    // counts as met in this pass.
    int descriptor(pid_t pid, Kind kind);
    // True when `pid` is held by a known kernel thread that still runs.
    bool isRunningKernelThread(pid_t pid);
    bool hasRoom() const { return kept_.size() < capacity_; }
    // Keeps `descriptor` for the process that holds `pid`, while there is room.
    void keep(pid_t pid, FileDescriptor descriptor, Kind kind);
    void forget(pid_t pid);
    // Forgets the processes that a whole pass did not meet.
    void forgetUnseen();

    // Reads the executable link of the process at `directory` into `link`,
    // through the link kept for it, opened and kept now where there is none:
    // 0, or the error.
    int readExecutableLink(const ProcessDirectory& directory, LinkTarget& link);
    // Reads the start of the stat file kept for `pid`; nullopt when there is
    // none, or the process it was kept for has gone.
    std::optional<std::size_t> readStatFile(pid_t pid, std::span<char> buffer);

private:
    struct Kept {
        pid_t pid;
        FileDescriptor descriptor;
        Kind kind;
        unsigned pass;
    };
    // The entry of `pid`, marked as met in this pass; nullptr when there is none.
    Kept* find(pid_t pid);

    std::vector<Kept> kept_;  // by PID
    // Bounded, so that the descriptors kept stay a small share of the limit.
    std::size_t capacity_;
    unsigned pass_ = 0;
};

}  // namespace quorvex
