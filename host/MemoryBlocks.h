#pragma once

#include "host/HostObjects.h"

#include <cstddef>
#include <unordered_set>

namespace host {

// The blocks the basic suite allocates for the plug-in; what the plug-in
// does not free goes with the host.
class MemoryBlocks {
public:
    explicit MemoryBlocks(FaultReport fault) : fault_(std::move(fault)) {}
    ~MemoryBlocks();
    MemoryBlocks(const MemoryBlocks&) = delete;
    MemoryBlocks& operator=(const MemoryBlocks&) = delete;

    // Null when the memory is not there.
    void* allocate(std::size_t size);
    // False, with a fault, for a block the host does not know.
    bool free(void* block);
    bool knows(void* block) const { return blocks_.count(block) != 0; }
    // The block moved to `newSize` bytes; null (the block untouched) when
    // the memory is not there. `block` may be null, or one the host knows.
    void* reallocate(void* block, std::size_t newSize);
    int count() const { return static_cast<int>(blocks_.size()); }

private:
    FaultReport fault_;
    std::unordered_set<void*> blocks_;
};

} // namespace host
