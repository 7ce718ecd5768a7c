// Where a time falls in rows of non-decreasing times: the row at or before it
// and the share of the way to the next row, for linear interpolation.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace karvel::cli {

struct RowShare {
    std::size_t row = 0;  // the last row at or before the time (the first before the first)
    double share = 0;     // 0..1 towards row + 1; 0 at the last row and between rows of equal time
};

template <typename Sample>
RowShare rowShareAt(const std::vector<Sample>& samples, double time) {
    const auto after = std::upper_bound(samples.begin(), samples.end(), time,
                                        [](double t, const Sample& sample) { return t < sample.time; });
    RowShare result;
    result.row = after == samples.begin() ? 0 : static_cast<std::size_t>(after - samples.begin() - 1);
    if (result.row + 1 < samples.size()) {
        const double from = samples[result.row].time, to = samples[result.row + 1].time;
        if (to > from) result.share = std::clamp((time - from) / (to - from), 0.0, 1.0);
    }
    return result;
}

} // namespace karvel::cli
