// A lock shared by every build tree on this machine, held while a test runs
// the real guard or processes under the watched names: a guard kills every
// such process on the machine, so two trees' tests would take each other's.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

namespace quorvex::test {

class WatchedNamesLock {
public:
    // The path the test scripts lock too (with flock(1)).
    static std::filesystem::path path() {
        return std::filesystem::temp_directory_path() / "quorvex-watched-names.lock";
    }

    // Waits for the lock (the other tree's test is bounded by its timeout).
    WatchedNamesLock() : fd_(::open(path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~WatchedNamesLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    WatchedNamesLock(const WatchedNamesLock&) = delete;
    WatchedNamesLock& operator=(const WatchedNamesLock&) = delete;

private:
    int fd_;
};

}  // namespace quorvex::test
