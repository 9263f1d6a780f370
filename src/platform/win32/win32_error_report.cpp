// The standard error report: a message box titled with the program's name.
#include "platform/win32/win32_toolkit.h"
#include "platform/windows/system/wide_text.h"

namespace quorvex {

// The program file's name without its extension, until run() names the
// start-up window's title instead.
std::wstring Win32Toolkit::programName() {
    wchar_t module[MAX_PATH];
    const std::wstring_view path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    const std::wstring_view file = path.substr(path.find_last_of(L"\\/") + 1);
    return std::wstring(file.substr(0, file.rfind(L'.')));
}

void Win32Toolkit::showReport(const std::string& message) const {
    MessageBoxW(nullptr, toWide(message).c_str(), reportTitle_.c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace quorvex
