// The components of a path: the last one, and which ones may be walked.
#pragma once

#include <string_view>

namespace quorvex {

inline constexpr std::string_view kUnixSeparators = "/";
// A Windows path may use either; Wine's also name Unix files.
inline constexpr std::string_view kWindowsSeparators = "/\\";

constexpr std::string_view lastComponent(std::string_view path, std::string_view separators = kUnixSeparators) {
    const auto separator = path.find_last_of(separators);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// A component the system names in an executable's path; anything else (a
// step back, an empty or cut name) is not walked.
constexpr bool isPlainComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == std::string_view::npos;
}

}  // namespace quorvex
