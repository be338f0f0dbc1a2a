#pragma once

#include "ipc/Modes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class SharedRegion;
}

namespace ipc {

// How a created buffer's name ends: after prefix and suffix, nothing more,
// or the buffer's counter, which keeps names apart that share both.
enum class UniqueSuffix { none, counter };

// A named shared region that starts with an 8-byte header holding the
// payload size. One process creates it and writes the payload, tells the
// peer its name in a message, and the peer opens it by that name.
//
// The header is only what a peer claims: capacity() is what is really
// mapped, and every copy in or out of the payload must stay within it.
class IPCMemoryBuffer {
public:
    static constexpr std::size_t headerSize = 8;

    // An empty buffer: nothing is mapped until open() names a region.
    IPCMemoryBuffer();
    // Open mode: maps the region `name`, which must exist.
    IPCMemoryBuffer(OpenMode, std::string name);
    // Create mode: composes the name from prefix, suffix and, with
    // UniqueSuffix::counter, the counter, then creates or opens the region of
    // that name and maps it.
    IPCMemoryBuffer(CreateMode, std::string prefix, std::string suffix, int size,
                    UniqueSuffix uniqueSuffix);
    IPCMemoryBuffer(const IPCMemoryBuffer&) = delete;
    IPCMemoryBuffer& operator=(const IPCMemoryBuffer&) = delete;
    ~IPCMemoryBuffer();

    // Releases what the buffer maps, then maps the region `name` in open
    // mode. A failure throws and leaves the buffer empty.
    void open(const std::string& name);
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
    // Releases what is mapped, then creates (create mode) or opens (open
    // mode) the region.
    void map();

    bool uniqueSuffix_ = false;
    std::string name_;
    std::string prefix_;
    std::int64_t size_ = 0;
    bool create_ = false;
    std::string suffix_;
    std::int32_t counter_ = 0;
    std::unique_ptr<platform::SharedRegion> region_; // the view and its mapping
};

} // namespace ipc
