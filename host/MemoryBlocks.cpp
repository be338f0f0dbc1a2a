#include "host/MemoryBlocks.h"

#include <algorithm>
#include <cstdlib>

namespace host {

MemoryBlocks::~MemoryBlocks() {
    for (void* block : blocks_) {
        std::free(block);
    }
}

void* MemoryBlocks::allocate(std::size_t size) {
    void* block = std::malloc(std::max<std::size_t>(size, 1));
    if (block != nullptr) {
        blocks_.insert(block);
    }
    return block;
}

bool MemoryBlocks::free(void* block) {
    if (blocks_.erase(block) == 0) {
        fault_("freed a block the host does not know");
        return false;
    }
    std::free(block);
    return true;
}

void* MemoryBlocks::reallocate(void* block, std::size_t newSize) {
    void* moved = std::realloc(block, std::max<std::size_t>(newSize, 1));
    if (moved != nullptr) {
        blocks_.erase(block);
        blocks_.insert(moved);
    }
    return moved;
}

} // namespace host
