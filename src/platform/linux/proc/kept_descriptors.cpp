#include "platform/linux/proc/kept_descriptors.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvex {

KeptDescriptors::KeptDescriptors(std::size_t mostKept) {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) files.rlim_cur = 0;
    capacity_ = std::min<std::size_t>(files.rlim_cur / kLimitPerKept, mostKept);
    // Reserved now, so that a pass never allocates.
    kept_.reserve(capacity_);
}

void KeptDescriptors::startPass() { ++pass_; }

KeptDescriptors::Kept* KeptDescriptors::find(pid_t pid) {
    const auto kept = std::ranges::lower_bound(kept_, pid, {}, &Kept::pid);
    if (kept == kept_.end() || kept->pid != pid) return nullptr;
    kept->pass = pass_;
    return &*kept;
}

int KeptDescriptors::descriptor(pid_t pid, Kind kind) {
    const Kept* kept = find(pid);
    return kept && kept->kind == kind ? kept->descriptor.get() : -1;
}

bool KeptDescriptors::isRunningKernelThread(pid_t pid) {
    const int pidfd = descriptor(pid, Kind::KernelThread);
    if (pidfd < 0) return false;
    // The pidfd becomes readable when the thread has exited.
    pollfd exited{pidfd, POLLIN, 0};
    if (::poll(&exited, 1, 0) == 0) return true;
    forget(pid);
    return false;
}

void KeptDescriptors::forget(pid_t pid) {
    std::erase_if(kept_, [pid](const Kept& kept) { return kept.pid == pid; });
}

void KeptDescriptors::keep(pid_t pid, FileDescriptor descriptor, Kind kind) {
    if (!hasRoom()) return;
    const auto place = std::ranges::lower_bound(kept_, pid, {}, &Kept::pid);
    if (place != kept_.end() && place->pid == pid) return;
    kept_.insert(place, Kept{pid, std::move(descriptor), kind, pass_});
}

void KeptDescriptors::forgetUnseen() {
    std::erase_if(kept_, [this](const Kept& kept) { return kept.pass != pass_; });
}

int KeptDescriptors::readExecutableLink(const ProcessDirectory& directory, LinkTarget& link) {
    const pid_t pid = directory.pid();
    if (const Kept* kept = find(pid); kept && kept->kind == Kind::ExecutableLink) {
        if (link.readAt(kept->descriptor.get(), "") == 0) return 0;
        // Its process has gone, and the PID may be another's now; or it
        // has run a program we may not read.
        forget(pid);
    } else if (kept || !hasRoom()) {
        // Its link could not be read last time: one read by path tries again.
        return directory.readLink("exe", link);
    }
    FileDescriptor opened = directory.open("exe", O_PATH | O_NOFOLLOW);
    if (!opened) return errno;
    const int error = link.readAt(opened.get(), "");
    if (error == 0) keep(pid, std::move(opened), Kind::ExecutableLink);
    return error;
}

std::optional<std::size_t> KeptDescriptors::readStatFile(pid_t pid, std::span<char> buffer) {
    const int file = descriptor(pid, Kind::StatFile);
    if (file < 0) return std::nullopt;
    const ssize_t got = ::pread(file, buffer.data(), buffer.size(), 0);
    if (got > 0) return std::size_t(got);
    // The process it was kept for has gone; its PID may be another's now.
    forget(pid);
    return std::nullopt;
}

}  // namespace quorvex
