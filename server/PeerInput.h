#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ipc {
class IPCMemoryBuffer;
}

namespace refserver {

// Where the plug-in's bytes enter the server. A peer may write anything into
// a buffer header, so sizes are checked against what is really mapped before
// any copy.

// Opens the plug-in's buffer of that name. Null, with the reason in
// `failure`, when the name is empty or the buffer cannot be opened.
std::unique_ptr<ipc::IPCMemoryBuffer> openPeerBuffer(const std::string& name, std::string& failure);

// The payload size the header announces when it lies within the mapping;
// -1, with the reason in `failure`, when it is negative or larger.
std::int64_t checkedPayloadSize(const ipc::IPCMemoryBuffer& buffer, std::string& failure);

// The whole payload as text, as many bytes as the header announces.
bool readPeerText(const ipc::IPCMemoryBuffer& buffer, std::string& text, std::string& failure);

// Copies `text` to the start of the payload when it fits in what is mapped.
bool writePeerText(ipc::IPCMemoryBuffer& buffer, const std::string& text, std::string& failure);

} // namespace refserver
