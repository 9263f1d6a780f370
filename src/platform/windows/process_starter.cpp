#include "platform/windows/process_starter.h"

#include <windows.h>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"

namespace quorvex {

namespace {

WORD showCommand(WindowStyle style) {
    switch (style) {
    case WindowStyle::Hidden: return SW_HIDE;
    case WindowStyle::NormalFocus: return SW_SHOWNORMAL;
    case WindowStyle::MinimizedFocus: return SW_SHOWMINIMIZED;
    case WindowStyle::MaximizedFocus: return SW_SHOWMAXIMIZED;
    case WindowStyle::NormalNoFocus: return SW_SHOWNOACTIVATE;
    case WindowStyle::MinimizedNoFocus: return SW_SHOWMINNOACTIVE;
    }
    return SW_SHOWNORMAL;
}

}  // namespace

void ProcessStarter::start(std::string_view commandLine, WindowStyle style) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW), .dwFlags = STARTF_USESHOWWINDOW,
                         .wShowWindow = showCommand(style)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw lastWin32Failure("CreateProcessW");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace quorvex
