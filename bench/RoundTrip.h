#pragma once

// Timing of round trips between two processes: warm-up, then one sample per
// round trip, summarised by mean, median and spread, with the context
// switches that both processes made per round trip. Linux only, like every
// benchmark: the switches come from /proc.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

inline constexpr int warmupRounds = 2000;
inline constexpr int measuredRounds = 20000;

struct Switches {
    double voluntary = 0;   // the process went to sleep
    double involuntary = 0; // the scheduler took the processor away
};

struct Stats {
    double mean, median, p10, p90; // microseconds
    Switches ours, peer;           // per round trip
};

// The context switches that the process has made so far (its main thread:
// every process here has one).
inline Switches switchesOf(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    Switches counted;
    std::string key;
    double value = 0;
    while (status >> key) {
        if (key == "voluntary_ctxt_switches:" && status >> value) {
            counted.voluntary = value;
        } else if (key == "nonvoluntary_ctxt_switches:" && status >> value) {
            counted.involuntary = value;
        }
    }
    return counted;
}

inline Switches perRound(const Switches& before, const Switches& after) {
    return {(after.voluntary - before.voluntary) / measuredRounds,
            (after.involuntary - before.involuntary) / measuredRounds};
}

// Times `roundTrip` against the process `peer` that answers it.
template <typename RoundTrip> Stats measure(pid_t peer, RoundTrip roundTrip) {
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < warmupRounds; ++i) {
        roundTrip();
    }
    std::vector<double> samples;
    samples.reserve(measuredRounds);
    const Switches oursBefore = switchesOf(::getpid());
    const Switches peerBefore = switchesOf(peer);
    for (int i = 0; i < measuredRounds; ++i) {
        const auto start = Clock::now();
        roundTrip();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const Switches oursAfter = switchesOf(::getpid());
    const Switches peerAfter = switchesOf(peer);
    const double mean =
        std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    return {mean,
            at(0.5),
            at(0.1),
            at(0.9),
            perRound(oursBefore, oursAfter),
            perRound(peerBefore, peerAfter)};
}

inline void printHeading() {
    std::printf("  %-34s %8s %8s %8s %8s   %s\n", "", "mean", "median", "p10", "p90",
                "switches per round trip, ours + peer's: voluntary / involuntary");
}

inline void print(const char* what, const Stats& s) {
    std::printf("  %-34s %8.2f %8.2f %8.2f %8.2f   %.2f + %.2f / %.2f + %.2f\n", what, s.mean,
                s.median, s.p10, s.p90, s.ours.voluntary, s.peer.voluntary, s.ours.involuntary,
                s.peer.involuntary);
}

inline void printRatio(const char* what, const Stats& a, const Stats& b) {
    std::printf("  ratio %-28s mean %.2f   median %.2f\n", what, a.mean / b.mean,
                a.median / b.median);
}

// A process that keeps one processor busy for as long as it lives, as
// another program on the machine would.
class BusyCore {
public:
    BusyCore() : process_(::fork()) {
        if (process_ == 0) {
            volatile unsigned long spins = 0;
            for (;;) {
                spins = spins + 1;
            }
        }
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;
    ~BusyCore() {
        if (process_ > 0) {
            ::kill(process_, SIGKILL);
            ::waitpid(process_, nullptr, 0);
        }
    }

private:
    pid_t process_;
};

} // namespace bench
