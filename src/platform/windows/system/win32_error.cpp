#include "platform/windows/system/win32_error.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/windows/system/wide_text.h"

namespace quorvex {

namespace {

class Win32Category final : public std::error_category {
public:
    const char* name() const noexcept override { return "win32"; }

    std::string message(int code) const override {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (length == 0) {
            char number[16];
            std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(code));
            return number;
        }
        std::wstring_view view(text, length);
        while (!view.empty() && (view.back() == L'\n' || view.back() == L'\r' || view.back() == L' '))
            view.remove_suffix(1);
        std::string message = toUtf8(view);
        LocalFree(text);
        return message;
    }
};

}  // namespace

const std::error_category& win32Category() {
    static const Win32Category category;
    return category;
}

std::error_code lastWin32Error() { return win32Error(long(GetLastError())); }

std::system_error lastWin32Failure(const char* what) { return {lastWin32Error(), what}; }

}  // namespace quorvex
