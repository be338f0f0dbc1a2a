#pragma once

#include "proxy/Messages.h"

#include <cstdint>

namespace refserver {

class PluginConnection;
class PluginDocument;
class ServerBuffers;
class ServerSettings;
class SessionLog;
struct ServerOptions;

// Interactive editing (after 7), played without a screen. The user's time
// passes while the plug-in is served; then the user optionally looks at a
// preview (16, then 34) and asks for a colour (30 or 31), and ends the run:
// accepting (5) takes the user's edit and new-layer choice into the
// settings, cancelling (6), or an abort meanwhile, leaves them alone.
class InteractivePlay {
public:
    InteractivePlay(PluginConnection& connection, ServerBuffers& buffers, SessionLog& log,
                    const ServerOptions& options);

    // `abortRequested` is set while the run serves the plug-in.
    void run(const PluginDocument& document, ServerSettings& settings, const bool& abortRequested);

private:
    // Up to 64 × 64 pixels of the effective bounds, adjusted, shown through
    // the plug-in into a buffer of 4 bytes per pixel.
    void showPreview(const PluginDocument& document, const ServerSettings& settings);
    // Starts from the host's foreground colour.
    void askForColour(const PluginDocument& document);
    bool pickColour(const std::uint16_t (&colour)[4]);
    bool convertColour(const std::uint16_t (&colour)[4]);

    PluginConnection& connection_;
    ServerBuffers& buffers_;
    SessionLog& log_;
    const ServerOptions& options_;
};

} // namespace refserver
