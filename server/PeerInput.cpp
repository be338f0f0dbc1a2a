#include "PeerInput.h"

#include "ipc/IPCMemoryBuffer.h"

#include <cstring>
#include <exception>

namespace refserver {

std::unique_ptr<ipc::IPCMemoryBuffer> openPeerBuffer(const std::string& name,
                                                     std::string& failure) {
    if (name.empty()) {
        failure = "no buffer name";
        return nullptr;
    }
    auto buffer = std::make_unique<ipc::IPCMemoryBuffer>();
    try {
        buffer->open(name);
    } catch (const std::exception& error) {
        failure = "cannot open buffer \"" + name + "\": " + error.what();
        return nullptr;
    }
    return buffer;
}

std::int64_t checkedPayloadSize(const ipc::IPCMemoryBuffer& buffer, std::string& failure) {
    const std::int64_t claimed = buffer.size();
    if (claimed < 0 || !buffer.contains(0, static_cast<std::size_t>(claimed))) {
        failure = "buffer \"" + buffer.name() + "\" announces " + std::to_string(claimed) +
                  " bytes but maps " + std::to_string(buffer.capacity());
        return -1;
    }
    return claimed;
}

bool readPeerText(const ipc::IPCMemoryBuffer& buffer, std::string& text, std::string& failure) {
    const std::int64_t size = checkedPayloadSize(buffer, failure);
    if (size < 0) {
        return false;
    }
    text.assign(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(size));
    return true;
}

bool writePeerText(ipc::IPCMemoryBuffer& buffer, const std::string& text, std::string& failure) {
    if (!buffer.contains(0, text.size())) {
        failure = "buffer \"" + buffer.name() + "\" maps " + std::to_string(buffer.capacity()) +
                  " bytes, too few for " + std::to_string(text.size());
        return false;
    }
    if (!text.empty()) {
        std::memcpy(buffer.data(), text.data(), text.size());
    }
    return true;
}

} // namespace refserver
