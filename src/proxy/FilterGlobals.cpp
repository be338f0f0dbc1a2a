#include "proxy/FilterGlobals.h"

#include "image/VTImageBuffer.h"
#include "platform/Process.h"
#include "proxy/MessageBuilders.h"
#include "proxy/MessageFields.h"
#include "proxy/NamedBuffers.h"
#include "proxy/ProcessGlobals.h"

#include <boost/any.hpp>

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::int32_t maximumSettingsText = 16 << 20;

std::string ownProcessId() {
    return std::to_string(platform::currentProcessId());
}

} // namespace

FilterGlobals::FilterGlobals() {
    using Member = void (FilterGlobals::*)(msgBase*);
    // The server's requests, in the order their handlers are registered.
    const std::pair<std::int32_t, Member> handledRequests[] = {
        {msg::finish, &FilterGlobals::handleFinish},
        {msg::cancel, &FilterGlobals::handleCancel},
        {msg::endWithError, &FilterGlobals::handleEndWithError},
        {msg::readInput, &FilterGlobals::handleReadInput},
        {msg::readMask, &FilterGlobals::handleReadMask},
        {msg::writeOutput, &FilterGlobals::handleWriteOutput},
        {msg::pickColor, &FilterGlobals::handlePickColor},
        {msg::convertColor, &FilterGlobals::handleConvertColor},
        {msg::convertImage, &FilterGlobals::handleConvertImage},
        {msg::display, &FilterGlobals::handleDisplay},
        {msg::progress, &FilterGlobals::handleProgress},
    };
    for (const auto& [selector, member] : handledRequests) {
        registerHandler(selector,
                        [this, handler = member](msgBase* request) { (this->*handler)(request); });
    }
}

FilterGlobals::~FilterGlobals() {
    // The mask first, then the buffers newest first, then the profile buffer;
    // nothing is sent to the server.
    selectionMask.reset();
    displayResultBuffer.release();
    displaySourceBuffer.release();
    maskBuffer.release();
    outputBuffer.release();
    inputBuffer.release();
    iccProfileBuffer.reset();
}

void FilterGlobals::runRequestLoop() {
    ServerProxy::runRequestLoop();
}

void* FilterGlobals::hostWindow() {
    if (gFilterRecord == nullptr || gFilterRecord->platformData == nullptr) {
        return nullptr;
    }
    // An HWND travels in the record as a pointer-sized integer.
    const std::intptr_t window = gFilterRecord->platformData->hwnd;
    return reinterpret_cast<void*>(window); // NOLINT(performance-no-int-to-ptr)
}

void FilterGlobals::sendHostSettings() {
    sendMessage(proxy::buildHostSettings(*this));
}

void FilterGlobals::sendDocumentInfo(const image::PixelRect& firstRect,
                                     const image::PixelRect& secondRect, std::int32_t selector) {
    sendMessage(proxy::buildDocumentInfo(*this, firstRect, secondRect, selector));
}

void FilterGlobals::sendNewLayerFlag() {
    msgNewLayerFlag flag{};
    flag.selector = msg::newLayerFlag;
    flag.newLayer = newLayerFlag ? 1 : 0;
    sendMessage(flag);
}

void FilterGlobals::startInteractive() {
    sendMessage(msgBase{msg::startInteractive});
}

void FilterGlobals::startRender() {
    sendMessage(msgBase{msg::startRender});
}

proxy::ParameterMap FilterGlobals::getParameters(unsigned sliceMs) {
    const std::int32_t size =
        postMessage<msgGetParametersSizeResponse>(msgBase{msg::getParametersSize}, sliceMs)->size;
    if (size < 1) {
        return {};
    }
    // A buffer of the announced size is reserved and copied: a settings text
    // never needs more than this, whatever the server claims.
    if (size > maximumSettingsText) {
        throw std::runtime_error(proxy::errors::settingsTextTooLarge + std::to_string(size));
    }
    const auto textSize = static_cast<std::size_t>(size);
    ipc::IPCMemoryBuffer buffer(ipc::create, "GetParams", ownProcessId(), size,
                                ipc::UniqueSuffix::counter);
    // Checked before the text is asked for, so that a failure leaves no
    // answer outstanding.
    proxy::requireMapped(buffer, textSize);
    msgGetParameters request{};
    request.selector = msg::getParameters;
    proxy::copyBufferName(request.bufferName, buffer.name());
    if (postMessage<msgGetParametersResponse>(request, sliceMs)->status != 0) {
        return {};
    }

    std::string text(reinterpret_cast<const char*>(buffer.data()), textSize);
    proxy::ParameterMap map;
    if (text[0] == '0' || text[0] == '1') {
        map[proxy::parameterKeys::newLayer] = text[0] == '1' ? 1 : 0;
        text.erase(0, 1);
    }
    map[proxy::parameterKeys::settingsText] = text;
    return map;
}

void FilterGlobals::setParameters(const proxy::ParameterMap& map, unsigned sliceMs) {
    if (map.empty()) {
        return;
    }
    std::string text;
    const auto found = map.find(proxy::parameterKeys::settingsText);
    if (found != map.end()) {
        text = boost::any_cast<std::string>(found->second);
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) -
                          ipc::IPCMemoryBuffer::headerSize) {
        throw std::length_error("settings text too long for a shared buffer");
    }
    ipc::IPCMemoryBuffer buffer(ipc::create, "SetParams", ownProcessId(),
                                static_cast<int>(text.size()), ipc::UniqueSuffix::counter);
    proxy::requireMapped(buffer, text.size());
    if (!text.empty()) {
        std::memcpy(buffer.data(), text.data(), text.size());
    }
    msgSetParameters request{};
    request.selector = msg::setParameters;
    proxy::copyBufferName(request.bufferName, buffer.name());
    // The status is the server's business; the buffer lives until it answered.
    postMessage<msgSetParametersResponse>(request, sliceMs);
}

void FilterGlobals::getNewLayerParameters(bool& abFlag, bool& duFlag, bool& deFlag,
                                          std::string& fnText, std::string& fiText,
                                          LayerName& layerName, unsigned sliceMs) {
    const std::shared_ptr<msgGetNewLayerParametersResponse> answer =
        postMessage<msgGetNewLayerParametersResponse>(msgBase{msg::getNewLayerParameters}, sliceMs);
    abFlag = answer->abFlag != 0;
    duFlag = answer->duFlag != 0;
    deFlag = answer->deFlag != 0;
    fnText = msg::fieldText(answer->fnText);
    fiText = msg::fieldText(answer->fiText);
    static_assert(sizeof(LayerName) == sizeof answer->layerName, "65 code units, unchanged");
    std::memcpy(layerName.data(), answer->layerName, sizeof answer->layerName);
}
