#include "platform/MutexObject.h"

#include "platform/posix/Futex.h"
#include "platform/posix/ObjectFile.h"
#include "platform/posix/Spin.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>

#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

using posix::AttachStatus;
using posix::Disposition;
using posix::ObjectFile;

// The shared state of a mutex is one 64-bit word of data: 0 while free, else
// the owner's process id in the high half and its thread id in the low half,
// whose top bit says that threads may sleep on the mutex. They sleep on the
// low half with a futex. Nothing in it is ever used as an address: whatever
// a process writes there, the worst it does is keep the mutex from us, and
// then the wait below ends.
constexpr std::uint64_t sleepersBit = 0x80000000U;
// No process or thread id is larger (PID_MAX_LIMIT).
constexpr std::uint64_t idLimit = 4194304;

// A holder that is alive is given this long before a lock gives up on it, as
// long as a send waits for a free cell. A healthy peer holds a queue's mutex
// for a copy of one cell.
constexpr auto lockPatience = std::chrono::seconds(10);
// A sleeping waiter looks at the holder again after this long: an owner that
// died cannot wake anyone.
constexpr auto livenessSlice = std::chrono::milliseconds(50);

struct Self {
    std::uint64_t process;
    std::uint64_t thread;
};

// The calling thread's ids, looked up once per thread. A forked child's one
// thread forgets its parent's.
thread_local Self cachedSelf{0, 0};

void forgetSelf() {
    cachedSelf = Self{0, 0};
}

const bool forgottenInForkedChildren = (::pthread_atfork(nullptr, nullptr, &forgetSelf), true);

Self self() {
    if (cachedSelf.thread == 0) {
        cachedSelf = Self{static_cast<std::uint64_t>(::getpid()),
                          static_cast<std::uint64_t>(::syscall(SYS_gettid))};
    }
    return cachedSelf;
}

std::uint64_t ownerWord(const Self& owner) {
    return (owner.process << 32) | owner.thread;
}

// Whether that thread has ended. A process that ended but was not reaped
// yet has ended too.
bool ownerEnded(std::uint64_t process, std::uint64_t thread) {
    if (::syscall(SYS_tgkill, process, thread, 0) != 0 && errno == ESRCH) {
        return true;
    }
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, process, 0));
    if (pidfd < 0) {
        return errno == ESRCH;
    }
    pollfd entry{pidfd, POLLIN, 0};
    const bool ended = ::poll(&entry, 1, 0) > 0;
    ::close(pidfd);
    return ended;
}

// What this process knows of its own hold on one mutex, shared by all its
// handles on it: ownership belongs to a thread, not to a handle. It lives in
// our own memory, so that no other process can make a lock of ours believe
// it holds the mutex already.
struct Ownership {
    std::atomic<std::uint64_t> thread{0};
    std::uint32_t depth = 0; // touched by the owning thread only
};

std::shared_ptr<Ownership> ownershipOf(ObjectFile::Identity identity) {
    static std::mutex mutex;
    static std::map<ObjectFile::Identity, std::weak_ptr<Ownership>> known;
    const std::lock_guard<std::mutex> lock(mutex);
    for (auto it = known.begin(); it != known.end();) {
        it = it->second.expired() ? known.erase(it) : std::next(it);
    }
    std::weak_ptr<Ownership>& slot = known[identity];
    std::shared_ptr<Ownership> ownership = slot.lock();
    if (!ownership) {
        ownership = std::make_shared<Ownership>();
        slot = ownership;
    }
    return ownership;
}

class PosixMutex final : public MutexObject {
public:
    explicit PosixMutex(std::unique_ptr<ObjectFile> file)
        : file_(std::move(file)),
          state_(static_cast<std::uint64_t*>(static_cast<void*>(file_->payload()))),
          ownership_(ownershipOf(file_->identity())) {}

    LockOutcome lock() override {
        const Self me = self();
        Ownership& ownership = *ownership_;
        if (ownership.thread.load(std::memory_order_relaxed) == me.thread) {
            ++ownership.depth;
            return {};
        }
        std::uint64_t expected = 0;
        if (!__atomic_compare_exchange_n(state_, &expected, ownerWord(me), false, __ATOMIC_ACQUIRE,
                                         __ATOMIC_RELAXED)) {
            const LockOutcome outcome = lockContended(me);
            if (outcome.status != LockStatus::acquired) {
                return outcome;
            }
        }
        ownership.thread.store(me.thread, std::memory_order_relaxed);
        ownership.depth = 1;
        return {};
    }

