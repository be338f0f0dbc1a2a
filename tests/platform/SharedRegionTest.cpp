#include "PeerProtocol.h"
#include "PlatformTestSupport.h"

#include "platform/Process.h"
#include "platform/SharedRegion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace testing_support;
using platform::RegionStatus;

TEST(SharedRegion, ANewRegionIsZeroedAndAtLeastTheSizeAskedForButNeverEmpty) {
    for (const std::uint32_t size : {0u, 1u, 12u, 4096u, 100000u}) {
        SCOPED_TRACE(size);
        auto created = platform::createRegion(uniqueName("zeros"), size);
        if (size == 0) {
            EXPECT_EQ(created.status, RegionStatus::noMapping);
            EXPECT_EQ(created.region, nullptr);
            continue;
        }
        ASSERT_EQ(created.status, RegionStatus::ok);
        ASSERT_NE(created.region, nullptr);
        EXPECT_GE(created.region->size(), size);
        EXPECT_TRUE(allZero(*created.region));
    }
}

// Create-or-open of a name that exists keeps the first size, larger or
// smaller, and shares the bytes.
TEST(SharedRegion, CreatingAnExistingNameKeepsItsSize) {
    struct Case {
        std::uint32_t first;
        std::uint32_t second;
    };
    for (const Case& c : {Case{8192, 100}, Case{100, 8192}}) {
        const std::string name = uniqueName("resize");
        auto first = platform::createRegion(name, c.first);
        ASSERT_EQ(first.status, RegionStatus::ok);
        std::memcpy(first.region->data(), "shared", 7);

        auto second = platform::createRegion(name, c.second);
        ASSERT_EQ(second.status, RegionStatus::ok);
        EXPECT_EQ(second.region->size(), first.region->size()) << c.first << " then " << c.second;
        EXPECT_GE(second.region->size(), c.first);
        if (c.second > c.first) {
            EXPECT_LT(second.region->size(), c.second);
        }
        EXPECT_EQ(regionText(*second.region), "shared");
    }
}

// The peer creates and writes, we open and reply, the peer reads the reply;
// the peer's text stays readable through our mapping after the peer ended.
TEST(SharedRegion, WrittenByOneProcessReadByAnother) {
    const std::string name = uniqueName("region");
    const std::string readyName = uniqueName("ready");
    const std::string doneName = uniqueName("done");
    const auto ready = makeEvent(readyName);
    const auto done = makeEvent(doneName);
    ASSERT_TRUE(ready && done);

    auto peer = startPeer({"write-region", name, "6000", "\"from the peer\"", readyName, doneName});
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(ready->wait(30000), platform::WaitResult::signalled);

    auto opened = platform::openRegion(name);
    ASSERT_EQ(opened.status, RegionStatus::ok);
    ASSERT_GE(opened.region->size(), 6000u);
    EXPECT_EQ(regionText(*opened.region), "from the peer");
    std::memcpy(opened.region->data() + peer::replyOffset, peer::reply,
                std::strlen(peer::reply) + 1);
    done->set();

    EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok));
    EXPECT_EQ(regionText(*opened.region), "from the peer");
}

} // namespace
