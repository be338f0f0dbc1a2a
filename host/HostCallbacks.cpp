// The C functions that the plug-in calls: the filter record's callbacks,
// its callback tables and the component suites. Each one finds the active
// host and records what it was asked.

#include "host/ColorConversion.h"
#include "host/FilterHostState.h"
#include "host/TextEncoding.h"
#include "platform/DisplaySurface.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace host {

using namespace hostapi;

using State = FilterHost::State;

namespace {

State* active() {
    return activeHostState();
}

// --- handles ---------------------------------------------------------------

Handle handleNew(int32 size) {
    State* s = active();
    if (s == nullptr || size < 0) {
        return nullptr;
    }
    return s->makeHandle(nullptr, static_cast<std::size_t>(size));
}

void handleDispose(Handle h) {
    if (State* s = active(); s != nullptr && h != nullptr) {
        s->disposeHandle(h, "dispose");
    }
}

int32 handleGetSize(Handle h) {
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(h, "get size") : nullptr;
    return block != nullptr ? block->size : 0;
}

OSErr handleSetSize(Handle h, int32 newSize) {
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(h, "set size") : nullptr;
    if (block == nullptr) {
        return nilHandleErr;
    }
    if (newSize < 0) {
        return paramErr;
    }
    char* bigger = new char[static_cast<std::size_t>(std::max(newSize, 1))]();
    std::memcpy(bigger, block->master, static_cast<std::size_t>(std::min(block->size, newSize)));
    delete[] block->master;
    block->master = bigger;
    block->size = newSize;
    return noErr;
}

Ptr handleLock(Handle h, Boolean /*moveHigh*/) {
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(h, "lock") : nullptr;
    if (block == nullptr) {
        return nullptr;
    }
    ++block->locks;
    return block->master;
}

void handleUnlock(Handle h) {
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(h, "unlock") : nullptr;
    if (block != nullptr && block->locks > 0) {
        --block->locks;
    }
}

void handleRecoverSpace(int32 /*size*/) {}

void handleSetLock(Handle h, Boolean lock, Ptr* address, Boolean* oldLock) {
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(h, "set lock") : nullptr;
    if (oldLock != nullptr) {
        *oldLock = block != nullptr && block->locks > 0 ? 1 : 0;
    }
    if (block == nullptr) {
        if (address != nullptr) {
            *address = nullptr;
        }
        return;
    }
    if (lock != 0) {
        ++block->locks;
    } else if (block->locks > 0) {
        --block->locks;
    }
    if (address != nullptr) {
        *address = block->master;
    }
}

// Version 1 of the handle suite orders its slots differently.
struct HandleSuiteV1 {
    Handle (*New)(int32 size);
    void (*Dispose)(Handle h);
    void (*SetLock)(Handle h, Boolean lock, Ptr* address, Boolean* oldLock);
    int32 (*GetSize)(Handle h);
    OSErr (*SetSize)(Handle h, int32 newSize);
    void (*RecoverSpace)(int32 size);
};

const HandleSuite kHandleSuite2 = {handleNew,     handleDispose, handleDispose,     handleSetLock,
                                   handleGetSize, handleSetSize, handleRecoverSpace};
const HandleSuiteV1 kHandleSuite1 = {handleNew,     handleDispose, handleSetLock,
                                     handleGetSize, handleSetSize, handleRecoverSpace};

// --- properties ------------------------------------------------------------

OSErr getProperty(uint32 signature, uint32 key, int32 index, std::intptr_t* simple,
                  Handle* complex) {
    State* s = active();
    if (s == nullptr) {
        return errPlugInPropertyUndefined;
    }
    PropertyCall call{signature, key, index, 0, {}, noErr};
    auto finish = [&](OSErr result) {
        call.result = result;
        s->records.propertyGets.push_back(call);
        return result;
    };
    if (signature != photoshopSignature) {
        return finish(errPlugInPropertyUndefined);
    }
    State::PropertyValue value;
    auto it = s->properties.find(key);
    if (it != s->properties.end()) {
        value = it->second;
    } else if (key == propImageMode) {
        value.simple = s->document.imageMode();
    } else if (key == propUnicodeDocumentName) {
        value.complex = true;
        for (char16_t unit : s->document.name) {
            value.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            value.bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    } else if (key == propTitle) {
        value.complex = true;
        const std::string title = utf8FromUtf16(s->document.name);
        value.bytes.assign(title.begin(), title.end());
    } else if (key == propPlayInProgress || key == propLayerIsSmartObject ||
               key == propRecordingInProgress) {
        value.simple = 0;
    } else {
        return finish(errPlugInPropertyUndefined);
    }
    if (value.complex) {
        if (complex == nullptr) {
            return finish(paramErr);
        }
        *complex = s->makeHandle(value.bytes.data(), value.bytes.size());
        call.complex = value.bytes;
        return finish(noErr);
    }
    if (simple == nullptr) {
        return finish(paramErr);
    }
    *simple = value.simple;
    call.simple = value.simple;
    return finish(noErr);
}

OSErr setProperty(uint32 signature, uint32 key, int32 index, std::intptr_t simple, Handle complex) {
    State* s = active();
    if (s == nullptr) {
        return errPlugInPropertyUndefined;
    }
    PropertyCall call{signature, key, index, simple, {}, noErr};
    if (complex != nullptr) {
        if (State::HandleBlock* block = s->findHandle(complex, "set property")) {
            call.complex.assign(block->master, block->master + block->size);
        }
    }
    auto it = s->properties.find(key);
    if (signature != photoshopSignature || it == s->properties.end() || !it->second.writable) {
        call.result = errPlugInPropertyUndefined;
    } else if (it->second.complex) {
        it->second.bytes = call.complex;
    } else {
        it->second.simple = simple;
    }
    s->records.propertySets.push_back(call);
    return call.result;
}

// --- direct callbacks --------------------------------------------------------

Boolean testAbort() {
    State* s = active();
    if (s == nullptr) {
        return 0;
    }
    ++s->records.abortChecks;
    return s->abortAfter > 0 && s->records.abortChecks >= s->abortAfter ? 1 : 0;
}

void progress(int32 done, int32 total) {
    State* s = active();
    if (s == nullptr) {
        return;
    }
    s->records.progress.push_back(ProgressCall{done, total});
    if (s->options.onProgress) {
        s->options.onProgress(done, total);
    }
}

void processEvent(void* /*event*/) {}

OSErr colorServices(ColorServicesInfo* info) {
    State* s = active();
    if (s == nullptr || info == nullptr) {
        return paramErr;
    }
    ColorServicesCall call;
    call.selector = info->selector;
    call.sourceSpace = info->sourceSpace;
    call.resultSpace = info->resultSpace;
    std::copy(std::begin(info->colorComponents), std::end(info->colorComponents),
              std::begin(call.componentsIn));
    auto finish = [&](OSErr result) {
        std::copy(std::begin(info->colorComponents), std::end(info->colorComponents),
                  std::begin(call.componentsOut));
        call.result = result;
        s->records.colorServices.push_back(call);
        return result;
    };
    if (info->infoSize != static_cast<int32>(sizeof(ColorServicesInfo)) ||
        info->reservedSourceSpaceInfo != nullptr || info->reservedResultSpaceInfo != nullptr ||
        info->reserved != nullptr) {
        return finish(paramErr);
    }
    auto in = [&]() {
        return ColorComponents{info->colorComponents[0], info->colorComponents[1],
                               info->colorComponents[2], info->colorComponents[3]};
    };
    auto store = [&](const ColorComponents& c) {
        std::copy(c.begin(), c.end(), std::begin(info->colorComponents));
    };
    // Hands a colour over in the wanted space (or its own for "chosen").
    auto deliver = [&](std::int16_t space, const ColorComponents& c) -> OSErr {
        if (info->resultSpace == colorSpaceChosen) {
            info->resultSpace = space;
            store(c);
            return noErr;
        }
        const ColorConversionResult converted = convertColor(space, info->resultSpace, c);
        if (!converted.ok) {
            return paramErr;
        }
        store(converted.components);
        info->resultGamutInfoValid = 1;
        info->resultInGamut = converted.inGamut ? 1 : 0;
        return noErr;
    };
    switch (info->selector) {
    case colorServicesChooseColor: {
        if (s->picker.empty()) {
            return finish(deliver(info->sourceSpace, in()));
        }
        const PickerAnswer answer = s->picker.front();
        s->picker.pop_front();
        if (answer.result != noErr) {
            return finish(answer.result);
        }
        return finish(
            deliver(answer.space, ColorComponents{answer.components[0], answer.components[1],
                                                  answer.components[2], answer.components[3]}));
    }
    case colorServicesConvertColor: {
        const std::int16_t from = info->sourceSpace;
        const std::int16_t to = info->resultSpace;
        if (from < 0 || from > 6 || to < 0 || to > 6 || !s->conversions[from][to]) {
            return finish(paramErr);
        }
        return finish(deliver(from, in()));
    }
    case colorServicesSamplePoint: {
        const Point* point = info->selectorParameter.globalSamplePoint;
        const Document& d = s->source;
        if (point == nullptr || point->h < 0 || point->v < 0 || point->h >= d.width() ||
            point->v >= d.height() || (d.mode() != ColorMode::RGB && d.mode() != ColorMode::Gray)) {
            return finish(errInvalidSamplePoint);
        }
        ColorComponents c{0, 0, 0, 0};
        for (int i = 0; i < d.colorChannels(); ++i) {
            c[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                (d.sample(point->h, point->v, i) * 255 + d.maxValue() / 2) / d.maxValue());
        }
        return finish(deliver(d.mode() == ColorMode::Gray ? colorSpaceGray : colorSpaceRGB, c));
    }
    case colorServicesGetSpecialColor: {
        const RGB8 colour = info->selectorParameter.specialColorID == specialColorBackground
                                ? s->document.background
                                : s->document.foreground;
        return finish(
            deliver(colorSpaceRGB, ColorComponents{colour.red, colour.green, colour.blue, 0}));
    }
    default:
        return finish(paramErr);
    }
}

// Reads one sample of a pixel map as 0..255.
std::uint8_t mapSample(const PSPixelMap& map, int x, int y, int component, bool deep) {
    const auto* base = static_cast<const std::uint8_t*>(map.baseAddr);
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y - map.bounds.top) * map.rowBytes +
                              static_cast<std::ptrdiff_t>(x - map.bounds.left) * map.colBytes +
                              static_cast<std::ptrdiff_t>(component) * map.planeBytes;
    if (!deep) {
        return base[at];
    }
    std::uint16_t v = 0;
    std::memcpy(&v, base + at, sizeof v);
    return static_cast<std::uint8_t>((std::min<std::uint32_t>(v, 32768) * 255 + 16384) / 32768);
}

OSErr displayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                    void* platformContext) {
    State* s = active();
    if (s == nullptr) {
        return paramErr;
    }
    DisplayPixelsCall call;
    call.dstRow = dstRow;
    call.dstCol = dstCol;
    auto finish = [&](OSErr result) {
        call.result = result;
        s->records.displayPixels.push_back(call);
        return result;
    };
    if (source == nullptr || srcRect == nullptr || source->baseAddr == nullptr) {
        return finish(paramErr);
    }
    call.srcRect = *srcRect;
    call.imageMode = source->imageMode;
    const VRect& r = *srcRect;
    const VRect& b = source->bounds;
    if (isEmpty(r) || r.top < b.top || r.left < b.left || r.bottom > b.bottom ||
        r.right > b.right) {
        return finish(paramErr);
    }
    std::int16_t space = 0;
    int components = 0;
    switch (source->imageMode) {
    case modeGrayScale:
    case modeDuotone:
        space = colorSpaceGray;
        components = 1;
        break;
    case modeRGBColor:
        space = colorSpaceRGB;
        components = 3;
        break;
    case modeCMYKColor:
        space = colorSpaceCMYK;
        components = 4;
        break;
    case modeLabColor:
        space = colorSpaceLab;
        components = 3;
        break;
    default:
        return finish(filterBadMode);
    }
    const bool deep = source->version >= 3 && source->depth == 16;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    s->displayBuffer.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = s->displayBuffer.data() + static_cast<std::ptrdiff_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            ColorComponents c{0, 0, 0, 0};
            for (int k = 0; k < components; ++k) {
                c[static_cast<std::size_t>(k)] = mapSample(*source, r.left + x, r.top + y, k, deep);
            }
            const ColorComponents rgb =
                space == colorSpaceRGB ? c : convertColor(space, colorSpaceRGB, c).components;
            std::uint8_t* bgr = out + static_cast<std::ptrdiff_t>(x) * 3;
            bgr[0] = static_cast<std::uint8_t>(rgb[2]);
            bgr[1] = static_cast<std::uint8_t>(rgb[1]);
            bgr[2] = static_cast<std::uint8_t>(rgb[0]);
        }
    }
    if (!platform::drawIntoContext(platformContext, dstCol, dstRow, width, height,
                                   s->displayBuffer.data(), rowBytes)) {
        return finish(paramErr);
    }
    return finish(noErr);
}

