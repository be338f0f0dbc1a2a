// Compile-time proof that our declarations have the host's layouts: every
// field offset and size, every callback slot and every record size. Checked
// once, where the interface's library is built, on Linux x86-64 and on Win64
// alike.

#include "hostapi/Callbacks.h"
#include "hostapi/FilterRecord.h"
#include "hostapi/Suites.h"
#include "hostapi/Types.h"

#include <cstddef>
#include <cstdint>

#define HOSTAPI_CHECK_TYPE(Type, size, align)                                                      \
    static_assert(sizeof(Type) == (size), "sizeof(" #Type ") is " #size);                          \
    static_assert(alignof(Type) == (align), "alignof(" #Type ") is " #align)
#define HOSTAPI_CHECK_FIELD(Type, field, offset, size)                                             \
    static_assert(offsetof(Type, field) == (offset), #Type "::" #field " is at " #offset);         \
    static_assert(sizeof(Type::field) == (size), #Type "::" #field " is " #size " bytes")
#define HOSTAPI_CHECK_SLOT(Type, slot, offset) HOSTAPI_CHECK_FIELD(Type, slot, offset, 8)

namespace hostapi {

// The size of a pointer member is exactly what these checks are about.
// NOLINTBEGIN(bugprone-sizeof-expression)

static_assert(sizeof(void*) == 8, "the filter interface is declared for 64-bit targets only");

// Base types: size and alignment.
HOSTAPI_CHECK_TYPE(int16, 2, 2);
HOSTAPI_CHECK_TYPE(uint16, 2, 2);
HOSTAPI_CHECK_TYPE(int32, 4, 4);
HOSTAPI_CHECK_TYPE(uint32, 4, 4);
HOSTAPI_CHECK_TYPE(int64, 8, 8);
HOSTAPI_CHECK_TYPE(real32, 4, 4);
HOSTAPI_CHECK_TYPE(real64, 8, 8);
HOSTAPI_CHECK_TYPE(Boolean, 1, 1);
HOSTAPI_CHECK_TYPE(SPBoolean, 4, 4);
HOSTAPI_CHECK_TYPE(ASBoolean, 4, 4);
HOSTAPI_CHECK_TYPE(OSErr, 2, 2);
HOSTAPI_CHECK_TYPE(SPErr, 4, 4);
HOSTAPI_CHECK_TYPE(ASErr, 4, 4);
HOSTAPI_CHECK_TYPE(OSType, 4, 4);
HOSTAPI_CHECK_TYPE(DescriptorKeyID, 4, 4);
HOSTAPI_CHECK_TYPE(Fixed, 4, 4);
HOSTAPI_CHECK_TYPE(Ptr, 8, 8);
HOSTAPI_CHECK_TYPE(Handle, 8, 8);
HOSTAPI_CHECK_TYPE(PIDescriptorHandle, 8, 8);
HOSTAPI_CHECK_TYPE(std::intptr_t, 8, 8);
HOSTAPI_CHECK_TYPE(std::size_t, 8, 8);
HOSTAPI_CHECK_TYPE(ASUnicode, 2, 2);
HOSTAPI_CHECK_TYPE(Point, 4, 2);
HOSTAPI_CHECK_TYPE(Rect, 8, 2);
HOSTAPI_CHECK_TYPE(VPoint, 8, 4);
HOSTAPI_CHECK_TYPE(VRect, 16, 4);
HOSTAPI_CHECK_TYPE(RGBColor, 6, 2);
HOSTAPI_CHECK_TYPE(CS_XYZColor, 6, 2);
HOSTAPI_CHECK_TYPE(FilterColor, 4, 1);
HOSTAPI_CHECK_TYPE(Str255, 256, 1);
HOSTAPI_CHECK_TYPE(Color8, 4, 1);
HOSTAPI_CHECK_TYPE(Color16, 8, 2);
HOSTAPI_CHECK_TYPE(PlugInMonitor, 40, 4);
HOSTAPI_CHECK_TYPE(BufferID, 8, 8);
HOSTAPI_CHECK_TYPE(PIActionDescriptor, 8, 8);
HOSTAPI_CHECK_TYPE(PIActionList, 8, 8);
HOSTAPI_CHECK_TYPE(PIActionReference, 8, 8);
HOSTAPI_CHECK_TYPE(ASZString, 8, 8);
HOSTAPI_CHECK_TYPE(ColorID, 8, 8);
HOSTAPI_CHECK_TYPE(PIChannelPort, 8, 8);
HOSTAPI_CHECK_TYPE(PIReadDescriptor, 8, 8);
HOSTAPI_CHECK_TYPE(PIWriteDescriptor, 8, 8);
HOSTAPI_CHECK_TYPE(SPPluginRef, 8, 8);

// Member order of the small records.
HOSTAPI_CHECK_FIELD(Point, v, 0, 2);
HOSTAPI_CHECK_FIELD(Point, h, 2, 2);
HOSTAPI_CHECK_FIELD(Rect, top, 0, 2);
HOSTAPI_CHECK_FIELD(Rect, left, 2, 2);
HOSTAPI_CHECK_FIELD(Rect, bottom, 4, 2);
HOSTAPI_CHECK_FIELD(Rect, right, 6, 2);
HOSTAPI_CHECK_FIELD(VPoint, v, 0, 4);
HOSTAPI_CHECK_FIELD(VPoint, h, 4, 4);
HOSTAPI_CHECK_FIELD(VRect, top, 0, 4);
HOSTAPI_CHECK_FIELD(VRect, left, 4, 4);
HOSTAPI_CHECK_FIELD(VRect, bottom, 8, 4);
HOSTAPI_CHECK_FIELD(VRect, right, 12, 4);
HOSTAPI_CHECK_FIELD(RGBColor, red, 0, 2);
HOSTAPI_CHECK_FIELD(RGBColor, green, 2, 2);
HOSTAPI_CHECK_FIELD(RGBColor, blue, 4, 2);
HOSTAPI_CHECK_FIELD(CS_XYZColor, x, 0, 2);
HOSTAPI_CHECK_FIELD(CS_XYZColor, y, 2, 2);
HOSTAPI_CHECK_FIELD(CS_XYZColor, z, 4, 2);
HOSTAPI_CHECK_FIELD(PlugInMonitor, gamma, 0, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, redX, 4, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, redY, 8, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, greenX, 12, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, greenY, 16, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, blueX, 20, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, blueY, 24, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, whiteX, 28, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, whiteY, 32, 4);
HOSTAPI_CHECK_FIELD(PlugInMonitor, ambient, 36, 4);

// FilterRecord, with the tail of the newest hosts; older ones end at
// iCCWorkingProfileSize and leave the rest zero.
HOSTAPI_CHECK_FIELD(FilterRecord, serialNumber, 0, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, abortProc, 4, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, progressProc, 12, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, parameters, 20, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, imageSize, 28, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, planes, 32, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, filterRect, 34, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, background, 42, 6);
HOSTAPI_CHECK_FIELD(FilterRecord, foreground, 48, 6);
HOSTAPI_CHECK_FIELD(FilterRecord, maxSpace, 56, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, bufferSpace, 60, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, inRect, 64, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, inLoPlane, 72, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inHiPlane, 74, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outRect, 76, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, outLoPlane, 84, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outHiPlane, 86, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inData, 88, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, inRowBytes, 96, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, outData, 100, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, outRowBytes, 108, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, isFloating, 112, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, haveMask, 113, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, autoMask, 114, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, maskRect, 116, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, maskData, 124, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, maskRowBytes, 132, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, backColor, 136, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, foreColor, 140, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, hostSig, 144, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, hostProc, 148, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, imageMode, 156, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, imageHRes, 160, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, imageVRes, 164, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, floatCoord, 168, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, wholeSize, 172, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, monitor, 176, 40);
HOSTAPI_CHECK_FIELD(FilterRecord, platformData, 216, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, bufferProcs, 224, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, resourceProcs, 232, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, processEvent, 240, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, displayPixels, 248, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, handleProcs, 256, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, supportsDummyChannels, 264, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, supportsAlternateLayouts, 265, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, wantLayout, 266, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, filterCase, 268, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, dummyPlaneValue, 270, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, premiereHook, 272, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, advanceState, 280, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, supportsAbsolute, 288, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, wantsAbsolute, 289, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, getPropertyObsolete, 292, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, cannotUndo, 300, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, supportsPadding, 301, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, inputPadding, 302, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outputPadding, 304, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, maskPadding, 306, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, samplingSupport, 308, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, reservedByte, 309, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, inputRate, 312, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, maskRate, 316, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, colorServices, 320, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, inLayerPlanes, 328, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inTransparencyMask, 330, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inLayerMasks, 332, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inInvertedLayerMasks, 334, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inNonLayerPlanes, 336, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outLayerPlanes, 338, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outTransparencyMask, 340, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outLayerMasks, 342, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outInvertedLayerMasks, 344, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outNonLayerPlanes, 346, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absLayerPlanes, 348, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absTransparencyMask, 350, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absLayerMasks, 352, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absInvertedLayerMasks, 354, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absNonLayerPlanes, 356, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inPreDummyPlanes, 358, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inPostDummyPlanes, 360, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outPreDummyPlanes, 362, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outPostDummyPlanes, 364, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inColumnBytes, 368, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, inPlaneBytes, 372, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, outColumnBytes, 376, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, outPlaneBytes, 380, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, imageServicesProcs, 384, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, propertyProcs, 392, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, inTileHeight, 400, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inTileWidth, 402, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, inTileOrigin, 404, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, absTileHeight, 408, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absTileWidth, 410, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, absTileOrigin, 412, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, outTileHeight, 416, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outTileWidth, 418, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, outTileOrigin, 420, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, maskTileHeight, 424, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, maskTileWidth, 426, 2);
HOSTAPI_CHECK_FIELD(FilterRecord, maskTileOrigin, 428, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, descriptorParameters, 432, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, errorString, 440, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, channelPortProcs, 448, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, documentInfo, 456, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, sSPBasic, 464, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, plugInRef, 472, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, depth, 480, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, iCCprofileData, 484, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, iCCprofileSize, 492, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, canUseICCProfiles, 496, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, hasImageScrap, 500, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, bigDocumentData, 504, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, input3DScene, 512, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, output3DScene, 520, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, createNewLayer, 528, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, iCCWorkingProfileData, 532, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, iCCWorkingProfileSize, 540, 4);
HOSTAPI_CHECK_FIELD(FilterRecord, bufferSpace64, 544, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, maxSpace64, 552, 8);
HOSTAPI_CHECK_FIELD(FilterRecord, allowOverrangeColors, 560, 1);
HOSTAPI_CHECK_FIELD(FilterRecord, reserved, 561, 45);
static_assert(sizeof(FilterRecord) == 608, "sizeof(FilterRecord)");

// BigDocumentStruct
HOSTAPI_CHECK_FIELD(BigDocumentStruct, PluginUsing32BitCoordinates, 0, 4);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, imageSize32, 4, 8);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, filterRect32, 12, 16);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, inRect32, 28, 16);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, outRect32, 44, 16);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, maskRect32, 60, 16);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, floatCoord32, 76, 8);
HOSTAPI_CHECK_FIELD(BigDocumentStruct, wholeSize32, 84, 8);
static_assert(sizeof(BigDocumentStruct) == 92, "sizeof(BigDocumentStruct)");

