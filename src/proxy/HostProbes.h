#pragma once

// What the plug-in asks of the host before and during a run: the
// colour-services probe, integer host properties and the new-layer
// capability test. They live at this level because the records sent to the
// server and the colour requests need them as well as the entry point. The
// probes answer false wherever the host lacks a service or refuses a call.

#include "hostapi/FilterInterface.h"

#include <cstdint>

namespace proxy {

// Descriptor-registry entries placed by other software; only their presence
// is tested.
namespace registryKeys {
inline constexpr const char* newLayer = "13EA872F-9089-Solvanta Q9-4cda-B2A0-C3E62A4EF52B";
inline constexpr const char* sixteenBitRestriction = "1111a5ef-2c42-4cd0-80fa-c15fbb04551b";
} // namespace registryKeys

// Which colour conversions the host's colour services accept, between the
// three spaces the server works in.
class ColorServicesTable {
public:
    // The first call converts one sample colour for each ordered pair of
    // spaces; later calls do nothing. Without colour services every pair is
    // unsupported and nothing is called.
    void probe(const hostapi::FilterRecord* record) noexcept;
    [[nodiscard]] bool probed() const { return probed_; }
    // False when either space is not one of the probed ones.
    [[nodiscard]] bool supports(hostapi::int16 source, hostapi::int16 destination) const;

private:
    bool probed_ = false;
    bool supported_[3][3]{};
};

// Whether the plug-in may deliver its result as a new layer. The descriptor
// registry is consulted the first time only; the host properties every time.
class NewLayerCapability {
public:
    // Reads gFilterRecord and the acquired suites.
    bool ask() noexcept;

private:
    void consultRegistry() noexcept;

    bool notYetAsked_ = true;
    bool enabled_ = false;
    bool restrictedTo8Bit_ = false;
};

// The process-wide table, probed on the first call with a non-zero selector.
void probeColorServices(const hostapi::FilterRecord* record) noexcept;
bool ColorConversionSupported(hostapi::int16 source, hostapi::int16 destination);

// The process-wide capability cache.
bool NewLayerCapable() noexcept;

// Whether the host's integer property `key` (class '8BIM') of gFilterRecord
// reads non-zero; false when the host has no property callbacks or refuses
// the call.
bool HostPropertySet(std::uint32_t key) noexcept;

} // namespace proxy
