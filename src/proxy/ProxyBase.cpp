#include "proxy/ProxyBase.h"

#include "ipc/MessageQueue.h"
#include "ipc/Mutex.h"
#include "ipc/ProxyChannel.h"
#include "ipc/ServerLaunch.h"
#include "platform/Process.h"

#include <boost/function/function_base.hpp>

ProxyBase::ProxyBase() : sendLock(new ipc::Mutex()) {}

ProxyBase::~ProxyBase() = default;

void ProxyBase::launchServer() {
    ipc::LaunchedServer server = ipc::launchServer(connectionName);
    remoteProcess = std::move(server.process);
    remoteProcessId = server.processId;
}

void ProxyBase::sendRecordBytes(const void* data, std::size_t size) {
    if (broken) {
        throw std::runtime_error(proxy::errors::comsBrokenInSendMessage);
    }
    ipc::ScopedLock lock(*sendLock);
    if (!clientChannel) {
        throw std::runtime_error(proxy::errors::notConnected);
    }
    if (!ipc::sendWithin(clientChannel->requestQueue(), data, size, sendTimeoutMs)) {
        broken = true;
        throw std::runtime_error(proxy::errors::unableToSendMessage);
    }
}

void ProxyBase::postAndAwait(const void* data, std::size_t size, ReceiveBuffer& answer,
                             unsigned sliceMs) {
    if (!clientChannel) {
        throw std::runtime_error(proxy::errors::notConnected);
    }
    if (!ipc::sendWithin(clientChannel->requestQueue(), data, size, sendTimeoutMs)) {
        broken = true;
        throw std::runtime_error(proxy::errors::unableToPostMessage);
    }
    // No limit on the slices: a live server that is slow to answer is waited
    // for; only its death ends the wait.
    for (;;) {
        std::size_t received = 0;
        if (clientChannel->receive(answer.bytes, sizeof answer.bytes, received, sliceMs)) {
            return;
        }
        if (!isRemoteAlive()) {
            broken = true;
            throw std::runtime_error(proxy::errors::remoteNotRunning);
        }
    }
}

void ProxyBase::handleRequest(msgBase* msg) {
    const auto found = handlers.find(msg->selector);
    if (found == handlers.end()) {
        throw std::runtime_error(proxy::errors::unknownSelector);
    }
    // A copy: the handler may register another one for its own selector.
    const Handler handler = found->second;
    if (handler.empty()) {
        throw boost::bad_function_call();
    }
    handler(msg);
}

void ProxyBase::registerHandler(std::int32_t selector, const Handler& handler) {
    handlers[selector] = handler;
}

void ProxyBase::sendResponseBytes(const void* data, std::size_t size) {
    if (!serverChannel) {
        throw std::runtime_error(proxy::errors::notConnected);
    }
    if (!ipc::sendWithin(serverChannel->responseQueue(), data, size, sendTimeoutMs)) {
        throw std::runtime_error(proxy::errors::unableToSendResponse);
    }
}

bool ProxyBase::isRemoteAlive() {
    if (!remoteProcess) {
        std::shared_ptr<platform::Process> opened = platform::openProcess(remoteProcessId);
        if (!opened) {
            // Without a process id no server is known, so none can be found
            // dead; an id that no longer opens names a server that is gone.
            return remoteProcessId == 0;
        }
        remoteProcess = std::move(opened);
    }
    std::uint32_t code = 0;
    if (!remoteProcess->exitCode(code)) {
        return true;
    }
    return code == platform::kStillActive;
}
