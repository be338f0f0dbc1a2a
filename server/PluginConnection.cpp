#include "PluginConnection.h"

#include "SessionEnd.h"
#include "SessionLog.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Process.h"

#include <algorithm>
#include <string>
#include <utility>

namespace refserver {

namespace {

constexpr unsigned sendTimeoutMs = 10000;
constexpr std::uint32_t watchIntervalMs = 2000;

std::uint32_t elapsedSince(std::uint32_t tick) {
    return platform::tickCount() - tick;
}

} // namespace

PluginConnection::PluginConnection(ServerArguments arguments, SessionLog& log, RecordHandler serve)
    : arguments_(std::move(arguments)), log_(log), serve_(std::move(serve)),
      lastWatch_(platform::tickCount()), lastRecord_(lastWatch_) {}

PluginConnection::~PluginConnection() = default;

void PluginConnection::openClient() {
    client_ = platform::openProcess(arguments_.clientProcessId);
    if (!client_) {
        log_.write("the plug-in's process " + std::to_string(arguments_.clientProcessId) +
                   " cannot be opened");
        throw SessionEnd{exitClientGone};
    }
}

void PluginConnection::openChannels() {
    pluginChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, arguments_.connectionName,
                                                         arguments_.clientProcessId);
    ownChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::create, arguments_.connectionName,
                                                      platform::currentProcessId());
    log_.write("ready request=" + ownChannel_->requestQueueName() +
               " response=" + ownChannel_->responseQueueName());
}

bool PluginConnection::receiveFromPlugin(Cell& cell, unsigned timeoutMs) {
    std::size_t size = 0;
    if (!pluginChannel_->receiveRequest(cell.bytes, sizeof cell.bytes, size, timeoutMs)) {
        return false;
    }
    lastRecord_ = platform::tickCount();
    return true;
}

void PluginConnection::serveOne(unsigned timeoutMs) {
    Cell cell;
    if (receiveFromPlugin(cell, timeoutMs)) {
        serve_(cell);
    }
    watchClient();
}

void PluginConnection::serveFor(std::uint32_t milliseconds) {
    const std::uint32_t start = platform::tickCount();
    for (std::uint32_t elapsed = 0; elapsed < milliseconds; elapsed = elapsedSince(start)) {
        serveOne(std::min<std::uint32_t>(milliseconds - elapsed, sliceMs));
    }
}

void PluginConnection::servePending() {
    Cell cell;
    while (receiveFromPlugin(cell, 0)) {
        serve_(cell);
    }
}

void PluginConnection::awaitFromPlugin(std::int32_t selector, Cell& cell) {
    for (;;) {
        if (receiveFromPlugin(cell, sliceMs)) {
            if (cell.selector() == selector) {
                return;
            }
            serve_(cell);
        }
        watchClient();
    }
}

std::uint32_t PluginConnection::quietMs() const {
    return elapsedSince(lastRecord_);
}

bool PluginConnection::answer(std::int32_t requestSelector, const void* record, std::size_t size) {
    if (ipc::sendWithin(pluginChannel_->responseQueue(), record, size, sendTimeoutMs)) {
        return true;
    }
    log_.write("answer to " + std::to_string(requestSelector) + " not accepted: queue full");
    return false;
}

bool PluginConnection::requestBytes(std::int32_t selector, const void* record, std::size_t size) {
    if (!ownChannel_) {
        log_.write("request " + std::to_string(selector) + " before the channel exists");
        return false;
    }
    if (ipc::sendWithin(ownChannel_->requestQueue(), record, size, sendTimeoutMs)) {
        return true;
    }
    log_.write("request " + std::to_string(selector) + " not accepted: queue full");
    return false;
}

bool PluginConnection::awaitAnswer(std::int32_t expected, Cell& cell) {
    for (;;) {
        std::size_t size = 0;
        if (ownChannel_->receive(cell.bytes, sizeof cell.bytes, size, sliceMs)) {
            lastRecord_ = platform::tickCount();
            if (cell.selector() == expected) {
                return true;
            }
            log_.write("answer " + std::to_string(cell.selector()) + " where " +
                       std::to_string(expected) + " was expected");
            return false;
        }
        servePending();
        watchClient();
    }
}

void PluginConnection::watchClient() {
    if (elapsedSince(lastWatch_) < watchIntervalMs) {
        return;
    }
    lastWatch_ = platform::tickCount();
    std::uint32_t code = 0;
    if (client_ && client_->exitCode(code) && code != platform::kStillActive) {
        log_.write("the plug-in's process " + std::to_string(arguments_.clientProcessId) +
                   " is gone" + (kept_ ? " (kept)" : ""));
        throw SessionEnd{exitClientGone};
    }
}

} // namespace refserver
