// The /proc directory of one process, or of one of its threads.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <span>

#include "platform/linux/proc/proc_files.h"
#include "platform/linux/system/file_descriptor.h"

namespace quorvex {

// "PID/" or "PID/task/TID/", relative to an open /proc. A small value: the
// path of each file read is built in a buffer of its own, so reads share no
// state and allocate nothing.
class ProcessDirectory {
public:
    // The name of a file in the directory, a literal short enough to fit.
    class Leaf {
    public:
        template <std::size_t N>
        constexpr Leaf(const char (&name)[N]) : name_(name), size_(N - 1) {
            static_assert(N <= kMostLeafBytes, "no /proc file of a process has so long a name");
        }

    private:
        friend class ProcessDirectory;
        const char* name_;
        std::size_t size_;
    };

    // The path of one file of the directory, relative to /proc.
    class FilePath {
    public:
        const char* c_str() const { return text_; }

    private:
        friend class ProcessDirectory;
        char text_[48];
    };

    ProcessDirectory() = default;
    ProcessDirectory(int proc, pid_t pid);
    // The directory of the process's thread `tid`.
    ProcessDirectory thread(pid_t tid) const;

    int proc() const { return proc_; }
    pid_t pid() const { return pid_; }
    // True for a thread's directory, read in place of its process's.
    bool isThread() const { return thread_; }

    FilePath file(Leaf leaf) const;
    // Opens the file `leaf` with `flags` (and O_CLOEXEC).
    FileDescriptor open(Leaf leaf, int flags) const;
    // Reads the start of the file `leaf`, as readFrom does.
    std::optional<std::size_t> read(Leaf leaf, std::span<char> buffer) const;
    // Reads the link `leaf`: 0, or the error.
    int readLink(Leaf leaf, LinkTarget& target) const;

private:
    static constexpr std::size_t kPrefixBytes = 32;  // "2147483647/task/2147483647/"
    static constexpr std::size_t kMostLeafBytes = sizeof(FilePath::text_) - kPrefixBytes;

    int proc_ = -1;
    pid_t pid_ = 0;
    bool thread_ = false;
    char prefix_[kPrefixBytes] = {};
    std::size_t length_ = 0;
};

}  // namespace quorvex
