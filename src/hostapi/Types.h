#pragma once

// Base types of the host's filter interface as the 64-bit Windows host sees
// them. Fixed-width integers and 8-byte pointers give the same sizes on
// Linux x86-64, so every layout declared on top of these holds there too.

#include <cstddef>
#include <cstdint>

namespace hostapi {

using int8 = std::int8_t;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using real32 = float;
using real64 = double;

// The host reads only the low byte of a Boolean result and only the low
// 16 bits of an OSErr: declare them at exactly that width, never wider.
using Boolean = uint8;
using OSErr = int16;
// The suite-based services return and take 32-bit values instead.
using SPErr = int32;
using ASErr = int32;
using SPBoolean = int32;
using ASBoolean = int32;

using OSType = uint32;
using ResType = uint32;
using DescriptorKeyID = uint32;
using DescriptorTypeID = uint32;
using DescriptorClassID = uint32;
using DescriptorEnumID = uint32;
using DescriptorUnitID = uint32;

// 16.16 fixed point.
using Fixed = int32;

using Ptr = char*;
// Host-managed memory: allocate, resize and free it through the host's
// handle callbacks, never with the C runtime.
using Handle = char**;
using PIDescriptorHandle = Handle;

using ASUnicode = uint16;
// Length byte followed by up to 255 characters.
using Str255 = uint8[256];
// A colour in the document's own colour space.
using FilterColor = uint8[4];
using Color8 = uint8[4];
using Color16 = uint16[4];

// Vertical before horizontal, top and left before bottom and right: the
// host's order, not the plug-in's.
struct Point {
    int16 v;
    int16 h;
};

struct Rect {
    int16 top;
    int16 left;
    int16 bottom;
    int16 right;
};

struct VPoint {
    int32 v;
    int32 h;
};

struct VRect {
    int32 top;
    int32 left;
    int32 bottom;
    int32 right;
};

// 0..65535 per component.
struct RGBColor {
    uint16 red;
    uint16 green;
    uint16 blue;
};

struct CS_XYZColor {
    uint16 x;
    uint16 y;
    uint16 z;
};

struct PlugInMonitor {
    Fixed gamma;
    Fixed redX;
    Fixed redY;
    Fixed greenX;
    Fixed greenY;
    Fixed blueX;
    Fixed blueY;
    Fixed whiteX;
    Fixed whiteY;
    Fixed ambient;
};

struct PlatformData {
    // The HWND that owns the plug-in's dialogs and message boxes.
    std::intptr_t hwnd;
};

// Host objects the plug-in only passes back to the host, never dereferences.
struct BufferOpaque;
struct ActionDescriptorOpaque;
struct ActionListOpaque;
struct ActionReferenceOpaque;
struct ZStringOpaque;
struct ColorOpaque;
struct ChannelPortOpaque;
struct ReadDescriptorOpaque;
struct WriteDescriptorOpaque;
struct PluginOpaque;

using BufferID = BufferOpaque*;
using PIActionDescriptor = ActionDescriptorOpaque*;
using PIActionList = ActionListOpaque*;
using PIActionReference = ActionReferenceOpaque*;
using ASZString = ZStringOpaque*;
using ColorID = ColorOpaque*;
using PIChannelPort = ChannelPortOpaque*;
using PIReadDescriptor = ReadDescriptorOpaque*;
using PIWriteDescriptor = WriteDescriptorOpaque*;
using SPPluginRef = PluginOpaque*;

// Host records that only appear behind pointers we never follow; their
// layouts are deliberately left undeclared.
struct ResourceProcs;
struct ImageServicesProcs;
struct ChannelPortProcs;
struct ReadImageDocumentDesc;
struct PSPixelOverlay;
struct PixelMemoryDesc;
struct PSScaling;

// A four-character code as the host stores it: the first character in the
// most significant byte ('NLnl' is 0x4E4C6E6C). Characters are taken as
// unsigned bytes so that codes with bytes of 0x80 and above stay intact.
constexpr uint32 fourCharCode(const char (&code)[5]) {
    return (static_cast<uint32>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<uint32>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<uint32>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<uint32>(static_cast<unsigned char>(code[3]));
}

} // namespace hostapi
