// A plug-in process in a directory of its own finds the server as the
// product's installation leaves it: through a shortcut beside it, else
// through the registry value, else not at all.

#include "ProxyTestSupport.h"
#include "TestSupport.h"
#include "ipc/Errors.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using namespace proxy_testing;

const std::string serverKey = "Software\\Vantorelle\\Solvanta Q9";

class PlugInElsewhere : public ReferenceServerTest {
protected:
    void SetUp() override {
        root_ = fs::path(temporaryPath("solvanta-plugin"));
        fs::create_directories(root_ / "plugin");
        setServerEnvironment({{"SOLVANTA_REGISTRY_ROOT", (root_ / "registry").string()}});
        platform::deleteMachineKey(serverKey);
        peer_ = root_ / "plugin" / ("proxy_peer" + std::string(platform::kExecutableSuffix));
        fs::copy_file(testing_support::helperPath("proxy_peer"), peer_);
    }

    void TearDown() override {
        platform::deleteMachineKey(serverKey);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Runs the copied plug-in process to its end; what it reported.
    std::string connectFromCopy(std::uint32_t* plugInId = nullptr) {
        const fs::path result = root_ / "result.txt";
        const platform::LaunchResult run =
            platform::launch(peer_.string(), "connect \"" + result.string() + "\"");
        if (!run.process) {
            ADD_FAILURE() << "cannot start the copied plug-in, error " << run.error;
            return {};
        }
        if (plugInId != nullptr) {
            *plugInId = run.process->id();
        }
        EXPECT_EQ(testing_support::finishHelper(*run.process, 120000), 0U);
        std::ifstream file(result, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path shortcut() const { return root_ / "plugin" / "Vantorelle Solvanta Q9.lnk"; }

    fs::path root_;
    fs::path peer_;
};

TEST_F(PlugInElsewhere, StartsTheServerNamedByTheRegistryValue) {
    ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath",
                                            testing_support::helperPath("solvanta-server")));
    std::uint32_t plugIn = 0;
    const std::string result = connectFromCopy(&plugIn);
    EXPECT_EQ(result.rfind("connected ", 0), 0U) << result;
    EXPECT_NE(result.find("\nended 0\n"), std::string::npos) << result;
    EXPECT_TRUE(log().contains(" client=" + std::to_string(plugIn) + " server="));
    EXPECT_TRUE(log().contains("end-connection"));
}

TEST_F(PlugInElsewhere, PrefersTheShortcutBesideItToTheRegistryValue) {
    ASSERT_TRUE(platform::createShortcut(shortcut().string(),
                                         testing_support::helperPath("solvanta-server")));
    ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", "C:\\App\\Server.exe"));
    const std::string result = connectFromCopy();
    EXPECT_EQ(result.rfind("connected ", 0), 0U) << result;
    EXPECT_NE(result.find("\nended 0\n"), std::string::npos) << result;
}

TEST_F(PlugInElsewhere, AServerThatCannotBeFoundNeverStarts) {
    struct Case {
        const char* what;
        std::string path; // empty: no registry value at all
    };
    const std::string missing = (root_ / "nowhere" / "server-missing").string();
    for (const Case& c : {Case{"neither shortcut nor registry value", ""},
                          Case{"a registry value naming no file", missing}}) {
        SCOPED_TRACE(c.what);
        if (!c.path.empty()) {
            ASSERT_TRUE(platform::writeMachineValue(serverKey, "ServerPath", c.path));
        }
        std::uint32_t plugIn = 0;
        const std::string result = connectFromCopy(&plugIn);
        // The launch's own text: the arguments, the path and the error code.
        const std::string arguments = "failure -server:";
        ASSERT_EQ(result.rfind(arguments, 0), 0U) << result;
        const std::string clientPart = " -clientpid:" + std::to_string(plugIn) +
                                       ipc::errors::unableToLaunch + c.path +
                                       ipc::errors::launchErrorCode;
        const std::size_t at = result.find(clientPart);
        ASSERT_NE(at, std::string::npos) << result;
        const std::string code = result.substr(at + clientPart.size());
        ASSERT_FALSE(code.empty()) << result;
        EXPECT_NE(std::stoul(code), 0U);
        EXPECT_TRUE(log().lines().empty()) << "no server ever ran";
    }
}

} // namespace