    void unlock() override {
        const Self me = self();
        Ownership& ownership = *ownership_;
        if (ownership.thread.load(std::memory_order_relaxed) != me.thread) {
            return;
        }
        if (--ownership.depth > 0) {
            return;
        }
        ownership.thread.store(0, std::memory_order_relaxed);
        const std::uint64_t mine = ownerWord(me);
        std::uint64_t seen = __atomic_load_n(state_, __ATOMIC_RELAXED);
        // A state that someone rewrote while we held it is not ours to clear.
        while ((seen & ~sleepersBit) == mine) {
            if (__atomic_compare_exchange_n(state_, &seen, 0, false, __ATOMIC_RELEASE,
                                            __ATOMIC_RELAXED)) {
                if ((seen & sleepersBit) != 0) {
                    posix::futexWake(lowHalf(), 1);
                }
                return;
            }
        }
    }

private:
    std::uint32_t* lowHalf() const {
        static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the low half comes first");
        return static_cast<std::uint32_t*>(static_cast<void*>(state_));
    }

    LockOutcome lockContended(const Self& me) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + lockPatience;
        const std::uint64_t mine = ownerWord(me);
        // Once we slept, others may sleep too: whoever takes the mutex from
        // here on keeps the bit, so that its unlock wakes the next one.
        std::uint64_t keep = 0;
        bool lookAtOwner = false;
        bool spun = false;
        for (;;) {
            std::uint64_t seen = __atomic_load_n(state_, __ATOMIC_RELAXED);
            if (seen == 0) {
                if (__atomic_compare_exchange_n(state_, &seen, mine | keep, false, __ATOMIC_ACQUIRE,
                                                __ATOMIC_RELAXED)) {
                    return {};
                }
                continue;
            }
            const std::uint64_t process = seen >> 32;
            const std::uint64_t thread = seen & (sleepersBit - 1);
            if (process == 0 || process > idLimit || thread == 0 || thread > idLimit ||
                (process == me.process && thread == me.thread)) {
                return {LockStatus::impossibleState, 0};
            }
            // A holder that runs lets go within a copy of one cell.
            if (!spun) {
                spun = true;
                if (spin_.spin([this] { return __atomic_load_n(state_, __ATOMIC_RELAXED) == 0; })) {
                    continue;
                }
            }
            if (lookAtOwner && ownerEnded(process, thread)) {
                // Abandoned: on Windows the next waiter simply owns it.
                if (__atomic_compare_exchange_n(state_, &seen, mine | sleepersBit, false,
                                                __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
                    return {};
                }
                continue;
            }
            const Clock::time_point now = Clock::now();
            if (now >= deadline) {
                return {LockStatus::heldTooLong, static_cast<std::uint32_t>(process)};
            }
            if ((seen & sleepersBit) == 0) {
                if (!__atomic_compare_exchange_n(state_, &seen, seen | sleepersBit, false,
                                                 __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
                    continue;
                }
                seen |= sleepersBit;
            }
            const auto slice = std::min<Clock::duration>(livenessSlice, deadline - now);
            const posix::FutexWake woke =
                posix::futexWait(lowHalf(), static_cast<std::uint32_t>(seen), slice);
            lookAtOwner = woke == posix::FutexWake::timedOut || woke == posix::FutexWake::failed;
            keep = sleepersBit;
        }
    }

    std::unique_ptr<ObjectFile> file_;
    std::uint64_t* state_;
    std::shared_ptr<Ownership> ownership_;
    posix::AdaptiveSpin spin_;
};

std::unique_ptr<MutexObject> attachMutex(const std::string& name, Disposition disposition,
                                         std::string* failure) {
    const ObjectFile::Layout layout{posix::ObjectKind::mutex, sizeof(std::uint64_t),
                                    sizeof(std::uint64_t)};
    std::unique_ptr<ObjectFile> file;
    std::string why;
    const AttachStatus status = ObjectFile::attach(name, layout, disposition, file, why);
    if (status != AttachStatus::ok) {
        if (failure != nullptr) {
            *failure = why;
        }
        return nullptr;
    }
    return std::make_unique<PosixMutex>(std::move(file));
}

} // namespace

std::unique_ptr<MutexObject> createMutex(const std::string& name, std::string* failure) {
    return attachMutex(name, Disposition::createOrOpen, failure);
}

std::unique_ptr<MutexObject> openMutex(const std::string& name, std::string* failure) {
    return attachMutex(name, Disposition::openExisting, failure);
}

} // namespace platform
