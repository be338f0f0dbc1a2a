#include "host/HandleTable.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace host {

using hostapi::Handle;

void HandleBlock::resize(std::int32_t newSize) {
    char* bigger = new char[static_cast<std::size_t>(std::max(newSize, 1))]();
    std::memcpy(bigger, master, static_cast<std::size_t>(std::min(size, newSize)));
    delete[] master;
    master = bigger;
    size = newSize;
}

std::vector<std::uint8_t> HandleBlock::bytes() const {
    const auto* first = reinterpret_cast<const std::uint8_t*>(master);
    std::vector<std::uint8_t> copy(first, first + size);
    return copy;
}

HandleTable::~HandleTable() {
    for (auto& entry : blocks_) {
        delete[] entry.second->master;
    }
}

Handle HandleTable::make(const std::uint8_t* bytes, std::size_t size) {
    auto block = std::make_unique<HandleBlock>();
    block->master = new char[std::max<std::size_t>(size, 1)]();
    block->size = static_cast<std::int32_t>(size);
    if (bytes != nullptr && size > 0) {
        std::memcpy(block->master, bytes, size);
    }
    Handle handle = &block->master;
    blocks_[handle] = std::move(block);
    return handle;
}

HandleBlock* HandleTable::find(Handle handle, const char* use) const {
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        fault_(std::string(use) + ": not a handle of this host");
        return nullptr;
    }
    return it->second.get();
}

void HandleTable::dispose(Handle handle, const char* use) {
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        fault_(std::string(use) + ": disposed a handle that is not one of this host's");
        return;
    }
    delete[] it->second->master;
    blocks_.erase(it);
}

void HandleTable::disposeIfLive(Handle handle, const char* use) {
    if (handle != nullptr && blocks_.count(handle) != 0) {
        dispose(handle, use);
    }
}

std::optional<std::vector<std::uint8_t>> HandleTable::bytes(Handle handle) const {
    auto it = blocks_.find(handle);
    if (handle == nullptr || it == blocks_.end()) {
        return std::nullopt;
    }
    return it->second->bytes();
}

} // namespace host
