#pragma once

#include <cstddef>
#include <memory>

namespace ipc {
class IPCMemoryBuffer;
}

namespace refserver {

class SessionLog;

// The buffers the server creates for its own requests, kept for the whole
// session: a fresh mapping costs far more than a copy into a warm one. A
// buffer is replaced, under a new name, only when a request needs more than
// it holds. Every name fits a record's name field.
class ServerBuffers {
public:
    explicit ServerBuffers(SessionLog& log);
    ServerBuffers(const ServerBuffers&) = delete;
    ServerBuffers& operator=(const ServerBuffers&) = delete;
    ~ServerBuffers();

    // A buffer of at least `bytes` payload bytes, or null when none could be
    // made: the tile buffer for pixels read and written, the mask buffer for
    // the selection, the view buffer for a preview's result.
    ipc::IPCMemoryBuffer* tile(std::size_t bytes);
    ipc::IPCMemoryBuffer* mask(std::size_t bytes);
    ipc::IPCMemoryBuffer* view(std::size_t bytes);

private:
    ipc::IPCMemoryBuffer* ensure(std::unique_ptr<ipc::IPCMemoryBuffer>& buffer, const char* prefix,
                                 std::size_t bytes);

    SessionLog& log_;
    std::unique_ptr<ipc::IPCMemoryBuffer> tile_;
    std::unique_ptr<ipc::IPCMemoryBuffer> mask_;
    std::unique_ptr<ipc::IPCMemoryBuffer> view_;
    int generation_ = 0;
};

} // namespace refserver
