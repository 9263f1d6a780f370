// Pixel geometry as tests read it back from a window.
#pragma once

namespace quorvex::test {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

}  // namespace quorvex::test
