#include "PeerProtocol.h"
#include "PlatformTestSupport.h"
#include "TestSupport.h"

#include "platform/MutexObject.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

using platform_testing::BackgroundLock;
using platform_testing::locked;
using platform_testing::makeEvent;
using platform_testing::startPeer;
using platform_testing::Watchdog;
using testing_support::finishHelper;
using testing_support::uniqueName;

TEST(MutexObject, OpeningAMissingNameFails) {
    EXPECT_EQ(platform::openMutex(uniqueName("missing")), nullptr);
    EXPECT_EQ(platform::openMutex(""), nullptr);
}

TEST(MutexObject, CreatingAnExistingNameAttachesToIt) {
    const std::string name = uniqueName("attach");
    const auto first = platform::createMutex(name);
    ASSERT_NE(first, nullptr);
    const auto second = platform::createMutex(name);
    const auto opened = platform::openMutex(name);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(opened, nullptr);

    ASSERT_TRUE(locked(first->lock()));
    BackgroundLock viaSecond(*second);
    EXPECT_FALSE(viaSecond.acquiredWithin(200)) << "a second handle is the same mutex";
    first->unlock();
    EXPECT_TRUE(viaSecond.acquiredWithin(10000));
}

TEST(MutexObject, UnnamedMutexesAreDistinct) {
    const auto first = platform::createMutex("");
    const auto second = platform::createMutex("");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(locked(first->lock()));
    BackgroundLock other(*second);
    EXPECT_TRUE(other.acquiredWithin(10000));
    BackgroundLock same(*first);
    EXPECT_FALSE(same.acquiredWithin(200));
    first->unlock();
    EXPECT_TRUE(same.acquiredWithin(10000));
}

// Held by a peer, our lock waits; once the peer lets go we get it.
TEST(MutexObject, HeldInAnotherProcessBlocksUntilReleased) {
    const std::string name = uniqueName("held");
    const std::string readyName = uniqueName("ready");
    const std::string releaseName = uniqueName("release");
    const auto ready = makeEvent(readyName);
    const auto release = makeEvent(releaseName);
    const auto mutex = platform::createMutex(name);
    ASSERT_TRUE(ready && release && mutex);

    auto peer = startPeer({"hold-mutex", name, readyName, releaseName, "unlock"});
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(ready->wait(30000), platform::WaitResult::signalled);
    {
        BackgroundLock ours(*mutex);
        EXPECT_FALSE(ours.acquiredWithin(300));
        release->set();
        EXPECT_TRUE(ours.acquiredWithin(10000));
    }
    EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok));
}

// An owner that ends without unlocking, killed or by returning, leaves the
// mutex to the next lock.
TEST(MutexObject, OwnerThatEndedWhileHoldingLeavesItToTheNextLock) {
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "exited");
        const std::string name = uniqueName("abandoned");
        const std::string readyName = uniqueName("ready");
        const std::string releaseName = uniqueName("release");
        const auto ready = makeEvent(readyName);
        const auto release = makeEvent(releaseName);
        const auto mutex = platform::createMutex(name);
        ASSERT_TRUE(ready && release && mutex);

        auto peer = startPeer({"hold-mutex", name, readyName, killed ? "-" : releaseName, "exit"});
        ASSERT_NE(peer, nullptr);
        ASSERT_EQ(ready->wait(30000), platform::WaitResult::signalled);
        if (killed) {
            EXPECT_TRUE(peer->terminate(1));
        } else {
            release->set();
        }
        ASSERT_TRUE(peer->waitForExit(20000));

        Watchdog watchdog(10000, "lock of an abandoned mutex");
        ASSERT_TRUE(locked(mutex->lock()));
        // Ours now, and sound: recursive, and released for others.
        ASSERT_TRUE(locked(mutex->lock()));
        mutex->unlock();
        mutex->unlock();
        const auto other = platform::openMutex(name);
        ASSERT_NE(other, nullptr);
        BackgroundLock next(*other);
        EXPECT_TRUE(next.acquiredWithin(10000));
    }
}

// The owning thread may lock again; another process gets the mutex only
// after as many unlocks as locks.
TEST(MutexObject, RecursiveForItsOwner) {
    const std::string name = uniqueName("recursive");
    const std::string readyName = uniqueName("ready");
    const auto ready = makeEvent(readyName);
    const auto mutex = platform::createMutex(name);
    ASSERT_TRUE(ready && mutex);
    {
        Watchdog watchdog(10000, "a recursive lock");
        ASSERT_TRUE(locked(mutex->lock()));
        ASSERT_TRUE(locked(mutex->lock()));
    }
    // The peer has a second to start and block before each check.
    auto peer = startPeer({"lock-mutex", name, readyName});
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(ready->wait(1000), platform::WaitResult::timedOut) << "held twice";
    mutex->unlock();
    EXPECT_EQ(ready->wait(1000), platform::WaitResult::timedOut) << "still held once";
    mutex->unlock();
    EXPECT_EQ(ready->wait(30000), platform::WaitResult::signalled);
    EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok));
}