// --- buffers ---------------------------------------------------------------

OSErr bufferAllocate64(int64 size, BufferID* id) {
    State* s = active();
    if (s == nullptr || id == nullptr || size < 0) {
        return paramErr;
    }
    auto buffer =
        std::make_unique<std::vector<char>>(static_cast<std::size_t>(std::max<int64>(size, 1)));
    const void* key = buffer.get();
    s->buffers[key] = std::move(buffer);
    *id = reinterpret_cast<BufferID>(const_cast<void*>(key));
    return noErr;
}

OSErr bufferAllocate(int32 size, BufferID* id) {
    return bufferAllocate64(size, id);
}

Ptr bufferLock(BufferID id, Boolean /*moveHigh*/) {
    State* s = active();
    if (s == nullptr) {
        return nullptr;
    }
    auto it = s->buffers.find(id);
    if (it == s->buffers.end()) {
        s->fault("locked a buffer the host does not know");
        return nullptr;
    }
    return it->second->data();
}

void bufferUnlock(BufferID /*id*/) {}

void bufferFree(BufferID id) {
    State* s = active();
    if (s != nullptr && s->buffers.erase(id) == 0) {
        s->fault("freed a buffer the host does not know");
    }
}

int64 bufferSpace64() {
    State* s = active();
    return s != nullptr ? s->options.maxSpace : 0;
}

