// A plug-in process of its own for the tests. Started from a directory that
// a test chose, it looks for the server from there, as the plug-in looks
// beside its own file.
//
//   proxy_peer exit <code>            ends at once with that exit code
//   proxy_peer connect <result file>  connects, pings, ends the connection and
//                                     writes what happened into the file

#include "platform/Process.h"
#include "proxy/FilterGlobals.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Long enough for a server that starts slowly under Wine, short enough for
// a test that waits for a server that died.
constexpr unsigned pingSliceMs = 2000;
constexpr std::uint32_t serverExitWaitMs = 20000;

int connect(const std::string& resultPath) {
    std::ofstream result(resultPath, std::ios::binary);
    FilterGlobals globals;
    try {
        globals.connectAndLaunch(pingSliceMs);
        result << "connected " << globals.remoteProcessId << '\n';
        globals.ping(pingSliceMs);
        globals.endConnection();
        std::uint32_t code = 0;
        if (globals.remoteProcess->waitForExit(serverExitWaitMs) &&
            globals.remoteProcess->exitCode(code)) {
            result << "ended " << code << '\n';
        } else {
            result << "still running\n";
        }
    } catch (const std::exception& failure) {
        result << "failure" << failure.what();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "exit") {
        return std::stoi(args[1]);
    }
    if (args.size() == 2 && args[0] == "connect") {
        return connect(args[1]);
    }
    std::fprintf(stderr, "usage: proxy_peer exit <code> | connect <result file>\n");
    return 2;
}
