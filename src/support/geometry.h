// Pixels: the one conversion from the descriptions' twips, and rectangles as
// a window is read back on screen.
#pragma once

#include "platform/toolkit.h"

namespace quorvex {

inline constexpr int kTwipsPerInch = 1440;
// The density the descriptions are drawn for: 15 twips make one pixel.
inline constexpr int kBaseDpi = 96;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// Twips to pixels at `dpi`, to the nearest pixel, halves away from zero.
constexpr int twipsToPixels(int twips, int dpi = kBaseDpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long rounded = ((scaled < 0 ? -scaled : scaled) + kTwipsPerInch / 2) / kTwipsPerInch;
    return static_cast<int>(scaled < 0 ? -rounded : rounded);
}

// A box by its edges, so that neighbouring boxes never gap or overlap.
constexpr Rect twipsToPixels(const Box& box, int dpi = kBaseDpi) {
    const int left = twipsToPixels(box.left, dpi), top = twipsToPixels(box.top, dpi);
    return {left, top, twipsToPixels(box.left + box.width, dpi) - left,
            twipsToPixels(box.top + box.height, dpi) - top};
}

}  // namespace quorvex
