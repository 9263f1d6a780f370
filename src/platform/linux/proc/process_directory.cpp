#include "platform/linux/proc/process_directory.h"

#include <fcntl.h>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace quorvex {

namespace {

// Writes "ID/" at `out`, which has room for the longest ID; returns its end.
char* appendId(char* out, pid_t id) {
    out = std::to_chars(out, out + 11, id).ptr;
    *out = '/';
    return out + 1;
}

}  // namespace

ProcessDirectory::ProcessDirectory(int proc, pid_t pid) : proc_(proc), pid_(pid) {
    length_ = std::size_t(appendId(prefix_, pid) - prefix_);
}

ProcessDirectory ProcessDirectory::thread(pid_t tid) const {
    constexpr std::string_view kTasks = "task/";
    ProcessDirectory thread(proc_, pid_);
    char* const tasks = std::ranges::copy(kTasks, thread.prefix_ + thread.length_).out;
    thread.length_ = std::size_t(appendId(tasks, tid) - thread.prefix_);
    thread.thread_ = true;
    return thread;
}

ProcessDirectory::FilePath ProcessDirectory::file(Leaf leaf) const {
    FilePath path;
    char* const end = std::copy_n(leaf.name_, leaf.size_, std::copy_n(prefix_, length_, path.text_));
    *end = '\0';
    return path;
}

FileDescriptor ProcessDirectory::open(Leaf leaf, int flags) const {
    return FileDescriptor(::openat(proc_, file(leaf).c_str(), flags | O_CLOEXEC));
}

std::optional<std::size_t> ProcessDirectory::read(Leaf leaf, std::span<char> buffer) const {
    const FilePath path = file(leaf);
    return readFrom(FileDescriptor(::openat(proc_, path.c_str(), O_RDONLY | O_CLOEXEC)), path.c_str(), buffer);
}

int ProcessDirectory::readLink(Leaf leaf, LinkTarget& target) const {
    return target.readAt(proc_, file(leaf).c_str());
}

}  // namespace quorvex
