// The action descriptor suite (version 2): every slot, over the host's
// descriptor objects. Lists and references need suites the host does not
// offer.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"
#include "text/Unicode.h"

#include <algorithm>
#include <cstring>

namespace host {

using namespace hostapi;

namespace {

PIActionDescriptor handOut(ActionDescriptor descriptor) {
    return static_cast<PIActionDescriptor>(activeDescriptors()->add(std::move(descriptor)));
}

// The descriptor and the key's value, or why not.
struct Lookup {
    ActionDescriptor* descriptor = nullptr;
    const DescriptorValue* value = nullptr;
    OSErr error = noErr;
};

Lookup lookup(PIActionDescriptor d, const char* use) {
    Lookup l;
    HostObjects<ActionDescriptor>* descriptors = activeDescriptors();
    l.descriptor = descriptors != nullptr ? descriptors->find(d, use) : nullptr;
    l.error = l.descriptor != nullptr ? noErr : paramErr;
    return l;
}

// The key's value, which must be of `type`: missing is errMissingParameter,
// another type paramErr.
Lookup typed(PIActionDescriptor d, DescriptorKeyID key, const char* use, DescriptorTypeID type) {
    Lookup l = lookup(d, use);
    if (l.error == noErr) {
        l.value = l.descriptor->find(key);
        l.error = l.value == nullptr      ? errMissingParameter
                  : l.value->type != type ? paramErr
                                          : noErr;
    }
    return l;
}

// A Get whose one result `read` takes from the value; a null result pointer
// is paramErr.
template <typename Out, typename Read>
OSErr get(PIActionDescriptor d, DescriptorKeyID key, const char* use, DescriptorTypeID type,
          Out* out, Read read) {
    const Lookup l = typed(d, key, use, type);
    if (out == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *out = read(l);
    }
    return l.error;
}

OSErr put(PIActionDescriptor d, DescriptorKeyID key, DescriptorValue value, const char* use) {
    const Lookup l = lookup(d, use);
    if (l.error == noErr) {
        l.descriptor->put(key, std::move(value));
    }
    return l.error;
}

OSErr adMake(PIActionDescriptor* out) {
    if (activeDescriptors() == nullptr || out == nullptr) {
        return paramErr;
    }
    *out = handOut(ActionDescriptor());
    return noErr;
}

OSErr adFree(PIActionDescriptor d) {
    HostObjects<ActionDescriptor>* descriptors = activeDescriptors();
    return descriptors != nullptr && descriptors->erase(d, "Free") ? noErr : paramErr;
}

OSErr adGetType(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type) {
    Lookup l = lookup(d, "GetType");
    if (type == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        l.value = l.descriptor->find(key);
        if (l.value == nullptr) {
            return errMissingParameter;
        }
        *type = l.value->type;
    }
    return l.error;
}

OSErr adGetKey(PIActionDescriptor d, uint32 index, DescriptorKeyID* key) {
    const Lookup l = lookup(d, "GetKey");
    if (l.error != noErr) {
        return l.error;
    }
    if (key == nullptr || index >= l.descriptor->count()) {
        return paramErr;
    }
    *key = l.descriptor->entries()[index].first;
    return noErr;
}

OSErr adHasKey(PIActionDescriptor d, DescriptorKeyID key, Boolean* has) {
    const Lookup l = lookup(d, "HasKey");
    if (l.error == noErr && has != nullptr) {
        *has = l.descriptor->has(key) ? 1 : 0;
    }
    return has == nullptr ? paramErr : l.error;
}

OSErr adGetCount(PIActionDescriptor d, uint32* count) {
    const Lookup l = lookup(d, "GetCount");
    if (l.error == noErr && count != nullptr) {
        *count = static_cast<uint32>(l.descriptor->count());
    }
    return count == nullptr ? paramErr : l.error;
}

OSErr adIsEqual(PIActionDescriptor d, PIActionDescriptor other, Boolean* equal) {
    const Lookup a = lookup(d, "IsEqual");
    const Lookup b = lookup(other, "IsEqual");
    if (a.error != noErr || b.error != noErr || equal == nullptr) {
        return paramErr;
    }
    *equal = *a.descriptor == *b.descriptor ? 1 : 0;
    return noErr;
}

OSErr adErase(PIActionDescriptor d, DescriptorKeyID key) {
    const Lookup l = lookup(d, "Erase");
    if (l.error == noErr) {
        l.descriptor->erase(key);
    }
    return l.error;
}

OSErr adClear(PIActionDescriptor d) {
    const Lookup l = lookup(d, "Clear");
    if (l.error == noErr) {
        l.descriptor->clear();
    }
    return l.error;
}

OSErr adPutInteger(PIActionDescriptor d, DescriptorKeyID key, int32 value) {
    return put(d, key, DescriptorValue::makeInteger(value), "PutInteger");
}

OSErr adPutFloat(PIActionDescriptor d, DescriptorKeyID key, double value) {
    return put(d, key, DescriptorValue::makeFloat(value), "PutFloat");
}

OSErr adPutUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID unit,
                     double value) {
    return put(d, key, DescriptorValue::makeUnitFloat(unit, value), "PutUnitFloat");
}

// C strings are taken as UTF-8.
OSErr adPutString(PIActionDescriptor d, DescriptorKeyID key, const char* text) {
    if (text == nullptr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeText(text::utf16FromUtf8(text)), "PutString");
}

OSErr adPutBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean value) {
    return put(d, key, DescriptorValue::makeBoolean(value != 0), "PutBoolean");
}

