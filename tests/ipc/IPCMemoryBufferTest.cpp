#include "ipc/IPCMemoryBuffer.h"
#include "TestSupport.h"
#include "ipc/Errors.h"
#include "ipc/InterProcessException.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using ipc::IPCMemoryBuffer;
using testing_support::uniqueName;

std::int64_t header(const IPCMemoryBuffer& buffer) {
    std::int64_t size = 0;
    std::memcpy(&size, buffer.data() - IPCMemoryBuffer::headerSize, sizeof size);
    return size;
}

TEST(IPCMemoryBuffer, ComposesNamesFromPrefixSuffixAndCounter) {
    const std::string pid = std::to_string(platform::currentProcessId());
    const std::string stem = uniqueName("Names");
    struct Case {
        std::string prefix, suffix;
        ipc::UniqueSuffix uniqueSuffix;
        std::string expected;
    } cases[] = {
        {"GetParams" + stem, pid, ipc::UniqueSuffix::counter, "GetParams" + stem + pid + "0"},
        {stem, "4321", ipc::UniqueSuffix::counter, stem + "43210"},
        {stem + "exact", "", ipc::UniqueSuffix::none, stem + "exact"},
    };
    for (const Case& c : cases) {
        IPCMemoryBuffer buffer(ipc::create, c.prefix, c.suffix, 16, c.uniqueSuffix);
        EXPECT_EQ(buffer.name(), c.expected);
        EXPECT_EQ(buffer.size(), 16);
        EXPECT_EQ(header(buffer), 16) << "the first 8 bytes hold the payload size";
    }
}

TEST(IPCMemoryBuffer, OpeningAMissingNameFailsAndLeavesTheBufferEmpty) {
    IPCMemoryBuffer buffer;
    try {
        buffer.open(uniqueName("nobody-made-this"));
        FAIL() << "opening a missing region succeeded";
    } catch (const ipc::InterProcessException& failure) {
        EXPECT_STREQ(failure.what(), ipc::errors::cannotCreateMapping);
    }
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0);
}

TEST(IPCMemoryBuffer, CapacityIsWhatIsMappedWhateverTheHeaderClaims) {
    // A name re-used with a larger size opens the smaller existing region,
    // and a peer may write any number into the header: neither moves the
    // bounds that users copy within.
    const std::string name = uniqueName("reused");
    IPCMemoryBuffer existing(ipc::create, name, "", 64, ipc::UniqueSuffix::none);
    const std::size_t mapped = existing.capacity();
    ASSERT_GE(mapped, 64u);

    IPCMemoryBuffer bigger(ipc::create, name, "", 1 << 20, ipc::UniqueSuffix::none);
    EXPECT_EQ(bigger.size(), 1 << 20);
    EXPECT_EQ(bigger.capacity(), mapped);
    EXPECT_FALSE(bigger.contains(0, 1 << 20));
    EXPECT_TRUE(bigger.contains(0, 64));

    const std::int64_t claim = std::int64_t{1} << 40;
    std::memcpy(existing.data() - IPCMemoryBuffer::headerSize, &claim, sizeof claim);
    IPCMemoryBuffer opener(ipc::open, name);
    EXPECT_EQ(opener.size(), claim);
    EXPECT_EQ(opener.capacity(), mapped);
    EXPECT_FALSE(opener.contains(0, static_cast<std::size_t>(mapped) + 1));
    EXPECT_FALSE(opener.contains(mapped, 1));
    EXPECT_TRUE(opener.contains(mapped, 0));
}

TEST(IPCMemoryBuffer, NegativeSizesAreRefused) {
    EXPECT_THROW(
        IPCMemoryBuffer(ipc::create, uniqueName("negative"), "", -1, ipc::UniqueSuffix::none),
        ipc::InterProcessException);
}

} // namespace
