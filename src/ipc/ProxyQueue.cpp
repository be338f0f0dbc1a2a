#include "ipc/ProxyQueue.h"

#include "ipc/MessageQueue.h"

namespace ipc {

ProxyQueue::ProxyQueue(const std::string& name, bool createQueue)
    : queue_(createQueue ? new MessageQueue(ipc::create, name, capacity, cellSize)
                         : new MessageQueue(ipc::open, name)) {}

} // namespace ipc
