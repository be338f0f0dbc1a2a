#include "TileRender.h"

#include "ImageRequests.h"
#include "PluginConnection.h"
#include "PluginDocument.h"
#include "ServerBuffers.h"
#include "ServerOptions.h"
#include "SessionFaults.h"
#include "SessionLog.h"
#include "ipc/IPCMemoryBuffer.h"

#include <algorithm>
#include <optional>
#include <string>

namespace refserver {

namespace {

using msg::emptyRecord;

// Codes of the end record 24 that the plug-in maps to "cancelled" and to a
// general failure.
constexpr std::int32_t cancelledCode = -128;
constexpr std::int32_t generalFailureCode = -1;
// A tile never needs more than this; larger tiles are cut to fewer rows.
constexpr std::size_t maximumTileBytes = std::size_t{256} << 20;

} // namespace

WireRect TileGrid::tile(std::int64_t index) const {
    const std::int64_t left = area.left + index % columns * tileWidth;
    const std::int64_t top = area.top + index / columns * tileHeight;
    return WireRect{
        static_cast<std::int32_t>(left),
        static_cast<std::int32_t>(std::min<std::int64_t>(left + tileWidth, area.right)),
        static_cast<std::int32_t>(top),
        static_cast<std::int32_t>(std::min<std::int64_t>(top + tileHeight, area.bottom))};
}

TileGrid planTiles(const WireRect& area, int tileSize, std::size_t pixelBytes) {
    TileGrid grid;
    grid.area = area;
    grid.tileWidth = std::min<std::int64_t>(tileSize, widthOf(area));
    const auto rowLimit = static_cast<std::int64_t>(
        maximumTileBytes / (static_cast<std::size_t>(grid.tileWidth) * pixelBytes));
    grid.tileHeight =
        std::max<std::int64_t>(1, std::min({std::int64_t{tileSize}, heightOf(area), rowLimit}));
    grid.columns = (widthOf(area) + grid.tileWidth - 1) / grid.tileWidth;
    grid.rows = (heightOf(area) + grid.tileHeight - 1) / grid.tileHeight;
    return grid;
}

// What every tile of one render shares.
struct TileRender::Pass {
    PixelLayout layout;
    Adjustment adjustment;
    ipc::IPCMemoryBuffer* tile;
    ipc::IPCMemoryBuffer* mask; // null when the document has no selection mask
};

TileRender::TileRender(PluginConnection& connection, SessionFaults& faults, ServerBuffers& buffers,
                       SessionLog& log, const ServerOptions& options)
    : connection_(connection), faults_(faults), buffers_(buffers), log_(log), options_(options) {}

void TileRender::run(const PluginDocument& document, const AdjustmentSettings& settings,
                     const bool& abortRequested) {
    std::string failure;
    const std::optional<PixelLayout> layout = document.layout(failure);
    if (!layout) {
        log_.write("render refused: " + failure);
        end(msg::endWithError, generalFailureCode);
        return;
    }
    const std::int32_t code = renderAll(document, settings, *layout, abortRequested);
    if (code != 0) {
        end(msg::endWithError, code);
        return;
    }
    switch (options_.renderEnd) {
    case RenderEnd::finish:
        end(msg::finish, 0);
        break;
    case RenderEnd::cancel:
        end(msg::cancel, 0);
        break;
    case RenderEnd::error:
        end(msg::endWithError, options_.renderErrorCode);
        break;
    }
}

std::int32_t TileRender::renderAll(const PluginDocument& document,
                                   const AdjustmentSettings& settings, const PixelLayout& layout,
                                   const bool& abortRequested) {
    const TileGrid grid =
        planTiles(document.effectiveBounds(), options_.tileSize, layout.pixelBytes());
    if (grid.total() > INT32_MAX) {
        return generalFailureCode;
    }
    const auto tilePixels = static_cast<std::size_t>(grid.tileWidth * grid.tileHeight);
    Pass pass{layout, Adjustment(settings, layout), buffers_.tile(tilePixels * layout.pixelBytes()),
              nullptr};
    if (pass.tile == nullptr) {
        return generalFailureCode;
    }
    if (document.hasSelectionMask()) {
        pass.mask = buffers_.mask(tilePixels * static_cast<std::size_t>(layout.bytesPerSample));
        if (pass.mask == nullptr) {
            return generalFailureCode;
        }
    }
    log_.write("render tiles=" + std::to_string(grid.total()) +
               " tile=" + std::to_string(grid.tileWidth) + "x" + std::to_string(grid.tileHeight) +
               " buffer=" + pass.tile->name() +
               (pass.mask != nullptr ? " mask=" + pass.mask->name() : std::string()) +
               " settings=" + formatSettingsText(settings));

    const auto total = static_cast<std::int32_t>(grid.total());
    for (std::int32_t done = 0; done < total; ++done) {
        connection_.servePending();
        if (abortRequested) {
            return cancelledCode;
        }
        const std::int32_t code = renderTile(pass, grid.tile(done));
        if (code != 0) {
            return code;
        }
        auto progress = emptyRecord<msgProgress>(msg::progress);
        progress.done = done + 1;
        progress.total = total;
        connection_.request(progress);
        faults_.reach(ServerStep::tile(done + 1));
    }
    return 0;
}

// Reads, adjusts and writes one tile: 0, or the code that ends the render.
std::int32_t TileRender::renderTile(const Pass& pass, const WireRect& rect) {
    std::int32_t result = 0;
    if (!readPixels(connection_, rect, pass.layout, *pass.tile, result)) {
        return generalFailureCode;
    }
    if (result != 0) {
        return result;
    }
    bool masked = false;
    if (pass.mask != nullptr && !readMask(connection_, rect, pass.layout, *pass.mask, masked)) {
        return generalFailureCode;
    }
    const auto width = static_cast<int>(widthOf(rect));
    pass.adjustment.apply(
        pass.tile->data(), static_cast<std::size_t>(width) * pass.layout.pixelBytes(), width,
        static_cast<int>(heightOf(rect)), masked ? pass.mask->data() : nullptr,
        static_cast<std::size_t>(width) * static_cast<std::size_t>(pass.layout.bytesPerSample));
    if (!writePixels(connection_, rect, pass.layout, *pass.tile, result)) {
        return generalFailureCode;
    }
    faults_.reach(ServerStep::request(msg::writeOutputResponse));
    return result;
}

void TileRender::end(std::int32_t selector, std::int32_t code) {
    bool sent = false;
    if (selector == msg::endWithError) {
        auto end = emptyRecord<msgEndWithError>(msg::endWithError);
        end.code = code;
        sent = connection_.request(end);
    } else {
        sent = connection_.request(emptyRecord<msgBase>(selector));
    }
    if (sent) {
        log_.write(
            "render end selector=" + std::to_string(selector) +
            (selector == msg::endWithError ? " code=" + std::to_string(code) : std::string()));
    }
    faults_.reach(ServerStep::afterRender());
}

} // namespace refserver
