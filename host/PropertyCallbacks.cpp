// The property callbacks: the filter record's table, which is also the
// property suite, and the record's obsolete get slot.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

OSErr setProperty(uint32 signature, uint32 key, int32 index, std::intptr_t simple, Handle complex) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return errPlugInPropertyUndefined;
    }
    PropertyCall call{signature, key, index, simple, {}, noErr};
    if (complex != nullptr) {
        if (const HandleBlock* block = activeHandles()->find(complex, "set property")) {
            call.complex = block->bytes();
        }
    }
    if (signature != photoshopSignature || !activeProperties()->write(key, simple, call.complex)) {
        call.result = errPlugInPropertyUndefined;
    }
    records->propertySets.push_back(call);
    return call.result;
}

} // namespace

OSErr hostGetProperty(uint32 signature, uint32 key, int32 index, std::intptr_t* simple,
                      Handle* complex) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return errPlugInPropertyUndefined;
    }
    PropertyCall call{signature, key, index, 0, {}, noErr};
    auto finish = [&](OSErr result) {
        call.result = result;
        records->propertyGets.push_back(call);
        return result;
    };
    const std::optional<PropertyValue> value =
        signature == photoshopSignature ? activeProperties()->answer(key, *activeDocument())
                                        : std::nullopt;
    if (!value) {
        return finish(errPlugInPropertyUndefined);
    }
    if (value->complex) {
        if (complex == nullptr) {
            return finish(paramErr);
        }
        *complex = activeHandles()->make(value->bytes);
        call.complex = value->bytes;
        return finish(noErr);
    }
    if (simple == nullptr) {
        return finish(paramErr);
    }
    *simple = value->simple;
    call.simple = value->simple;
    return finish(noErr);
}

PropertyProcs hostPropertyProcs() {
    return PropertyProcs{PropertyProcs::currentVersion, PropertyProcs::procCount, hostGetProperty,
                         setProperty};
}

} // namespace host
