#include "ipc/ProxyQueue.h"

#include "ipc/MessageQueue.h"

namespace ipc {

ProxyQueue::ProxyQueue(CreateMode, const std::string& name)
    : queue_(new MessageQueue(create, name, capacity, cellSize)) {}

ProxyQueue::ProxyQueue(OpenMode, const std::string& name) : queue_(new MessageQueue(open, name)) {}

} // namespace ipc