// PlatformData
HOSTAPI_CHECK_FIELD(PlatformData, hwnd, 0, 8);
static_assert(sizeof(PlatformData) == 8, "sizeof(PlatformData)");

// PIDescriptorParameters
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, descriptorParametersVersion, 0, 2);
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, playInfo, 2, 2);
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, recordInfo, 4, 2);
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, descriptor, 8, 8);
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, writeDescriptorProcs, 16, 8);
HOSTAPI_CHECK_FIELD(PIDescriptorParameters, readDescriptorProcs, 24, 8);
static_assert(sizeof(PIDescriptorParameters) == 32, "sizeof(PIDescriptorParameters)");

// ColorServicesInfo
HOSTAPI_CHECK_FIELD(ColorServicesInfo, infoSize, 0, 4);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, selector, 4, 2);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, sourceSpace, 6, 2);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, resultSpace, 8, 2);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, resultGamutInfoValid, 10, 1);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, resultInGamut, 11, 1);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, reservedSourceSpaceInfo, 16, 8);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, reservedResultSpaceInfo, 24, 8);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, colorComponents, 32, 8);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, reserved, 40, 8);
HOSTAPI_CHECK_FIELD(ColorServicesInfo, selectorParameter, 48, 8);
static_assert(sizeof(ColorServicesInfo) == 56, "sizeof(ColorServicesInfo)");

