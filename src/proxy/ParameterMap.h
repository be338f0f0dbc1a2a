#pragma once

#include <boost/any.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace proxy {

// A four-character code as a key: the first character in the most
// significant byte.
constexpr std::int32_t fourCharKey(const char (&code)[5]) {
    return static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24U) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16U) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8U) |
        static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
}

// The plug-in's settings: four-character key codes, ordered as signed 32-bit
// integers, to values of std::string (UTF-8), int, double or bool.
using ParameterMap = std::map<std::int32_t, boost::any>;

namespace parameterKeys {
// The server's settings text, opaque to the plug-in.
inline constexpr std::int32_t settingsText = fourCharKey("SsPS");
// 1 when the server's settings ask for a new layer, else 0.
inline constexpr std::int32_t newLayer = fourCharKey("NLnl");
// When both are present, the output size that the document description
// carries instead of the document's own.
inline constexpr std::int32_t outputWidth = fourCharKey("SSow");
inline constexpr std::int32_t outputHeight = fourCharKey("SSoh");
// Copied into newLayerOpacity when a new layer is recorded.
inline constexpr std::int32_t intensity = fourCharKey("Intn");

// Keys of the scripting descriptor only: the progress range, a run that
// renders nothing, and the automatic new-layer pass with the server it
// attaches to.
inline constexpr std::int32_t progressStart = fourCharKey("Ssps");
inline constexpr std::int32_t progressEnd = fourCharKey("Sspe");
inline constexpr std::int32_t skipRender = fourCharKey("VTsf");
inline constexpr std::int32_t automaticPass = fourCharKey("NLap");
inline constexpr std::int32_t reuseServerDocument = fourCharKey("NLsl");
inline constexpr std::int32_t connectionName = fourCharKey("NLrt");
inline constexpr std::int32_t serverProcessId = fourCharKey("NLri");

// Written with a new layer for the component that makes it.
inline constexpr std::int32_t layerName = fourCharKey("NLln");
inline constexpr std::int32_t newLayerVersion = fourCharKey("NLav");
inline constexpr std::int32_t newLayerAbFlag = fourCharKey("NLab");
inline constexpr std::int32_t newLayerDuFlag = fourCharKey("NLdu");
inline constexpr std::int32_t newLayerDeFlag = fourCharKey("NLde");
inline constexpr std::int32_t layerHasTransparency = fourCharKey("NLis");
inline constexpr std::int32_t newLayerOpacity = fourCharKey("NLlo");
inline constexpr std::int32_t newLayerFnText = fourCharKey("NLfn");
inline constexpr std::int32_t newLayerFiText = fourCharKey("NLfi");
// Never written by the plug-in; dropped when read.
inline constexpr std::int32_t newLayerReserved = fourCharKey("NLrr");
} // namespace parameterKeys

// Type codes of the parameter block.
enum ParameterType : std::uint8_t {
    parameterText = 0,    // the characters and one NUL
    parameterDouble = 1,  // 8 bytes
    parameterInteger = 2, // 4 bytes
    parameterBool = 3,    // 4 bytes: 1 or 0
};

// Size of a record header: key code, value length, type code.
inline constexpr std::size_t parameterHeaderSize = 9;

// The block kept in the host's parameter handle: one record per entry, in
// map order, with no header, count or terminator. A `long` is written as an
// int (its low 32 bits, all of a Windows long). Values of any other type have
// no encoding and are left out. An empty map gives no bytes.
std::vector<std::uint8_t> serializeParameters(const ParameterMap& map);

// Reads a block whatever its bytes, never past its end. Records are read
// while a whole header remains; then, by what the record holds:
// - a header cut short by the end of the block: reading stops there;
// - a negative length, or a length that runs past the end: the record cannot
//   be framed, so reading stops there and the rest is dropped;
// - a text without its NUL within its length: the whole value is the text;
//   a NUL inside the value ends the text there;
// - a double shorter than 8 bytes, an int or bool shorter than 4: the record
//   is skipped (a longer value uses its first bytes);
// - an unknown type code: the record is skipped.
// A skipped record leaves an earlier value of its key alone; a later record
// of a key replaces an earlier one. What was read before a stop is kept.
ParameterMap deserializeParameters(const std::uint8_t* bytes, std::size_t size);
ParameterMap deserializeParameters(const std::vector<std::uint8_t>& bytes);

} // namespace proxy
