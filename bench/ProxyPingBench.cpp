// The plug-in's ping (selector 0, answered by 1) to the reference server as a
// second process, through the whole engine: send lock, send on the plug-in
// channel, wait for the answer, build and check the answer record. Beside it,
// the same round trip of four bytes through a pair of pipes between two
// processes, the cheapest way two processes answer each other.
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

constexpr int warmup = 2000;
constexpr int rounds = 20000;
using Clock = std::chrono::steady_clock;

struct Stats {
    double median, p10, p90;
};

template <typename RoundTrip> Stats measure(RoundTrip roundTrip) {
    for (int i = 0; i < warmup; ++i) {
        roundTrip();
    }
    std::vector<double> samples;
    samples.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        roundTrip();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    return {at(0.5), at(0.1), at(0.9)};
}

void print(const char* what, const Stats& s) {
    std::printf("  %-34s median %7.2f us   p10 %7.2f   p90 %7.2f\n", what, s.median, s.p10, s.p90);
}

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
        ping = measure([&] { globals.ping(); });
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
    const Stats pipes = measure([&] {
        if (write(toPeer[1], word, 4) != 4 || read(fromPeer[0], word, 4) != 4) {
            std::abort();
        }
    });
    int status = 0;
    waitpid(peer, &status, 0);

    std::printf("Ping round trip between the plug-in and a second process (%d rounds):\n", rounds);
    print("ping to the reference server", ping);
    print("pipe pair, 4 bytes (baseline)", pipes);
    std::printf("  ratio ping / pipes: %.2f\n", ping.median / pipes.median);
    return status == 0 ? 0 : 1;
}