// AboutRecord
HOSTAPI_CHECK_FIELD(AboutRecord, platformData, 0, 8);
HOSTAPI_CHECK_FIELD(AboutRecord, sSPBasic, 8, 8);
HOSTAPI_CHECK_FIELD(AboutRecord, plugInRef, 16, 8);
HOSTAPI_CHECK_FIELD(AboutRecord, reserved, 24, 244);
static_assert(sizeof(AboutRecord) == 272, "sizeof(AboutRecord)");

// PSPixelMap, PSPixelMask
HOSTAPI_CHECK_FIELD(PSPixelMap, version, 0, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, bounds, 4, 16);
HOSTAPI_CHECK_FIELD(PSPixelMap, imageMode, 20, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, rowBytes, 24, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, colBytes, 28, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, planeBytes, 32, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, baseAddr, 40, 8);
HOSTAPI_CHECK_FIELD(PSPixelMap, mat, 48, 8);
HOSTAPI_CHECK_FIELD(PSPixelMap, masks, 56, 8);
HOSTAPI_CHECK_FIELD(PSPixelMap, maskPhaseRow, 64, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, maskPhaseCol, 68, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, pixelOverlays, 72, 8);
HOSTAPI_CHECK_FIELD(PSPixelMap, colorManagementOptions, 80, 4);
HOSTAPI_CHECK_FIELD(PSPixelMap, depth, 84, 2);
static_assert(sizeof(PSPixelMap) == 88, "sizeof(PSPixelMap)");
HOSTAPI_CHECK_FIELD(PSPixelMask, next, 0, 8);
HOSTAPI_CHECK_FIELD(PSPixelMask, maskData, 8, 8);
HOSTAPI_CHECK_FIELD(PSPixelMask, rowBytes, 16, 4);
HOSTAPI_CHECK_FIELD(PSPixelMask, colBytes, 20, 4);
HOSTAPI_CHECK_FIELD(PSPixelMask, maskDescription, 24, 4);
static_assert(sizeof(PSPixelMask) == 32, "sizeof(PSPixelMask)");

