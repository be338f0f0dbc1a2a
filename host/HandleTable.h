#pragma once

#include "host/HostObjects.h"
#include "hostapi/FilterInterface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace host {

// The memory behind one handle.
struct HandleBlock {
    // First member: a Handle is the address of this master pointer.
    char* master = nullptr;
    std::int32_t size = 0;
    int locks = 0;

    // New size, the bytes that fit kept and the rest zeroed.
    void resize(std::int32_t newSize);
    std::vector<std::uint8_t> bytes() const;
};

// The handles the host made, by its own services or for the plug-in
// (parameters, profile, descriptors); every one lives until disposed of or
// until the host goes.
class HandleTable {
public:
    explicit HandleTable(FaultReport fault) : fault_(std::move(fault)) {}
    ~HandleTable();
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    // A handle of `size` bytes, a copy of `bytes` when given, else zeroed.
    hostapi::Handle make(const std::uint8_t* bytes, std::size_t size);
    hostapi::Handle make(const std::vector<std::uint8_t>& bytes) {
        return make(bytes.data(), bytes.size());
    }
    // Null, with a fault that names `use`, for a handle the host did not make.
    HandleBlock* find(hostapi::Handle handle, const char* use) const;
    void dispose(hostapi::Handle handle, const char* use);
    // Disposes of a handle the host handed over unless the plug-in already
    // has: which one it keeps is up to the plug-in.
    void disposeIfLive(hostapi::Handle handle, const char* use);
    // The bytes of a live handle; none for a handle the host does not know.
    std::optional<std::vector<std::uint8_t>> bytes(hostapi::Handle handle) const;
    int count() const { return static_cast<int>(blocks_.size()); }

private:
    FaultReport fault_;
    std::unordered_map<hostapi::Handle, std::unique_ptr<HandleBlock>> blocks_;
};

} // namespace host
