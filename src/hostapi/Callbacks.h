#pragma once

// The callback tables and argument records that the filter record points to.
// None of them is packed: they have the natural x64 layout.

#include "hostapi/Types.h"

namespace hostapi {

struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32 rowBytes;
    int32 colBytes;
    // 0 simple, 1 black matte, 2 gray matte, 3 white matte, 4 inverted.
    int32 maskDescription;
};

// Open point: the host presumably reads the fields of a later version only
// when `version` is at least that high; at version 0 the map ends at `mat`.
struct PSPixelMap {
    int32 version;
    VRect bounds;
    int32 imageMode;
    int32 rowBytes;
    int32 colBytes;
    // Distance between planes within a pixel (R, G, B / C, M, Y, K / L, a, b).
    int32 planeBytes;
    void* baseAddr;
    // Version 1.
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
    // Version 2.
    PSPixelOverlay* pixelOverlays;
    uint32 colorManagementOptions;
    // Version 3.
    int16 depth;
};

union ColorServicesSelectorParameter {
    // Choose colour; may be null.
    Str255* pickerPrompt;
    // Current sample point.
    Point* globalSamplePoint;
    // Foreground (0) or background (1) colour.
    int32 specialColorID;
};

struct ColorServicesInfo {
    // Must be 56, the size of this record.
    int32 infoSize;
    int16 selector;
    int16 sourceSpace;
    int16 resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    // The three reserved pointers must be null.
    void* reservedSourceSpaceInfo;
    void* reservedResultSpaceInfo;
    int16 colorComponents[4];
    void* reserved;
    ColorServicesSelectorParameter selectorParameter;
};

// The callbacks the filter record holds directly.
using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32 done, int32 total);
using HostProc = void (*)(int16 selector, std::intptr_t* data);
using ProcessEventProc = void (*)(void* event);
// `platformContext` is the target HDC on Windows; no scaling takes place.
using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void* platformContext);
using AdvanceStateProc = OSErr (*)();
using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);
// Open point: pre-64-bit hosts declared `simpleProperty` as int32*; current
// hosts write a full intptr_t, so always pass a zeroed 8-byte slot.
// A complex (Handle) result belongs to the caller afterwards.
using GetPropertyProc = OSErr (*)(uint32 signature, uint32 key, int32 index,
                                  std::intptr_t* simpleProperty, Handle* complexProperty);
using SetPropertyProc = OSErr (*)(uint32 signature, uint32 key, int32 index,
                                  std::intptr_t simpleProperty, Handle complexProperty);

// The version and count words come first in every callback table: a host may
// offer fewer slots than we know, so check the count before using a slot.
struct HandleProcs {
    static constexpr int16 currentVersion = 1;
    static constexpr int16 procCount = 8;

    int16 handleProcsVersion;
    int16 numHandleProcs;
    Handle (*newProc)(int32 size);
    void (*disposeProc)(Handle h);
    int32 (*getSizeProc)(Handle h);
    OSErr (*setSizeProc)(Handle h, int32 newSize);
    Ptr (*lockProc)(Handle h, Boolean moveHigh);
    void (*unlockProc)(Handle h);
    void (*recoverSpaceProc)(int32 size);
    void (*disposeRegularHandleProc)(Handle h);
};

struct PropertyProcs {
    static constexpr int16 currentVersion = 1;
    static constexpr int16 procCount = 2;

    int16 propertyProcsVersion;
    int16 numPropertyProcs;
    GetPropertyProc getPropertyProc;
    SetPropertyProc setPropertyProc;
};

struct BufferProcs {
    static constexpr int16 currentVersion = 2;
    // Only hosts that report this many slots have the 64-bit ones.
    static constexpr int16 procCount = 8;

    int16 bufferProcsVersion;
    int16 numBufferProcs;
    OSErr (*allocateProc)(int32 size, BufferID* bufferID);
    Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
    void (*unlockProc)(BufferID bufferID);
    void (*freeProc)(BufferID bufferID);
    int32 (*spaceProc)();
    OSErr (*reserveProc)(int32 size);
    OSErr (*allocateProc64)(int64 size, BufferID* bufferID);
    int64 (*spaceProc64)();
};

