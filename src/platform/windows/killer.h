// Kills as the watch list says, without the wait for the command
// interpreter: the copy ordered is ended through its own process at once,
// and the kill line is started beside it as the classic shell call does,
// minimized and not waited for, unless one of that name started earlier
// still runs.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/killer.h"
#include "platform/windows/system/unique_handle.h"

namespace quorvex {

class Win32Killer final : public Killer {
public:
    // The kill lines run in `interpreter`: the system's own command
    // interpreter, never one found in the program's folder or the current one.
    explicit Win32Killer(std::wstring interpreter = systemFolder() + L"\\cmd.exe");

    // Ends the copy (terminateCopy), then starts the order's line with the
    // system's own command interpreter while no line of that name is in
    // flight and no process of that name is one the system cannot lose. A
    // line that cannot start is tried again at the next order.
    KillOutcome end(const KillOrder& order) override;

    // Ends the copy `order.copy`, opened by its ID and confirmed as the
    // order's process first: the same creation time and image name, as an
    // ID may have passed to another process meanwhile. Refused when it may
    // not be opened or ended, or is a process the system cannot lose (its
    // end would stop the computer).
    static KillOutcome terminateCopy(const KillOrder& order);

    // The system's folder (System32), where its own command interpreter and
    // taskkill lie; empty when it cannot be told.
    static std::wstring systemFolder();

private:
    // True when a process named `imageName` may not be lost, or when the
    // records cannot tell.
    bool anyCopyIsCritical(std::string_view imageName);

    std::wstring interpreter_;
    std::vector<char> records_;  // the system's records, room kept between passes
    std::map<std::string, UniqueHandle, std::less<>> lines_;  // the last kill line of each name
};

// True for a process whose end would stop the computer. Windows 8.1 and
// later say so; before them it cannot be told, and false is returned.
bool isCriticalProcess(HANDLE process);

}  // namespace quorvex
