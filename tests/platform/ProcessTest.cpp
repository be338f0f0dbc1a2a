#include "PeerProtocol.h"
#include "PlatformTestSupport.h"

#include "platform/Process.h"
#include "platform/SharedRegion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;
using platform::kStillActive;

std::string joinLines(const std::vector<std::string>& words) {
    std::string joined;
    for (std::size_t i = 0; i < words.size(); ++i) {
        joined += (i > 0 ? "\n" : "") + words[i];
    }
    return joined;
}

// The server composes its queue names from what arrives in its argv.
TEST(Process, ArgumentsArriveSplitAsOnTheCommandLine) {
    struct Case {
        std::string text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {" -server:4711 -clientpid:9020", {"-server:4711", "-clientpid:9020"}},
        {"  spaced   out\twords ", {"spaced", "out", "words"}},
        {"\"two words\" after", {"two words", "after"}},
        {R"(C:\dir\file "q\"uote")", {R"(C:\dir\file)", R"(q"uote)"}},
    };
    for (const Case& c : cases) {
        const std::string name = uniqueName("argv");
        auto region = platform::createRegion(name, 4096);
        ASSERT_NE(region.region, nullptr);
        auto peer = startPeer({"echo", name, c.text});
        ASSERT_NE(peer, nullptr);
        EXPECT_EQ(finishHelper(*peer), static_cast<std::uint32_t>(peer::ok)) << c.text;
        EXPECT_EQ(regionText(*region.region), joinLines(c.expected)) << c.text;
    }
}

TEST(Process, ExitCodeOfAChild) {
    for (const std::uint32_t code : {0u, 3u, 200u}) {
        auto peer = startPeer({"exit", std::to_string(code)});
        ASSERT_NE(peer, nullptr);
        EXPECT_NE(peer->id(), 0u);
        EXPECT_NE(peer->id(), platform::currentProcessId());
        EXPECT_EQ(finishHelper(*peer), code);
        // Read again: the code stays.
        std::uint32_t again = kStillActive;
        EXPECT_TRUE(peer->exitCode(again));
        EXPECT_EQ(again, code);
    }
}

// Two handles on one child: the one from the launch and one opened by id.
// Either sees it run, either can end it, and both read the code afterwards,
// also after the other handle went.
TEST(Process, TerminateThroughEitherHandle) {
    for (const bool throughOpened : {false, true}) {
        SCOPED_TRACE(throughOpened ? "opened handle" : "launch handle");
        const std::string readyName = uniqueName("ready");
        const auto ready = makeEvent(readyName);
        auto launched = startPeer({"sleep", "60000", readyName});
        ASSERT_TRUE(ready && launched);
        ASSERT_EQ(ready->wait(30000), platform::WaitResult::signalled);
        auto opened = platform::openProcess(launched->id());
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->id(), launched->id());

        for (auto* handle : {launched.get(), opened.get()}) {
            std::uint32_t code = 0;
            EXPECT_TRUE(handle->exitCode(code));
            EXPECT_EQ(code, kStillActive);
            EXPECT_FALSE(handle->waitForExit(50));
        }
        EXPECT_TRUE((throughOpened ? opened : launched)->terminate(7));
        EXPECT_TRUE(launched->waitForExit(10000));
        launched.reset();

        EXPECT_TRUE(opened->waitForExit(10000));
        std::uint32_t code = kStillActive;
        EXPECT_TRUE(opened->exitCode(code));
        EXPECT_EQ(code, 7u);
    }
}

// A process that is nobody's child here: the peer's own child, left behind
// when the peer ended.
TEST(Process, LivenessOfAProcessThatIsNotOurChild) {
    const std::string name = uniqueName("pid");
    auto region = platform::createRegion(name, 4096);
    ASSERT_NE(region.region, nullptr);
    auto parent = startPeer({"spawn-sleeper", name, "60000"});
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(finishHelper(*parent), static_cast<std::uint32_t>(peer::ok));
    const std::uint32_t pid = static_cast<std::uint32_t>(std::stoul(regionText(*region.region)));

    auto sleeper = platform::openProcess(pid);
    ASSERT_NE(sleeper, nullptr);
    EXPECT_EQ(sleeper->id(), pid);
    std::uint32_t code = 0;
    EXPECT_TRUE(sleeper->exitCode(code));
    EXPECT_EQ(code, kStillActive);
    EXPECT_FALSE(sleeper->waitForExit(100));

    EXPECT_TRUE(sleeper->terminate(9));
    EXPECT_TRUE(sleeper->waitForExit(10000));
    EXPECT_TRUE(sleeper->exitCode(code));
    EXPECT_NE(code, kStillActive);
}

TEST(Process, OpeningAProcessThatDoesNotExistFails) {
    for (const std::uint32_t pid : {0u, 0x7FFFFFFCu}) {
        EXPECT_EQ(platform::openProcess(pid), nullptr) << pid;
    }
    const auto self = platform::openProcess(platform::currentProcessId());
    ASSERT_NE(self, nullptr);
    std::uint32_t code = 0;
    EXPECT_TRUE(self->exitCode(code));
    EXPECT_EQ(code, kStillActive);
}

} // namespace
