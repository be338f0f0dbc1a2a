#include "ipc/ServerLaunch.h"
#include "PeerControl.h"
#include "TestSupport.h"
#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Environment.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using ipc::IPCMemoryBuffer;
using testing_support::finishHelper;
using testing_support::helperPath;
using testing_support::uniqueName;

namespace {

const std::string serverKey = "Software\\Vantorelle\\Solvanta Q9";
const std::string shortcutName = "Vantorelle Solvanta Q9.lnk";

// Each case runs a copy of the peer from a directory of its own, because
// the server is looked for beside the module that asks, and a registry of
// its own (the POSIX stand-in follows SOLVANTA_REGISTRY_ROOT; on Windows the
// tests that touch the registry run one at a time).
class ServerLocation : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / uniqueName("solvanta-launch");
        fs::create_directories(root_ / "plugin");
        ASSERT_TRUE(platform::setEnvironmentVariable("SOLVANTA_REGISTRY_ROOT",
                                                     (root_ / "registry").string()));
        platform::deleteMachineKey(serverKey);
        peer_ = (root_ / "plugin" / ("ipc_peer" + std::string(platform::kExecutableSuffix)));
        fs::copy_file(helperPath("ipc_peer"), peer_);
    }
    void TearDown() override {
        platform::deleteMachineKey(serverKey);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Runs the copied peer with `command` (and its argument) and returns what
    // it reported.
    std::string ask(const std::string& command, const std::string& argument = "",
                    std::int32_t* value = nullptr) {
        const std::string controlName = uniqueName("ctl");
        IPCMemoryBuffer controlBuffer(ipc::create, controlName, "", sizeof(PeerControl),
                                      ipc::UniqueSuffix::none);
        PeerControl& block = control(controlBuffer);
        platform::LaunchResult run =
            platform::launch(peer_.string(), command + " " + controlName + " " + argument);
        if (!run.process) {
            ADD_FAILURE() << "cannot start the copied peer, error " << run.error;
            return {};
        }
        EXPECT_TRUE(awaitStage(block, 1, 60000));
        EXPECT_EQ(finishHelper(*run.process), 0u);
        if (value != nullptr) {
            *value = block.value;
        }
        return block.text;
    }

    fs::path shortcut() const { return root_ / "plugin" / shortcutName; }

    fs::path root_;
    fs::path peer_;
};

} // namespace

TEST(LaunchArguments, NameTheConnectionAndThePlugInProcess) {
    EXPECT_EQ(ipc::launchArguments("0", 17), " -server:0 -clientpid:17");
    EXPECT_EQ(ipc::launchArguments("4711", 9020), " -server:4711 -clientpid:9020");
    EXPECT_EQ(ipc::launchArguments("7", 0xFFFFFFFFU), " -server:7 -clientpid:-1");
}

TEST_F(ServerLocation, TheShortcutBesideTheLibraryWinsOverTheRegistry) {
    ASSERT_TRUE(platform::createShortcut(shortcut().string(), peer_.string()));
    ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", "C:\\App\\Server.exe"));
    const std::string path = ask("server-path");
    EXPECT_EQ(fs::path(path).filename(), shortcutName);
    EXPECT_TRUE(fs::equivalent(fs::path(path).parent_path(), root_ / "plugin")) << path;
}

TEST_F(ServerLocation, WithoutAShortcutTheRegistryValueIsTakenExactly) {
    ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", "C:\\App\\Server.exe"));
    EXPECT_EQ(ask("server-path"), "C:\\App\\Server.exe");
}

TEST_F(ServerLocation, WithoutShortcutKeyOrValueThePathIsEmpty) {
    EXPECT_EQ(ask("server-path"), "");
    ASSERT_TRUE(platform::writeMachineValue(serverKey, "SomethingElse", "x"));
    EXPECT_EQ(ask("server-path"), "");
}

TEST_F(ServerLocation, ALaunchWithoutAServerFailsWithTheArgumentsPathAndErrorCode) {
    std::int32_t pid = -1;
    const std::string text = ask("launch-server", "4711", &pid);
    EXPECT_EQ(pid, 0);
    const std::string arguments = " -server:4711 -clientpid:";
    EXPECT_EQ(text.rfind(arguments, 0), 0u) << text;
    const std::string failure =
        std::string(ipc::errors::unableToLaunch) + ipc::errors::launchErrorCode;
    const std::size_t at = text.find(failure);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string code = text.substr(at + failure.size());
    ASSERT_FALSE(code.empty());
    EXPECT_NE(std::stoul(code), 0u);
}

TEST_F(ServerLocation, TheServerStartsWithTheConnectionAndOurProcessId) {
    for (const bool throughShortcut : {true, false}) {
        SCOPED_TRACE(throughShortcut ? "shortcut" : "registry");
        if (throughShortcut) {
            ASSERT_TRUE(platform::createShortcut(shortcut().string(), peer_.string()));
        } else {
            fs::remove(shortcut());
            ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", peer_.string()));
        }
        const std::string tag = std::to_string(1000 + (throughShortcut ? 1 : 2));
        // The started "server" records its command line here.
        IPCMemoryBuffer record(ipc::create, "args" + tag, "", sizeof(PeerControl),
                               ipc::UniqueSuffix::none);
        PeerControl& seen = control(record);

        std::int32_t launchedId = 0;
        EXPECT_EQ(ask("launch-server", tag, &launchedId), "launched");
        ASSERT_TRUE(awaitStage(seen, 1, 30000));
        EXPECT_EQ(launchedId, seen.value) << "the launch reports the server's own process id";
        EXPECT_EQ(seen.stage.load(), 1) << "the server was started more than once";
        const std::string line = seen.text;
        EXPECT_EQ(line.rfind(" -server:" + tag + " -clientpid:", 0), 0u) << line;
    }
}
