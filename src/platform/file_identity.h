// Which file a name stands for: the same for every name of one file, and
// different for any other file, on the platform's own terms.
#pragma once

#include <cstdint>

namespace quorvex {

struct FileIdentity {
    std::uint64_t device = 0;  // Windows: the volume's serial number
    std::uint64_t inode = 0;   // Windows: the file index on that volume

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

}  // namespace quorvex