OSErr adPutList(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/, PIActionList /*value*/) {
    return errPlugInHostInsufficient;
}

OSErr putObjectOf(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type,
                  PIActionDescriptor value, bool global) {
    const Lookup object = lookup(value, "PutObject");
    if (object.error != noErr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeObject(type, *object.descriptor, global), "PutObject");
}

OSErr adPutObject(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type,
                  PIActionDescriptor value) {
    return putObjectOf(d, key, type, value, false);
}

OSErr adPutGlobalObject(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type,
                        PIActionDescriptor value) {
    return putObjectOf(d, key, type, value, true);
}

OSErr adPutEnumerated(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID type,
                      DescriptorEnumID value) {
    return put(d, key, DescriptorValue::makeEnumerated(type, value), "PutEnumerated");
}

OSErr adPutReference(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/,
                     PIActionReference /*value*/) {
    return errPlugInHostInsufficient;
}

OSErr adPutClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value) {
    return put(d, key, DescriptorValue::makeClass(value, false), "PutClass");
}

OSErr adPutGlobalClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value) {
    return put(d, key, DescriptorValue::makeClass(value, true), "PutGlobalClass");
}

OSErr adPutAlias(PIActionDescriptor d, DescriptorKeyID key, Handle value) {
    HandleTable* handles = activeHandles();
    const HandleBlock* block = handles != nullptr ? handles->find(value, "PutAlias") : nullptr;
    if (block == nullptr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeAlias(block->bytes()), "PutAlias");
}

OSErr adGetInteger(PIActionDescriptor d, DescriptorKeyID key, int32* value) {
    return get(d, key, "GetInteger", typeInteger, value,
               [](const Lookup& l) { return static_cast<int32>(l.value->integer); });
}

OSErr adGetFloat(PIActionDescriptor d, DescriptorKeyID key, double* value) {
    return get(d, key, "GetFloat", typeFloat, value,
               [](const Lookup& l) { return l.value->number; });
}

OSErr adGetUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit,
                     double* value) {
    return get(d, key, "GetUnitFloat", typeUnitFloat, value, [unit](const Lookup& l) {
        if (unit != nullptr) {
            *unit = l.value->unit;
        }
        return l.value->number;
    });
}

OSErr adGetStringLength(PIActionDescriptor d, DescriptorKeyID key, uint32* length) {
    return get(d, key, "GetStringLength", typeText, length, [](const Lookup& l) {
        return static_cast<uint32>(text::utf8FromUtf16(l.value->text).size());
    });
}

