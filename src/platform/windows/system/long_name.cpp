#include "platform/windows/system/long_name.h"

#include <windows.h>

#include "platform/windows/system/process_image.h"
#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/wow64_redirection.h"
#include "support/image_name.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

// GetShortPathNameW or GetLongPathNameW, which take the same arguments.
using PathForm = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

// `path` in the form `form` gives; nullopt when the system cannot say.
std::optional<std::wstring> inForm(PathForm form, const std::wstring& path) {
    // A 32-bit guard's redirector would turn System32 into another folder.
    const Wow64RedirectionOff asNamed;
    const DWORD room = form(path.c_str(), nullptr, 0);
    if (room == 0) return std::nullopt;
    std::wstring converted(room, L'\0');
    const DWORD length = form(path.c_str(), converted.data(), room);
    if (length == 0 || length >= room) return std::nullopt;
    converted.resize(length);
    return converted;
}

std::string fileName(const std::wstring& path) {
    return std::string(lastComponent(toUtf8(path), kWindowsSeparators));
}

}  // namespace

std::wstring longPath(const std::wstring& path) {
    if (path.find(L'~') == std::wstring::npos) return path;
    return inForm(GetLongPathNameW, path).value_or(path);
}

std::optional<std::string> longImageName(std::string_view recordedName, const std::wstring& imagePath) {
    // The record's name must be this very image's short name, not merely a
    // name some other file could have.
    const auto shortForm = inForm(GetShortPathNameW, imagePath);
    if (!shortForm || !equalImageNames(fileName(*shortForm), recordedName)) return std::nullopt;
    const auto longForm = inForm(GetLongPathNameW, imagePath);
    return longForm ? std::optional(fileName(*longForm)) : std::nullopt;
}

void lengthenImageName(unsigned long processId, std::string& recordedName) {
    if (recordedName.find('~') == std::string::npos) return;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    const auto image = process ? processImagePath(process.get()) : std::nullopt;
    if (!image) return;
    // Assigned, not moved: the name's buffer keeps its room for the next record.
    if (const auto longName = longImageName(recordedName, *image)) recordedName.assign(*longName);
}

}  // namespace quorvex
