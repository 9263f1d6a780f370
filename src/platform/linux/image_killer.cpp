#include "platform/linux/image_killer.h"

#include <signal.h>
#include <unistd.h>

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/image_name.h"
#include "platform/linux/file_descriptor.h"
#include "platform/linux/proc_table.h"

namespace quorvex {

namespace {

constexpr std::string_view kKillCommandPrefix = "cmd /c taskkill /f /im ";

[[noreturn]] void refuse(std::string_view commandLine, const char* why) {
    throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                            "refused command line \"" + std::string(commandLine) + "\": " + why);
}

}  // namespace

std::string_view ImageKiller::imageNameToKill(std::string_view commandLine) {
    if (!commandLine.starts_with(kKillCommandPrefix))
        refuse(commandLine, "only \"cmd /c taskkill /f /im NAME\" is carried out");
    const std::string_view name = commandLine.substr(kKillCommandPrefix.size());
    if (name.empty()) refuse(commandLine, "no image name");
    // No image name holds these; such a line would end nothing.
    if (name.find_first_of(std::string_view("/\\\0\n", 4)) != std::string_view::npos)
        refuse(commandLine, "not an image name");
    return name;
}

int ImageKiller::killByImageName(std::string_view imageName) {
    const ProcProcessTable table(0);  // one pass: nothing worth keeping
    const pid_t self = ::getpid();
    int signalled = 0;
    table.forEachProcess([&](const ProcProcessRecord& process) {
        if (process.pid() == self || !equalImageNames(process.name(), imageName)) return true;
        // The pidfd pins the process that holds this ID now, and its name is
        // read again after that. If the pinned process is still alive when
        // signalled, it held the ID during the read, so the name read was its
        // own; if it has exited (and the ID perhaps gone to someone else), the
        // signal fails with ESRCH and reaches no one.
        const FileDescriptor pidfd(::pidfd_open(process.pid(), 0));
        if (!pidfd) return true;
        bool stillMatches = false;
        table.visitProcess(process.pid(), [&](const ProcProcessRecord& now) {
            stillMatches = equalImageNames(now.name(), imageName);
        });
        if (stillMatches && ::pidfd_send_signal(pidfd.get(), SIGKILL, nullptr, 0) == 0) ++signalled;
        return true;
    });
    return signalled;
}

void ImageKiller::start(std::string_view commandLine, WindowStyle) {
    std::string name(imageNameToKill(commandLine));
    {
        const std::lock_guard lock(mutex_);
        if (std::ranges::find(waiting_, name) != waiting_.end()) return;
        waiting_.push_back(name);
    }
    // Its own failures are not seen, like a command's exit status.
    worker_.post([this, name = std::move(name)] {
        {
            const std::lock_guard lock(mutex_);
            std::erase(waiting_, name);
        }
        killByImageName(name);
    });
}

}  // namespace quorvex