// As much of the UTF-8 text as fits, always terminated.
OSErr adGetString(PIActionDescriptor d, DescriptorKeyID key, char* buffer, uint32 maxLength) {
    const Lookup l = typed(d, key, "GetString", typeText);
    if (buffer == nullptr || maxLength == 0) {
        return paramErr;
    }
    if (l.error == noErr) {
        const std::string text = text::utf8FromUtf16(l.value->text);
        const std::size_t n = std::min<std::size_t>(text.size(), maxLength - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return l.error;
}

OSErr adGetBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean* value) {
    return get(d, key, "GetBoolean", typeBoolean, value,
               [](const Lookup& l) { return static_cast<Boolean>(l.value->integer != 0 ? 1 : 0); });
}

OSErr adGetList(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/, PIActionList* /*value*/) {
    return errPlugInHostInsufficient;
}

// A copy of the object, a new descriptor for the plug-in to free.
OSErr getObjectOf(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type,
                  PIActionDescriptor* value, DescriptorTypeID wanted) {
    return get(d, key, "GetObject", wanted, value, [type](const Lookup& l) {
        if (type != nullptr) {
            *type = l.value->classId;
        }
        return handOut(l.value->object ? *l.value->object : ActionDescriptor());
    });
}

OSErr adGetObject(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type,
                  PIActionDescriptor* value) {
    return getObjectOf(d, key, type, value, typeObject);
}

OSErr adGetGlobalObject(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type,
                        PIActionDescriptor* value) {
    return getObjectOf(d, key, type, value, typeGlobalObject);
}

OSErr adGetEnumerated(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type,
                      DescriptorEnumID* value) {
    return get(d, key, "GetEnumerated", typeEnumerated, value, [type](const Lookup& l) {
        if (type != nullptr) {
            *type = l.value->classId;
        }
        return l.value->enumValue;
    });
}

OSErr adGetReference(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/,
                     PIActionReference* /*value*/) {
    return errPlugInHostInsufficient;
}

DescriptorClassID classOf(const Lookup& l) {
    return l.value->classId;
}

OSErr adGetClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value) {
    return get(d, key, "GetClass", typeClass, value, classOf);
}

OSErr adGetGlobalClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value) {
    return get(d, key, "GetGlobalClass", typeGlobalClass, value, classOf);
}

OSErr adGetAlias(PIActionDescriptor d, DescriptorKeyID key, Handle* value) {
    return get(d, key, "GetAlias", typeAlias, value,
               [](const Lookup& l) { return activeHandles()->make(l.value->data); });
}

OSErr adHasKeys(PIActionDescriptor d, DescriptorKeyID* keys, Boolean* has) {
    const Lookup l = lookup(d, "HasKeys");
    if (l.error != noErr || keys == nullptr || has == nullptr) {
        return paramErr;
    }
    *has = 1;
    for (const DescriptorKeyID* key = keys; *key != 0; ++key) {
        if (!l.descriptor->has(*key)) {
            *has = 0;
        }
    }
    return noErr;
}

OSErr adPutIntegers(PIActionDescriptor d, DescriptorKeyID key, uint32 count, int32* values) {
    if (values == nullptr && count > 0) {
        return paramErr;
    }
    std::vector<DescriptorValue> items;
    for (uint32 i = 0; i < count; ++i) {
        items.push_back(DescriptorValue::makeInteger(values[i]));
    }
    return put(d, key, DescriptorValue::makeList(std::move(items)), "PutIntegers");
}

OSErr adGetIntegers(PIActionDescriptor d, DescriptorKeyID key, uint32 count, int32* values) {
    const Lookup l = typed(d, key, "GetIntegers", typeValueList);
    if (values == nullptr && count > 0) {
        return paramErr;
    }
    if (l.error != noErr) {
        return l.error;
    }
    if (count > l.value->list.size()) {
        return paramErr;
    }
    for (uint32 i = 0; i < count; ++i) {
        if (l.value->list[i].type != typeInteger) {
            return paramErr;
        }
        values[i] = static_cast<int32>(l.value->list[i].integer);
    }
    return noErr;
}

