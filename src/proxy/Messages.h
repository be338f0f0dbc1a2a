#pragma once

// The records that plug-in and server exchange. Each is a plain structure in
// the machine's byte order with natural alignment; it is sent as exactly its
// size and received into a whole 768-byte queue cell. The server reads the
// records by offset, so every offset below is checked at compile time.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace msg {

// Size of the buffer every record is received into: one queue cell.
inline constexpr std::size_t cellSize = 768;
// Shared-memory names travel as NUL-terminated texts in arrays of this size.
inline constexpr std::size_t nameSize = 32;

enum Selector : std::int32_t {
    ping = 0,
    pingResponse = 1,
    hostSettings = 2,
    documentInfoLaunched = 3,
    documentInfoAttached = 4,
    finish = 5,
    cancel = 6,
    startInteractive = 7,
    finishAcknowledged = 8,
    bringToFront = 9,
    setParameters = 10,
    setParametersResponse = 11,
    getParameters = 12,
    getParametersResponse = 13,
    getParametersSize = 14,
    getParametersSizeResponse = 15,
    readInput = 16,
    readInputResponse = 17,
    readMask = 18,
    readMaskResponse = 19,
    writeOutput = 20,
    writeOutputResponse = 21,
    newLayerFlag = 22,
    startRender = 23,
    endWithError = 24,
    endConnection = 25,
    keepServer = 27,
    getNewLayerParameters = 28,
    getNewLayerParametersResponse = 29,
    pickColor = 30,
    convertColor = 31,
    convertImage = 32,
    convertImageResponse = 33,
    display = 34,
    displayResponse = 35,
    progress = 36, // from the server: progress; from the plug-in: abort
};

} // namespace msg

struct msgBase {
    std::int32_t selector;
};

namespace msg {

// A whole queue cell as received, whatever record it holds.
struct Cell {
    alignas(8) unsigned char bytes[cellSize];

    [[nodiscard]] std::int32_t selector() const { return as<msgBase>().selector; }
    // The record of type R at the start of the cell.
    template <typename R> [[nodiscard]] R as() const {
        static_assert(sizeof(R) <= cellSize, "a record fits in one queue cell");
        R record;
        std::memcpy(&record, bytes, sizeof record);
        return record;
    }
};

// A record with its selector set and every other byte zero.
template <typename R> R emptyRecord(std::int32_t selector) {
    R record{};
    record.selector = selector;
    return record;
}

} // namespace msg

// A rectangle in a message: right and bottom exclusive.
struct WireRect {
    std::int32_t left;
    std::int32_t right;
    std::int32_t top;
    std::int32_t bottom;
};

// Answers to the plug-in's requests. Each is built with its own selector
// and zeros, then the received bytes are copied over it.

struct msgPingResponse : msgBase {};

struct msgSetParametersResponse : msgBase {
    std::int32_t status;
};

struct msgGetParametersResponse : msgBase {
    std::int32_t status; // 0 success
};

struct msgGetParametersSizeResponse : msgBase {
    std::int32_t size; // bytes of the settings text
};

struct msgGetNewLayerParametersResponse : msgBase {
    char fnText[32];
    char fiText[32];
    std::uint8_t abFlag;
    std::uint8_t duFlag;
    std::uint8_t deFlag;
    std::uint8_t layerName[130]; // 65 UTF-16 code units, not aligned
};

namespace msg {

// The selector of each answer to one of the plug-in's requests. Only these
// five records are answers; another type names no selector and does not
// compile as one.
template <typename R> struct AnswerSelector;
template <> struct AnswerSelector<msgPingResponse> {
    static constexpr std::int32_t value = pingResponse;
};
template <> struct AnswerSelector<msgSetParametersResponse> {
    static constexpr std::int32_t value = setParametersResponse;
};
template <> struct AnswerSelector<msgGetParametersResponse> {
    static constexpr std::int32_t value = getParametersResponse;
};
template <> struct AnswerSelector<msgGetParametersSizeResponse> {
    static constexpr std::int32_t value = getParametersSizeResponse;
};
template <> struct AnswerSelector<msgGetNewLayerParametersResponse> {
    static constexpr std::int32_t value = getNewLayerParametersResponse;
};

} // namespace msg

// The plug-in's one-way messages and requests.

struct msgHostSettings : msgBase {
    std::uint8_t constant4;
    std::uint8_t constant5;
    std::uint8_t constant6;
    std::uint8_t constant7;
    std::uint8_t newLayerCapable;
    std::uint8_t constant9;
    std::uint8_t constant10;
    std::uint8_t constant11;
    std::uint8_t maskFromTransparency;
    std::uint8_t maskFullySelected;
    std::uint8_t descriptorHadKeys;
    std::uint8_t lissSet;
    std::uint8_t plipSetWithoutAutolayer;
    std::uint8_t constant17;
    std::uint16_t background[4]; // red, green, blue 0..255, alpha 255
    std::uint16_t foreground[4];
};

