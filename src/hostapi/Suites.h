#pragma once

// The host's plug-in component suites. A suite is a plain table of function
// pointers without header words; its layout is fixed by name and version, so
// each table is acquired with exactly the version declared beside it, and
// every successful AcquireSuite is balanced by a ReleaseSuite with the same
// name and version.

#include "hostapi/Types.h"

namespace hostapi {

struct SPBasicSuite {
    static constexpr const char* suiteName = "SP Basic Suite";
    static constexpr int32 suiteVersion = 4;

    SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32 version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    // Open point: one independent host passes an int here; the size is a
    // full size_t on the hosts we target.
    SPErr (*AllocateBlock)(std::size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, std::size_t newSize, void** newBlock);
    // Hosts may point slots they do not implement at this one.
    SPErr (*Undefined)();
};

struct ActionDescriptorSuite {
    static constexpr const char* suiteName = "df135115-c769-11d0-8079-00c04fd7ec47";
    static constexpr int32 suiteVersion = 2;

    OSErr (*Make)(PIActionDescriptor* descriptor);
    OSErr (*Free)(PIActionDescriptor descriptor);
    OSErr (*GetType)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type);
    OSErr (*GetKey)(PIActionDescriptor descriptor, uint32 index, DescriptorKeyID* key);
    OSErr (*HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* hasKey);
    OSErr (*GetCount)(PIActionDescriptor descriptor, uint32* count);
    OSErr (*IsEqual)(PIActionDescriptor descriptor, PIActionDescriptor other, Boolean* isEqual);
    OSErr (*Erase)(PIActionDescriptor descriptor, DescriptorKeyID key);
    OSErr (*Clear)(PIActionDescriptor descriptor);
    OSErr (*PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32 value);
    // Doubles travel by value in XMM registers: never declare them as pointers.
    OSErr (*PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
    OSErr (*PutUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID unit,
                          double value);
    OSErr (*PutString)(PIActionDescriptor descriptor, DescriptorKeyID key, const char* cString);
    OSErr (*PutBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean value);
    OSErr (*PutList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList value);
    OSErr (*PutObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID type,
                       PIActionDescriptor value);
    OSErr (*PutGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key,
                             DescriptorClassID type, PIActionDescriptor value);
    OSErr (*PutEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key,
                           DescriptorTypeID type, DescriptorEnumID value);
    OSErr (*PutReference)(PIActionDescriptor descriptor, DescriptorKeyID key,
                          PIActionReference value);
    OSErr (*PutClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID value);
    OSErr (*PutGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key,
                            DescriptorClassID value);
    OSErr (*PutAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle value);
    OSErr (*GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32* value);
    OSErr (*GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
    OSErr (*GetUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key,
                          DescriptorUnitID* unit, double* value);
    OSErr (*GetStringLength)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32* length);
    OSErr (*GetString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* cString,
                       uint32 maxLength);
    OSErr (*GetBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* value);
    OSErr (*GetList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList* value);
    // Named apart from the GetObject macro that <windows.h> defines.
    OSErr (*GetObjectDescriptor)(PIActionDescriptor descriptor, DescriptorKeyID key,
                                 DescriptorClassID* type, PIActionDescriptor* value);
    OSErr (*GetGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key,
                             DescriptorClassID* type, PIActionDescriptor* value);
    OSErr (*GetEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key,
                           DescriptorTypeID* type, DescriptorEnumID* value);
    OSErr (*GetReference)(PIActionDescriptor descriptor, DescriptorKeyID key,
                          PIActionReference* value);
    OSErr (*GetClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* value);
    OSErr (*GetGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key,
                            DescriptorClassID* value);
    OSErr (*GetAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle* value);
    // Open point: only the legacy read callbacks document the key list as
    // zero-terminated; pass a terminated list here too.
    OSErr (*HasKeys)(PIActionDescriptor descriptor, DescriptorKeyID* requiredKeys,
                     Boolean* hasKeys);
    OSErr (*PutIntegers)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32 count,
                         int32* values);
    OSErr (*GetIntegers)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32 count,
                         int32* values);
    OSErr (*AsHandle)(PIActionDescriptor descriptor, PIDescriptorHandle* handle);
    OSErr (*HandleToDescriptor)(PIDescriptorHandle handle, PIActionDescriptor* descriptor);
    OSErr (*PutZString)(PIActionDescriptor descriptor, DescriptorKeyID key, ASZString value);
    OSErr (*GetZString)(PIActionDescriptor descriptor, DescriptorKeyID key, ASZString* value);
    OSErr (*PutData)(PIActionDescriptor descriptor, DescriptorKeyID key, int32 length, void* value);
    OSErr (*GetDataLength)(PIActionDescriptor descriptor, DescriptorKeyID key, int32* length);
    OSErr (*GetData)(PIActionDescriptor descriptor, DescriptorKeyID key, void* value);
};