int32 bufferSpace() {
    return static_cast<int32>(std::min<int64>(bufferSpace64(), INT32_MAX));
}

OSErr bufferReserve(int32 /*size*/) {
    return noErr;
}

// --- basic suite -------------------------------------------------------------

SPErr acquireSuite(const char* name, int32 version, const void** suite) {
    State* s = active();
    if (s == nullptr || name == nullptr || suite == nullptr) {
        return spBadParameterError;
    }
    SuiteUse* use = nullptr;
    for (SuiteUse& u : s->records.suites) {
        if (u.name == name && u.version == version) {
            use = &u;
        }
    }
    if (use == nullptr) {
        s->records.suites.push_back(SuiteUse{name, version, 0, 0, 0});
        use = &s->records.suites.back();
    }
    const void* table =
        s->withdrawnSuites.count({name, version}) != 0 ? nullptr : suiteTable(name, version);
    if (table == nullptr) {
        ++use->refused;
        *suite = nullptr;
        return spSuiteNotFoundError;
    }
    ++use->acquired;
    *suite = table;
    return spNoError;
}

SPErr releaseSuite(const char* name, int32 version) {
    State* s = active();
    if (s == nullptr || name == nullptr) {
        return spBadParameterError;
    }
    for (SuiteUse& use : s->records.suites) {
        if (use.name == name && use.version == version) {
            if (use.released >= use.acquired) {
                s->fault(std::string("released ") + name + " more often than acquired");
                return spBadParameterError;
            }
            ++use.released;
            return spNoError;
        }
    }
    s->fault(std::string("released ") + name + ", never acquired");
    return spBadParameterError;
}