struct msgDocumentInfo : msgBase {
    std::int32_t version; // 1
    std::uint8_t bytesPerChannel;
    std::uint8_t hasSelectionMask;
    std::uint8_t hasSelection;
    std::uint8_t documentName[512]; // UTF-16 code units as the host gave them
    WireRect imageRect;
    WireRect wholeRect;
    WireRect effectiveRect;
    std::uint8_t colorModel; // low 8 bits: duotone arrives as 244
    std::uint8_t colorChannels;
    std::uint8_t hasAlpha;
    char iccProfileName[33];
};

struct msgNewLayerFlag : msgBase {
    std::uint8_t newLayer;
};

struct msgKeepServer : msgBase {
    std::int32_t value; // 600
};

struct msgAbort : msgBase {
    std::int32_t unused;
    std::int32_t code; // 1000
    std::int32_t unused2;
};

struct msgGetParameters : msgBase {
    char bufferName[msg::nameSize];
};

struct msgSetParameters : msgBase {
    char bufferName[msg::nameSize];
};

// The server's requests and the plug-in's answers. A name that runs "to the
// end" of a request may use the rest of the queue cell; the reader bounds it
// by the cell, from these offsets on.
namespace msg {
inline constexpr std::size_t readInputNameOffset = 43;
inline constexpr std::size_t readMaskNameOffset = 44;
inline constexpr std::size_t displayResultNameOffset = 74;
inline constexpr std::size_t convertImageNameOffset = 42;
} // namespace msg

struct msgReadInputRequest : msgBase {
    WireRect rect;
    std::int32_t step;
    std::uint8_t deliver8Bit;
    std::uint8_t reopen;
    std::int32_t minRowBytes;
    std::int32_t bytesPerSample;
    std::int32_t unused36;
    std::uint8_t colorModel;
    std::uint8_t colorChannels;
    std::uint8_t hasAlpha;
    char bufferName[msg::nameSize + 1];
};

struct msgReadInputResponse : msgBase {
    std::int32_t result;
};

struct msgReadMaskRequest : msgBase {
    WireRect rect;
    std::uint8_t declined;
    std::uint8_t unused21;
    std::uint8_t reopen;
    std::int32_t minRowBytes;
    std::int32_t bytesPerSample;
    std::int32_t channels;
    std::int32_t unused36;
    std::int32_t unused40;
    char bufferName[msg::nameSize + 1];
};

struct msgReadMaskResponse : msgBase {
    std::int32_t result; // always 0
    std::uint8_t copied;
};

struct msgWriteOutputRequest : msgBase {
    WireRect rect;
    std::int32_t minRowBytes;
    std::int32_t bytesPerSample;
    std::int32_t unused28;
    std::int32_t colorModel;
    std::int32_t colorChannels;
    std::uint8_t hasAlpha;
    char bufferName[msg::nameSize];
    std::uint8_t reopen;
};

struct msgWriteOutputResponse : msgBase {
    std::int32_t result;
};

struct msgDisplayRequest : msgBase {
    WireRect rect;
    std::int32_t rowBytes;
    std::int32_t bytesPerSample;
    std::int32_t resultBytesPerPixel;
    std::int32_t colBytes;
    std::uint8_t colorModel;
    std::uint8_t colorChannels;
    std::uint8_t hasAlpha;
    char sourceName[msg::nameSize];
    std::uint8_t reopenSource;
    std::uint8_t reopenResult;
    std::uint8_t inPlace;
    char resultName[msg::nameSize + 1];
};

struct msgDisplayResponse : msgBase {
    std::int32_t result; // always 0
};

struct msgEndWithError : msgBase {
    std::int32_t unused;
    std::int32_t code;
};

struct msgProgress : msgBase {
    std::int32_t done; // negative: poll for a user abort
    std::int32_t total;
};

struct msgPickColorRequest : msgBase {
    std::int8_t space;
    std::uint8_t unused5;
    std::uint16_t components[4];
};

struct msgPickColorResponse : msgBase {
    std::uint8_t space;
    std::uint8_t unused5;
    std::uint16_t components[4];
    std::int32_t failed;
};

struct msgConvertColorRequest : msgBase {
    std::int8_t space;
    std::uint8_t unused5;
    std::uint16_t components[4];
    std::uint8_t unused14[6];
    std::int8_t targetSpace;
};

struct msgConvertColorResponse : msgBase {
    std::uint8_t unused4;
    std::uint8_t unused5;
    std::uint16_t components[4];
    std::int32_t result; // always 0
    std::uint8_t targetSpace;
};

struct msgConvertImageRequest : msgBase {
    WireRect rect;
    std::int32_t minRowBytes;
    std::int32_t bytesPerSample;
    std::int32_t unused28;
    std::int32_t unused32;
    std::uint8_t sourceModel;
    std::uint8_t sourceChannels;
    std::uint8_t sourceHasAlpha;
    std::uint8_t targetModel;
    std::uint8_t targetChannels;
    std::uint8_t targetHasAlpha;
    char bufferName[msg::nameSize + 1];
};

struct msgConvertImageResponse : msgBase {
    std::int32_t result; // always 0
};
