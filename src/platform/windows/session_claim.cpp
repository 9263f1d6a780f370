#include "platform/windows/session_claim.h"

#include <windows.h>

#include <string>

#include "platform/windows/system/unique_handle.h"

namespace quorvex {

namespace {

struct SessionMutex final : SessionClaim {
    explicit SessionMutex(UniqueHandle mutex) : mutex(std::move(mutex)) {}
    UniqueHandle mutex;
};

}  // namespace

std::unique_ptr<SessionClaim> claimSessionMutex(std::wstring_view name) {
    const std::wstring local = L"Local\\" + std::wstring(name);
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, local.c_str()));
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return nullptr;
    // A guard started elevated made it, and its access list keeps this one out.
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) return nullptr;
    return std::make_unique<SessionMutex>(std::move(mutex));
}

}  // namespace quorvex
