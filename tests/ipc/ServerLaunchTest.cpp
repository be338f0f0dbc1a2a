#include "ipc/ServerLaunch.h"
#include "PeerControl.h"
#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using ipc::IPCMemoryBuffer;

const std::string serverKey = "Software\\Vantorelle\\Solvanta Q9";
const std::string shortcutName = "Vantorelle Solvanta Q9.lnk";

// Each case runs a copy of the peer from a directory of its own, because
// the server is looked for beside the module that asks, and a registry of
// its own (the POSIX stand-in follows SOLVANTA_REGISTRY_ROOT; on Windows the
// tests that touch the registry run one at a time).
class ServerLocation : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(plugin_);
        platform::deleteMachineKey(serverKey);
        fs::copy_file(helperPath("ipc_peer"), peer_);
    }
    void TearDown() override { platform::deleteMachineKey(serverKey); }

    // Runs the copied peer with `command` (and its argument) and returns what
    // it reported.
    std::string ask(const std::string& command, const std::string& argument = "",
                    std::int32_t* value = nullptr) {
        ControlBlock shared;
        platform::LaunchResult run =
            platform::launch(peer_.string(), command + " " + shared.name + " " + argument);
        if (!run.process) {
            ADD_FAILURE() << "cannot start the copied peer, error " << run.error;
            return {};
        }
        EXPECT_TRUE(awaitStage(shared.block, 1, 60000));
        EXPECT_EQ(finishHelper(*run.process), 0u);
        if (value != nullptr) {
            *value = shared.block.value;
        }
        return shared.block.text;
    }

    fs::path shortcut() const { return plugin_ / shortcutName; }

    const TemporaryDirectory root_{"solvanta-launch"};
    const ScopedEnvironment registry_{{{"SOLVANTA_REGISTRY_ROOT", root_.file("registry")}}};
    const fs::path plugin_ = root_.file("plugin");
    const fs::path peer_ = plugin_ / ("ipc_peer" + std::string(platform::kExecutableSuffix));
};

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
    EXPECT_TRUE(fs::equivalent(fs::path(path).parent_path(), plugin_)) << path;
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
    const std::string missing = root_.file("nowhere/server-missing");
    for (const std::string& path : {std::string(), missing}) {
        SCOPED_TRACE(path.empty() ? "no registry value" : "a registry value naming no file");
        if (!path.empty()) {
            ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", path));
        }
        std::int32_t pid = -1;
        const std::string text = ask("launch-server", "4711", &pid);
        EXPECT_EQ(pid, 0);
        const std::string arguments = " -server:4711 -clientpid:";
        EXPECT_EQ(text.rfind(arguments, 0), 0u) << text;
        const std::string failure =
            ipc::errors::unableToLaunch + path + ipc::errors::launchErrorCode;
        const std::size_t at = text.find(failure);
        ASSERT_NE(at, std::string::npos) << text;
        const std::string code = text.substr(at + failure.size());
        ASSERT_FALSE(code.empty());
        EXPECT_NE(std::stoul(code), 0u);
    }
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
        IPCMemoryBuffer record(ipc::create, "args" + tag, "", static_cast<int>(sizeof(PeerControl)),
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

} // namespace
