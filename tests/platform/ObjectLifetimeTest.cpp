#include "PeerProtocol.h"
#include "PlatformTestSupport.h"

#include "platform/EventObject.h"
#include "platform/MutexObject.h"
#include "platform/ObjectNamespace.h"
#include "platform/Process.h"
#include "platform/SharedRegion.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace testing_support;
using platform::RegionStatus;
using platform::WaitResult;

// The names of ours that the system still keeps, among the given ones.
std::vector<std::string> leftOf(const std::vector<std::string>& names) {
    const std::vector<std::string> leftovers = platform::leftoverObjects();
    std::vector<std::string> found;
    for (const std::string& name : names) {
        if (std::find(leftovers.begin(), leftovers.end(), name) != leftovers.end()) {
            found.push_back(name);
        }
    }
    return found;
}

// A named object lives while a process holds it, and no longer: when its
// only holder ends, killed or not, with a mutex locked, an event set and a
// region written, the names are free, and whoever creates them next starts
// clean.
TEST(ObjectLifetime, ObjectsOfAnEndedProcessVanishAndComeBackClean) {
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "ended normally");
        const std::string base = uniqueName("lifetime");
        const std::string mutexName = base + peer::mutexSuffix;
        const std::string eventName = base + peer::eventSuffix;
        const std::string regionName = base + peer::regionSuffix;
        const std::vector<std::string> names = {mutexName, eventName, regionName};
        const std::string readyName = uniqueName("ready");
        const std::string doneName = uniqueName("done");
        const auto ready = makeEvent(readyName);
        const auto done = makeEvent(doneName);
        ASSERT_TRUE(ready && done);

        auto peer = startPeer({"make-objects", base, readyName, killed ? "-" : doneName});
        ASSERT_NE(peer, nullptr);
        ASSERT_EQ(ready->wait(30000), WaitResult::signalled);
        {
            // While the peer lives they exist, with what it put there.
            auto opened = platform::openRegion(regionName);
            ASSERT_EQ(opened.status, RegionStatus::ok);
            EXPECT_EQ(regionText(*opened.region), peer::staleText);
        }
        if (killed) {
            EXPECT_TRUE(peer->terminate(1));
        } else {
            done->set();
        }
        ASSERT_TRUE(peer->waitForExit(20000));

        EXPECT_EQ(leftOf(names), std::vector<std::string>{});
        EXPECT_EQ(platform::openMutex(mutexName), nullptr);
        EXPECT_EQ(platform::openRegion(regionName).status, RegionStatus::noMapping);

        const auto mutex = platform::createMutex(mutexName);
        const auto event = platform::createEvent(eventName);
        auto region = platform::createRegion(regionName, peer::regionSize);
        ASSERT_TRUE(mutex && event && region.region);
        {
            Watchdog watchdog(std::chrono::seconds(10), "lock of a re-created mutex");
            ASSERT_TRUE(locked(mutex->lock()));
            mutex->unlock();
        }
        EXPECT_EQ(event->wait(0), WaitResult::timedOut);
        EXPECT_TRUE(allZero(*region.region));
    }
}

TEST(ObjectLifetime, ClosingTheLastHandleRemovesTheObject) {
    const std::string name = uniqueName("closed");
    {
        auto first = platform::createRegion(name, 64);
        ASSERT_NE(first.region, nullptr);
        first.region->data()[0] = 42;
        auto second = platform::openRegion(name);
        ASSERT_NE(second.region, nullptr);
        first.region.reset();
        // Still held through the second handle, contents and all.
        EXPECT_EQ(second.region->data()[0], 42);
        auto third = platform::openRegion(name);
        ASSERT_NE(third.region, nullptr);
        EXPECT_EQ(third.region->data()[0], 42);
    }
    EXPECT_EQ(leftOf({name}), std::vector<std::string>{});
    EXPECT_EQ(platform::openRegion(name).status, RegionStatus::noMapping);
    auto fresh = platform::createRegion(name, 64);
    ASSERT_NE(fresh.region, nullptr);
    EXPECT_TRUE(allZero(*fresh.region));
}

} // namespace
