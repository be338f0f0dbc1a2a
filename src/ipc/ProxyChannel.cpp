#include "ipc/ProxyChannel.h"

#include "ipc/MessageQueue.h"
#include "ipc/ProxyQueue.h"

namespace ipc {

ProxyChannel::ProxyChannel(const std::string& requestQueueName,
                           const std::string& responseQueueName, bool createQueues)
    : create_(createQueues), requestQueueName_(requestQueueName),
      responseQueueName_(responseQueueName),
      requestQueue_(new ProxyQueue(requestQueueName, createQueues)),
      responseQueue_(new ProxyQueue(responseQueueName, createQueues)) {}

bool ProxyChannel::send(const void* data, std::size_t size, unsigned timeoutMs) {
    return requestQueue().timed_send(data, size, 0, timeoutMs);
}

bool ProxyChannel::receive(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                           unsigned timeoutMs) {
    unsigned priority = 0;
    return responseQueue().timed_receive(buffer, bufferSize, receivedSize, priority, timeoutMs);
}

bool ProxyChannel::receiveRequest(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                                  unsigned timeoutMs) {
    unsigned priority = 0;
    return requestQueue().timed_receive(buffer, bufferSize, receivedSize, priority, timeoutMs);
}

MessageQueue& ProxyChannel::requestQueue() const {
    return requestQueue_->queue();
}

MessageQueue& ProxyChannel::responseQueue() const {
    return responseQueue_->queue();
}

} // namespace ipc
