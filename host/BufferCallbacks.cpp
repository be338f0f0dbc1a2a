// The buffer callbacks of the filter record; the table is also the buffer
// suite.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

#include <algorithm>
#include <climits>

namespace host {

using namespace hostapi;

namespace {

OSErr bufferAllocate64(int64 size, BufferID* id) {
    HostObjects<std::vector<char>>* buffers = activeBuffers();
    if (buffers == nullptr || id == nullptr || size < 0) {
        return paramErr;
    }
    *id = static_cast<BufferID>(
        buffers->add(std::vector<char>(static_cast<std::size_t>(std::max<int64>(size, 1)))));
    return noErr;
}

OSErr bufferAllocate(int32 size, BufferID* id) {
    return bufferAllocate64(size, id);
}

Ptr bufferLock(BufferID id, Boolean /*moveHigh*/) {
    HostObjects<std::vector<char>>* buffers = activeBuffers();
    std::vector<char>* buffer = buffers != nullptr ? buffers->find(id, "lock buffer") : nullptr;
    return buffer != nullptr ? buffer->data() : nullptr;
}

// Buffers never move, so there is nothing to unlock.
void bufferUnlock(BufferID /*id*/) {}

void bufferFree(BufferID id) {
    if (HostObjects<std::vector<char>>* buffers = activeBuffers(); buffers != nullptr) {
        buffers->erase(id, "free buffer");
    }
}

int64 bufferSpace64() {
    const HostOptions* options = activeOptions();
    return options != nullptr ? options->maxSpace : 0;
}

int32 bufferSpace() {
    return static_cast<int32>(std::min<int64>(bufferSpace64(), INT32_MAX));
}

// Every allocation is served when it is made; nothing to reserve ahead.
OSErr bufferReserve(int32 /*size*/) {
    return noErr;
}

} // namespace

BufferProcs hostBufferProcs() {
    return BufferProcs{BufferProcs::currentVersion,
                       BufferProcs::procCount,
                       bufferAllocate,
                       bufferLock,
                       bufferUnlock,
                       bufferFree,
                       bufferSpace,
                       bufferReserve,
                       bufferAllocate64,
                       bufferSpace64};
}

} // namespace host