OSErr adAsHandle(PIActionDescriptor d, PIDescriptorHandle* handle) {
    const Lookup l = lookup(d, "AsHandle");
    if (l.error != noErr || handle == nullptr) {
        return paramErr;
    }
    *handle = activeHandles()->make(l.descriptor->serialize());
    return noErr;
}

OSErr adHandleToDescriptor(PIDescriptorHandle handle, PIActionDescriptor* d) {
    HandleTable* handles = activeHandles();
    const HandleBlock* block =
        handles != nullptr ? handles->find(handle, "HandleToDescriptor") : nullptr;
    if (block == nullptr || d == nullptr) {
        return paramErr;
    }
    std::optional<ActionDescriptor> parsed =
        ActionDescriptor::parse(reinterpret_cast<const std::uint8_t*>(block->master),
                                static_cast<std::size_t>(block->size));
    if (!parsed) {
        return paramErr;
    }
    *d = handOut(std::move(*parsed));
    return noErr;
}

OSErr adPutZString(PIActionDescriptor d, DescriptorKeyID key, ASZString value) {
    ZStringTable* zstrings = activeZStrings();
    const ZString* z = zstrings != nullptr ? zstrings->find(value, "PutZString") : nullptr;
    if (z == nullptr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeText(z->text), "PutZString");
}

OSErr adGetZString(PIActionDescriptor d, DescriptorKeyID key, ASZString* value) {
    return get(d, key, "GetZString", typeText, value,
               [](const Lookup& l) { return activeZStrings()->make(l.value->text); });
}

OSErr adPutData(PIActionDescriptor d, DescriptorKeyID key, int32 length, void* bytes) {
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return paramErr;
    }
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    return put(d, key, DescriptorValue::makeData({first, first + length}), "PutData");
}

OSErr adGetDataLength(PIActionDescriptor d, DescriptorKeyID key, int32* length) {
    return get(d, key, "GetDataLength", typeRawData, length,
               [](const Lookup& l) { return static_cast<int32>(l.value->data.size()); });
}

OSErr adGetData(PIActionDescriptor d, DescriptorKeyID key, void* bytes) {
    const Lookup l = typed(d, key, "GetData", typeRawData);
    if (bytes == nullptr) {
        return paramErr;
    }
    if (l.error == noErr && !l.value->data.empty()) {
        std::memcpy(bytes, l.value->data.data(), l.value->data.size());
    }
    return l.error;
}

const ActionDescriptorSuite kActionDescriptorSuite = {adMake,
                                                      adFree,
                                                      adGetType,
                                                      adGetKey,
                                                      adHasKey,
                                                      adGetCount,
                                                      adIsEqual,
                                                      adErase,
                                                      adClear,
                                                      adPutInteger,
                                                      adPutFloat,
                                                      adPutUnitFloat,
                                                      adPutString,
                                                      adPutBoolean,
                                                      adPutList,
                                                      adPutObject,
                                                      adPutGlobalObject,
                                                      adPutEnumerated,
                                                      adPutReference,
                                                      adPutClass,
                                                      adPutGlobalClass,
                                                      adPutAlias,
                                                      adGetInteger,
                                                      adGetFloat,
                                                      adGetUnitFloat,
                                                      adGetStringLength,
                                                      adGetString,
                                                      adGetBoolean,
                                                      adGetList,
                                                      adGetObject,
                                                      adGetGlobalObject,
                                                      adGetEnumerated,
                                                      adGetReference,
                                                      adGetClass,
                                                      adGetGlobalClass,
                                                      adGetAlias,
                                                      adHasKeys,
                                                      adPutIntegers,
                                                      adGetIntegers,
                                                      adAsHandle,
                                                      adHandleToDescriptor,
                                                      adPutZString,
                                                      adGetZString,
                                                      adPutData,
                                                      adGetDataLength,
                                                      adGetData};

} // namespace

const ActionDescriptorSuite& actionDescriptorSuite() {
    return kActionDescriptorSuite;
}

} // namespace host
