// The wait dialog that parks the host while the user works in the server's
// window: its timer serves the server's requests, its activation passes the
// foreground on to the server, and it ends when a handler closes it, when
// the user presses OK, or when the server's process has died.

#include "platform/WaitDialog.h"
#include "platform/Clock.h"
#include "proxy/Errors.h"
#include "proxy/ServerProxy.h"

#include <cstdint>
#include <stdexcept>

namespace {

// One wait dialog at a time. The proxy whose requests it serves; set by
// waitForServer and never cleared.
ServerProxy* gWaitProxy = nullptr;
// The dialog while it is shown.
void* gWaitDialog = nullptr;
// When a request was last handled or the server's process last looked at.
std::uint32_t gWaitLastTick = 0;
// The dialog ended because the server's process has died.
bool gRemoteDied = false;

// Milliseconds without a request after which the server's process is
// looked at.
constexpr std::uint32_t silenceBeforeLivenessCheckMs = 2000;

class RequestPump final : public platform::WaitDialogEvents {
public:
    void opened(void* dialog) override {
        gWaitLastTick = platform::tickCount();
        gWaitDialog = dialog;
    }

    // Each poll waits up to 250 ms for a request, so the dialog answers its
    // own messages only between those waits.
    void tick() override {
        if (gWaitProxy == nullptr) {
            return;
        }
        if (gWaitProxy->pollRequest()) {
            // A burst of requests is served within one tick.
            while (gWaitProxy->pollRequest()) {
            }
            gWaitLastTick = platform::tickCount();
            return;
        }
        const std::uint32_t now = platform::tickCount();
        // Unsigned, so the check still comes when the tick count wraps.
        if (now - gWaitLastTick > silenceBeforeLivenessCheckMs) {
            gWaitLastTick = now;
            if (!gWaitProxy->isRemoteAlive()) {
                gRemoteDied = true;
                platform::endWaitDialog(gWaitDialog, 0);
            }
        }
    }

    void activated() override {
        if (gWaitProxy != nullptr) {
            gWaitProxy->bringServerToFront();
        }
    }
};

// The finish and cancel handlers close the dialog in the request loop too,
// where none is shown: they must close nothing then, not a window that
// happens to reuse the old handle.
class ForgetDialogOnExit {
public:
    ForgetDialogOnExit() = default;
    ForgetDialogOnExit(const ForgetDialogOnExit&) = delete;
    ForgetDialogOnExit& operator=(const ForgetDialogOnExit&) = delete;
    ~ForgetDialogOnExit() { gWaitDialog = nullptr; }
};

} // namespace

int ServerProxy::waitForServer(void* parentWindow) {
    gWaitProxy = this;
    gRemoteDied = false;
    RequestPump pump;
    int result = 0;
    {
        const ForgetDialogOnExit forget;
        // Rethrows what a handler or the request to the front threw.
        result = platform::runWaitDialog(parentWindow, pump);
    }
    if (gRemoteDied) {
        throw std::runtime_error(proxy::errors::remoteNotRunning);
    }
    return result;
}

void ServerProxy::endWait() {
    platform::endWaitDialog(gWaitDialog, 0);
}