struct PIDescriptorKeyData {
    Str255 name;
    int32 index;
    uint32 type;
    uint32 value;
};

struct PIDescriptorSimpleReference {
    DescriptorClassID desiredClass;
    DescriptorKeyID keyForm;
    PIDescriptorKeyData keyData;
};

// The descriptor callbacks of hosts before the action descriptor suite.
struct WriteDescriptorProcs {
    static constexpr int16 currentVersion = 0;
    static constexpr int16 procCount = 16;

    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)();
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor descriptor,
                                      PIDescriptorHandle* newDescriptor);
    OSErr (*putIntegerProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, int32 value);
    OSErr (*putFloatProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, const double* value);
    OSErr (*putUnitFloatProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                              DescriptorUnitID unit, const double* value);
    OSErr (*putBooleanProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, Boolean value);
    OSErr (*putTextProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, Handle text);
    OSErr (*putAliasProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, Handle alias);
    OSErr (*putEnumeratedProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                               DescriptorTypeID type, DescriptorEnumID value);
    OSErr (*putClassProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                          DescriptorClassID value);
    OSErr (*putSimpleReferenceProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                    const PIDescriptorSimpleReference* value);
    OSErr (*putObjectProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID type,
                           PIDescriptorHandle value);
    OSErr (*putCountProc)(PIWriteDescriptor descriptor, DescriptorKeyID key, uint32 count);
    OSErr (*putStringProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                           const uint8* pascalString);
    OSErr (*putScopedClassProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                DescriptorClassID value);
    OSErr (*putScopedObjectProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                 DescriptorTypeID type, PIDescriptorHandle value);
};

struct ReadDescriptorProcs {
    static constexpr int16 currentVersion = 0;
    static constexpr int16 procCount = 18;

    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    // `keyArray` is zero-terminated; the host marks the keys it has read.
    PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle descriptor, uint32* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor descriptor);
    Boolean (*getKeyProc)(PIReadDescriptor descriptor, DescriptorKeyID* key, DescriptorTypeID* type,
                          int32* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor descriptor, int32* value);
    OSErr (*getFloatProc)(PIReadDescriptor descriptor, double* value);
    OSErr (*getUnitFloatProc)(PIReadDescriptor descriptor, DescriptorUnitID* unit, double* value);
    OSErr (*getBooleanProc)(PIReadDescriptor descriptor, Boolean* value);
    OSErr (*getTextProc)(PIReadDescriptor descriptor, Handle* text);
    OSErr (*getAliasProc)(PIReadDescriptor descriptor, Handle* alias);
    OSErr (*getEnumeratedProc)(PIReadDescriptor descriptor, DescriptorEnumID* value);
    OSErr (*getClassProc)(PIReadDescriptor descriptor, DescriptorClassID* value);
    OSErr (*getSimpleReferenceProc)(PIReadDescriptor descriptor,
                                    PIDescriptorSimpleReference* value);
    OSErr (*getObjectProc)(PIReadDescriptor descriptor, DescriptorTypeID* type,
                           PIDescriptorHandle* value);
    OSErr (*getCountProc)(PIReadDescriptor descriptor, uint32* count);
    OSErr (*getStringProc)(PIReadDescriptor descriptor, Str255* value);
    OSErr (*getPinnedIntegerProc)(PIReadDescriptor descriptor, int32 min, int32 max, int32* value);
    OSErr (*getPinnedFloatProc)(PIReadDescriptor descriptor, const double* min, const double* max,
                                double* value);
    OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor descriptor, const double* min,
                                    const double* max, DescriptorUnitID* unit, double* value);
};

struct PIDescriptorParameters {
    static constexpr int16 currentVersion = 0;

    int16 descriptorParametersVersion;
    // Host to plug-in: whether to show the dialog (plugInDialog... values).
    int16 playInfo;
    // Plug-in to host: whether a replay must show the dialog.
    int16 recordInfo;
    // In: the parameters to replay, may be null. Out: the descriptor the
    // plug-in wants recorded, made by the host's descriptor services.
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

} // namespace hostapi
