// The session's claim on Linux: an exclusive lock on a file of the user's
// own, named for the session, held while the guard runs. The lock goes with
// the process however it ends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/system/file_descriptor.h"
#include "platform/session_claim.h"

namespace quorvex {

class SessionLock final : public SessionClaim {
public:
    // Locks `folder`/quorvex-UID-SESSION.lock, made if need be (never through a
    // link). Nullptr when another process holds it. A file there that is not
    // the user's own cannot be trusted to tell: the claim is then granted
    // without a lock, as one guard too many beats none.
    static std::unique_ptr<SessionClaim> claim(const std::filesystem::path& folder, std::string_view session);

    explicit SessionLock(FileDescriptor file) : file_(std::move(file)) {}

private:
    FileDescriptor file_;
};

// The desktop session this process belongs to: its X display, else its
// Wayland display, else its login session; the same text for every process
// of one session.
std::string thisSession();

// This process's claim: in the user's runtime folder (XDG_RUNTIME_DIR, /tmp
// where there is none), for thisSession().
std::unique_ptr<SessionClaim> claimThisSession();

}  // namespace quorvex
