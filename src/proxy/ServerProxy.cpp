#include "proxy/ServerProxy.h"

#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Foreground.h"
#include "platform/Process.h"
#include "proxy/ProcessGlobals.h"

#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>

namespace {

// Seconds of silence from the server after which the request loop looks at
// its process.
constexpr std::time_t silenceBeforeLivenessCheck = 2;
// What msgKeepServer and msgAbort carry; the server gives them their meaning.
constexpr std::int32_t keepServerValue = 600;
constexpr std::int32_t abortCode = 1000;

bool hostReportsAbort() {
    return gFilterRecord != nullptr && gFilterRecord->abortProc != nullptr &&
           gFilterRecord->abortProc() != 0;
}

} // namespace

ServerProxy::ServerProxy() {
    // The queue names of the connection are built from this text. Seeded from
    // the tick count, two proxies made within one tick share it. glibc's
    // generator reaches beyond 32767, the Windows runtime's does not: the
    // remainder keeps both in the same range.
    std::srand(platform::tickCount());
    connectionName =
        std::to_string(std::rand() % // NOLINT(concurrency-mt-unsafe,cert-msc30-c,cert-msc50-cpp)
                       connectionNameRange);
}

ServerProxy::~ServerProxy() = default;

void ServerProxy::connectAndLaunch(unsigned pingSliceMs) {
    clientChannel.reset(
        new ipc::ProxyChannel(ipc::create, connectionName, platform::currentProcessId()));
    launchServer();
    // The server creates its own channel before it answers the first ping.
    ping(pingSliceMs);
    serverChannel.reset(new ipc::ProxyChannel(ipc::open, connectionName, remoteProcessId));
}

bool ServerProxy::attach(const std::string& name, std::uint32_t processId, unsigned pingSliceMs) {
    connectionName = name;
    remoteProcessId = processId;
    // Opened from the id when the liveness check first needs it.
    remoteProcess.reset();
    clientChannel.reset(
        new ipc::ProxyChannel(ipc::open, connectionName, platform::currentProcessId()));
    ping(pingSliceMs);
    serverChannel.reset(new ipc::ProxyChannel(ipc::open, connectionName, remoteProcessId));
    return true;
}

void ServerProxy::ping(unsigned sliceMs) {
    postMessage<msgPingResponse>(msgBase{msg::ping}, sliceMs);
}

void ServerProxy::endConnection() {
    sendMessage(msgBase{msg::endConnection});
}

void ServerProxy::keepServer() {
    if (clientChannel) {
        clientChannel->clearCreateFlag();
    }
    msgKeepServer keep{};
    keep.selector = msg::keepServer;
    keep.value = keepServerValue;
    sendMessage(keep);
}

void ServerProxy::bringServerToFront() {
    // The system may refuse when we are not in the foreground ourselves; the
    // server is asked all the same.
    platform::allowSetForegroundWindow(remoteProcessId);
    sendMessage(msgBase{msg::bringToFront});
}

void ServerProxy::sendAbort() {
    msgAbort abort{};
    abort.selector = msg::progress;
    abort.code = abortCode;
    sendMessage(abort);
}

bool ServerProxy::pollRequest() {
    if (!serverChannel) {
        throw std::runtime_error(proxy::errors::notConnected);
    }
    ReceiveBuffer buffer{};
    std::size_t received = 0;
    if (!serverChannel->receiveRequest(buffer.bytes, sizeof buffer.bytes, received,
                                       requestSliceMs)) {
        return false;
    }
    handleRequest(buffer.record());
    return true;
}

void ServerProxy::runRequestLoop() {
    if (!serverChannel) {
        throw std::runtime_error(proxy::errors::notConnected);
    }
    std::time_t lastActivity = std::time(nullptr);
    running = true;
    do {
        ReceiveBuffer buffer{};
        std::size_t received = 0;
        if (serverChannel->receiveRequest(buffer.bytes, sizeof buffer.bytes, received,
                                          requestSliceMs)) {
            handleRequest(buffer.record());
            lastActivity = std::time(nullptr);
        } else {
            const std::time_t now = std::time(nullptr);
            if (now > lastActivity + silenceBeforeLivenessCheck) {
                lastActivity = now;
                if (!isRemoteAlive()) {
                    throw std::runtime_error(proxy::errors::remoteNotRunning);
                }
            }
        }
        if (hostReportsAbort()) {
            sendAbort();
        }
    } while (running);
}

void ServerProxy::reservedSlot4() {}

void ServerProxy::reservedSlot5() {}

void ServerProxy::reservedSlot6() {}
