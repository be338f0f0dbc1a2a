#pragma once

// Texts the plug-in shows or hands to the host. Tests compare against these
// very strings.
namespace plugin::texts {

inline constexpr const char* errorTitle = "Error";
// Two spaces after the first full stop.
inline constexpr const char* incompatibleSystem =
    "This program is not compatible with this version of Microsoft Windows.  Please check the "
    "published system requirements.";

// Descriptor-registry entries placed by other software; only their presence
// is tested.
inline constexpr const char* newLayerRegistryKey =
    "13EA872F-9089-Solvanta Q9-4cda-B2A0-C3E62A4EF52B";
inline constexpr const char* sixteenBitRestrictionRegistryKey =
    "1111a5ef-2c42-4cd0-80fa-c15fbb04551b";

} // namespace plugin::texts
