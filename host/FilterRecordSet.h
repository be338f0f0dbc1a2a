#pragma once

#include "host/Document.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"

namespace host {

// The filter record of one application and the blocks it points to. Their
// addresses go to the plug-in, so they stay where they are for as long as
// the host lives; each application starts them afresh.
struct FilterRecordSet {
    FilterRecordSet() { installCallbacks(); }

    hostapi::FilterRecord record{};
    hostapi::BigDocumentStruct bigDocument{};
    hostapi::PlatformData platformData{};
    hostapi::HandleProcs handleProcs{};
    hostapi::PropertyProcs propertyProcs{};
    hostapi::BufferProcs bufferProcs{};
    hostapi::PIDescriptorParameters descriptorParameters{};
    hostapi::SPBasicSuite basicSuite{};
    hostapi::AboutRecord aboutRecord{};
    hostapi::Str255 errorString{};

    bool open = false;
    // Handles the host made for this application.
    hostapi::Handle iccHandle = nullptr;
    hostapi::Handle descriptorHandle = nullptr;

    // A fresh record: the callbacks and services `options` offer (the
    // withdrawn ones null), the document's description and the host's
    // defaults for requests. `window` is the host's window, for platformData.
    void reset(const Document& document, const HostOptions& options, void* window);
    // A fresh AboutRecord with the services it carries.
    hostapi::AboutRecord& resetAbout(const HostOptions& options);
    // The plug-in opted in to the 32-bit rectangle fields.
    bool usesBigCoordinates() const {
        return record.bigDocumentData != nullptr &&
               record.bigDocumentData->PluginUsing32BitCoordinates != 0;
    }

private:
    void installCallbacks();
    void offerServices(const HostOptions& options);
};

} // namespace host
