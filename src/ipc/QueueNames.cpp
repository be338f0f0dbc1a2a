#include "ipc/QueueNames.h"

#include <sstream>

namespace ipc {

namespace {

std::string compose(const char* base, const std::string& tag, std::uint32_t processId) {
    std::ostringstream name;
    name << base << tag << static_cast<std::int32_t>(processId);
    return name.str();
}

} // namespace

std::string requestQueueName(const std::string& tag, std::uint32_t processId) {
    return compose("vtipcreq", tag, processId);
}

std::string responseQueueName(const std::string& tag, std::uint32_t processId) {
    return compose("vtipcrsp", tag, processId);
}

} // namespace ipc
