#pragma once

// The filter parameter block and the records around it.

#include "hostapi/Callbacks.h"
#include "hostapi/Suites.h"
#include "hostapi/Types.h"

namespace hostapi {

// The host builds these two records with 4-byte packing on every 64-bit
// target, so pointers after `serialNumber` sit on 4-byte boundaries. Open
// point: the host's own declaration applies the packing only under a
// compiler switch; every host known to run 64-bit plug-ins builds with it.
#pragma pack(push, 4)

struct BigDocumentStruct {
    // The plug-in sets this non-zero to use the 32-bit fields below instead
    // of the 16-bit ones of the filter record; the host then reads only
    // these.
    int32 PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

// Rectangles and sizes here are 16-bit; with a big-document record the
// plug-in reads and writes the 32-bit ones instead.
struct FilterRecord {
    int32 serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    // Owned by the plug-in; null until it allocates one. Kept by the host
    // between applications of the filter.
    Handle parameters;
    Point imageSize;
    int16 planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    int32 maxSpace;
    int32 bufferSpace;
    Rect inRect;
    int16 inLoPlane;
    int16 inHiPlane;
    Rect outRect;
    int16 outLoPlane;
    int16 outHiPlane;
    // Host buffers: valid until the next advanceState.
    void* inData;
    int32 inRowBytes;
    void* outData;
    int32 outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    // The plug-in clears this to do its own masking.
    Boolean autoMask;
    Rect maskRect;
    // Open point: the polarity of the mask samples is unconfirmed.
    void* maskData;
    int32 maskRowBytes;
    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;
    HostProc hostProc;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    BufferProcs* bufferProcs;
    ResourceProcs* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16 wantLayout;
    // 0 when the host did not set it.
    int16 filterCase;
    int16 dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    GetPropertyProc getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    int16 inLayerPlanes;
    int16 inTransparencyMask;
    int16 inLayerMasks;
    int16 inInvertedLayerMasks;
    int16 inNonLayerPlanes;
    int16 outLayerPlanes;
    int16 outTransparencyMask;
    int16 outLayerMasks;
    int16 outInvertedLayerMasks;
    int16 outNonLayerPlanes;
    int16 absLayerPlanes;
    int16 absTransparencyMask;
    int16 absLayerMasks;
    int16 absInvertedLayerMasks;
    int16 absNonLayerPlanes;
    int16 inPreDummyPlanes;
    int16 inPostDummyPlanes;
    int16 outPreDummyPlanes;
    int16 outPostDummyPlanes;
    int32 inColumnBytes;
    int32 inPlaneBytes;
    int32 outColumnBytes;
    int32 outPlaneBytes;
    ImageServicesProcs* imageServicesProcs;
    PropertyProcs* propertyProcs;
    int16 inTileHeight;
    int16 inTileWidth;
    Point inTileOrigin;
    int16 absTileHeight;
    int16 absTileWidth;
    Point absTileOrigin;
    int16 outTileHeight;
    int16 outTileWidth;
    Point outTileOrigin;
    int16 maskTileHeight;
    int16 maskTileWidth;
    Point maskTileOrigin;
    PIDescriptorParameters* descriptorParameters;
    // Pascal string the plug-in writes before returning errReportString.
    Str255* errorString;
    ChannelPortProcs* channelPortProcs;
    ReadImageDocumentDesc* documentInfo;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    // Bits per channel: 1, 8, 16 or 32.
    int32 depth;
    Handle iCCprofileData;
    int32 iCCprofileSize;
    int32 canUseICCProfiles;
    int32 hasImageScrap;
    // Null when the host has no big-document support.
    BigDocumentStruct* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32 iCCWorkingProfileSize;
    // Open point: the tail from here on differs between host generations;
    // older hosts leave these bytes zero, so read the 64-bit sizes only when
    // they are non-zero.
    int64 bufferSpace64;
    int64 maxSpace64;
    Boolean allowOverrangeColors;
    uint8 reserved[45];
};

#pragma pack(pop)

// The parameter block of the About selector instead of a filter record.
struct AboutRecord {
    PlatformData* platformData;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    uint8 reserved[244];
};

// The exported entry point. `paramBlock` is an AboutRecord* for the About
// selector and a FilterRecord* for every other; `data` is a pointer-sized
// slot the host keeps between the calls of one plug-in.
using FilterEntryProc = void (*)(int16 selector, void* paramBlock, std::intptr_t* data,
                                 int16* result);

} // namespace hostapi
