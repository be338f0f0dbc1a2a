#pragma once

#include "proxy/ProxyBase.h"

#include <cstdint>
#include <string>

// The plug-in's handle on one server process: it names the connection,
// launches or attaches to the server, opens both channels and serves the
// server's requests. The order of the virtual operations is fixed:
// destructor, runRequestLoop, waitForServer, endWait, then three hooks that
// nothing uses.
class ServerProxy : public ProxyBase {
public:
    // Connection names are the decimal text of a number below this.
    static constexpr int connectionNameRange = 32768;

    // Names the connection from the C runtime's generator seeded with the
    // tick count, so two proxies made within one tick share a name.
    ServerProxy();
    ~ServerProxy() override;

    // Serves the server's requests until a handler ends the loop. Checks the
    // server's process after more than 2 seconds without a request and asks
    // the host whether the user aborted on every pass, telling the server so.
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

    // Creates the plug-in channel, starts a new server, pings it and opens
    // the channel the server created for its own requests. `pingSliceMs` is
    // the slice of the wait for the first answer.
    void connectAndLaunch(unsigned pingSliceMs = answerSliceMs);
    // Connects to the server that an earlier invocation of this process left
    // running under `name`: both channels exist already. Every failure is an
    // exception; the result is always true.
    bool attach(const std::string& name, std::uint32_t processId,
                unsigned pingSliceMs = answerSliceMs);
    void ping(unsigned sliceMs = answerSliceMs);
    // The plug-in no longer needs the server.
    void endConnection();
    // The run ends, but the server stays reachable for a following pass.
    void keepServer();
    // Lets the server take the foreground, then asks it to come to the front.
    void bringServerToFront();
    // Tells the server that the user asked to abort (msgAbort).
    void sendAbort();

    // Receives and handles at most one of the server's requests, waiting up
    // to 250 ms for one. True when one was handled.
    bool pollRequest();

    // Keeps the request loop going; cleared by the handlers that end a run.
    bool running = false;
};
