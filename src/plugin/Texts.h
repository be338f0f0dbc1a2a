#pragma once

#include "proxy/HostProbes.h"

// Texts the plug-in shows or hands to the host. Tests compare against these
// very strings.
namespace plugin::texts {

inline constexpr const char* errorTitle = "Error";
// Two spaces after the first full stop.
inline constexpr const char* incompatibleSystem =
    "This program is not compatible with this version of Microsoft Windows.  Please check the "
    "published system requirements.";

// Descriptor-registry entries placed by other software; the probes that
// test them live with the proxy.
inline constexpr const char* newLayerRegistryKey = proxy::registryKeys::newLayer;
inline constexpr const char* sixteenBitRestrictionRegistryKey =
    proxy::registryKeys::sixteenBitRestriction;

} // namespace plugin::texts