struct DescriptorRegistrySuite {
    static constexpr const char* suiteName = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
    static constexpr int32 suiteVersion = 1;

    OSErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    OSErr (*Erase)(const char* key);
    // The caller frees the descriptor it receives.
    OSErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};

// Version 1 of this suite orders its slots differently after Dispose: this
// table is valid only for version 2.
struct HandleSuite {
    static constexpr const char* suiteName = "Photoshop Handle Suite for Plug-ins";
    static constexpr int32 suiteVersion = 2;

    Handle (*New)(int32 size);
    void (*Dispose)(Handle h);
    void (*DisposeRegularHandle)(Handle h);
    void (*SetLock)(Handle h, Boolean lock, Ptr* address, Boolean* oldLock);
    int32 (*GetSize)(Handle h);
    OSErr (*SetSize)(Handle h, int32 newSize);
    void (*RecoverSpace)(int32 size);
};

// Spaces are the colour-services space codes; a Color8 holds RGB as 0,R,G,B,
// CMYK as C,M,Y,K, Lab as 0,L,a,b and Gray as 0,0,0,gray.
struct ColorSpaceSuite {
    static constexpr const char* suiteName = "Photoshop ColorSpace Suite for Plug-ins";
    static constexpr int32 suiteVersion = 1;

    SPErr (*Make)(ColorID* id);
    SPErr (*Delete)(ColorID* id);
    SPErr (*StuffComponents)(ColorID id, int16 colorSpace, uint8 c0, uint8 c1, uint8 c2, uint8 c3);
    SPErr (*ExtractComponents)(ColorID id, int16 colorSpace, uint8* c0, uint8* c1, uint8* c2,
                               uint8* c3, Boolean* gamutFlag);
    // The 6-byte colour is passed as a pointer to a caller-made copy.
    SPErr (*StuffXYZ)(ColorID id, CS_XYZColor xyz);
    SPErr (*ExtractXYZ)(ColorID id, CS_XYZColor* xyz);
    // Converts `count` entries in place.
    SPErr (*Convert8)(int16 inputSpace, int16 outputSpace, Color8* colors, int16 count);
    SPErr (*Convert16)(int16 inputSpace, int16 outputSpace, Color16* colors, int16 count);
    SPErr (*GetNativeSpace)(ColorID id, int16* colorSpace);
    SPErr (*IsBookColor)(ColorID id, Boolean* isBookColor);
    SPErr (*ExtractColorName)(ColorID id, ASZString* colorName);
    SPErr (*PickColor)(ColorID* id, ASZString prompt);
    SPErr (*Convert8to16)(uint8* inData, uint16* outData, int16 count);
    SPErr (*Convert16to8)(uint16* inData, uint8* outData, int16 count);
    SPErr (*ConvertToMonitorRGB)(int16 inputSpace, Color8* inData, Color8* outData, int16 count);
    // Open point: one independent host offers only the 15 slots before this
    // one; never call it.
    SPErr (*Convert32to8)(float* inData, uint8* outData, int16 count);
};

// ZStrings are reference counted: release every one a Make..., Copy or
// GetZString call hands out.
struct ZStringSuite {
    static constexpr const char* suiteName = "AS ZString Suite";
    static constexpr int32 suiteVersion = 1;

