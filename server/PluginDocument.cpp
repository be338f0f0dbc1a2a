#include "PluginDocument.h"

#include "PeerInput.h"
#include "SessionLog.h"
#include "Utf16Field.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/NamedBuffers.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace refserver {

std::int64_t widthOf(const WireRect& rect) {
    return std::int64_t{rect.right} - rect.left;
}

std::int64_t heightOf(const WireRect& rect) {
    return std::int64_t{rect.bottom} - rect.top;
}

PluginDocument::PluginDocument(SessionLog& log) : log_(log) {}

PluginDocument::~PluginDocument() = default;

void PluginDocument::takeHostSettings(const msgHostSettings& settings) {
    hostSettings_ = settings;
    haveHostSettings_ = true;
    std::ostringstream line;
    line << "host-settings newLayerCapable=" << int{settings.newLayerCapable}
         << " maskFromTransparency=" << int{settings.maskFromTransparency}
         << " maskFullySelected=" << int{settings.maskFullySelected}
         << " descriptorHadKeys=" << int{settings.descriptorHadKeys}
         << " liss=" << int{settings.lissSet} << " plip=" << int{settings.plipSetWithoutAutolayer}
         << " constants=" << int{settings.constant4} << int{settings.constant5}
         << int{settings.constant6} << int{settings.constant7} << int{settings.constant9}
         << int{settings.constant10} << int{settings.constant11} << int{settings.constant17}
         << " background=" << colourText(settings.background)
         << " foreground=" << colourText(settings.foreground);
    log_.write(line.str());
}

void PluginDocument::takeDescription(const msgDocumentInfo& document) {
    document_ = document;
    haveDocument_ = true;
    std::ostringstream line;
    line << "document selector=" << document.selector << " version=" << document.version
         << " bytesPerChannel=" << int{document.bytesPerChannel}
         << " hasSelectionMask=" << int{document.hasSelectionMask}
         << " hasSelection=" << int{document.hasSelection}
         << " image=" << rectText(document.imageRect) << " whole=" << rectText(document.wholeRect)
         << " effective=" << rectText(document.effectiveRect)
         << " model=" << int{document.colorModel} << " channels=" << int{document.colorChannels}
         << " alpha=" << int{document.hasAlpha};
    std::string text = line.str();
    takeProfile(document, text);
    // Last, as the name may hold any text.
    text += " name=" + utf8FromUtf16Field(document.documentName, sizeof document.documentName);
    log_.write(text);
}

// Keeps the profile buffer the description names when its size header fits
// what is mapped; says in `line` what became of it.
void PluginDocument::takeProfile(const msgDocumentInfo& document, std::string& line) {
    iccProfile_.reset();
    const std::string name = msg::fieldText(document.iccProfileName);
    if (name.empty()) {
        return;
    }
    std::string failure;
    std::unique_ptr<ipc::IPCMemoryBuffer> profile = openPeerBuffer(name, failure);
    const std::int64_t size = profile ? checkedPayloadSize(*profile, failure) : -1;
    line += " icc=" + name;
    if (size < 0) {
        line += " iccRejected=\"" + failure + '"';
        return;
    }
    line += " iccBytes=" + std::to_string(size) + " iccChecksum=" +
            std::to_string(checksum(profile->data(), static_cast<std::size_t>(size)));
    iccProfile_ = std::move(profile);
}

void PluginDocument::foreground(std::uint16_t (&colour)[4]) const {
    const std::uint16_t black[4] = {0, 0, 0, 255};
    const std::uint16_t(&from)[4] = haveHostSettings_ ? hostSettings_.foreground : black;
    std::copy(std::begin(from), std::end(from), std::begin(colour));
}

std::optional<PixelLayout> PluginDocument::layout(std::string& failure) const {
    if (!haveDocument_) {
        failure = "no document description";
        return std::nullopt;
    }
    PixelLayout layout;
    layout.colorModel = document_.colorModel;
    layout.colorChannels = document_.colorChannels;
    layout.hasAlpha = document_.hasAlpha != 0;
    layout.bytesPerSample = document_.bytesPerChannel;
    const WireRect& area = document_.effectiveRect;
    if (layout.bytesPerSample != 1 && layout.bytesPerSample != 2) {
        failure = "unsupported bytes per channel " + std::to_string(layout.bytesPerSample);
    } else if (layout.colorChannels < 1) {
        failure = "no colour channels";
    } else if (widthOf(area) <= 0 || heightOf(area) <= 0) {
        failure = "empty effective bounds " + rectText(area);
    } else {
        return layout;
    }
    return std::nullopt;
}

} // namespace refserver
