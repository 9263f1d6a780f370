// The last component of a path: what follows its last separator.
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

}  // namespace quorvex
