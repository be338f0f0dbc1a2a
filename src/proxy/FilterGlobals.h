#pragma once

#include "hostapi/Types.h"
#include "image/PixelRect.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/ParameterMap.h"
#include "proxy/ServerProxy.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace image {
class VTImageBuffer;
}

namespace platform {
class DisplaySurface;
}

// All state of one filter invocation, and at the same time the proxy for its
// server. The entry point creates it on the first call of an invocation;
// Finish, a failure caught at the entry point or the unloading of the
// library deletes it. Deleting it sends nothing to the server.
class FilterGlobals : public ServerProxy {
public:
    // The layer name of the new-layer parameters: 65 UTF-16 code units.
    using LayerName = std::array<hostapi::ASUnicode, 65>;

    // Registers the handlers of the server's requests 5, 6, 24, 16, 18, 20,
    // 30, 31, 32, 34 and 36, in that order.
    FilterGlobals();
    ~FilterGlobals() override;

    // The request loop of the server proxy, unchanged.
    void runRequestLoop() override;
    // The host's main window (the hwnd of the record's platformData), or null
    // without a record or platform data. Owner of every box and dialog.
    virtual void* hostWindow();

    // One record each, sent with sendMessage.
    void sendHostSettings();
    // Selector 3 for a server just launched, 4 for one attached to.
    void sendDocumentInfo(const image::PixelRect& firstRect, const image::PixelRect& secondRect,
                          std::int32_t selector);
    void sendNewLayerFlag();
    void startInteractive();
    void startRender();

    // The server's settings: 'SsPS' with its text and, when the text starts
    // with '0' or '1', 'NLnl' with that choice. Empty when the server has no
    // text or reports a failure. Throws when the buffer for the text maps
    // fewer bytes than the server announced, before the text is asked for.
    proxy::ParameterMap getParameters(unsigned sliceMs = answerSliceMs);
    // Hands the 'SsPS' text (empty without it) to the server; nothing for an
    // empty map. boost::bad_any_cast when 'SsPS' is not a std::string.
    void setParameters(const proxy::ParameterMap& map, unsigned sliceMs = answerSliceMs);
    void getNewLayerParameters(bool& abFlag, bool& duFlag, bool& deFlag, std::string& fnText,
                               std::string& fiText, LayerName& layerName,
                               unsigned sliceMs = answerSliceMs);

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
    // The ICC profile named by the last document description.
    std::unique_ptr<ipc::IPCMemoryBuffer> iccProfileBuffer;
    // Where previews are drawn through the host; made on first use.
    std::unique_ptr<platform::DisplaySurface> displaySurface;
};
