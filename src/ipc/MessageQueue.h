#pragma once

#include "ipc/Modes.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ipc {

class IPCMemoryBuffer;
class NamedCondition;
class NamedMutex;

// A ring of fixed cells in one named region, guarded by the named mutex
// Q + "_mutex"; Q + "_sentCond" is signalled after a message went in,
// Q + "_receivedCond" after one came out.
//
// Payload of the region: capacity, cell size, read index, one flag per cell
// (1 = holds a message), then the cells. The full cells are always the run
// that starts at the read index.
//
// A peer waits on "_sentCond" only after it found the ring empty, and on
// "_receivedCond" only after it found it full, so those are the only
// changes that are signalled: a send into an empty ring, a receive from a
// full one. A peer that signals more often only leaves a pending signal,
// which a wait takes and then finds nothing changed.
class MessageQueue {
public:
    static constexpr std::size_t headerBytes = 12;

    MessageQueue(CreateMode, const std::string& name, int maxMessages, int maxMessageSize);
    // Capacity and cell size come from the region.
    MessageQueue(OpenMode, const std::string& name);
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue();

    // Puts `size` bytes into the first free cell, waiting once, at most
    // timeoutMs, for one to come free. False when the queue stayed full.
    // The priority is accepted and not used.
    bool timed_send(const void* data, std::size_t size, unsigned priority, unsigned timeoutMs);
    // Takes the oldest message, copying `bufferSize` bytes of its cell,
    // waiting once, at most timeoutMs, for one to arrive. False when the queue
    // stayed empty. `receivedSize` and `priority` are not written: the
    // receiver tells records apart by their selector.
    bool timed_receive(void* buffer, std::size_t bufferSize, std::size_t& receivedSize,
                       unsigned& priority, unsigned timeoutMs);

    const std::string& name() const { return name_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t cellSize() const { return cellSize_; }

private:
    void attachLayout(std::int32_t capacity, std::int32_t cellSize);
    std::size_t readIndex() const;
    bool findFreeCell(std::size_t& cell) const;
    unsigned char* cell(std::size_t index) const;

    std::int32_t* header_ = nullptr;
    std::int32_t* cellFlags_ = nullptr;
    unsigned char* cells_ = nullptr;
    boost::shared_ptr<IPCMemoryBuffer> region_;
    boost::shared_ptr<NamedMutex> mutex_;
    boost::shared_ptr<NamedCondition> sentCondition_;
    boost::shared_ptr<NamedCondition> receivedCondition_;
    std::string name_;
    // The layout as validated when the queue was built; a peer rewriting the
    // header afterwards cannot move any access outside the region.
    std::size_t capacity_ = 0;
    std::size_t cellSize_ = 0;
};

// timed_send until `timeoutMs` has passed in all: a signal left over from an
// earlier receive can end a single wait at once while the queue is still full.
bool sendWithin(MessageQueue& queue, const void* data, std::size_t size, unsigned timeoutMs);

} // namespace ipc