// HandleProcs
HOSTAPI_CHECK_FIELD(HandleProcs, handleProcsVersion, 0, 2);
HOSTAPI_CHECK_FIELD(HandleProcs, numHandleProcs, 2, 2);
HOSTAPI_CHECK_SLOT(HandleProcs, newProc, 8);
HOSTAPI_CHECK_SLOT(HandleProcs, disposeProc, 16);
HOSTAPI_CHECK_SLOT(HandleProcs, getSizeProc, 24);
HOSTAPI_CHECK_SLOT(HandleProcs, setSizeProc, 32);
HOSTAPI_CHECK_SLOT(HandleProcs, lockProc, 40);
HOSTAPI_CHECK_SLOT(HandleProcs, unlockProc, 48);
HOSTAPI_CHECK_SLOT(HandleProcs, recoverSpaceProc, 56);
HOSTAPI_CHECK_SLOT(HandleProcs, disposeRegularHandleProc, 64);
static_assert(sizeof(HandleProcs) == 72, "sizeof(HandleProcs)");

// PropertyProcs
HOSTAPI_CHECK_FIELD(PropertyProcs, propertyProcsVersion, 0, 2);
HOSTAPI_CHECK_FIELD(PropertyProcs, numPropertyProcs, 2, 2);
HOSTAPI_CHECK_SLOT(PropertyProcs, getPropertyProc, 8);
HOSTAPI_CHECK_SLOT(PropertyProcs, setPropertyProc, 16);
static_assert(sizeof(PropertyProcs) == 24, "sizeof(PropertyProcs)");

