// Figures of a set of timed runs, worked out alike in every benchmark.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pelvane::bench {

struct Summary {
    double median = 0;
    double mean = 0;
    double worst = 0;
};

// The value percent of the way up the sorted times; of an even count the median is the
// upper middle one. Zero for no times.
inline double Percentile(std::vector<double> times, std::size_t percent) {
    if (times.empty()) return 0;
    const auto at = times.begin() + static_cast<std::ptrdiff_t>(times.size() * percent / 100);
    std::nth_element(times.begin(), at, times.end());
    return *at;
}

inline Summary Summarise(const std::vector<double>& times) {
    Summary s;
    if (times.empty()) return s;
    double sum = 0;
    for (double v : times) sum += v;
    s.mean = sum / static_cast<double>(times.size());
    s.median = Percentile(times, 50);
    s.worst = *std::max_element(times.begin(), times.end());
    return s;
}

}  // namespace pelvane::bench
