// The per-invocation state object: its class chain, its fields as a new
// invocation finds them, and its connection name.

#include "hostapi/FilterInterface.h"
#include "platform/Clock.h"
#include "proxy/Errors.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <boost/function.hpp>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(FilterGlobals, StartsAsAFreshInvocation) {
    const FilterGlobals state;
    EXPECT_FALSE(state.selectionMask);
    EXPECT_FALSE(state.iccProfileBuffer);
    EXPECT_FALSE(state.createNewLayer);
    EXPECT_FALSE(state.autolayerRun);
    EXPECT_FALSE(state.skipRender);
    EXPECT_FALSE(state.reuseServerDocument);
    EXPECT_TRUE(state.lastRunOk);
    EXPECT_FALSE(state.broken);
    EXPECT_FALSE(state.running);
    EXPECT_EQ(state.remoteProcessId, 0U);
    EXPECT_FALSE(state.remoteProcess);
    EXPECT_FALSE(state.clientChannel);
    EXPECT_FALSE(state.serverChannel);
    EXPECT_TRUE(state.sendLock);
    for (const ipc::IPCMemoryBuffer* buffer :
         {&state.inputBuffer, &state.outputBuffer, &state.maskBuffer, &state.displaySourceBuffer,
          &state.displayResultBuffer}) {
        EXPECT_EQ(buffer->data(), nullptr);
        EXPECT_TRUE(buffer->name().empty());
    }
}

TEST(ServerProxy, NamesTheConnectionWithADecimalNumber) {
    const ServerProxy proxy;
    ASSERT_FALSE(proxy.connectionName.empty());
    EXPECT_EQ(proxy.connectionName.find_first_not_of("0123456789"), std::string::npos);
}

TEST(ServerProxy, TwoProxiesOfOneTickShareTheirName) {
    // The generator is seeded from the tick count: retry until both proxies
    // fall within one tick.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::uint32_t before = platform::tickCount();
        const ServerProxy first;
        const ServerProxy second;
        if (platform::tickCount() == before) {
            EXPECT_EQ(first.connectionName, second.connectionName);
            return;
        }
    }
    GTEST_SKIP() << "no two proxies were made within one tick";
}

TEST(FilterGlobals, TheEmptyHooksChangeNothing) {
    FilterGlobals state;
    state.connectionName = "12";
    state.running = true;
    state.reservedSlot4();
    state.reservedSlot5();
    state.reservedSlot6();
    EXPECT_EQ(state.connectionName, "12");
    EXPECT_TRUE(state.running);
    EXPECT_EQ(state.handlers.size(), 11U);
}

TEST(FilterGlobals, HandlesEveryRequestOfTheServerAndNoOther) {
    FilterGlobals state;
    std::vector<std::int32_t> selectors;
    for (const auto& [selector, handler] : state.handlers) {
        selectors.push_back(selector);
        EXPECT_FALSE(handler.empty()) << selector;
    }
    EXPECT_EQ(selectors, (std::vector<std::int32_t>{5, 6, 16, 18, 20, 24, 30, 31, 32, 34, 36}));
    msg::Cell unknown{};
    const std::int32_t selector = 26;
    std::memcpy(unknown.bytes, &selector, sizeof selector);
    try {
        state.handleRequest(reinterpret_cast<msgBase*>(unknown.bytes));
        ADD_FAILURE() << "selector 26 was handled";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), proxy::errors::unknownSelector);
    }
}

TEST(FilterGlobals, TheHostWindowIsThePlatformDatasWindow) {
    FilterGlobals state;
    hostapi::FilterRecord record{};
    hostapi::PlatformData platformData{0x1234};
    hostapi::FilterRecord* const previous = gFilterRecord;
    gFilterRecord = &record;
    EXPECT_EQ(state.hostWindow(), nullptr);
    record.platformData = &platformData;
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(state.hostWindow()), 0x1234);
    gFilterRecord = nullptr;
    EXPECT_EQ(state.hostWindow(), nullptr);
    gFilterRecord = previous;
}

// Both compilers represent a pointer to a virtual member as one plus the
// byte offset of its slot in the class's table.
template <typename Member> std::uintptr_t slotOffset(Member member) {
    std::uintptr_t raw = 0;
    static_assert(sizeof(Member) >= sizeof raw, "a pointer to member holds a word");
    std::memcpy(&raw, &member, sizeof raw);
    return raw - 1;
}

TEST(FilterGlobals, KeepsItsVirtualOperationsInTheirOrder) {
    const std::uintptr_t first = slotOffset(&FilterGlobals::runRequestLoop);
    const std::uintptr_t slot = sizeof(void*);
    EXPECT_EQ(slotOffset(&FilterGlobals::waitForServer), first + 1 * slot);
    EXPECT_EQ(slotOffset(&FilterGlobals::endWait), first + 2 * slot);
    EXPECT_EQ(slotOffset(&FilterGlobals::reservedSlot4), first + 3 * slot);
    EXPECT_EQ(slotOffset(&FilterGlobals::reservedSlot5), first + 4 * slot);
    EXPECT_EQ(slotOffset(&FilterGlobals::reservedSlot6), first + 5 * slot);
    EXPECT_EQ(slotOffset(&FilterGlobals::hostWindow), first + 6 * slot);
    // Only the destructor comes before them, as the complete-object and the
    // deleting destructor of the Itanium layout both compilers use.
    EXPECT_EQ(first, 2 * slot);
    EXPECT_EQ(slotOffset(&ServerProxy::runRequestLoop), first);
}

} // namespace
