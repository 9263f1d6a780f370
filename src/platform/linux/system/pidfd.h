// Process file descriptors through the system calls themselves (Linux 5.3)
// rather than the C library's wrappers, which only glibc 2.36 and later have.
#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/linux/system/file_descriptor.h"

// Older C library headers lack the numbers; these are the kernel's common ones.
#ifndef SYS_pidfd_send_signal
#define SYS_pidfd_send_signal 424
#endif
#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434
#endif

namespace quorvex {

// A pidfd for the process that holds `pid` now; none (and errno set) when
// there is no such process.
inline FileDescriptor openPidfd(pid_t pid) {
    return FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
}

// Sends `signal` to the process `pidfd` refers to: 0, or -1 with errno set
// (ESRCH once that process has exited, whoever holds its ID now).
inline int signalThroughPidfd(const FileDescriptor& pidfd, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd.get(), signal, nullptr, 0));
}

}  // namespace quorvex
