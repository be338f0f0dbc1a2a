#include "ipc/MessageQueue.h"

#include "ipc/Errors.h"
#include "ipc/IMutex.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/InterProcessException.h"
#include "ipc/NamedCondition.h"
#include "ipc/NamedMutex.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cstring>

namespace ipc {

namespace {

enum HeaderField { capacityField = 0, cellSizeField = 1, readIndexField = 2 };

const char* const mutexSuffix = "_mutex";
const char* const sentSuffix = "_sentCond";
const char* const receivedSuffix = "_receivedCond";

std::int64_t payloadSize(std::int64_t capacity, std::int64_t cellSize) {
    return (cellSize + 4) * capacity + std::int64_t{MessageQueue::headerBytes};
}

} // namespace

MessageQueue::MessageQueue(CreateMode, const std::string& name, int maxMessages, int maxMessageSize)
    : name_(name) {
    mutex_ = boost::shared_ptr<NamedMutex>(new NamedMutex(create, name + mutexSuffix));
    sentCondition_ =
        boost::shared_ptr<NamedCondition>(new NamedCondition(create, name + sentSuffix));
    receivedCondition_ =
        boost::shared_ptr<NamedCondition>(new NamedCondition(create, name + receivedSuffix));

    ScopedLock lock(*mutex_);
    const std::int64_t size = payloadSize(maxMessages, maxMessageSize);
    if (maxMessages < 1 || maxMessageSize < 1 || size > 0x7FFFFFFF) {
        throw InterProcessException(errors::malformedQueue);
    }
    region_ = boost::shared_ptr<IPCMemoryBuffer>(new IPCMemoryBuffer(
        create, name, std::string(), static_cast<int>(size), UniqueSuffix::none));
    attachLayout(maxMessages, maxMessageSize);
    header_[capacityField] = maxMessages;
    header_[cellSizeField] = maxMessageSize;
    header_[readIndexField] = 0;
    std::fill(cellFlags_, cellFlags_ + capacity_, 0);
}

MessageQueue::MessageQueue(OpenMode, const std::string& name) : name_(name) {
    mutex_ = boost::shared_ptr<NamedMutex>(new NamedMutex(open, name + mutexSuffix));
    sentCondition_ = boost::shared_ptr<NamedCondition>(new NamedCondition(open, name + sentSuffix));
    receivedCondition_ =
        boost::shared_ptr<NamedCondition>(new NamedCondition(open, name + receivedSuffix));

    ScopedLock lock(*mutex_);
    region_ = boost::shared_ptr<IPCMemoryBuffer>(new IPCMemoryBuffer(open, name));
    if (!region_->contains(0, headerBytes)) {
        throw InterProcessException(errors::malformedQueue);
    }
    std::int32_t stored[2];
    std::memcpy(stored, region_->data(), sizeof stored);
    attachLayout(stored[capacityField], stored[cellSizeField]);
}

MessageQueue::~MessageQueue() = default;

void MessageQueue::attachLayout(std::int32_t capacity, std::int32_t cellSize) {
    if (capacity < 1 || cellSize < 1 ||
        !region_->contains(0, static_cast<std::size_t>(payloadSize(capacity, cellSize)))) {
        throw InterProcessException(errors::malformedQueue);
    }
    capacity_ = static_cast<std::size_t>(capacity);
    cellSize_ = static_cast<std::size_t>(cellSize);
    header_ = reinterpret_cast<std::int32_t*>(region_->data());
    cellFlags_ = header_ + 3;
    cells_ = region_->data() + headerBytes + 4 * capacity_;
}

std::size_t MessageQueue::readIndex() const {
    // The index lives in shared memory: whatever the peer left there, only a
    // cell of this ring can come out of it.
    const std::int64_t stored = header_[readIndexField];
    const auto count = static_cast<std::int64_t>(capacity_);
    return static_cast<std::size_t>(((stored % count) + count) % count);
}

unsigned char* MessageQueue::cell(std::size_t index) const {
    return cells_ + index * cellSize_;
}

bool MessageQueue::findFreeCell(std::size_t& cell) const {
    const std::size_t start = readIndex();
    for (std::size_t i = 0; i < capacity_; ++i) {
        const std::size_t candidate = (start + i) % capacity_;
        if (cellFlags_[candidate] == 0) {
            cell = candidate;
            return true;
        }
    }
    return false;
}

bool MessageQueue::timed_send(const void* data, std::size_t size, unsigned /*priority*/,
                              unsigned timeoutMs) {
    if (size > cellSize_) {
        throw InterProcessException(errors::messageTooLarge);
    }
    bool wasEmpty = false;
    {
        ScopedLock lock(*mutex_);
        std::size_t free = 0;
        if (!findFreeCell(free)) {
            try {
                receivedCondition_->timed_wait(*mutex_, timeoutMs);
            } catch (...) {
                lock.release();
                throw;
            }
            if (!findFreeCell(free)) {
                return false;
            }
        }
        wasEmpty = cellFlags_[readIndex()] != 1;
        std::memcpy(cell(free), data, size);
        cellFlags_[free] = 1;
    }
    // Only a receiver that found the ring empty waits for a message, so a
    // send into a ring that held messages wakes nobody and is not signalled.
    // The signal comes once the mutex is free: a receiver woken while we
    // still held it would only go to sleep again on the mutex. It stays
    // pending until a wait takes it, so none is lost by the later moment.
    if (wasEmpty) {
        sentCondition_->notify_one();
    }
    return true;
}

bool MessageQueue::timed_receive(void* buffer, std::size_t bufferSize,
                                 std::size_t& /*receivedSize*/, unsigned& /*priority*/,
                                 unsigned timeoutMs) {
    bool wasFull = false;
    {
        ScopedLock lock(*mutex_);
        std::size_t index = readIndex();
        if (cellFlags_[index] != 1) {
            try {
                sentCondition_->timed_wait(*mutex_, timeoutMs);
            } catch (...) {
                lock.release();
                throw;
            }
            index = readIndex();
            if (cellFlags_[index] != 1) {
                return false;
            }
        }
        std::size_t free = 0;
        wasFull = !findFreeCell(free);
        // A cell smaller than the caller's buffer (a peer's own layout) fills
        // what it can; the rest of the buffer reads as zeros.
        const std::size_t copied = std::min(bufferSize, cellSize_);
        std::memcpy(buffer, cell(index), copied);
        std::memset(static_cast<unsigned char*>(buffer) + copied, 0, bufferSize - copied);
        cellFlags_[index] = 0;
        header_[readIndexField] = static_cast<std::int32_t>((index + 1) % capacity_);
    }
    // As in timed_send: only a sender that found the ring full waits for a
    // free cell.
    if (wasFull) {
        receivedCondition_->notify_one();
    }
    return true;
}

bool sendWithin(MessageQueue& queue, const void* data, std::size_t size, unsigned timeoutMs) {
    const std::uint32_t start = platform::tickCount();
    for (;;) {
        const std::uint32_t elapsed = platform::tickCount() - start;
        const unsigned left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        if (queue.timed_send(data, size, 0, left)) {
            return true;
        }
        if (left == 0) {
            return false;
        }
    }
}

} // namespace ipc
