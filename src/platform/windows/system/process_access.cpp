#include "platform/windows/system/process_access.h"

#include <aclapi.h>

#include <iterator>

namespace quorvex {

DWORD restrictProcessAccess(HANDLE process) noexcept {
    const struct {
        WELL_KNOWN_SID_TYPE who;
        DWORD rights;
    } entries[] = {
        {WinCreatorOwnerRightsSid, kOwnerProcessRights},
        {WinLocalSystemSid, PROCESS_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, PROCESS_ALL_ACCESS},
    };
    // Room for every entry: its header, its mask and its SID.
    alignas(DWORD) BYTE aclBytes[sizeof(ACL) + std::size(entries) * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
    auto* acl = reinterpret_cast<PACL>(aclBytes);
    if (!InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION)) return GetLastError();
    for (const auto& entry : entries) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof(sid);
        if (!CreateWellKnownSid(entry.who, nullptr, sid, &sidSize) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, entry.rights, sid))
            return GetLastError();
    }
    return SetSecurityInfo(process, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
}

}  // namespace quorvex
