// Whether a folder is where another file system is mounted.
#pragma once

#include <sys/stat.h>

#include <filesystem>

namespace quorvex::test {

// Another file system's root: its device differs from its parent's.
inline bool isMountPoint(const std::filesystem::path& path) {
    struct stat self {}, parent {};
    return ::stat(path.c_str(), &self) == 0 && ::stat(path.parent_path().c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

}  // namespace quorvex::test
