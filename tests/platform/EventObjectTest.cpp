#include "PeerProtocol.h"
#include "PlatformTestSupport.h"

#include "platform/EventObject.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using platform::WaitResult;

// Waits may end up to a clock tick early on Windows.
constexpr long long tickSlackMs = 20;
// Generous: only catches a wait that ignores its time-out.
constexpr long long hangMs = 5000;

// Which of the peers ended within the time-out; -1 when none did.
int firstToEnd(platform::Process& a, platform::Process& b, std::uint32_t timeoutMs) {
    const auto start = Clock::now();
    while (millisecondsSince(start) < timeoutMs) {
        if (a.waitForExit(10)) {
            return 0;
        }
        if (b.waitForExit(10)) {
            return 1;
        }
    }
    return -1;
}

TEST(EventObject, StartsNonSignalledAndTimedOutWaitsTakeTheirTime) {
    const auto event = makeEvent(uniqueName("timeout"));
    ASSERT_NE(event, nullptr);
    for (const std::uint32_t timeoutMs : {0u, 50u, 250u}) {
        const auto start = Clock::now();
        EXPECT_EQ(event->wait(timeoutMs), WaitResult::timedOut) << timeoutMs;
        const long long elapsed = millisecondsSince(start);
        EXPECT_GE(elapsed, static_cast<long long>(timeoutMs) - tickSlackMs) << timeoutMs;
        EXPECT_LT(elapsed, static_cast<long long>(timeoutMs) + hangMs) << timeoutMs;
    }
}

// Auto-reset: sets before a wait leave one pending signal, which exactly one
// wait consumes.
TEST(EventObject, SetWithNobodyWaitingStaysPendingOnce) {
    const std::string name = uniqueName("pending");
    const auto event = makeEvent(name);
    const auto sameEvent = platform::createEvent(name);
    ASSERT_TRUE(event && sameEvent);

    event->set();
    event->set();
    const auto start = Clock::now();
    EXPECT_EQ(sameEvent->wait(10000), WaitResult::signalled);
    EXPECT_LT(millisecondsSince(start), hangMs);
    EXPECT_EQ(event->wait(0), WaitResult::timedOut);
    EXPECT_EQ(sameEvent->wait(0), WaitResult::timedOut);
}

TEST(EventObject, SetByAnotherProcessWakesOurWait) {
    const std::string name = uniqueName("wake");
    const auto event = makeEvent(name);
    ASSERT_NE(event, nullptr);

    auto peer = startPeer({"set-event", name, "300"});
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(event->wait(30000), WaitResult::signalled);
    EXPECT_EQ(event->wait(0), WaitResult::timedOut);
    EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok));

    // A set from a process that has ended since is still pending for us.
    peer = startPeer({"set-event", name, "0"});
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok));
    EXPECT_EQ(event->wait(0), WaitResult::signalled);
}

// Two peers wait on one event: each set releases exactly one of them, and a
// waiter that was killed does not swallow a later set.
TEST(EventObject, EachSetReleasesOneWaiterInAnotherProcess) {
    const std::string name = uniqueName("waiters");
    const auto event = makeEvent(name);
    ASSERT_NE(event, nullptr);

    const std::string readyName = uniqueName("ready");
    const auto ready = makeEvent(readyName);
    auto doomed = startPeer({"wait-event", name, "60000", readyName});
    ASSERT_TRUE(ready && doomed);
    ASSERT_EQ(ready->wait(30000), WaitResult::signalled);
    EXPECT_FALSE(doomed->waitForExit(200));
    EXPECT_TRUE(doomed->terminate(1));
    ASSERT_TRUE(doomed->waitForExit(10000));

    auto first = startPeer({"wait-event", name, "30000"});
    auto second = startPeer({"wait-event", name, "30000"});
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->waitForExit(1000));

    event->set();
    const int released = firstToEnd(*first, *second, 20000);
    ASSERT_NE(released, -1) << "a set released no waiter";
    platform::Process& winner = released == 0 ? *first : *second;
    platform::Process& other = released == 0 ? *second : *first;
    EXPECT_EQ(finishHelper(winner), static_cast<std::uint32_t>(peer::signalled));
    EXPECT_FALSE(other.waitForExit(500)) << "one set released two waiters";

    event->set();
    EXPECT_EQ(finishHelper(other, 20000), static_cast<std::uint32_t>(peer::signalled));
    EXPECT_EQ(event->wait(0), WaitResult::timedOut) << "the peers consumed both sets";
}

} // namespace
