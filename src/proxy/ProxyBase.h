#pragma once

#include "ipc/IMutex.h"
#include "proxy/Errors.h"
#include "proxy/Messages.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace platform {
class Process;
}

namespace ipc {
class ProxyChannel;
} // namespace ipc

// The request and response engine between the plug-in and one server
// process. It sends the plug-in's records on the plug-in channel, one
// exchange at a time, takes the server's requests from the server channel and
// hands them to the handler registered for their selector. It creates no
// threads: every wait is a bounded wait on a queue.
class ProxyBase {
public:
    using Handler = boost::function<void(msgBase*)>;

    // Every send waits this long for a free queue cell.
    static constexpr unsigned sendTimeoutMs = 10000;
    // An answer is awaited in slices of this length, for as long as the
    // server process lives.
    static constexpr unsigned answerSliceMs = 60000;
    // A wait for one of the server's requests.
    static constexpr unsigned requestSliceMs = 250;

    // Every record is received whole into one queue cell.
    struct ReceiveBuffer {
        alignas(8) unsigned char bytes[msg::cellSize];
        msgBase* record() { return reinterpret_cast<msgBase*>(bytes); }
    };

    ProxyBase();
    ProxyBase(const ProxyBase&) = delete;
    ProxyBase& operator=(const ProxyBase&) = delete;
    // Members go in reverse order: the lock, the handlers, the server
    // channel, the plug-in channel, the name, the process handle.
    virtual ~ProxyBase();

    // Starts the server for this connection and keeps its process handle and
    // id; a failed launch throws and leaves both as they were.
    void launchServer();

    // Sends one record on the plug-in channel; no answer is awaited. Throws
    // while broken, and marks the engine broken when the queue stays full
    // for the whole send time-out.
    template <typename T> void sendMessage(const T& record) {
        checkRecord<T>();
        sendRecordBytes(&record, sizeof record);
    }

    // Sends a request on the plug-in channel and returns the next record of
    // its response queue as the answer of type R: answers are matched by
    // position, and their selector is the only guard. The wait goes on in
    // slices of `sliceMs` while the server lives; a dead server marks the
    // engine broken.
    template <typename R, typename T>
    std::shared_ptr<R> postMessage(const T& record, unsigned sliceMs) {
        checkRecord<T>();
        checkRecord<R>();
        constexpr std::int32_t expected = msg::AnswerSelector<R>::value;
        if (broken) {
            throw std::runtime_error(proxy::errors::comsBroken);
        }
        ipc::ScopedLock lock(*sendLock);
        ReceiveBuffer buffer{};
        postAndAwait(&record, sizeof record, buffer, sliceMs);
        auto answer = std::make_shared<R>();
        answer->selector = expected;
        std::memcpy(static_cast<void*>(answer.get()), buffer.bytes, sizeof(R));
        if (answer->selector != expected) {
            throw std::runtime_error(proxy::errors::unexpectedSelector);
        }
        return answer;
    }

    // Runs the handler registered for the request's selector. The handler
    // answers, if at all, itself; what it throws passes through.
    void handleRequest(msgBase* msg);
    // A later registration for a selector replaces the earlier one.
    void registerHandler(std::int32_t selector, const Handler& handler);

    // Answers one of the server's requests on the server channel's response
    // queue; neither the send lock nor `broken` is involved.
    template <typename T> void sendResponse(const T& record) {
        checkRecord<T>();
        sendResponseBytes(&record, sizeof record);
    }

    // False once the server process is known to have ended. With no process
    // handle and no process id there is no server to find dead.
    bool isRemoteAlive();

    std::uint32_t remoteProcessId = 0;
    std::shared_ptr<platform::Process> remoteProcess;
    std::string connectionName;
    // Its request queue carries our requests, its response queue the answers.
    boost::shared_ptr<ipc::ProxyChannel> clientChannel;
    // Its request queue carries the server's requests, its response queue ours.
    boost::shared_ptr<ipc::ProxyChannel> serverChannel;
    std::map<std::int32_t, Handler> handlers;
    // Serialises every send on the plug-in channel and every exchange.
    boost::shared_ptr<ipc::IMutex> sendLock;
    // Set by a failed send or a server found dead while awaiting an answer;
    // never cleared.
    bool broken = false;

private:
    template <typename T> static void checkRecord() {
        static_assert(std::is_base_of_v<msgBase, T>, "records begin with their selector");
        static_assert(std::is_trivially_copyable_v<T>, "records travel as plain bytes");
        static_assert(sizeof(T) <= msg::cellSize, "a record fits in one queue cell");
    }

    void sendRecordBytes(const void* data, std::size_t size);
    // With the lock held: sends the request, then waits for the next answer.
    void postAndAwait(const void* data, std::size_t size, ReceiveBuffer& answer, unsigned sliceMs);
    void sendResponseBytes(const void* data, std::size_t size);
};
