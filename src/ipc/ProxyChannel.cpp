#include "ipc/ProxyChannel.h"

#include "ipc/MessageQueue.h"
#include "ipc/ProxyQueue.h"
#include "ipc/QueueNames.h"

namespace ipc {

ProxyChannel::ProxyChannel(CreateMode, const std::string& connectionName, std::uint32_t processId)
    : create_(true), requestQueueName_(ipc::requestQueueName(connectionName, processId)),
      responseQueueName_(ipc::responseQueueName(connectionName, processId)),
      requestQueue_(new ProxyQueue(create, requestQueueName_)),
      responseQueue_(new ProxyQueue(create, responseQueueName_)) {}

ProxyChannel::ProxyChannel(OpenMode, const std::string& connectionName, std::uint32_t processId)
    : create_(false), requestQueueName_(ipc::requestQueueName(connectionName, processId)),
      responseQueueName_(ipc::responseQueueName(connectionName, processId)),
      requestQueue_(new ProxyQueue(open, requestQueueName_)),
      responseQueue_(new ProxyQueue(open, responseQueueName_)) {}

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
