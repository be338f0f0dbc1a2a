// Compile-time checks of every record's size and field offsets: the server
// reads the records by offset.

#include "proxy/Messages.h"

#include <cstddef>
#include <type_traits>

// The records extend msgBase, which makes offsetof formally conditionally
// supported; both compilers lay a base without padding out first.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

static_assert(sizeof(msgBase) == 4);
static_assert(std::is_trivially_copyable_v<msgBase>);
static_assert(offsetof(msgBase, selector) == 0);

static_assert(sizeof(WireRect) == 16);
static_assert(std::is_trivially_copyable_v<WireRect>);
static_assert(offsetof(WireRect, left) == 0);
static_assert(offsetof(WireRect, right) == 4);
static_assert(offsetof(WireRect, top) == 8);
static_assert(offsetof(WireRect, bottom) == 12);

static_assert(sizeof(msgPingResponse) == 4);
static_assert(std::is_trivially_copyable_v<msgPingResponse>);

static_assert(sizeof(msgSetParametersResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgSetParametersResponse>);
static_assert(offsetof(msgSetParametersResponse, status) == 4);

static_assert(sizeof(msgGetParametersResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgGetParametersResponse>);
static_assert(offsetof(msgGetParametersResponse, status) == 4);

static_assert(sizeof(msgGetParametersSizeResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgGetParametersSizeResponse>);
static_assert(offsetof(msgGetParametersSizeResponse, size) == 4);

static_assert(sizeof(msgGetNewLayerParametersResponse) == 204);
static_assert(std::is_trivially_copyable_v<msgGetNewLayerParametersResponse>);
static_assert(offsetof(msgGetNewLayerParametersResponse, fnText) == 4);
static_assert(offsetof(msgGetNewLayerParametersResponse, fiText) == 36);
static_assert(offsetof(msgGetNewLayerParametersResponse, abFlag) == 68);
static_assert(offsetof(msgGetNewLayerParametersResponse, duFlag) == 69);
static_assert(offsetof(msgGetNewLayerParametersResponse, deFlag) == 70);
static_assert(offsetof(msgGetNewLayerParametersResponse, layerName) == 71);

static_assert(sizeof(msgHostSettings) == 36);
static_assert(std::is_trivially_copyable_v<msgHostSettings>);
static_assert(offsetof(msgHostSettings, constant4) == 4);
static_assert(offsetof(msgHostSettings, newLayerCapable) == 8);
static_assert(offsetof(msgHostSettings, constant11) == 11);
static_assert(offsetof(msgHostSettings, maskFromTransparency) == 12);
static_assert(offsetof(msgHostSettings, maskFullySelected) == 13);
static_assert(offsetof(msgHostSettings, descriptorHadKeys) == 14);
static_assert(offsetof(msgHostSettings, lissSet) == 15);
static_assert(offsetof(msgHostSettings, plipSetWithoutAutolayer) == 16);
static_assert(offsetof(msgHostSettings, constant17) == 17);
static_assert(offsetof(msgHostSettings, background) == 18);
static_assert(offsetof(msgHostSettings, foreground) == 26);

static_assert(sizeof(msgDocumentInfo) == 608);
static_assert(std::is_trivially_copyable_v<msgDocumentInfo>);
static_assert(offsetof(msgDocumentInfo, version) == 4);
static_assert(offsetof(msgDocumentInfo, bytesPerChannel) == 8);
static_assert(offsetof(msgDocumentInfo, hasSelectionMask) == 9);
static_assert(offsetof(msgDocumentInfo, hasSelection) == 10);
static_assert(offsetof(msgDocumentInfo, documentName) == 11);
static_assert(offsetof(msgDocumentInfo, imageRect) == 524);
static_assert(offsetof(msgDocumentInfo, wholeRect) == 540);
static_assert(offsetof(msgDocumentInfo, effectiveRect) == 556);
static_assert(offsetof(msgDocumentInfo, colorModel) == 572);
static_assert(offsetof(msgDocumentInfo, colorChannels) == 573);
static_assert(offsetof(msgDocumentInfo, hasAlpha) == 574);
static_assert(offsetof(msgDocumentInfo, iccProfileName) == 575);

static_assert(sizeof(msgNewLayerFlag) == 8);
static_assert(std::is_trivially_copyable_v<msgNewLayerFlag>);
static_assert(offsetof(msgNewLayerFlag, newLayer) == 4);

static_assert(sizeof(msgKeepServer) == 8);
static_assert(std::is_trivially_copyable_v<msgKeepServer>);
static_assert(offsetof(msgKeepServer, value) == 4);

static_assert(sizeof(msgAbort) == 16);
static_assert(std::is_trivially_copyable_v<msgAbort>);
static_assert(offsetof(msgAbort, code) == 8);

static_assert(sizeof(msgGetParameters) == 36);
static_assert(std::is_trivially_copyable_v<msgGetParameters>);
static_assert(offsetof(msgGetParameters, bufferName) == 4);

static_assert(sizeof(msgSetParameters) == 36);
static_assert(std::is_trivially_copyable_v<msgSetParameters>);
static_assert(offsetof(msgSetParameters, bufferName) == 4);

static_assert(sizeof(msgReadInputRequest) == 76);
static_assert(std::is_trivially_copyable_v<msgReadInputRequest>);
static_assert(offsetof(msgReadInputRequest, rect) == 4);
static_assert(offsetof(msgReadInputRequest, step) == 20);
static_assert(offsetof(msgReadInputRequest, deliver8Bit) == 24);
static_assert(offsetof(msgReadInputRequest, reopen) == 25);
static_assert(offsetof(msgReadInputRequest, minRowBytes) == 28);
static_assert(offsetof(msgReadInputRequest, bytesPerSample) == 32);
static_assert(offsetof(msgReadInputRequest, colorModel) == 40);
static_assert(offsetof(msgReadInputRequest, colorChannels) == 41);
static_assert(offsetof(msgReadInputRequest, hasAlpha) == 42);
static_assert(offsetof(msgReadInputRequest, bufferName) == msg::readInputNameOffset);

static_assert(sizeof(msgReadInputResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgReadInputResponse>);
static_assert(offsetof(msgReadInputResponse, result) == 4);

static_assert(sizeof(msgReadMaskRequest) == 80);
static_assert(std::is_trivially_copyable_v<msgReadMaskRequest>);
static_assert(offsetof(msgReadMaskRequest, rect) == 4);
static_assert(offsetof(msgReadMaskRequest, declined) == 20);
static_assert(offsetof(msgReadMaskRequest, reopen) == 22);
static_assert(offsetof(msgReadMaskRequest, minRowBytes) == 24);
static_assert(offsetof(msgReadMaskRequest, bytesPerSample) == 28);
static_assert(offsetof(msgReadMaskRequest, channels) == 32);
static_assert(offsetof(msgReadMaskRequest, bufferName) == msg::readMaskNameOffset);

static_assert(sizeof(msgReadMaskResponse) == 12);
static_assert(std::is_trivially_copyable_v<msgReadMaskResponse>);
static_assert(offsetof(msgReadMaskResponse, result) == 4);
static_assert(offsetof(msgReadMaskResponse, copied) == 8);

static_assert(sizeof(msgWriteOutputRequest) == 76);
static_assert(std::is_trivially_copyable_v<msgWriteOutputRequest>);
static_assert(offsetof(msgWriteOutputRequest, rect) == 4);
static_assert(offsetof(msgWriteOutputRequest, minRowBytes) == 20);
static_assert(offsetof(msgWriteOutputRequest, bytesPerSample) == 24);
static_assert(offsetof(msgWriteOutputRequest, colorModel) == 32);
static_assert(offsetof(msgWriteOutputRequest, colorChannels) == 36);
static_assert(offsetof(msgWriteOutputRequest, hasAlpha) == 40);
static_assert(offsetof(msgWriteOutputRequest, bufferName) == 41);
static_assert(offsetof(msgWriteOutputRequest, reopen) == 73);

static_assert(sizeof(msgWriteOutputResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgWriteOutputResponse>);
static_assert(offsetof(msgWriteOutputResponse, result) == 4);

static_assert(sizeof(msgDisplayRequest) == 108);
static_assert(std::is_trivially_copyable_v<msgDisplayRequest>);
static_assert(offsetof(msgDisplayRequest, rect) == 4);
static_assert(offsetof(msgDisplayRequest, rowBytes) == 20);
static_assert(offsetof(msgDisplayRequest, bytesPerSample) == 24);
static_assert(offsetof(msgDisplayRequest, resultBytesPerPixel) == 28);
static_assert(offsetof(msgDisplayRequest, colBytes) == 32);
static_assert(offsetof(msgDisplayRequest, colorModel) == 36);
static_assert(offsetof(msgDisplayRequest, colorChannels) == 37);
static_assert(offsetof(msgDisplayRequest, hasAlpha) == 38);
static_assert(offsetof(msgDisplayRequest, sourceName) == 39);
static_assert(offsetof(msgDisplayRequest, reopenSource) == 71);
static_assert(offsetof(msgDisplayRequest, reopenResult) == 72);
static_assert(offsetof(msgDisplayRequest, inPlace) == 73);
static_assert(offsetof(msgDisplayRequest, resultName) == msg::displayResultNameOffset);

static_assert(sizeof(msgDisplayResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgDisplayResponse>);
static_assert(offsetof(msgDisplayResponse, result) == 4);

static_assert(sizeof(msgEndWithError) == 12);
static_assert(std::is_trivially_copyable_v<msgEndWithError>);
static_assert(offsetof(msgEndWithError, code) == 8);

static_assert(sizeof(msgProgress) == 12);
static_assert(std::is_trivially_copyable_v<msgProgress>);
static_assert(offsetof(msgProgress, done) == 4);
static_assert(offsetof(msgProgress, total) == 8);

static_assert(sizeof(msgPickColorRequest) == 16);
static_assert(std::is_trivially_copyable_v<msgPickColorRequest>);
static_assert(offsetof(msgPickColorRequest, space) == 4);
static_assert(offsetof(msgPickColorRequest, components) == 6);

static_assert(sizeof(msgPickColorResponse) == 20);
static_assert(std::is_trivially_copyable_v<msgPickColorResponse>);
static_assert(offsetof(msgPickColorResponse, space) == 4);
static_assert(offsetof(msgPickColorResponse, components) == 6);
static_assert(offsetof(msgPickColorResponse, failed) == 16);

static_assert(sizeof(msgConvertColorRequest) == 24);
static_assert(std::is_trivially_copyable_v<msgConvertColorRequest>);
static_assert(offsetof(msgConvertColorRequest, space) == 4);
static_assert(offsetof(msgConvertColorRequest, components) == 6);
static_assert(offsetof(msgConvertColorRequest, targetSpace) == 20);

static_assert(sizeof(msgConvertColorResponse) == 24);
static_assert(std::is_trivially_copyable_v<msgConvertColorResponse>);
static_assert(offsetof(msgConvertColorResponse, components) == 6);
static_assert(offsetof(msgConvertColorResponse, result) == 16);
static_assert(offsetof(msgConvertColorResponse, targetSpace) == 20);

static_assert(sizeof(msgConvertImageRequest) == 76);
static_assert(std::is_trivially_copyable_v<msgConvertImageRequest>);
static_assert(offsetof(msgConvertImageRequest, rect) == 4);
static_assert(offsetof(msgConvertImageRequest, minRowBytes) == 20);
static_assert(offsetof(msgConvertImageRequest, bytesPerSample) == 24);
static_assert(offsetof(msgConvertImageRequest, sourceModel) == 36);
static_assert(offsetof(msgConvertImageRequest, sourceChannels) == 37);
static_assert(offsetof(msgConvertImageRequest, sourceHasAlpha) == 38);
static_assert(offsetof(msgConvertImageRequest, targetModel) == 39);
static_assert(offsetof(msgConvertImageRequest, targetChannels) == 40);
static_assert(offsetof(msgConvertImageRequest, targetHasAlpha) == 41);
static_assert(offsetof(msgConvertImageRequest, bufferName) == msg::convertImageNameOffset);

static_assert(sizeof(msgConvertImageResponse) == 8);
static_assert(std::is_trivially_copyable_v<msgConvertImageResponse>);
static_assert(offsetof(msgConvertImageResponse, result) == 4);

#pragma GCC diagnostic pop
