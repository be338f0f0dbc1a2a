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

// Two spaces after the first full stop.
inline constexpr const char* editableTransparencyRequired =
    "This filter requires editable transparency.  Please turn off Lock Transparent Pixels in the "
    "Layers palette.";
// What the automatic new-layer pass says itself; other runs leave their
// failures to the host.
inline constexpr const char* outOfMemoryWhileRendering =
    "The filter ran out of available memory while rendering the effect.";
inline constexpr const char* generalErrorWhileRendering =
    "A general error occurred while rendering the effect.";

// The descriptor-registry entry that the component playing the automatic
// new-layer pass places while it runs.
inline constexpr const char* automaticPassRegistryKey = "Running from Solvanta Q9 Autolayer";

// Descriptor-registry entries placed by other software; the probes that
// test them live with the proxy.
inline constexpr const char* newLayerRegistryKey = proxy::registryKeys::newLayer;
inline constexpr const char* sixteenBitRestrictionRegistryKey =
    proxy::registryKeys::sixteenBitRestriction;

} // namespace plugin::texts
