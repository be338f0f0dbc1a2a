#pragma once

// Where the plug-in's named buffers meet the peer. Buffer names are re-used
// from run to run, so a buffer made in create mode may turn out to be a
// region that a peer still holds at another size: every copy is bounded by
// what is really mapped, never by a size that was only announced.

#include "ipc/IPCMemoryBuffer.h"
#include "proxy/Errors.h"
#include "proxy/MessageFields.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace proxy {

// Throws unless the first `size` payload bytes of `buffer` are mapped.
inline void requireMapped(const ipc::IPCMemoryBuffer& buffer, std::size_t size) {
    if (buffer.data() == nullptr || !buffer.contains(0, size)) {
        throw std::runtime_error(std::string(errors::bufferSmallerThanAnnounced) + buffer.name() +
                                 " (" + std::to_string(size) + " bytes announced, " +
                                 std::to_string(buffer.capacity()) + " mapped)");
    }
}

// Writes `name` with its NUL into a fixed field, zeros behind it; throws when
// it does not fit.
template <std::size_t N> void copyBufferName(char (&field)[N], const std::string& name) {
    if (!msg::writeFieldText(field, name)) {
        throw std::runtime_error(std::string(errors::bufferNameTooLong) + name);
    }
}

} // namespace proxy
