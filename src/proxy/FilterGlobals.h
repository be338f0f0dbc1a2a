#pragma once

#include "ipc/IPCMemoryBuffer.h"
#include "proxy/ServerProxy.h"

#include <memory>

namespace image {
class VTImageBuffer;
}

namespace platform {
class DisplaySurface;
}

// All state of one filter invocation, and at the same time the proxy for its
// server. The entry point creates it on the first call of an invocation;
// Finish, a failure caught at the entry point or the unloading of the
// library deletes it.
class FilterGlobals : public ServerProxy {
public:
    FilterGlobals();
    ~FilterGlobals() override;

    // The request loop of the server proxy, unchanged.
    void runRequestLoop() override;
    // The host's main window (the hwnd of the record's platformData), or null
    // without a record or platform data. Owner of every box and dialog.
    virtual void* hostWindow();

    // The selection mask at document depth; none when everything is selected.
    std::unique_ptr<image::VTImageBuffer> selectionMask;
    bool maskFullySelected = false;
    bool maskFromTransparency = false;
    bool createNewLayer = false;
    bool autolayerRun = false;
    bool lastRunOk = true;
    bool skipRender = false;
    bool reuseServerDocument = false;
    // Assigned from the descriptor before any use.
    bool newLayerFlag = false;
    // Opened by the name a server request gives; unnamed until then.
    ipc::IPCMemoryBuffer inputBuffer;
    ipc::IPCMemoryBuffer outputBuffer;
    ipc::IPCMemoryBuffer maskBuffer;
    ipc::IPCMemoryBuffer displaySourceBuffer;
    ipc::IPCMemoryBuffer displayResultBuffer;
    std::unique_ptr<ipc::IPCMemoryBuffer> iccProfileBuffer;
    // Where previews are drawn through the host; made on first use.
    std::unique_ptr<platform::DisplaySurface> displaySurface;
};
