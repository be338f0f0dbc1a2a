#include "TestSupport.h"

#include "platform/EventObject.h"
#include "platform/MutexObject.h"
#include "platform/SharedRegion.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testing_support::uniqueName;

// Mutexes, events and regions share one namespace: a name taken by one kind
// cannot be created or opened as another.
TEST(ObjectNamespace, ANameBelongsToOneKind) {
    using Holder = std::function<bool(const std::string&)>;
    struct Kind {
        const char* name;
        std::function<std::shared_ptr<void>(const std::string&)> create;
        Holder open; // null where the kind has no open-only call
    };
    const Kind kinds[] = {
        {"mutex",
         [](const std::string& n) { return std::shared_ptr<void>(platform::createMutex(n)); },
         [](const std::string& n) { return platform::openMutex(n) != nullptr; }},
        {"event",
         [](const std::string& n) { return std::shared_ptr<void>(platform::createEvent(n)); },
         nullptr},
        {"region",
         [](const std::string& n) {
             return std::shared_ptr<void>(platform::createRegion(n, 64).region);
         },
         [](const std::string& n) { return platform::openRegion(n).region != nullptr; }},
    };
    for (const Kind& holder : kinds) {
        for (const Kind& other : kinds) {
            if (&holder == &other) {
                continue;
            }
            const std::string name = uniqueName("kind");
            const auto held = holder.create(name);
            ASSERT_NE(held, nullptr) << holder.name;
            EXPECT_EQ(other.create(name), nullptr) << other.name << " over a " << holder.name;
            if (other.open) {
                EXPECT_FALSE(other.open(name)) << "open " << other.name << " on a " << holder.name;
            }
            // And the holder's own kind still attaches.
            EXPECT_NE(holder.create(name), nullptr) << holder.name;
        }
    }
}

} // namespace
