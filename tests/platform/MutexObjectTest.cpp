#include "PeerProtocol.h"
#include "PlatformTestSupport.h"

#include "platform/MutexObject.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

// The owning thread may lock again; another process blocks on the mutex
// until as many unlocks as locks. (Attaching and abandonment are tested
// through NamedMutex, on top of this.)
TEST(MutexObject, RecursiveForItsOwner) {
    const std::string name = uniqueName("recursive");
    const std::string readyName = uniqueName("ready");
    const auto ready = makeEvent(readyName);
    const auto mutex = platform::createMutex(name);
    ASSERT_TRUE(ready && mutex);
    {
        Watchdog watchdog(std::chrono::seconds(10), "a recursive lock");
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

} // namespace
