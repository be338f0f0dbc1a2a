#include "PeerControl.h"
#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/InterProcessException.h"
#include "ipc/Mutex.h"
#include "ipc/NamedCondition.h"
#include "ipc/NamedMutex.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace testing_support;
using ipc::IMutex;
using ipc::IPCMemoryBuffer;
using ipc::NamedCondition;
using ipc::NamedMutex;

// Whether another thread can take `mutex` within `waitMs`. Mutexes are
// recursive for their owner, so only another thread can tell. The probe
// keeps waiting if it cannot; the caller then unlocks once to let it finish.
class LockProbe {
public:
    explicit LockProbe(IMutex& mutex)
        : mutex_(mutex), thread_([this] {
              mutex_.lock();
              acquired_ = true;
              mutex_.unlock();
          }) {}
    ~LockProbe() { thread_.join(); }
    bool acquiredWithin(int waitMs) {
        const auto start = Clock::now();
        while (!acquired_ && millisecondsSince(start) < waitMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return acquired_;
    }

private:
    IMutex& mutex_;
    std::atomic<bool> acquired_{false};
    std::thread thread_;
};

std::uint32_t waitersWord(const std::string& conditionName) {
    IPCMemoryBuffer word(ipc::open, conditionName);
    std::uint32_t value = 0;
    std::memcpy(&value, word.data(), sizeof value);
    return value;
}

TEST(NamedMutex, OpenModeFailsOnAMissingNameAndCreateModeAttaches) {
    const std::string name = uniqueName("mutex");
    try {
        NamedMutex missing(ipc::open, name);
        FAIL() << "opened a mutex that nobody created";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), ipc::errors::cannotOpenNamedMutex);
    }
    NamedMutex first(ipc::create, name);
    NamedMutex second(ipc::create, name); // attaches to the same object
    first.lock();
    {
        LockProbe probe(second);
        EXPECT_FALSE(probe.acquiredWithin(100)) << "create mode made a second mutex";
        first.unlock();
        EXPECT_TRUE(probe.acquiredWithin(10000));
    }
}

TEST(NamedMutex, AMutexWhoseOwnerEndedIsAcquiredByTheNextLock) {
    for (const std::string ending : {"exit", "wait-for-kill"}) {
        SCOPED_TRACE(ending);
        ControlBlock peer;
        const std::string name = uniqueName("abandoned");
        NamedMutex mutex(ipc::create, name);
        auto process =
            startHelper("ipc_peer", "mutex-hold " + peer.name + " " + name + " " + ending);
        ASSERT_TRUE(process);
        ASSERT_TRUE(awaitStage(peer.block, 1));
        if (ending == "wait-for-kill") {
            process->terminate(9);
        }
        ASSERT_TRUE(process->waitForExit(20000));
        LockProbe probe(mutex);
        EXPECT_TRUE(probe.acquiredWithin(20000)) << "an abandoned mutex stayed locked";
    }
}

TEST(Mutex, EachObjectIsALockOfItsOwn) {
    ipc::Mutex first;
    ipc::Mutex second;
    first.lock();
    {
        LockProbe other(second);
        EXPECT_TRUE(other.acquiredWithin(10000));
    }
    {
        LockProbe same(first);
        EXPECT_FALSE(same.acquiredWithin(100));
        first.unlock();
        EXPECT_TRUE(same.acquiredWithin(10000));
    }
}

TEST(NamedCondition, ZeroTimeOutReturnsAtOnceWithTheLockHeld) {
    const std::string name = uniqueName("cond0");
    NamedCondition condition(ipc::create, name);
    ipc::Mutex held;
    held.lock();
    const auto start = Clock::now();
    condition.timed_wait(held, 0);
    EXPECT_LT(millisecondsSince(start), 2000);
    LockProbe probe(held);
    EXPECT_FALSE(probe.acquiredWithin(100));
    held.unlock();
}

TEST(NamedCondition, AFailedWaitThrowsAndLeavesTheLockReleased) {
    const std::string name = uniqueName("condfail");
    NamedCondition condition(ipc::create, name);
    ipc::Mutex held;
    condition.closeEventForTest();
    held.lock();
    try {
        condition.timed_wait(held, 1000);
        FAIL() << "a wait on a closed event succeeded";
    } catch (const ipc::InterProcessException& failure) {
        EXPECT_STREQ(failure.what(), ipc::errors::waitFailed);
    }
    LockProbe probe(held);
    EXPECT_TRUE(probe.acquiredWithin(10000)) << "the failed wait kept the lock";
    EXPECT_EQ(waitersWord(name), 0u) << "the failed wait left itself counted";
}

TEST(NamedCondition, WaitersWordCountsTheWaitersInItsTwelveByteRegion) {
    const std::string name = uniqueName("condw");
    NamedCondition condition(ipc::create, name);
    IPCMemoryBuffer word(ipc::open, name);
    EXPECT_EQ(word.size(), 4) << "a waiters word of 4 bytes behind the 8-byte header";

    ipc::Mutex held;
    std::atomic<bool> waiting{false};
    std::thread waiter([&] {
        held.lock();
        waiting = true;
        condition.timed_wait(held, 20000);
        held.unlock();
    });
    while (!waiting) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::uint32_t count = 0;
    const auto start = Clock::now();
    while (count == 0 && millisecondsSince(start) < 10000) {
        std::memcpy(&count, word.data(), sizeof count);
    }
    EXPECT_EQ(count, 1u);
    condition.notify_one();
    waiter.join();
    EXPECT_EQ(waitersWord(name), 0u);
}

TEST(NamedCondition, OpeningAConditionNobodyCreatedFailsOnItsCounterRegion) {
    try {
        NamedCondition missing(ipc::open, uniqueName("nocond"));
        FAIL() << "opened a condition that nobody created";
    } catch (const ipc::InterProcessException& failure) {
        EXPECT_STREQ(failure.what(), ipc::errors::cannotCreateMapping);
    }
}

} // namespace
