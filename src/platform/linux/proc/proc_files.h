// Reading /proc: opening it, reading the start of a file or a whole one, and
// reading a link, into buffers of the caller's where a pass must not allocate.
#pragma once

#include <limits.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/linux/system/file_descriptor.h"

namespace quorvex {

// /proc itself; throws when it cannot be opened.
FileDescriptor openProc();

// Errors that mean the process has exited, or that its files are not ours to
// read: both leave nothing to compare, and neither is a failure of the table.
bool processOutOfReach(int error);

// Reads the start of the /proc file `path`, opened as `file` (none, with
// errno set, when the open failed), into `buffer`: the bytes read, or nullopt
// when the process has gone or is hidden from us. Other failures throw.
std::optional<std::size_t> readFrom(const FileDescriptor& file, const char* path, std::span<char> buffer);

// Reads a /proc file to its end; nullopt when it cannot be read whole.
std::optional<std::string> readWholeFile(int directory, const char* path);

// The target of a /proc link (a process's executable), NUL-terminated.
class LinkTarget {
public:
    // Reads the link `path` in `directory` (or, with "", the link opened
    // O_PATH as `directory`): 0, or the error.
    int readAt(int directory, const char* path);

    std::string_view text() const { return {text_, length_}; }
    const char* c_str() const { return text_; }

private:
    char text_[PATH_MAX] = {};
    std::size_t length_ = 0;
};

}  // namespace quorvex
