// Which file a name stands for: the same for every name of one file, and
// different for any other file, on the platform's own terms. Device and
// inode numbers alone do not say it once their file system has gone: the
// next stick in the same port gets the same device, and a fresh volume gives
// its first files the same numbers as the last one did. So the identity
// carries what tells the file system itself apart, or says that nothing does.
#pragma once

#include <cstdint>

namespace quorvex {

struct FileIdentity {
    std::uint64_t device = 0;     // Linux: the device number; Windows: the volume's serial number
    std::uint64_t inode = 0;      // Linux: the inode number; Windows: the file ID (its low half)
    std::uint64_t inodeHigh = 0;  // Windows: the high half of a 128-bit file ID
    // Linux: the mount's ID, unique for the boot where the kernel has such
    // IDs (6.8 and later); before that the mount's reusable ID, or the file
    // system's UUID folded to 64 bits.
    std::uint64_t volume = 0;
    std::uint64_t birth = 0;  // Linux: the birth time in nanoseconds, where the file system keeps one
    // True where nothing above tells this file system from another that
    // takes the same numbers once it has gone: no file can be proved to be
    // this one then.
    bool ambiguous = false;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;

    // True when `seen` is certainly this very file.
    bool matches(const FileIdentity& seen) const { return !ambiguous && *this == seen; }
};

}  // namespace quorvex
