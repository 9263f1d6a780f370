// Image names as the platform layer compares them: the kill backends must
// match exactly the processes the monitor matched.
#pragma once

#include <algorithm>
#include <string_view>

namespace quorvex {

// Whole-name equality ignoring ASCII letter case; every other byte must be the
// same (the watched names are ASCII, so no locale takes part).
constexpr bool equalImageNames(std::string_view a, std::string_view b) {
    constexpr auto fold = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace quorvex
