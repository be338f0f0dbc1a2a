#include "proxy/ServerProxy.h"

#include "platform/Clock.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

// The request engine and the wait dialog arrive with the messaging layer;
// until then a call is a programming error, not a communication failure.
[[noreturn]] void notAvailableYet(const char* operation) {
    throw std::logic_error(std::string(operation) + " is not available in this build");
}

} // namespace

ServerProxy::ServerProxy() {
    // The queue names of the connection are built from this text. Seeded from
    // the tick count, two proxies made within one tick share it.
    std::srand(platform::tickCount());
    connectionName =
        std::to_string(std::rand()); // NOLINT(concurrency-mt-unsafe,cert-msc30-c,cert-msc50-cpp)
}

ServerProxy::~ServerProxy() = default;

void ServerProxy::runRequestLoop() {
    notAvailableYet("runRequestLoop");
}

int ServerProxy::waitForServer(void* /*parentWindow*/) {
    notAvailableYet("waitForServer");
}

void ServerProxy::endWait() {
    notAvailableYet("endWait");
}

void ServerProxy::reservedSlot4() {}

void ServerProxy::reservedSlot5() {}

void ServerProxy::reservedSlot6() {}
