#pragma once

#include "proxy/ProxyBase.h"

// The plug-in's handle on one server process. The order of the virtual
// operations is fixed: destructor, runRequestLoop, waitForServer, endWait,
// then three hooks that nothing uses.
class ServerProxy : public ProxyBase {
public:
    // Names the connection from the C runtime's generator seeded with the
    // tick count, so two proxies made within one tick share a name.
    ServerProxy();
    ~ServerProxy() override;

    // Serves the server's requests until a handler ends the loop.
    virtual void runRequestLoop();
    // Parks the host behind the wait dialog, owned by `parentWindow`, while
    // the server's requests are served; returns the dialog's result.
    virtual int waitForServer(void* parentWindow);
    // Closes the wait dialog.
    virtual void endWait();
    // Slots kept for the layout of the class; their bodies are empty.
    virtual void reservedSlot4();
    virtual void reservedSlot5();
    virtual void reservedSlot6();

    // Keeps the request loop going; cleared by the handlers that end a run.
    bool running = false;
};
