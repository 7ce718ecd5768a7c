// Median and 99th percentile of per-call samples, reported as benchmark counters.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace karvel::bench {

using Clock = std::chrono::steady_clock;

inline double microsecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count();
}

struct Summary {
    double median = 0;
    double p99 = 0;
    double max = 0;
};

inline Summary summarize(std::vector<double> samples) {
    Summary summary;
    if (samples.empty()) return summary;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double fraction) {
        const std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
        return samples[index];
    };
    summary.median = at(0.5);
    summary.p99 = at(0.99);
    summary.max = samples.back();
    return summary;
}

// Counters median_us, p99_us and max_us on the benchmark's entry.
inline void reportLatency(benchmark::State& state, const std::vector<double>& samplesUs) {
    const Summary summary = summarize(samplesUs);
    state.counters["median_us"] = summary.median;
    state.counters["p99_us"] = summary.p99;
    state.counters["max_us"] = summary.max;
    state.counters["samples"] = static_cast<double>(samplesUs.size());
}

} // namespace karvel::bench