// BufferProcs
HOSTAPI_CHECK_FIELD(BufferProcs, bufferProcsVersion, 0, 2);
HOSTAPI_CHECK_FIELD(BufferProcs, numBufferProcs, 2, 2);
HOSTAPI_CHECK_SLOT(BufferProcs, allocateProc, 8);
HOSTAPI_CHECK_SLOT(BufferProcs, lockProc, 16);
HOSTAPI_CHECK_SLOT(BufferProcs, unlockProc, 24);
HOSTAPI_CHECK_SLOT(BufferProcs, freeProc, 32);
HOSTAPI_CHECK_SLOT(BufferProcs, spaceProc, 40);
HOSTAPI_CHECK_SLOT(BufferProcs, reserveProc, 48);
HOSTAPI_CHECK_SLOT(BufferProcs, allocateProc64, 56);
HOSTAPI_CHECK_SLOT(BufferProcs, spaceProc64, 64);
static_assert(sizeof(BufferProcs) == 72, "sizeof(BufferProcs)");

// WriteDescriptorProcs
HOSTAPI_CHECK_FIELD(WriteDescriptorProcs, writeDescriptorProcsVersion, 0, 2);
HOSTAPI_CHECK_FIELD(WriteDescriptorProcs, numWriteDescriptorProcs, 2, 2);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, openWriteDescriptorProc, 8);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, closeWriteDescriptorProc, 16);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putIntegerProc, 24);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putFloatProc, 32);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putUnitFloatProc, 40);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putBooleanProc, 48);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putTextProc, 56);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putAliasProc, 64);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putEnumeratedProc, 72);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putClassProc, 80);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putSimpleReferenceProc, 88);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putObjectProc, 96);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putCountProc, 104);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putStringProc, 112);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putScopedClassProc, 120);
HOSTAPI_CHECK_SLOT(WriteDescriptorProcs, putScopedObjectProc, 128);
static_assert(sizeof(WriteDescriptorProcs) == 136, "sizeof(WriteDescriptorProcs)");

// ReadDescriptorProcs
HOSTAPI_CHECK_FIELD(ReadDescriptorProcs, readDescriptorProcsVersion, 0, 2);
HOSTAPI_CHECK_FIELD(ReadDescriptorProcs, numReadDescriptorProcs, 2, 2);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, openReadDescriptorProc, 8);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, closeReadDescriptorProc, 16);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getKeyProc, 24);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getIntegerProc, 32);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getFloatProc, 40);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getUnitFloatProc, 48);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getBooleanProc, 56);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getTextProc, 64);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getAliasProc, 72);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getEnumeratedProc, 80);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getClassProc, 88);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getSimpleReferenceProc, 96);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getObjectProc, 104);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getCountProc, 112);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getStringProc, 120);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getPinnedIntegerProc, 128);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getPinnedFloatProc, 136);
HOSTAPI_CHECK_SLOT(ReadDescriptorProcs, getPinnedUnitFloatProc, 144);
static_assert(sizeof(ReadDescriptorProcs) == 152, "sizeof(ReadDescriptorProcs)");

