#include "platform/linux/session_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/environment.h"

namespace quorvex {

namespace {

// The file system has no use for a session's punctuation, and '/' would
// name another folder.
std::string fileNamePart(std::string_view session) {
    std::string part;
    for (const char c : session) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
        part += plain ? c : '_';
    }
    return part.empty() ? "none" : part;
}

// A claim that holds nothing: granted where no lock can be trusted.
struct UnlockedClaim final : SessionClaim {};

}  // namespace

std::unique_ptr<SessionClaim> SessionLock::claim(const std::filesystem::path& folder, std::string_view session) {
    const auto path = folder / ("quorvex-" + std::to_string(::geteuid()) + "-" + fileNamePart(session) + ".lock");
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
        return std::make_unique<UnlockedClaim>();
    if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) return std::make_unique<SessionLock>(std::move(file));
    if (errno == EWOULDBLOCK) return nullptr;
    return std::make_unique<UnlockedClaim>();
}

std::string thisSession() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (std::string display = environmentValue(variable); !display.empty())
            return std::string(variable) + "=" + display;
    const std::string login = environmentValue("XDG_SESSION_ID");
    return login.empty() ? "" : "XDG_SESSION_ID=" + login;
}

std::unique_ptr<SessionClaim> claimThisSession() {
    const std::string runtime = environmentValue("XDG_RUNTIME_DIR");
    std::error_code unusable;
    const bool usable = !runtime.empty() && std::filesystem::is_directory(runtime, unusable);
    return SessionLock::claim(usable ? runtime : "/tmp", thisSession());
}

}  // namespace quorvex
