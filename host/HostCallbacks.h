#pragma once

// The C functions the plug-in calls, a file for each callback table or
// suite. Each reaches the tables of the active host (host/ActiveHost.h) and
// records what it was asked.

#include "hostapi/FilterInterface.h"

#include <cstdint>
#include <string>

namespace host {

// RecordCallbacks.cpp: the callbacks the filter record holds directly
// (abort, progress, events, and those of the files below).
void installRecordCallbacks(hostapi::FilterRecord& record);

// ImageDelivery.cpp
hostapi::OSErr hostAdvanceState();
// ColorServicesCallback.cpp
hostapi::OSErr hostColorServices(hostapi::ColorServicesInfo* info);
// DisplayPixelsCallback.cpp
hostapi::OSErr hostDisplayPixels(const hostapi::PSPixelMap* source, const hostapi::VRect* srcRect,
                                 hostapi::int32 dstRow, hostapi::int32 dstCol,
                                 void* platformContext);

// HandleCallbacks.cpp: the callback table and both versions of the suite.
hostapi::HandleProcs hostHandleProcs();
const void* handleSuite(std::int32_t version);
// PropertyCallbacks.cpp: the table is also the property suite.
hostapi::PropertyProcs hostPropertyProcs();
hostapi::OSErr hostGetProperty(hostapi::uint32 signature, hostapi::uint32 key, hostapi::int32 index,
                               std::intptr_t* simple, hostapi::Handle* complex);
// BufferCallbacks.cpp: the table is also the buffer suite.
hostapi::BufferProcs hostBufferProcs();
// BasicSuite.cpp: the basic suite, and the suite tables it hands out.
hostapi::SPBasicSuite hostBasicSuite();
const void* suiteTable(const std::string& name, std::int32_t version);

// One file each.
const hostapi::ActionDescriptorSuite& actionDescriptorSuite();
const hostapi::DescriptorRegistrySuite& descriptorRegistrySuite();
const hostapi::ZStringSuite& zstringSuite();
const hostapi::ColorSpaceSuite& colorSpaceSuite();
const hostapi::ChannelPortsSuite& channelPortsSuite();

} // namespace host
