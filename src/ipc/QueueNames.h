#pragma once

#include <cstdint>
#include <string>

namespace ipc {

// "vtipcreq" + tag + process id: the request queue of the channel keyed by
// that process.
std::string requestQueueName(const std::string& tag, std::int64_t processId);
// "vtipcrsp" + tag + process id: its response queue.
std::string responseQueueName(const std::string& tag, std::int64_t processId);

} // namespace ipc
