#include "platform/EventObject.h"

#include "platform/posix/ObjectFile.h"

#include <cerrno>
#include <chrono>
#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

using posix::AttachStatus;
using posix::Disposition;
using posix::ObjectFile;

// The same value as Windows' INFINITE.
constexpr std::uint32_t infinite = 0xFFFFFFFF;

// The event is one word in the object's memory, 1 while signalled, and waiters
// sleep on it with a futex. A futex keeps no state of its own, so a waiter
// that gets killed leaves nothing behind; a condition variable in shared
// memory would keep counting it. A second word counts the threads about to
// sleep, so that a set with nobody waiting costs no system call; a waiter
// killed while counted only costs later sets a needless wake.
class PosixEvent final : public EventObject {
public:
    explicit PosixEvent(std::unique_ptr<ObjectFile> file)
        : file_(std::move(file)),
          word_(static_cast<std::uint32_t*>(static_cast<void*>(file_->payload()))),
          sleepers_(word_ + 1) {}

    void set() override {
        if (!file_) {
            return;
        }
        __atomic_store_n(word_, 1U, __ATOMIC_SEQ_CST);
        // A waiter counts itself before it looks at the word, and the word is
        // stored before the count is read: either it sees the signal or the
        // count shows it here.
        if (__atomic_load_n(sleepers_, __ATOMIC_SEQ_CST) == 0) {
            return;
        }
        // Every waiter wakes and races for the word; exactly one takes it and
        // the others sleep on. Waking only one could hand the signal to a
        // waiter that is killed before it takes it, stranding the others.
        futex(FUTEX_WAKE, INT_MAX, nullptr);
    }

    WaitResult wait(std::uint32_t timeoutMs) override {
        if (!file_) {
            return WaitResult::failed;
        }
        if (consume()) {
            return WaitResult::signalled;
        }
        __atomic_add_fetch(sleepers_, 1U, __ATOMIC_SEQ_CST);
        const WaitResult result = sleep(timeoutMs);
        __atomic_sub_fetch(sleepers_, 1U, __ATOMIC_SEQ_CST);
        return result;
    }

    void close() override { file_.reset(); }

private:
    WaitResult sleep(std::uint32_t timeoutMs) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (consume()) {
                return WaitResult::signalled;
            }
            timespec relative{};
            const timespec* timeout = nullptr;
            if (timeoutMs != infinite) {
                const auto left = deadline - Clock::now();
                if (left <= Clock::duration::zero()) {
                    return WaitResult::timedOut;
                }
                const auto nanoseconds =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                relative.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
                relative.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
                timeout = &relative;
            }
            if (futex(FUTEX_WAIT, 0, timeout) != 0 && errno != EAGAIN && errno != EINTR &&
                errno != ETIMEDOUT) {
                return WaitResult::failed;
            }
        }
    }

    bool consume() {
        std::uint32_t expected = 1;
        return __atomic_compare_exchange_n(word_, &expected, 0U, false, __ATOMIC_SEQ_CST,
                                           __ATOMIC_SEQ_CST);
    }

    // Without FUTEX_PRIVATE_FLAG: the word is shared between processes.
    long futex(int operation, std::uint32_t value, const timespec* timeout) {
        return ::syscall(SYS_futex, word_, operation, value, timeout, nullptr, 0);
    }

    std::unique_ptr<ObjectFile> file_; // null once closed
    std::uint32_t* word_;
    std::uint32_t* sleepers_;
};

} // namespace

std::unique_ptr<EventObject> createEvent(const std::string& name, std::string* failure) {
    const ObjectFile::Layout layout{posix::ObjectKind::event, 2 * sizeof(std::uint32_t),
                                    2 * sizeof(std::uint32_t)};
    std::unique_ptr<ObjectFile> file;
    std::string why;
    if (ObjectFile::attach(
            name, layout, Disposition::createOrOpen, [](unsigned char*, std::size_t) {}, file,
            why) != AttachStatus::ok) {
        if (failure != nullptr) {
            *failure = why;
        }
        return nullptr;
    }
    return std::make_unique<PosixEvent>(std::move(file));
}

} // namespace platform
