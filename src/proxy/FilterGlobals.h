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

    // The server's requests. Each handler gets the whole queue cell its
    // request arrived in and answers, if at all, itself. A request whose
    // buffer cannot be opened or whose image would reach outside its buffer
    // or the host's is answered with proxy::requestRefused and copies nothing.
    //
    // The end of an exchange: 5 the user accepted, 6 cancelled, 24 the
    // server's error code. They stop the request loop and set serverResult.
    void handleFinish(msgBase* request);
    void handleCancel(msgBase* request);
    void handleEndWithError(msgBase* request);
    // Pixels between the host's buffers and the server's (16, 18, 20), and a
    // preview drawn through the host's display conversion (34).
    void handleReadInput(msgBase* request);
    void handleReadMask(msgBase* request);
    void handleWriteOutput(msgBase* request);
    void handleDisplay(msgBase* request);
    // The host's progress bar, or with a negative count its abort check.
    void handleProgress(msgBase* request);
    // The host's colour picker and colour conversions (30, 31, 32).
    void handlePickColor(msgBase* request);
    void handleConvertColor(msgBase* request);
    void handleConvertImage(msgBase* request);

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

private:
    // The end of an exchange: 8 or 25 to the server, then the result.
    void endExchange(std::int32_t acknowledgement, std::int32_t result);
};
