#pragma once

#include "Adjustment.h"
#include "proxy/Messages.h"

#include <cstddef>
#include <cstdint>

namespace refserver {

class PluginConnection;
class PluginDocument;
class ServerBuffers;
class SessionFaults;
class SessionLog;
struct ServerOptions;

// The tiles that cover a rectangle, row by row: `tileWidth` × `tileHeight`,
// cut at the right and bottom edges.
struct TileGrid {
    WireRect area{};
    std::int64_t tileWidth = 0;
    std::int64_t tileHeight = 0;
    std::int64_t columns = 0;
    std::int64_t rows = 0;

    std::int64_t total() const { return columns * rows; }
    WireRect tile(std::int64_t index) const;
};

// Square tiles of `tileSize`, fewer rows where a tile would need more than
// the largest buffer the server makes.
TileGrid planTiles(const WireRect& area, int tileSize, std::size_t pixelBytes);

// A render (after 23): reads the document's effective bounds tile by tile
// through the session's tile buffer in the document's own layout, adjusts
// each tile (blended by the selection mask when the document has one, alpha
// untouched), writes it back and reports the progress; then ends with 5, 6
// or 24 as the options say. A failing read or write ends it at once with
// 24 and the plug-in's code, an abort with 24 and -128.
class TileRender {
public:
    TileRender(PluginConnection& connection, SessionFaults& faults, ServerBuffers& buffers,
               SessionLog& log, const ServerOptions& options);

    // `abortRequested` is set while the render serves the plug-in.
    void run(const PluginDocument& document, const AdjustmentSettings& settings,
             const bool& abortRequested);

private:
    struct Pass;

    // 0 once every tile is written, else the code of the end record 24.
    std::int32_t renderAll(const PluginDocument& document, const AdjustmentSettings& settings,
                           const PixelLayout& layout, const bool& abortRequested);
    std::int32_t renderTile(const Pass& pass, const WireRect& rect);
    void end(std::int32_t selector, std::int32_t code);

    PluginConnection& connection_;
    SessionFaults& faults_;
    ServerBuffers& buffers_;
    SessionLog& log_;
    const ServerOptions& options_;
};

} // namespace refserver
