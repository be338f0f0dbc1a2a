// The other process of the transport tests. Its first argument names what it
// does; most commands report through a control block that the test created.
// Started as a server (" -server:<tag> -clientpid:<pid>") it records its
// command line in the region "args<tag>", counts itself there and ends.
#include "PeerControl.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/NamedCondition.h"
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

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<ipc::IPCMemoryBuffer> openControl(const std::string& name) {
    auto buffer = std::make_unique<ipc::IPCMemoryBuffer>(ipc::open, name);
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
    ipc::IPCMemoryBuffer record(ipc::open, "args" + tag);
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

    if (command == "region-exchange") {
        // Reads the test's text from a region and answers into the same one.
        ipc::IPCMemoryBuffer region(ipc::open, args.at(2));
        setText(block, std::string(reinterpret_cast<const char*>(region.data()),
                                   static_cast<std::size_t>(region.size())));
        block.value = static_cast<std::int32_t>(region.size());
        std::memcpy(region.data(), "pong", 4);
        block.stage = 1;
        return 0;
    }
    if (command == "mutex-hold") {
        // Holds the mutex until the test asks for it (stage 2), or, with
        // "abandon", ends or waits to be killed while still holding it.
        ipc::NamedMutex mutex(ipc::open, args.at(2));
        mutex.lock();
        block.stage = 1;
        const std::string how = args.size() > 3 ? args[3] : "release";
        if (how == "exit") {
            return 0;
        }
        if (how == "wait-for-kill") {
            for (;;) {
                sleepMs(1000);
            }
        }
        awaitStage(block, 2);
        mutex.unlock();
        return 0;
    }
    if (command == "cond-notify") {
        // Wakes the test once it waits on the condition (stage 1).
        ipc::NamedCondition condition(ipc::open, args.at(2));
        awaitStage(block, 1);
        sleepMs(200);
        condition.notify_one();
        block.stage = 2;
        return 0;
    }
    if (command == "queue-send") {
        // Opens the test's queue and sends one 4-byte message after a pause,
        // so that it arrives while the test waits.
        ipc::MessageQueue queue(ipc::open, args.at(2));
        block.stage = 1;
        sleepMs(std::stoi(args.at(3)));
        const std::int32_t message = 4242;
        block.value = queue.timed_send(&message, sizeof message, 0, 10000) ? 1 : 0;
        block.stage = 2;
        return 0;
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