SPBoolean isEqual(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0 ? 1 : 0;
}

SPErr allocateBlock(std::size_t size, void** block) {
    State* s = active();
    if (s == nullptr || block == nullptr) {
        return spBadParameterError;
    }
    *block = std::malloc(std::max<std::size_t>(size, 1));
    if (*block == nullptr) {
        return spOutOfMemoryError;
    }
    s->blocks.insert(*block);
    return spNoError;
}

SPErr freeBlock(void* block) {
    State* s = active();
    if (s == nullptr || s->blocks.erase(block) == 0) {
        if (s != nullptr) {
            s->fault("freed a block the host does not know");
        }
        return spBadParameterError;
    }
    std::free(block);
    return spNoError;
}

SPErr reallocateBlock(void* block, std::size_t newSize, void** newBlock) {
    State* s = active();
    if (s == nullptr || newBlock == nullptr || (block != nullptr && s->blocks.count(block) == 0)) {
        return spBadParameterError;
    }
    void* moved = std::realloc(block, std::max<std::size_t>(newSize, 1));
    if (moved == nullptr) {
        return spOutOfMemoryError;
    }
    s->blocks.erase(block);
    s->blocks.insert(moved);
    *newBlock = moved;
    return spNoError;
}

SPErr undefinedSlot() {
    return spUnimplementedError;
}

} // namespace

