#include "ServerBuffers.h"

#include "SessionLog.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Process.h"
#include "proxy/Messages.h"

#include <cstdint>
#include <exception>
#include <string>

namespace refserver {

ServerBuffers::ServerBuffers(SessionLog& log) : log_(log) {}

ServerBuffers::~ServerBuffers() = default;

ipc::IPCMemoryBuffer* ServerBuffers::tile(std::size_t bytes) {
    return ensure(tile_, "vtsrvtile", bytes);
}

ipc::IPCMemoryBuffer* ServerBuffers::mask(std::size_t bytes) {
    return ensure(mask_, "vtsrvmask", bytes);
}

ipc::IPCMemoryBuffer* ServerBuffers::view(std::size_t bytes) {
    return ensure(view_, "vtsrvview", bytes);
}

ipc::IPCMemoryBuffer* ServerBuffers::ensure(std::unique_ptr<ipc::IPCMemoryBuffer>& buffer,
                                            const char* prefix, std::size_t bytes) {
    if (buffer && buffer->contains(0, bytes)) {
        return buffer.get();
    }
    buffer.reset();
    if (bytes > static_cast<std::size_t>(INT32_MAX)) {
        log_.write("a buffer of " + std::to_string(bytes) + " bytes is too large");
        return nullptr;
    }
    // A name of an earlier buffer may still be held by the plug-in, and
    // creating it again would open that old region: every buffer gets a new
    // generation.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string suffix =
            std::to_string(platform::currentProcessId()) + "_" + std::to_string(generation_++);
        try {
            auto created = std::make_unique<ipc::IPCMemoryBuffer>(
                ipc::create, prefix, suffix, static_cast<int>(bytes), ipc::UniqueSuffix::none);
            if (created->contains(0, bytes) && created->name().size() < msg::nameSize) {
                buffer = std::move(created);
                return buffer.get();
            }
            log_.write("buffer " + created->name() + " exists already and is too small");
        } catch (const std::exception& failure) {
            log_.write(std::string("cannot create a buffer: ") + failure.what());
        }
    }
    return nullptr;
}

} // namespace refserver
