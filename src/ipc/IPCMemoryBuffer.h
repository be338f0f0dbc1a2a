#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class SharedRegion;
}

namespace ipc {

// A named shared region that starts with an 8-byte header holding the
// payload size. One process creates it and writes the payload, tells the
// peer its name in a message, and the peer opens it by that name.
//
// The header is only what a peer claims: capacity() is what is really
// mapped, and every copy in or out of the payload must stay within it.
class IPCMemoryBuffer {
public:
    static constexpr std::size_t headerSize = 8;

    // An empty buffer in open mode; name it with setName() and map it.
    explicit IPCMemoryBuffer(bool uniqueSuffix);
    // Create mode: composes the name from prefix, suffix and, with
    // uniqueSuffix, the counter, then maps the region at once.
    IPCMemoryBuffer(std::string prefix, std::string suffix, int size, bool uniqueSuffix);
    IPCMemoryBuffer(const IPCMemoryBuffer&) = delete;
    IPCMemoryBuffer& operator=(const IPCMemoryBuffer&) = delete;
    ~IPCMemoryBuffer();

    // Names the region that the next map() opens.
    void setName(const std::string& name) { name_ = name; }
    // The mapping step: releases what is mapped, then creates (create mode)
    // or opens (open mode) the region.
    void map();
    void release();

    // Payload address, or null when nothing is mapped.
    unsigned char* data() const;
    // Payload size from the header (written by us in create mode, read from
    // the region in open mode), or 0 when nothing is mapped.
    std::int64_t size() const;
    // Payload bytes really mapped, or 0 when nothing is mapped.
    std::size_t capacity() const;
    // The payload range [offset, offset + length) lies within the mapping.
    bool contains(std::size_t offset, std::size_t length) const;
    const std::string& name() const { return name_; }

private:
    bool uniqueSuffix_;
    std::string name_;
    std::string prefix_;
    std::int64_t size_ = 0;
    bool create_ = false;
    std::string suffix_;
    std::int32_t counter_ = 0;
    std::unique_ptr<platform::SharedRegion> region_; // the view and its mapping
};

} // namespace ipc