// PIDescriptorSimpleReference
HOSTAPI_CHECK_FIELD(PIDescriptorSimpleReference, desiredClass, 0, 4);
HOSTAPI_CHECK_FIELD(PIDescriptorSimpleReference, keyForm, 4, 4);
HOSTAPI_CHECK_FIELD(PIDescriptorSimpleReference, keyData, 8, 268);
static_assert(sizeof(PIDescriptorSimpleReference) == 276, "sizeof(PIDescriptorSimpleReference)");

// SPBasicSuite
HOSTAPI_CHECK_SLOT(SPBasicSuite, AcquireSuite, 0);
HOSTAPI_CHECK_SLOT(SPBasicSuite, ReleaseSuite, 8);
HOSTAPI_CHECK_SLOT(SPBasicSuite, IsEqual, 16);
HOSTAPI_CHECK_SLOT(SPBasicSuite, AllocateBlock, 24);
HOSTAPI_CHECK_SLOT(SPBasicSuite, FreeBlock, 32);
HOSTAPI_CHECK_SLOT(SPBasicSuite, ReallocateBlock, 40);
HOSTAPI_CHECK_SLOT(SPBasicSuite, Undefined, 48);
static_assert(sizeof(SPBasicSuite) == 56, "sizeof(SPBasicSuite)");

// ActionDescriptorSuite: 46 slots
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, Make, 0);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, Free, 8);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetType, 16);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetKey, 24);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, HasKey, 32);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetCount, 40);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, IsEqual, 48);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, Erase, 56);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, Clear, 64);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutInteger, 72);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutFloat, 80);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutUnitFloat, 88);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutString, 96);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutBoolean, 104);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutList, 112);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutObject, 120);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutGlobalObject, 128);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutEnumerated, 136);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutReference, 144);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutClass, 152);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutGlobalClass, 160);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutAlias, 168);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetInteger, 176);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetFloat, 184);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetUnitFloat, 192);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetStringLength, 200);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetString, 208);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetBoolean, 216);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetList, 224);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetObjectDescriptor, 232);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetGlobalObject, 240);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetEnumerated, 248);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetReference, 256);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetClass, 264);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetGlobalClass, 272);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetAlias, 280);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, HasKeys, 288);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutIntegers, 296);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetIntegers, 304);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, AsHandle, 312);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, HandleToDescriptor, 320);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutZString, 328);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetZString, 336);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, PutData, 344);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetDataLength, 352);
HOSTAPI_CHECK_SLOT(ActionDescriptorSuite, GetData, 360);
static_assert(sizeof(ActionDescriptorSuite) == 368, "sizeof(ActionDescriptorSuite)");

// DescriptorRegistrySuite: 3 slots
HOSTAPI_CHECK_SLOT(DescriptorRegistrySuite, Register, 0);
HOSTAPI_CHECK_SLOT(DescriptorRegistrySuite, Erase, 8);
HOSTAPI_CHECK_SLOT(DescriptorRegistrySuite, Get, 16);
static_assert(sizeof(DescriptorRegistrySuite) == 24, "sizeof(DescriptorRegistrySuite)");

// HandleSuite: 7 slots
HOSTAPI_CHECK_SLOT(HandleSuite, New, 0);
HOSTAPI_CHECK_SLOT(HandleSuite, Dispose, 8);
HOSTAPI_CHECK_SLOT(HandleSuite, DisposeRegularHandle, 16);
HOSTAPI_CHECK_SLOT(HandleSuite, SetLock, 24);
HOSTAPI_CHECK_SLOT(HandleSuite, GetSize, 32);
HOSTAPI_CHECK_SLOT(HandleSuite, SetSize, 40);
HOSTAPI_CHECK_SLOT(HandleSuite, RecoverSpace, 48);
static_assert(sizeof(HandleSuite) == 56, "sizeof(HandleSuite)");

