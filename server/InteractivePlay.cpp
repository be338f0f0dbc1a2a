#include "InteractivePlay.h"

#include "Adjustment.h"
#include "ImageRequests.h"
#include "PluginConnection.h"
#include "PluginDocument.h"
#include "ServerBuffers.h"
#include "ServerOptions.h"
#include "ServerSettings.h"
#include "SessionLog.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/NamedBuffers.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

namespace refserver {

namespace {

using msg::emptyRecord;

// The edge of the region a preview shows.
constexpr std::int64_t previewEdge = 64;
constexpr std::size_t viewBytesPerPixel = 4;
// Colour-services space codes.
constexpr std::int8_t spaceRGB = 0;
constexpr std::int8_t spaceGray = 4;

const char* userText(UserChoice user) {
    switch (user) {
    case UserChoice::accept:
        return "accept";
    case UserChoice::cancel:
        return "cancel";
    case UserChoice::acceptNewLayer:
        return "accept-new-layer";
    }
    return "accept";
}

} // namespace

InteractivePlay::InteractivePlay(PluginConnection& connection, ServerBuffers& buffers,
                                 SessionLog& log, const ServerOptions& options)
    : connection_(connection), buffers_(buffers), log_(log), options_(options) {}

void InteractivePlay::run(const PluginDocument& document, ServerSettings& settings,
                          const bool& abortRequested) {
    log_.write(std::string("interactive start user=") + userText(options_.user) +
               " delay=" + std::to_string(options_.userDelayMs));
    connection_.serveFor(options_.userDelayMs);
    if (options_.preview) {
        showPreview(document, settings);
    }
    if (options_.colour != ColourRequest::none) {
        askForColour(document);
    }
    std::int32_t end = msg::finish;
    if (abortRequested || options_.user == UserChoice::cancel) {
        end = msg::cancel;
    } else {
        settings.accept(options_.user == UserChoice::acceptNewLayer, options_.userEdit);
    }
    if (connection_.request(emptyRecord<msgBase>(end))) {
        log_.write("interactive end selector=" + std::to_string(end) +
                   " settings=" + settings.textWithChoice());
    }
}

void InteractivePlay::showPreview(const PluginDocument& document, const ServerSettings& settings) {
    std::string failure;
    const std::optional<PixelLayout> layout = document.layout(failure);
    if (!layout) {
        log_.write("preview skipped: " + failure);
        return;
    }
    const WireRect& area = document.effectiveBounds();
    const WireRect rect{
        area.left, static_cast<std::int32_t>(area.left + std::min(widthOf(area), previewEdge)),
        area.top, static_cast<std::int32_t>(area.top + std::min(heightOf(area), previewEdge))};
    const auto w = static_cast<int>(widthOf(rect));
    const auto h = static_cast<int>(heightOf(rect));
    const auto pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const std::size_t rowBytes = static_cast<std::size_t>(w) * layout->pixelBytes();
    ipc::IPCMemoryBuffer* source = buffers_.tile(pixels * layout->pixelBytes());
    ipc::IPCMemoryBuffer* view =
        source != nullptr ? buffers_.view(pixels * viewBytesPerPixel) : nullptr;
    std::int32_t result = 0;
    if (view == nullptr || !readPixels(connection_, rect, *layout, *source, result)) {
        log_.write("preview failed");
        return;
    }
    if (result != 0) {
        log_.write("preview read answered " + std::to_string(result));
        return;
    }
    Adjustment(settings.adjustment(), *layout).apply(source->data(), rowBytes, w, h);

    auto display = emptyRecord<msgDisplayRequest>(msg::display);
    display.rect = rect;
    display.rowBytes = static_cast<std::int32_t>(rowBytes);
    display.bytesPerSample = layout->bytesPerSample;
    display.resultBytesPerPixel = static_cast<std::int32_t>(viewBytesPerPixel);
    display.colBytes = static_cast<std::int32_t>(layout->pixelBytes());
    display.colorModel = static_cast<std::uint8_t>(layout->colorModel);
    display.colorChannels = static_cast<std::uint8_t>(layout->colorChannels);
    display.hasAlpha = layout->hasAlpha ? 1 : 0;
    proxy::copyBufferName(display.sourceName, source->name());
    proxy::copyBufferName(display.resultName, view->name());
    Cell cell;
    if (!connection_.request(display) || !connection_.awaitAnswer(msg::displayResponse, cell)) {
        log_.write("preview failed");
        return;
    }
    log_.write("preview " + std::to_string(w) + "x" + std::to_string(h) +
               " answered=" + std::to_string(cell.as<msgDisplayResponse>().result) +
               " view=" + view->name() + " viewChecksum=" +
               std::to_string(checksum(view->data(), pixels * viewBytesPerPixel)));
}

void InteractivePlay::askForColour(const PluginDocument& document) {
    std::uint16_t colour[4] = {};
    document.foreground(colour);
    const bool answered =
        options_.colour == ColourRequest::pick ? pickColour(colour) : convertColour(colour);
    if (!answered) {
        log_.write("colour request failed");
    }
}

bool InteractivePlay::pickColour(const std::uint16_t (&colour)[4]) {
    auto pick = emptyRecord<msgPickColorRequest>(msg::pickColor);
    pick.space = spaceRGB;
    std::copy(std::begin(colour), std::end(colour), std::begin(pick.components));
    Cell cell;
    if (!connection_.request(pick) || !connection_.awaitAnswer(msg::pickColor, cell)) {
        return false;
    }
    const auto picked = cell.as<msgPickColorResponse>();
    log_.write("colour picked space=" + std::to_string(picked.space) + " components=" +
               colourText(picked.components) + " failed=" + std::to_string(picked.failed));
    return true;
}

bool InteractivePlay::convertColour(const std::uint16_t (&colour)[4]) {
    auto convert = emptyRecord<msgConvertColorRequest>(msg::convertColor);
    convert.space = spaceRGB;
    convert.targetSpace = spaceGray;
    std::copy(std::begin(colour), std::end(colour), std::begin(convert.components));
    Cell cell;
    if (!connection_.request(convert) || !connection_.awaitAnswer(msg::convertColor, cell)) {
        return false;
    }
    const auto converted = cell.as<msgConvertColorResponse>();
    log_.write("colour converted from=" + colourText(colour) +
               " space=" + std::to_string(converted.targetSpace) +
               " components=" + colourText(converted.components));
    return true;
}

} // namespace refserver
