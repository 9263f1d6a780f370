// A lock shared by every build tree on this machine, held while a test runs
// the real guard or processes under the watched names: a guard kills every
// such process on the machine, so two trees' tests would take each other's.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace quorvex::test {

class WatchedNamesLock {
public:
    // The path the test scripts lock too (with flock(1)).
    static std::filesystem::path path() {
        return std::filesystem::temp_directory_path() / "quorvex-watched-names.lock";
    }

    // Waits for the lock (the other tree's test is bounded by its timeout),
    // unless a process this one runs under holds it already (a test run
    // under `flock <path> ...`): it holds it for us, and waiting here would
    // wait for ourselves.
    WatchedNamesLock() : fd_(::open(path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0 && !heldByAnAncestor()) ::flock(fd_, LOCK_EX);
    }
    ~WatchedNamesLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    WatchedNamesLock(const WatchedNamesLock&) = delete;
    WatchedNamesLock& operator=(const WatchedNamesLock&) = delete;

private:
    // The holder /proc/locks names for the file, among this process's ancestors.
    bool heldByAnAncestor() const {
        struct stat file {};
        if (::fstat(fd_, &file) != 0) return false;
        char id[64];  // as /proc/locks writes it
        std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(file.st_dev), minor(file.st_dev),
                      static_cast<unsigned long>(file.st_ino));
        const std::set<std::string> ancestors = ancestorIds();
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            std::istringstream fields(line);
            std::string number, kind, mode, access, holder, where;
            // Waiters' lines have "->" after the number, so only the holder's reads so.
            if (fields >> number >> kind >> mode >> access >> holder >> where && kind == "FLOCK" && where == id &&
                ancestors.contains(holder))
                return true;
        }
        return false;
    }
    static std::set<std::string> ancestorIds() {
        std::set<std::string> ids;
        for (pid_t pid = ::getppid(); pid > 1;) {
            ids.insert(std::to_string(pid));
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), {});
            const auto close = text.rfind(')');
            if (close == std::string::npos) break;
            std::istringstream rest(text.substr(close + 2));
            std::string state;
            if (!(rest >> state >> pid)) break;
        }
        return ids;
    }

    int fd_;
};

}  // namespace quorvex::test
