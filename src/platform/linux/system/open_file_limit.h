// The process's limit on open files, raised once at start-up.
#pragma once

namespace quorvex {

// Raises the soft RLIMIT_NOFILE toward the hard limit, as far as the process
// tables' kept descriptors can use (see KeptDescriptors). The soft limit is
// low by default only for programs that watch descriptors with select(),
// which cannot see numbers past FD_SETSIZE; nothing in this program does.
// Where the limit cannot be raised, the tables keep fewer descriptors.
void raiseOpenFileLimit();

}  // namespace quorvex
