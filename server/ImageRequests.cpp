#include "ImageRequests.h"

#include "PluginConnection.h"
#include "PluginDocument.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/NamedBuffers.h"

#include <cstring>

namespace refserver {

namespace {

using msg::emptyRecord;

std::int32_t rowBytes(const WireRect& rect, std::size_t sampleBytes) {
    return static_cast<std::int32_t>(static_cast<std::size_t>(widthOf(rect)) * sampleBytes);
}

} // namespace

bool readPixels(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
                const ipc::IPCMemoryBuffer& buffer, std::int32_t& result) {
    auto read = emptyRecord<msgReadInputRequest>(msg::readInput);
    read.rect = rect;
    read.step = 1;
    read.minRowBytes = rowBytes(rect, layout.pixelBytes());
    read.bytesPerSample = layout.bytesPerSample;
    read.colorModel = static_cast<std::uint8_t>(layout.colorModel);
    read.colorChannels = static_cast<std::uint8_t>(layout.colorChannels);
    read.hasAlpha = layout.hasAlpha ? 1 : 0;
    proxy::copyBufferName(read.bufferName, buffer.name());
    Cell cell;
    if (!connection.request(read) || !connection.awaitAnswer(msg::readInputResponse, cell)) {
        return false;
    }
    result = cell.as<msgReadInputResponse>().result;
    return true;
}

bool readMask(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
              ipc::IPCMemoryBuffer& buffer, bool& copied) {
    auto read = emptyRecord<msgReadMaskRequest>(msg::readMask);
    read.rect = rect;
    read.minRowBytes = rowBytes(rect, static_cast<std::size_t>(layout.bytesPerSample));
    read.bytesPerSample = layout.bytesPerSample;
    read.channels = 1;
    std::memset(buffer.data(), 0,
                static_cast<std::size_t>(read.minRowBytes) *
                    static_cast<std::size_t>(heightOf(rect)));
    proxy::copyBufferName(read.bufferName, buffer.name());
    Cell cell;
    if (!connection.request(read) || !connection.awaitAnswer(msg::readMaskResponse, cell)) {
        return false;
    }
    copied = cell.as<msgReadMaskResponse>().copied != 0;
    return true;
}

bool writePixels(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
                 const ipc::IPCMemoryBuffer& buffer, std::int32_t& result) {
    auto write = emptyRecord<msgWriteOutputRequest>(msg::writeOutput);
    write.rect = rect;
    write.minRowBytes = rowBytes(rect, layout.pixelBytes());
    write.bytesPerSample = layout.bytesPerSample;
    write.colorModel = layout.colorModel;
    write.colorChannels = layout.colorChannels;
    write.hasAlpha = layout.hasAlpha ? 1 : 0;
    proxy::copyBufferName(write.bufferName, buffer.name());
    if (!connection.request(write)) {
        return false;
    }
    Cell cell;
    connection.awaitFromPlugin(msg::writeOutputResponse, cell);
    result = cell.as<msgWriteOutputResponse>().result;
    return true;
}

} // namespace refserver
