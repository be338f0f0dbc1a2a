#include "plugin/HostProbes.h"

namespace plugin {

void optInToBigDocuments(hostapi::FilterRecord* record) noexcept {
    if (record != nullptr && record->bigDocumentData != nullptr) {
        record->bigDocumentData->PluginUsing32BitCoordinates = 1;
    }
}

} // namespace plugin
