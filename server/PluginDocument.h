#pragma once

#include "Adjustment.h"
#include "proxy/Messages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ipc {
class IPCMemoryBuffer;
}

namespace refserver {

class SessionLog;

std::int64_t widthOf(const WireRect& rect);
std::int64_t heightOf(const WireRect& rect);

// What the plug-in told the server about the host and the document: the host
// settings (2) and the latest document description (3 or 4), with the ICC
// profile buffer it names when that buffer's size fits what is mapped.
class PluginDocument {
public:
    explicit PluginDocument(SessionLog& log);
    PluginDocument(const PluginDocument&) = delete;
    PluginDocument& operator=(const PluginDocument&) = delete;
    ~PluginDocument();

    void takeHostSettings(const msgHostSettings& settings);
    void takeDescription(const msgDocumentInfo& document);

    // The host's foreground colour, opaque black before any host settings.
    void foreground(std::uint16_t (&colour)[4]) const;
    const WireRect& effectiveBounds() const { return document_.effectiveRect; }
    bool hasSelectionMask() const { return document_.hasSelectionMask != 0; }
    // The layout of the document's pixels; nothing, with the reason in
    // `failure`, when there is no description the server can render: none,
    // a sample size other than 1 or 2 bytes, no colour channels, empty
    // effective bounds.
    std::optional<PixelLayout> layout(std::string& failure) const;

private:
    void takeProfile(const msgDocumentInfo& document, std::string& line);

    SessionLog& log_;
    msgHostSettings hostSettings_{};
    bool haveHostSettings_ = false;
    msgDocumentInfo document_{};
    bool haveDocument_ = false;
    std::unique_ptr<ipc::IPCMemoryBuffer> iccProfile_;
};

} // namespace refserver
