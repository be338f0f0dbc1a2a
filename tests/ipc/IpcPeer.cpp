// The other process of the transport tests. Its first argument names what it
// does; most commands report through a control block that the test created.
// Started as a server (" -server:<tag> -clientpid:<pid>") it records its
// command line in the region "args<tag>", counts itself there and ends.
#include "PeerControl.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/NamedMutex.h"
#include "ipc/ServerLaunch.h"
#include "platform/Process.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<ipc::IPCMemoryBuffer> openControl(const std::string& name) {
    auto buffer = std::make_unique<ipc::IPCMemoryBuffer>(false);
    buffer->setName(name);
    buffer->map();
    return buffer;
}

int recordServerArguments(const std::vector<std::string>& args) {
    std::string tag;
    std::string line;
    for (const std::string& arg : args) {
        line += " " + arg;
        if (arg.rfind("-server:", 0) == 0) {
            tag = arg.substr(8);
        }
    }
    ipc::IPCMemoryBuffer record(false);
    record.setName("args" + tag);
    record.map();
    PeerControl& block = control(record);
    setText(block, line);
    block.value = static_cast<std::int32_t>(platform::currentProcessId());
    ++block.stage; // a second start shows as 2
    return 0;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) {
        return 2;
    }
    if (args[0].rfind("-server:", 0) == 0) {
        return recordServerArguments(args);
    }
    const std::string& command = args[0];
    const auto controlBuffer = openControl(args.at(1));
    PeerControl& block = control(*controlBuffer);

    if (command == "mutex-hold") {
        // Locks the mutex and, still holding it, ends ("exit") or waits to
        // be killed.
        ipc::NamedMutex mutex(ipc::open, args.at(2));
        mutex.lock();
        block.stage = 1;
        if (args.at(3) == "exit") {
            return 0;
        }
        for (;;) {
            sleepMs(1000);
        }
    }
    if (command == "queue-create-send") {
        // Creates a queue, sends into it before anyone opened it, and keeps
        // it alive until the test has read the message (stage 2).
        ipc::MessageQueue queue(ipc::create, args.at(2), 10, 768);
        const char message[] = "sent before the peer opened the queue";
        block.value = queue.timed_send(message, sizeof message, 0, 10000) ? 1 : 0;
        block.stage = 1;
        awaitStage(block, 2);
        return 0;
    }
    if (command == "server-path") {
        setText(block, ipc::getServerPath());
        block.stage = 1;
        return 0;
    }
    if (command == "launch-server") {
        try {
            const ipc::LaunchedServer server = ipc::launchServer(args.at(2));
            block.value = static_cast<std::int32_t>(server.processId);
            setText(block, "launched");
            server.process->waitForExit(20000);
        } catch (const std::exception& failure) {
            block.value = 0;
            setText(block, failure.what());
        }
        block.stage = 1;
        return 0;
    }
    std::fprintf(stderr, "ipc_peer: unknown command %s\n", command.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ipc_peer: %s\n", failure.what());
        return 3;
    }
}
