// The session's claim on Windows: a named mutex in the session's own
// namespace (Local\), which every user's session has apart. The system
// closes it with the process however it ends.
#pragma once

#include <memory>
#include <string_view>

#include "platform/session_claim.h"

namespace quorvex {

// Claims the session for the object `name` in Local\; nullptr when a guard
// of this session holds it already, also one this process may not open (an
// elevated guard's). Where the name cannot be made otherwise (another
// kind of object took it), the claim is granted without it, as one guard too
// many beats none.
std::unique_ptr<SessionClaim> claimSessionMutex(std::wstring_view name);

inline constexpr std::wstring_view kGuardMutexName = L"Quorvex.Guard";

}  // namespace quorvex