    // Open point: the count is in UTF-16 units without a terminator on the
    // hosts we know, although one header generation calls it a byte count.
    ASErr (*MakeFromUnicode)(ASUnicode* src, std::size_t count, ASZString* zString);
    ASErr (*MakeFromCString)(const char* src, std::size_t byteCount, ASZString* zString);
    ASErr (*MakeFromPascalString)(const uint8* src, std::size_t byteCount, ASZString* zString);
    ASErr (*MakeRomanizationOfInteger)(int32 value, ASZString* zString);
    ASErr (*MakeRomanizationOfFixed)(int32 value, int16 places, ASBoolean trim, ASBoolean isSigned,
                                     ASZString* zString);
    ASErr (*MakeRomanizationOfDouble)(double value, ASZString* zString);
    ASZString (*GetEmpty)();
    ASErr (*Copy)(ASZString source, ASZString* copy);
    ASErr (*Replace)(ASZString zString, uint32 index, ASZString replacement);
    ASErr (*TrimEllipsis)(ASZString zString);
    ASErr (*TrimSpaces)(ASZString zString);
    ASErr (*RemoveAccelerators)(ASZString zString);
    ASErr (*AddRef)(ASZString zString);
    ASErr (*Release)(ASZString zString);
    ASBoolean (*IsAllWhiteSpace)(ASZString zString);
    ASBoolean (*IsEmpty)(ASZString zString);
    ASBoolean (*WillReplace)(ASZString zString, uint32 index);
    // Open point: whether the length includes the terminator differs between
    // hosts; allocate one unit more than it reports.
    uint32 (*LengthAsUnicodeCString)(ASZString zString);
    ASErr (*AsUnicodeCString)(ASZString zString, ASUnicode* buffer, uint32 bufferUnits,
                              ASBoolean checkBufferSize);
    uint32 (*LengthAsCString)(ASZString zString);
    ASErr (*AsCString)(ASZString zString, char* buffer, uint32 bufferSize,
                       ASBoolean checkBufferSize);
    uint32 (*LengthAsPascalString)(ASZString zString);
    ASErr (*AsPascalString)(ASZString zString, char* buffer, uint32 bufferSize,
                            ASBoolean checkBufferSize);
};

// The plug-in only acquires and releases this suite.
struct ChannelPortsSuite {
    static constexpr const char* suiteName = "Photoshop ChannelPorts Suite for Plug-ins";
    static constexpr int32 suiteVersion = 3;

    // The signature of a registered operation is not known to us; nothing
    // here ever registers one.
    using OperationProc = void (*)();

    SPErr (*CountLevels)(PIChannelPort port, int32* count);
    SPErr (*GetDepth)(PIChannelPort port, int32 level, int32* depth);
    SPErr (*GetDataBounds)(PIChannelPort port, int32 level, VRect* bounds);
    SPErr (*GetWriteLimit)(PIChannelPort port, int32 level, VRect* writeBounds);
    SPErr (*GetTilingGrid)(PIChannelPort port, int32 level, VPoint* tileOrigin, VPoint* tileSize);
    SPErr (*GetSupportRect)(PIChannelPort port, int32 level, const VRect* bounds,
                            int32* supportLevel, VRect* supportBounds);
    SPErr (*GetDependentRect)(PIChannelPort port, int32 sourceLevel, const VRect* sourceBounds,
                              int32 dependentLevel, VRect* dependentBounds);
    SPErr (*CanRead)(PIChannelPort port, Boolean* canRead);
    SPErr (*CanWrite)(PIChannelPort port, Boolean* canWrite);
    SPErr (*ReadPixelsFromLevel)(PIChannelPort port, int32 level, VRect* bounds,
                                 const PixelMemoryDesc* destination);
    SPErr (*WritePixelsToBaseLevel)(PIChannelPort port, VRect* bounds,
                                    const PixelMemoryDesc* source);
    SPErr (*ReadScaledPixels)(PIChannelPort port, VRect* readRect, const PSScaling* scaling,
                              const PixelMemoryDesc* destination);
    SPErr (*FindSourceForScaledRead)(PIChannelPort port, const VRect* readRect,
                                     const PSScaling* scaling, int32 destinationDepth,
                                     int32* sourceLevel, VRect* sourceRect,
                                     VRect* sourceScalingBounds);
    SPErr (*New)(PIChannelPort* port, const VRect* rect, int32 depth, Boolean globalScope);
    SPErr (*Dispose)(PIChannelPort* port);
    SPErr (*SupportsOperation)(const char* operation, Boolean* supported);
    SPErr (*ApplyOperation)(const char* operation, PIChannelPort source, PIChannelPort destination,
                            PIChannelPort mask, void* parameters, VRect* rect);
    SPErr (*AddOperation)(const char* operation, OperationProc proc, void* refCon);
    SPErr (*RemoveOperation)(const char* operation, void** refCon);
    SPErr (*NewCopyOnWrite)(PIChannelPort* port, PIChannelPort basePort, VRect* writeLimit,
                            Boolean globalScope);
    SPErr (*Freeze)(PIChannelPort port);
    SPErr (*Restore)(PIChannelPort port, VRect* area);
};

} // namespace hostapi
