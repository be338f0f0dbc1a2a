#include "proxy/ProxyBase.h"

#include "ipc/Mutex.h"
#include "ipc/ProxyChannel.h"
#include "ipc/ServerLaunch.h"
#include "platform/Process.h"

ProxyBase::ProxyBase() : sendLock(new ipc::Mutex()) {}

ProxyBase::~ProxyBase() = default;

void ProxyBase::launchServer() {
    ipc::LaunchedServer server = ipc::launchServer(connectionName);
    remoteProcess = std::move(server.process);
    remoteProcessId = server.processId;
}
