// Windows error codes as std::error_code, with the system's own message text
// in UTF-8 (std::system_category() would give it in the ANSI code page).
#pragma once

#include <system_error>

namespace quorvex {

const std::error_category& win32Category();

// The calling thread's last error.
std::error_code lastWin32Error();

// Also takes HRESULTs: the system formats both.
inline std::error_code win32Error(long code) { return {int(code), win32Category()}; }

// An exception for a failed call named `what`, carrying the last error.
std::system_error lastWin32Failure(const char* what);

}  // namespace quorvex