// --- State's object tables ------------------------------------------------------

Handle State::makeHandle(const std::uint8_t* bytes, std::size_t size) {
    auto block = std::make_unique<HandleBlock>();
    block->master = new char[std::max<std::size_t>(size, 1)]();
    block->size = static_cast<std::int32_t>(size);
    if (bytes != nullptr && size > 0) {
        std::memcpy(block->master, bytes, size);
    }
    Handle handle = &block->master;
    handles[handle] = std::move(block);
    return handle;
}

State::HandleBlock* State::findHandle(Handle handle, const char* use) {
    auto it = handles.find(handle);
    if (it == handles.end()) {
        fault(std::string(use) + ": not a handle of this host");
        return nullptr;
    }
    return it->second.get();
}

void State::disposeHandle(Handle handle, const char* use) {
    auto it = handles.find(handle);
    if (it == handles.end()) {
        fault(std::string(use) + ": disposed a handle that is not one of this host's");
        return;
    }
    delete[] it->second->master;
    handles.erase(it);
}

ActionDescriptor* State::findDescriptor(const void* descriptor, const char* use) {
    auto it = descriptors.find(descriptor);
    if (it == descriptors.end()) {
        fault(std::string(use) + ": not a descriptor of this host");
        return nullptr;
    }
    return it->second.get();
}

PIActionDescriptor State::registerDescriptor(ActionDescriptor descriptor) {
    auto owned = std::make_unique<ActionDescriptor>(std::move(descriptor));
    const void* key = owned.get();
    descriptors[key] = std::move(owned);
    return reinterpret_cast<PIActionDescriptor>(const_cast<void*>(key));
}

State::ZString* State::findZString(const void* zstring, const char* use) {
    if (zstring == &emptyZString) {
        return &emptyZString;
    }
    auto it = zstrings.find(zstring);
    if (it == zstrings.end()) {
        fault(std::string(use) + ": not a ZString of this host");
        return nullptr;
    }
    return it->second.get();
}

ASZString State::makeZString(std::u16string text) {
    auto owned = std::make_unique<ZString>();
    owned->text = std::move(text);
    const void* key = owned.get();
    zstrings[key] = std::move(owned);
    return reinterpret_cast<ASZString>(const_cast<void*>(key));
}

void installCallbacks(State& state) {
    state.record.abortProc = testAbort;
    state.record.progressProc = progress;
    state.record.processEvent = processEvent;
    state.record.displayPixels = displayPixels;
    state.record.advanceState = hostAdvanceState;
    state.record.colorServices = colorServices;
    state.record.getPropertyObsolete = getProperty;

    state.handleProcs = HandleProcs{HandleProcs::currentVersion,
                                    HandleProcs::procCount,
                                    handleNew,
                                    handleDispose,
                                    handleGetSize,
                                    handleSetSize,
                                    handleLock,
                                    handleUnlock,
                                    handleRecoverSpace,
                                    handleDispose};
    state.propertyProcs = PropertyProcs{PropertyProcs::currentVersion, PropertyProcs::procCount,
                                        getProperty, setProperty};
    state.bufferProcs = BufferProcs{BufferProcs::currentVersion,
                                    BufferProcs::procCount,
                                    bufferAllocate,
                                    bufferLock,
                                    bufferUnlock,
                                    bufferFree,
                                    bufferSpace,
                                    bufferReserve,
                                    bufferAllocate64,
                                    bufferSpace64};
    state.basicSuite = SPBasicSuite{acquireSuite, releaseSuite,    isEqual,      allocateBlock,
                                    freeBlock,    reallocateBlock, undefinedSlot};
}

const void* handleSuiteTable(std::int32_t version) {
    if (version == 1) {
        return &kHandleSuite1;
    }
    return version == HandleSuite::suiteVersion ? &kHandleSuite2 : nullptr;
}

const void* propertySuiteTable() {
    State* s = active();
    return s != nullptr ? &s->propertyProcs : nullptr;
}

const void* basicSuiteTable() {
    State* s = active();
    return s != nullptr ? &s->basicSuite : nullptr;
}

const void* bufferSuiteTable() {
    State* s = active();
    return s != nullptr ? &s->bufferProcs : nullptr;
}

} // namespace host
