// The IDs listed in /proc, or in a process's task directory, read straight
// from the directory with getdents64 so that listing allocates nothing.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <optional>

namespace quorvex {

// The process or thread ID an entry is named by; nullopt for other entries.
inline std::optional<pid_t> entryId(const char* entryName) {
    const char* end = entryName + std::strlen(entryName);
    pid_t id = 0;
    const auto [stop, error] = std::from_chars(entryName, end, id);
    if (error != std::errc{} || stop != end || id <= 0) return std::nullopt;
    return id;
}

// Calls visit(id) for every ID listed in the open directory `directory`, in
// the order the kernel lists them, until visit returns false. Returns 0, or
// the error that ended the listing early. BufferBytes of entries are read at
// a time.
template <std::size_t BufferBytes, class Visit>
int forEachListedId(int directory, Visit&& visit) {
    alignas(struct dirent64) char entries[BufferBytes];
    for (;;) {
        const ssize_t got = ::getdents64(directory, entries, sizeof entries);
        if (got <= 0) return got == 0 ? 0 : errno;
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
            offset += entry->d_reclen;
            const auto id = entryId(entry->d_name);
            if (id && !visit(*id)) return 0;
        }
    }
}

}  // namespace quorvex
