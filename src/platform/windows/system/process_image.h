// The full path of a process's image file, as the system names it, in its
// long form: a program started by a short path is named by its long one.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quorvex {

// `process` must be open with PROCESS_QUERY_LIMITED_INFORMATION at least;
// nullopt when the system cannot say (the process has ended, say).
std::optional<std::wstring> processImagePath(HANDLE process);

}  // namespace quorvex
