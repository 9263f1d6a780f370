#include "platform/windows/win32_files.h"

#include <windows.h>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32_error.h"

namespace quorvex {

namespace {

constexpr bool isSeparator(char c) { return c == '\\' || c == '/'; }
constexpr bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::error_code outcome(BOOL succeeded) { return succeeded ? std::error_code{} : lastWin32Error(); }

}  // namespace

bool Win32FileSystem::isAbsolutePath(std::string_view path) const {
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && isSeparator(path[2]))
        return true;
    if (path.size() < 2 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
    // UNC: a server name, a separator, then a share name.
    const std::string_view rest = path.substr(2);
    const std::size_t separator = rest.find_first_of("\\/");
    return separator != 0 && separator != std::string_view::npos && separator + 1 < rest.size() &&
           !isSeparator(rest[separator + 1]);
}

std::error_code Win32FileSystem::resetAttributes(std::string_view path) {
    return outcome(SetFileAttributesW(toWide(path).c_str(), FILE_ATTRIBUTE_NORMAL));
}

// DeleteFileW refuses directories, and removes a link rather than its target.
std::error_code Win32FileSystem::deleteFile(std::string_view path) {
    return outcome(DeleteFileW(toWide(path).c_str()));
}

std::error_code Win32FileSystem::createDirectory(std::string_view path) {
    return outcome(CreateDirectoryW(toWide(path).c_str(), nullptr));
}

bool Win32FileSystem::isDirectory(std::string_view path) const {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace quorvex
