#pragma once

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace platform {
class Process;
}

namespace ipc {
class IMutex;
class ProxyChannel;
} // namespace ipc

// Every message record begins with this selector.
struct msgBase;

// The request and response engine between the plug-in and one server
// process.
class ProxyBase {
public:
    using Handler = boost::function<void(msgBase*)>;

    ProxyBase();
    ProxyBase(const ProxyBase&) = delete;
    ProxyBase& operator=(const ProxyBase&) = delete;
    // Members go in reverse order: the lock, the handlers, the server
    // channel, the plug-in channel, the name, the process handle.
    virtual ~ProxyBase();

    // Starts the server for this connection and keeps its process handle and
    // id; a failed launch throws and leaves both as they were.
    void launchServer();

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
};
