#pragma once

#include "ipc/Modes.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ipc {

class MessageQueue;
class ProxyQueue;

// A request queue and a response queue to one peer.
class ProxyChannel {
public:
    // The channel keyed by a process: the queues that requestQueueName and
    // responseQueueName compose from the connection name and the process id.
    // Builds the request queue, then the response queue, both created (or
    // opened where the names exist) or both opened.
    ProxyChannel(CreateMode, const std::string& connectionName, std::uint32_t processId);
    ProxyChannel(OpenMode, const std::string& connectionName, std::uint32_t processId);

    // Asker's side: a request out, its answer in.
    bool send(const void* data, std::size_t size, unsigned timeoutMs);
    bool receive(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                 unsigned timeoutMs);
    // Answerer's side: a request in; answers go out through responseQueue().
    bool receiveRequest(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                        unsigned timeoutMs);

    MessageQueue& requestQueue() const;
    MessageQueue& responseQueue() const;

    // Whether the channel was built in create mode, until cleared.
    bool createFlag() const { return create_; }
    void clearCreateFlag() { create_ = false; }
    const std::string& requestQueueName() const { return requestQueueName_; }
    const std::string& responseQueueName() const { return responseQueueName_; }

private:
    bool create_;
    std::string requestQueueName_;
    std::string responseQueueName_;
    boost::shared_ptr<ProxyQueue> requestQueue_;
    boost::shared_ptr<ProxyQueue> responseQueue_;
};

} // namespace ipc
