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

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

// The test's control block, named by a command's first argument.
class Control {
public:
    explicit Control(const std::string& name) : buffer_(ipc::open, name) {}
    PeerControl& block() { return control(buffer_); }

private:
    ipc::IPCMemoryBuffer buffer_;
};

// Locks the mutex and, still holding it, ends ("exit") or waits to be killed.
int holdMutex(const std::vector<std::string>& args) {
    Control shared(args[0]);
    PeerControl& block = shared.block();
    ipc::NamedMutex mutex(ipc::open, args[1]);
    mutex.lock();
    block.stage = 1;
    while (args[2] != "exit") {
        sleepMs(1000);
    }
    return 0;
}

// Creates a queue, sends into it before anyone opened it, and keeps it alive
// until the test has read the message (stage 2).
int createQueueAndSend(const std::vector<std::string>& args) {
    Control shared(args[0]);
    PeerControl& block = shared.block();
    ipc::MessageQueue queue(ipc::create, args[1], 10, 768);
    const char message[] = "sent before the peer opened the queue";
    block.value = queue.timed_send(message, sizeof message, 0, 10000) ? 1 : 0;
    block.stage = 1;
    awaitStage(block, 2);
    return 0;
}

int reportServerPath(const std::vector<std::string>& args) {
    Control shared(args[0]);
    PeerControl& block = shared.block();
    setText(block, ipc::getServerPath());
    block.stage = 1;
    return 0;
}

int launchServer(const std::vector<std::string>& args) {
    Control shared(args[0]);
    PeerControl& block = shared.block();
    try {
        const ipc::LaunchedServer server = ipc::launchServer(args[1]);
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

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]).rfind("-server:", 0) == 0) {
        try {
            return recordServerArguments(std::vector<std::string>(argv + 1, argv + argc));
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "ipc_peer as a server: %s\n", failure.what());
            return 3;
        }
    }
    return runHelperCommand(argc, argv,
                            {
                                {"mutex-hold", 3, holdMutex},
                                {"queue-create-send", 2, createQueueAndSend},
                                {"server-path", 1, reportServerPath},
                                {"launch-server", 2, launchServer},
                            },
                            2);
}
