#include "platform/linux/system/open_file_limit.h"

#include <sys/resource.h>

#include <algorithm>

#include "platform/linux/proc/kept_descriptors.h"

namespace quorvex {

void raiseOpenFileLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return;
    const rlim_t wanted = KeptDescriptors::kLimitPerKept * rlim_t(KeptDescriptors::kMostKept);
    if (files.rlim_cur >= wanted || files.rlim_cur >= files.rlim_max) return;
    files.rlim_cur = std::min(wanted, files.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace quorvex
