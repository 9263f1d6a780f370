// Who may open the guard's own process, and for what. Other programs of its
// user may ask after it and wait for it to end, and nothing more, so a worm
// running as the user cannot end it; the system and elevated administrators
// keep every right, so an installer's uninstall (taskkill /f as SYSTEM), an
// administrator's Task Manager and the end of the session still end it.
#pragma once

#include <windows.h>

namespace quorvex {

// What the process's owner may do: query it and wait for it. Granted through
// OWNER RIGHTS (S-1-3-4), which also takes away the owner's implicit right to
// read and rewrite the access list itself.
inline constexpr DWORD kOwnerProcessRights = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

// Gives `process` (open with WRITE_DAC) an access list of three entries:
// OWNER RIGHTS kOwnerProcessRights, SYSTEM and Administrators
// PROCESS_ALL_ACCESS. Returns 0, or the system's error number.
DWORD restrictProcessAccess(HANDLE process) noexcept;

}  // namespace quorvex
