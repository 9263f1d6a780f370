#include "platform/windows/win32_killer.h"

#include <windows.h>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"

namespace quorvex {

void Win32Killer::endAll(const KillOrder& order) {
    std::wstring line = toWide(order.commandLine);  // CreateProcessW may write into it
    // Window style 2: minimized, with the focus.
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW), .dwFlags = STARTF_USESHOWWINDOW,
                         .wShowWindow = SW_SHOWMINIMIZED};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw lastWin32Failure("CreateProcessW");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace quorvex
