#pragma once

#include <cstdint>
#include <string>

namespace ipc {

// "vtipcreq" + tag + process id: the request queue of the channel keyed by
// that process. The id is written as a signed 32-bit decimal number, the way
// the server composes the same names from its command line.
std::string requestQueueName(const std::string& tag, std::uint32_t processId);
// "vtipcrsp" + tag + process id: its response queue.
std::string responseQueueName(const std::string& tag, std::uint32_t processId);

} // namespace ipc
