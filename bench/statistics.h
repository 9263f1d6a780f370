// Summaries of measured times, shared by the benchmarks of both platforms.
#pragma once

#include <algorithm>
#include <vector>

namespace quorvex::bench {

// The value `share` (0 to 1) of the way up the sorted `values`; not empty.
inline double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(share * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace quorvex::bench
