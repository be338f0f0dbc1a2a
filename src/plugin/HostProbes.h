#pragma once

// The host probes of the entry point. The big-document opt-in is the entry
// point's own; the other probes live with the proxy, whose records need them
// too, and are named here as the entry point has always named them.

#include "hostapi/FilterInterface.h"
#include "proxy/HostProbes.h"

namespace plugin {

// From now on rectangles travel through the big-document record's 32-bit
// fields, when the host has that record.
void optInToBigDocuments(hostapi::FilterRecord* record) noexcept;

using proxy::ColorConversionSupported;
using proxy::ColorServicesTable;
using proxy::HostPropertySet;
using proxy::NewLayerCapability;
using proxy::NewLayerCapable;
using proxy::probeColorServices;

} // namespace plugin
