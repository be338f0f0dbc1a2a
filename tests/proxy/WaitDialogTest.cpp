// The wait dialog that parks the host while the server's requests are
// served, with the server played in this process: how a wait ends, what the
// server hears meanwhile, and how a failure inside the dialog comes out of
// it.

#include "platform/WaitDialog.h"
#include "ProxyTestSupport.h"
#include "platform/Process.h"
#include "proxy/Errors.h"
#include "proxy/ServerProxy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;
namespace errors = proxy::errors;

// The server played in this process by a thread of the test.
class WaitDialog : public ::testing::Test {
protected:
    WaitDialog() {
        proxy_.registerHandler(msg::progress,
                               [this](msgBase* request) { handled_.push_back(request->selector); });
        proxy_.registerHandler(msg::finish, [this](msgBase* request) {
            handled_.push_back(request->selector);
            proxy_.endWait();
        });
    }

    void TearDown() override { joinServer(); }

    // Once the dialog has asked the server to the front, as it does when it
    // first shows, the server does `act`.
    void afterActivation(std::function<void()> act) {
        joinServer();
        server_ = std::thread([this, act = std::move(act)] {
            Cell cell{};
            EXPECT_TRUE(side_.takeRequest(cell)) << "the dialog asks the server to the front";
            EXPECT_EQ(cell.selector(), msg::bringToFront);
            act();
        });
    }

    void sendRequests(const std::vector<std::int32_t>& selectors) {
        for (const std::int32_t selector : selectors) {
            EXPECT_TRUE(side_.request(msgProgress{{selector}, 1, 2}));
        }
    }

    void joinServer() {
        if (server_.joinable()) {
            server_.join();
        }
    }

    Watchdog watchdog_{std::chrono::seconds(120)};
    ServerProxy proxy_;
    ServerSide side_{proxy_};
    // The selectors of the requests the handlers saw, in order.
    std::vector<std::int32_t> handled_;
    std::thread server_;
};

TEST_F(WaitDialog, EndsWithZeroWhenTheServerFinishesOrTheUserPressesOk) {
    using msg::finish;
    using msg::progress;
    struct Case {
        const char* what;
        // The process the liveness check looks at; 0: none known.
        std::uint32_t serverProcess;
        std::function<void()> act;
        std::vector<std::int32_t> handled;
    };
    const auto pressOk = [] {
        EXPECT_TRUE(platform::pressWaitDialogOk()) << "the dialog is shown";
    };
    const std::vector<Case> cases = {
        // Everything that waits is served before the dialog closes, also
        // what came after the finish.
        {"the server finishes amid a burst",
         0,
         [&] {
             sendRequests({progress, progress, finish, progress, progress});
         },
         {progress, progress, finish, progress, progress}},
        {"the user presses OK", 0, pressOk, {}},
        {"the user presses OK after a long silence of a living server",
         platform::currentProcessId(),
         [&] {
             std::this_thread::sleep_for(std::chrono::milliseconds(2600));
             pressOk();
         },
         {}},
    };
    EXPECT_FALSE(platform::pressWaitDialogOk()) << "no dialog is shown, and none will see it";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        handled_.clear();
        proxy_.remoteProcessId = c.serverProcess;
        afterActivation(c.act);
        EXPECT_EQ(proxy_.waitForServer(nullptr), 0);
        joinServer();
        EXPECT_EQ(handled_, c.handled);
        Cell cell{};
        EXPECT_FALSE(side_.takeRequest(cell, 300))
            << "the server heard one request to the front and nothing else, selector "
            << cell.selector();
        EXPECT_FALSE(platform::pressWaitDialogOk()) << "the dialog is gone";
    }
}

TEST_F(WaitDialog, AFailureInsideTheDialogEndsTheWaitWithItsOwnTextAndTheNextWaitWorks) {
    struct HandlerFailure : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    proxy_.registerHandler(msg::progress,
                           [](msgBase*) { throw HandlerFailure("the progress bar is gone"); });
    const auto nextWaitWorks = [this] {
        afterActivation([this] { sendRequests({msg::finish}); });
        EXPECT_EQ(proxy_.waitForServer(nullptr), 0);
        joinServer();
        EXPECT_EQ(handled_, std::vector<std::int32_t>{msg::finish});
        handled_.clear();
    };

    afterActivation([this] { sendRequests({msg::progress}); });
    try {
        proxy_.waitForServer(nullptr);
        ADD_FAILURE() << "the wait ended without the handler's failure";
    } catch (const HandlerFailure& failure) {
        EXPECT_STREQ(failure.what(), "the progress bar is gone");
    }
    joinServer();
    nextWaitWorks();

    // The request to the front fails on a broken connection.
    proxy_.broken = true;
    EXPECT_EQ(failureOf([this] { proxy_.waitForServer(nullptr); }),
              errors::comsBrokenInSendMessage);
    proxy_.broken = false;
    Cell cell{};
    EXPECT_FALSE(side_.takeRequest(cell, 300)) << "nothing reached the server";
    nextWaitWorks();
}

} // namespace
