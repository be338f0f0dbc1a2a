#pragma once

#include <boost/shared_ptr.hpp>

#include <string>

namespace ipc {

class MessageQueue;

// One queue of a channel: ten cells of 768 bytes.
class ProxyQueue {
public:
    static constexpr int capacity = 10;
    static constexpr int cellSize = 768;

    ProxyQueue(const std::string& name, bool createQueue);

    MessageQueue& queue() const { return *queue_; }

private:
    boost::shared_ptr<MessageQueue> queue_;
};

} // namespace ipc
