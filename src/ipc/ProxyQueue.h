#pragma once

#include "ipc/Modes.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace ipc {

class MessageQueue;

// One queue of a channel: ten cells of 768 bytes.
class ProxyQueue {
public:
    static constexpr int capacity = 10;
    static constexpr int cellSize = 768;

    ProxyQueue(CreateMode, const std::string& name);
    ProxyQueue(OpenMode, const std::string& name);

    MessageQueue& queue() const { return *queue_; }

private:
    boost::shared_ptr<MessageQueue> queue_;
};

} // namespace ipc
