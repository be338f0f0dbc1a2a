#pragma once

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::posix {

// Sleeping on a 32-bit word of shared memory. Without FUTEX_PRIVATE_FLAG:
// the words are shared between processes, and the kernel keys them by the
// memory object, not by the address.
enum class FutexWake {
    woken,    // by a wake, a signal, or spuriously: look at the word again
    changed,  // the word did not hold the expected value: no sleep at all
    timedOut, // the whole time passed
    failed,   // the kernel refused the word
};

inline FutexWake futexWait(std::uint32_t* word, std::uint32_t expected,
                           std::chrono::steady_clock::duration timeout) {
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    if (nanoseconds <= 0) {
        return FutexWake::timedOut;
    }
    timespec relative{};
    relative.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
    relative.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    if (::syscall(SYS_futex, word, FUTEX_WAIT, expected, &relative, nullptr, 0) == 0) {
        return FutexWake::woken;
    }
    switch (errno) {
    case EAGAIN:
        return FutexWake::changed;
    case ETIMEDOUT:
        return FutexWake::timedOut;
    case EINTR:
        return FutexWake::woken;
    default:
        return FutexWake::failed;
    }
}

inline void futexWake(std::uint32_t* word, int count) {
    ::syscall(SYS_futex, word, FUTEX_WAKE, count, nullptr, nullptr, 0);
}

inline void futexWakeAll(std::uint32_t* word) {
    futexWake(word, INT_MAX);
}

} // namespace platform::posix
