#pragma once

// Timing of round trips between two processes: warm-up, then one sample per
// round trip, summarised by median and spread.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace bench {

inline constexpr int warmupRounds = 2000;
inline constexpr int measuredRounds = 20000;

struct Stats {
    double median, p10, p90; // microseconds
};

template <typename RoundTrip> Stats measure(RoundTrip roundTrip) {
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < warmupRounds; ++i) {
        roundTrip();
    }
    std::vector<double> samples;
    samples.reserve(measuredRounds);
    for (int i = 0; i < measuredRounds; ++i) {
        const auto start = Clock::now();
        roundTrip();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    return {at(0.5), at(0.1), at(0.9)};
}

inline void print(const char* what, const Stats& s) {
    std::printf("  %-34s median %7.2f us   p10 %7.2f   p90 %7.2f\n", what, s.median, s.p10, s.p90);
}

} // namespace bench
