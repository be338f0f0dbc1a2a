// Two processes talking through the transport: this program creates a
// channel, starts a second copy of itself the way the plug-in starts its
// server (" -server:<tag> -clientpid:<pid>"), and exchanges a few requests and
// answers with it, printing what passed.
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "ipc/QueueNames.h"
#include "ipc/ServerLaunch.h"
#include "platform/Clock.h"
#include "platform/Module.h"
#include "platform/Process.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

using Cell = std::array<char, 768>;

struct Text {
    std::int32_t selector;
    char text[256];
};

Text makeText(std::int32_t selector, const std::string& text) {
    Text record{selector, {}};
    std::snprintf(record.text, sizeof record.text, "%s", text.c_str());
    return record;
}

int answer(const std::string& tag, std::uint32_t clientPid) {
    ipc::ProxyChannel channel(ipc::requestQueueName(tag, clientPid),
                              ipc::responseQueueName(tag, clientPid), false);
    Cell cell{};
    std::size_t size = 0;
    for (;;) {
        if (!channel.receiveRequest(cell.data(), cell.size(), size, 250)) {
            continue;
        }
        Text request{};
        std::memcpy(&request, cell.data(), sizeof request);
        if (request.selector == 25) {
            return 0;
        }
        const Text reply = makeText(request.selector + 1,
                                    std::string("echo of \"") + request.text + "\" from process " +
                                        std::to_string(platform::currentProcessId()));
        unsigned priority = 0;
        channel.responseQueue().timed_send(&reply, sizeof reply, priority, 10000);
    }
}

int ask() {
    const std::string tag = std::to_string(platform::tickCount() % 32768);
    const std::uint32_t self = platform::currentProcessId();
    ipc::ProxyChannel channel(ipc::requestQueueName(tag, self), ipc::responseQueueName(tag, self),
                              true);
    std::string path;
    if (!platform::moduleFileName(path, 4096)) {
        std::fprintf(stderr, "cannot find this program's own path\n");
        return 1;
    }
    const platform::LaunchResult peer = platform::launch(path, ipc::launchArguments(tag, self));
    if (!peer.process) {
        std::fprintf(stderr, "cannot start the peer (error %u)\n", peer.error);
        return 1;
    }
    std::printf("process %u started process %u; channel vtipcreq%s%u / vtipcrsp%s%u\n", self,
                peer.process->id(), tag.c_str(), self, tag.c_str(), self);

    const char* const lines[] = {"hello", "ten cells of 768 bytes", "in named shared memory",
                                 "goodbye"};
    std::int32_t selector = 100;
    for (const char* line : lines) {
        const Text request = makeText(selector, line);
        if (!channel.send(&request, sizeof request, 10000)) {
            std::fprintf(stderr, "the peer's queue stayed full\n");
            return 1;
        }
        std::printf("  -> [%d] %s\n", request.selector, request.text);
        Cell cell{};
        std::size_t size = 0;
        while (!channel.receive(cell.data(), cell.size(), size, 1000)) {
            std::uint32_t code = 0;
            if (peer.process->exitCode(code) && code != platform::kStillActive) {
                std::fprintf(stderr, "the peer ended with %u\n", code);
                return 1;
            }
        }
        Text reply{};
        std::memcpy(&reply, cell.data(), sizeof reply);
        std::printf("  <- [%d] %s\n", reply.selector, reply.text);
        selector += 2;
    }
    const std::int32_t end = 25;
    channel.send(&end, sizeof end, 10000);
    peer.process->waitForExit(10000);
    std::uint32_t code = 0;
    peer.process->exitCode(code);
    std::printf("peer ended with exit code %u\n", code);
    return code == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strncmp(argv[1], "-server:", 8) == 0 &&
            std::strncmp(argv[2], "-clientpid:", 11) == 0) {
            return answer(argv[1] + 8, static_cast<std::uint32_t>(std::stoul(argv[2] + 11)));
        }
        return ask();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "transport demo: %s\n", failure.what());
        return 1;
    }
}
