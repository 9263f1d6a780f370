#include "platform/windows/system/process_image.h"

#include "platform/windows/system/long_name.h"

namespace quorvex {

std::optional<std::wstring> processImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');  // the longest path Windows knows
    DWORD length = DWORD(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return std::nullopt;
    path.resize(length);
    return longPath(path);
}

}  // namespace quorvex
