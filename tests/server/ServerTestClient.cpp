// A stand-in plug-in in a process of its own: it starts the reference server,
// pings it and ends without sending 25, so that a test can see the server
// notice that its plug-in's process is gone. Its argument says how it leaves
// the server: "plain" (just goes), "keep" (sends 27 first) or "silent" (the
// server has stopped answering by then).
#include "TestSupport.h"
#include "ipc/ProxyChannel.h"
#include "ipc/ServerLaunch.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "proxy/Messages.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int run(const std::string& mode) {
    const std::uint32_t self = platform::currentProcessId();
    ipc::ProxyChannel channel(ipc::create, "77", self);
    if (mode == "silent") {
        platform::setEnvironmentVariable("SOLVANTA_SERVER_SILENT", "request:14");
    }
    const platform::LaunchResult server = platform::launch(
        testing_support::helperPath("solvanta-server"), ipc::launchArguments("77", self));
    if (!server.process) {
        std::fprintf(stderr, "server_test_client: cannot start the server\n");
        return 1;
    }
    const msgBase ping{msg::ping};
    msg::Cell cell{};
    std::size_t size = 0;
    if (!channel.send(&ping, sizeof ping, 10000) ||
        !channel.receive(cell.bytes, sizeof cell.bytes, size, 20000)) {
        std::fprintf(stderr, "server_test_client: no answer to the ping\n");
        return 1;
    }
    if (mode == "keep") {
        const msgKeepServer keep{{msg::keepServer}, 600};
        channel.send(&keep, sizeof keep, 10000);
    } else if (mode == "silent") {
        const msgBase sizeRequest{msg::getParametersSize};
        channel.send(&sizeRequest, sizeof sizeRequest, 10000);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc > 1 ? argv[1] : "plain");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "server_test_client: %s\n", failure.what());
        return 2;
    }
}
