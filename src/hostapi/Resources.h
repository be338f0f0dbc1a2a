#pragma once

// Numbers of the property-list and terminology resources through which the
// host finds and scripts the plug-in. Both are stored little-endian on
// Windows, four-character codes included.

#include "hostapi/Types.h"

namespace hostapi {

// Resource compilers store named types upper-cased and hosts look them up
// without regard to case. Open point: only one resource compiler was seen to
// do so; writing upper case is safe either way.
inline constexpr const char* propertyListResourceType = "PIPL";
inline constexpr const char* terminologyResourceType = "AETE";

// The Windows form of both resources starts with this word.
inline constexpr int16 windowsResourceReservedWord = 1;
inline constexpr int32 propertyListVersion = 0;
// Open point: sources disagree whether a property's stored length includes
// the zero padding to 4 bytes; hosts round up either way, so store it padded.

// Property-list keys; every property's vendor is photoshopSignature.
inline constexpr uint32 piplKeyKind = fourCharCode("kind");
inline constexpr uint32 piplKeyVersion = fourCharCode("vers");
inline constexpr uint32 piplKeyPriority = fourCharCode("prty");
inline constexpr uint32 piplKeyComponent = fourCharCode("cmpt");
inline constexpr uint32 piplKeyName = fourCharCode("name");
inline constexpr uint32 piplKeyCategory = fourCharCode("catg");
inline constexpr uint32 piplKeyEntryPointX64 = fourCharCode("8664");
inline constexpr uint32 piplKeyEntryPointX86 = fourCharCode("wx86");
inline constexpr uint32 piplKeyEntryPointArm64 = fourCharCode("wa64");
inline constexpr uint32 piplKeyNoAboutBox = fourCharCode("nabo");
// Open point: an empty scope string lets outside scripting reach the plug-in,
// a unique one limits scripting to the host; sources differ on which is valid.
inline constexpr uint32 piplKeyTerminology = fourCharCode("hstm");
// Open point: one builder writes this flag set as a swapped 16-bit word; the
// host reads a byte string, image mode n at bit 7 - n % 8 of byte n / 8.
inline constexpr uint32 piplKeySupportedModes = fourCharCode("mode");
inline constexpr uint32 piplKeyEnableInfo = fourCharCode("enbl");
inline constexpr uint32 piplKeyFilterLayerSupport = fourCharCode("flly");
inline constexpr uint32 piplKeyMaxSize = fourCharCode("ms32");
inline constexpr uint32 piplKeyMinSize = fourCharCode("mn32");
inline constexpr uint32 piplKeyFilterCaseInfo = fourCharCode("fici");
inline constexpr uint32 piplKeyRequiredHost = fourCharCode("host");

inline constexpr uint32 filterKind = fourCharCode("8BFM");
// Major version in the high 16 bits, minor in the low.
inline constexpr int32 filterInterfaceVersion = 0x00040000;
// First flag of the filter-layer flag set.
inline constexpr uint8 filterLayerSupported = 0x80;

// Input and output handling bytes of a filter-case entry.
inline constexpr uint8 ficiCannotFilter = 0;
inline constexpr uint8 ficiStraightData = 1;
inline constexpr uint8 ficiBlackMatte = 2;
inline constexpr uint8 ficiGrayMatte = 3;
inline constexpr uint8 ficiWhiteMatte = 4;
// Input handling only.
inline constexpr uint8 ficiDefringe = 5;
inline constexpr uint8 ficiBlackZap = 6;
inline constexpr uint8 ficiGrayZap = 7;
inline constexpr uint8 ficiWhiteZap = 8;
inline constexpr uint8 ficiBackgroundZap = 10;
inline constexpr uint8 ficiForegroundZap = 11;
// Output handling only, cases with editable transparency.
inline constexpr uint8 ficiFillMask = 9;

// First flag byte of a filter-case entry; the second is reserved (0).
// Open point: another template of the format lacks the writes-outside bit;
// the three low bits agree everywhere.
inline constexpr uint8 ficiDontCopyToDestination = 0x01;
inline constexpr uint8 ficiWorksWithBlankData = 0x02;
inline constexpr uint8 ficiFiltersLayerMasks = 0x04;
inline constexpr uint8 ficiWritesOutsideSelection = 0x08;

// Terminology resource.
inline constexpr uint8 terminologyMajorVersion = 1;
inline constexpr uint8 terminologyMinorVersion = 0;
inline constexpr uint16 terminologyReplyFlags = 0x0000;
// Optional, single, enumerated, changes state: the usual filter direct
// parameter, whose type is typeImageReference.
inline constexpr uint16 terminologyDirectParameterFlags = 0xB000;
inline constexpr uint16 terminologyParameterRequired = 0x0000;
inline constexpr uint16 terminologyParameterRequiredList = 0x4000;
inline constexpr uint16 terminologyParameterRequiredEnumerated = 0x2000;
inline constexpr uint16 terminologyParameterOptional = 0x8000;
inline constexpr uint16 terminologyParameterOptionalEnumerated = 0xA000;
inline constexpr uint16 terminologyPropertyReadWrite = 0x1000;

} // namespace hostapi