// ColorSpaceSuite: 16 slots
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Make, 0);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Delete, 8);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, StuffComponents, 16);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, ExtractComponents, 24);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, StuffXYZ, 32);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, ExtractXYZ, 40);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Convert8, 48);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Convert16, 56);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, GetNativeSpace, 64);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, IsBookColor, 72);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, ExtractColorName, 80);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, PickColor, 88);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Convert8to16, 96);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Convert16to8, 104);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, ConvertToMonitorRGB, 112);
HOSTAPI_CHECK_SLOT(ColorSpaceSuite, Convert32to8, 120);
static_assert(sizeof(ColorSpaceSuite) == 128, "sizeof(ColorSpaceSuite)");

// ZStringSuite: 23 slots
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeFromUnicode, 0);
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeFromCString, 8);
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeFromPascalString, 16);
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeRomanizationOfInteger, 24);
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeRomanizationOfFixed, 32);
HOSTAPI_CHECK_SLOT(ZStringSuite, MakeRomanizationOfDouble, 40);
HOSTAPI_CHECK_SLOT(ZStringSuite, GetEmpty, 48);
HOSTAPI_CHECK_SLOT(ZStringSuite, Copy, 56);
HOSTAPI_CHECK_SLOT(ZStringSuite, Replace, 64);
HOSTAPI_CHECK_SLOT(ZStringSuite, TrimEllipsis, 72);
HOSTAPI_CHECK_SLOT(ZStringSuite, TrimSpaces, 80);
HOSTAPI_CHECK_SLOT(ZStringSuite, RemoveAccelerators, 88);
HOSTAPI_CHECK_SLOT(ZStringSuite, AddRef, 96);
HOSTAPI_CHECK_SLOT(ZStringSuite, Release, 104);
HOSTAPI_CHECK_SLOT(ZStringSuite, IsAllWhiteSpace, 112);
HOSTAPI_CHECK_SLOT(ZStringSuite, IsEmpty, 120);
HOSTAPI_CHECK_SLOT(ZStringSuite, WillReplace, 128);
HOSTAPI_CHECK_SLOT(ZStringSuite, LengthAsUnicodeCString, 136);
HOSTAPI_CHECK_SLOT(ZStringSuite, AsUnicodeCString, 144);
HOSTAPI_CHECK_SLOT(ZStringSuite, LengthAsCString, 152);
HOSTAPI_CHECK_SLOT(ZStringSuite, AsCString, 160);
HOSTAPI_CHECK_SLOT(ZStringSuite, LengthAsPascalString, 168);
HOSTAPI_CHECK_SLOT(ZStringSuite, AsPascalString, 176);
static_assert(sizeof(ZStringSuite) == 184, "sizeof(ZStringSuite)");

// ChannelPortsSuite: 22 slots
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, CountLevels, 0);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetDepth, 8);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetDataBounds, 16);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetWriteLimit, 24);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetTilingGrid, 32);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetSupportRect, 40);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, GetDependentRect, 48);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, CanRead, 56);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, CanWrite, 64);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, ReadPixelsFromLevel, 72);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, WritePixelsToBaseLevel, 80);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, ReadScaledPixels, 88);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, FindSourceForScaledRead, 96);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, New, 104);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, Dispose, 112);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, SupportsOperation, 120);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, ApplyOperation, 128);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, AddOperation, 136);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, RemoveOperation, 144);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, NewCopyOnWrite, 152);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, Freeze, 160);
HOSTAPI_CHECK_SLOT(ChannelPortsSuite, Restore, 168);
static_assert(sizeof(ChannelPortsSuite) == 176, "sizeof(ChannelPortsSuite)");

// NOLINTEND(bugprone-sizeof-expression)

} // namespace hostapi
