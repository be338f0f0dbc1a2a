#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform::posix {

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield" ::: "memory");
#endif
}

// A bounded spin before a sleep. A partner that is still running answers
// within microseconds, and a wait that sees it without sleeping costs no
// context switch and no wake-up of an idle processor. Spinning pays only
// while it succeeds: a failed spin halves the next one, a success restores
// the whole length, and a handle whose spins stopped paying tries a whole
// one again now and then. Two processes that share one processor, where
// the partner cannot run while we spin, soon stop spinning.
class AdaptiveSpin {
public:
    // Spins until `ready` holds or the current length has passed; whether
    // it held.
    template <typename Ready> bool spin(Ready ready) {
        using Clock = std::chrono::steady_clock;
        std::int64_t limit = limitNs_.load(std::memory_order_relaxed);
        if (limit < shortestNs) {
            if (skipped_.fetch_add(1, std::memory_order_relaxed) % probeEvery != probeEvery - 1) {
                return false;
            }
            limit = longestNs;
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::nanoseconds(limit);
        for (unsigned i = 1;; ++i) {
            if (ready()) {
                limitNs_.store(longestNs, std::memory_order_relaxed);
                return true;
            }
            cpuRelax();
            if (i % 16 == 0 && Clock::now() >= deadline) {
                limitNs_.store(limit / 2, std::memory_order_relaxed);
                return false;
            }
        }
    }

private:
    static constexpr std::int64_t longestNs = 20000;
    static constexpr std::int64_t shortestNs = 1000;
    static constexpr unsigned probeEvery = 128;

    std::atomic<std::int64_t> limitNs_{longestNs};
    std::atomic<unsigned> skipped_{0};
};

} // namespace platform::posix
