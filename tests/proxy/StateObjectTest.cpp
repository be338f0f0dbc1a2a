// The per-invocation state object: the host's window that it hands to the
// wait dialog and the message box, and the order of its virtual operations,
// which is part of the class's binary layout.

#include "hostapi/FilterInterface.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

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
