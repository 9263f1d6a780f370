// Comparing process image names the way the monitor does.
#pragma once

#include <algorithm>
#include <string_view>

namespace quorvex {

// Whole-name equality after upper-casing both sides. The watched names are
// ASCII, so ASCII upper-casing decides; other bytes must match exactly.
constexpr bool sameImageName(std::string_view a, std::string_view b) {
    constexpr auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace quorvex
