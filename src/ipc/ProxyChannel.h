#pragma once

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <string>

namespace ipc {

class MessageQueue;
class ProxyQueue;

// A request queue and a response queue to one peer.
class ProxyChannel {
public:
    // Builds the request queue, then the response queue, both created or
    // both opened.
    ProxyChannel(const std::string& requestQueueName, const std::string& responseQueueName,
                 bool createQueues);

    // Asker's side: a request out, its answer in.
    bool send(const void* data, std::size_t size, unsigned timeoutMs);
    bool receive(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                 unsigned timeoutMs);
    // Answerer's side: a request in; answers go out through responseQueue().
    bool receiveRequest(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                        unsigned timeoutMs);

    MessageQueue& requestQueue() const;
    MessageQueue& responseQueue() const;

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
