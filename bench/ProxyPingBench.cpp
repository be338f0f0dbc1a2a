// The plug-in's ping (selector 0, answered by 1) to the reference server as a
// second process, through the whole engine: send lock, send on the plug-in
// channel, wait for the answer, build and check the answer record. Beside it,
// the same round trip of four bytes through a pair of pipes between two
// processes, the cheapest way two processes answer each other.
#include "RoundTrip.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "proxy/FilterGlobals.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using bench::measure;
using bench::print;
using bench::Stats;
constexpr int warmup = bench::warmupRounds;
constexpr int rounds = bench::measuredRounds;

bool transfer(int from, int to, unsigned char* word) {
    return read(from, word, 4) == 4 && write(to, word, 4) == 4;
}

// The server is looked for beside this program (a shortcut) or through the
// registry stand-in, which is pointed at the server built beside it.
std::filesystem::path useServerBesideUs(const char* self) {
    const std::filesystem::path bin = std::filesystem::absolute(self).parent_path();
    const std::filesystem::path registry =
        std::filesystem::temp_directory_path() / ("solvanta-bench-" + std::to_string(getpid()));
    platform::setEnvironmentVariable("SOLVANTA_REGISTRY_ROOT", registry.string());
    platform::writeMachineValue("Software\\Vantorelle\\Solvanta Q9", "ServerPath",
                                (bin / "solvanta-server").string());
    return registry;
}

} // namespace

int main(int /*argc*/, char** argv) {
    const std::filesystem::path registry = useServerBesideUs(argv[0]);
    Stats ping{};
    try {
        FilterGlobals globals;
        globals.connectAndLaunch();
        ping = measure(static_cast<pid_t>(globals.remoteProcessId), [&] { globals.ping(); });
        globals.endConnection();
        globals.remoteProcess->waitForExit(10000);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_proxy_ping: %s\n", failure.what());
        std::filesystem::remove_all(registry);
        return 1;
    }
    std::filesystem::remove_all(registry);

    int toPeer[2];
    int fromPeer[2];
    if (pipe(toPeer) != 0 || pipe(fromPeer) != 0) {
        std::perror("pipe");
        return 1;
    }
    const pid_t peer = fork();
    if (peer == 0) {
        unsigned char word[4];
        for (int i = 0; i < warmup + rounds; ++i) {
            if (!transfer(toPeer[0], fromPeer[1], word)) {
                _exit(1);
            }
        }
        _exit(0);
    }
    unsigned char word[4] = {0, 0, 0, 0};
    const Stats pipes = measure(peer, [&] {
        if (write(toPeer[1], word, 4) != 4 || read(fromPeer[0], word, 4) != 4) {
            std::abort();
        }
    });
    int status = 0;
    waitpid(peer, &status, 0);

    std::printf(
        "Ping round trip between the plug-in and a second process (%d rounds), microseconds:\n",
        rounds);
    bench::printHeading();
    print("ping to the reference server", ping);
    print("pipe pair, 4 bytes (baseline)", pipes);
    bench::printRatio("ping / pipes:", ping, pipes);
    return status == 0 ? 0 : 1;
}
