// The component suites the host offers through its basic suite: action
// descriptors, the descriptor registry, ZStrings, colour spaces and the
// channel ports (offered, not implemented).

#include "host/ColorConversion.h"
#include "host/FilterHostState.h"
#include "host/TextEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace host {

using namespace hostapi;

using State = FilterHost::State;

const void* handleSuiteTable(std::int32_t version);
const void* propertySuiteTable();
const void* basicSuiteTable();
const void* bufferSuiteTable();

namespace {

constexpr const char* kPropertySuiteName = "Photoshop Property Suite for Plug-ins";
constexpr const char* kBufferSuiteName = "Photoshop Buffer Procs for Plug-ins";

State* active() {
    return activeHostState();
}

// --- action descriptors ------------------------------------------------------

// Finds the descriptor and the key's value, or says why not.
struct Lookup {
    State* state = nullptr;
    ActionDescriptor* descriptor = nullptr;
    const DescriptorValue* value = nullptr;
    OSErr error = noErr;
};

Lookup lookup(PIActionDescriptor d, DescriptorKeyID key, const char* use, bool needValue) {
    Lookup l;
    l.state = active();
    if (l.state == nullptr) {
        l.error = paramErr;
        return l;
    }
    l.descriptor = l.state->findDescriptor(d, use);
    if (l.descriptor == nullptr) {
        l.error = paramErr;
        return l;
    }
    if (needValue) {
        l.value = l.descriptor->find(key);
        if (l.value == nullptr) {
            l.error = errMissingParameter;
        }
    }
    return l;
}

// A value of one of these types, or paramErr for a key of another type.
Lookup typed(PIActionDescriptor d, DescriptorKeyID key, const char* use,
             std::initializer_list<DescriptorTypeID> types) {
    Lookup l = lookup(d, key, use, true);
    if (l.error == noErr && std::find(types.begin(), types.end(), l.value->type) == types.end()) {
        l.error = paramErr;
    }
    return l;
}

OSErr put(PIActionDescriptor d, DescriptorKeyID key, DescriptorValue value, const char* use) {
    Lookup l = lookup(d, key, use, false);
    if (l.error != noErr) {
        return l.error;
    }
    l.descriptor->put(key, std::move(value));
    return noErr;
}

OSErr adMake(PIActionDescriptor* out) {
    State* s = active();
    if (s == nullptr || out == nullptr) {
        return paramErr;
    }
    *out = s->registerDescriptor(ActionDescriptor());
    return noErr;
}

OSErr adFree(PIActionDescriptor d) {
    State* s = active();
    if (s == nullptr || s->findDescriptor(d, "Free") == nullptr) {
        return paramErr;
    }
    s->descriptors.erase(d);
    return noErr;
}

OSErr adGetType(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type) {
    Lookup l = lookup(d, key, "GetType", true);
    if (l.error == noErr && type != nullptr) {
        *type = l.value->type;
    }
    return type == nullptr ? paramErr : l.error;
}

OSErr adGetKey(PIActionDescriptor d, uint32 index, DescriptorKeyID* key) {
    Lookup l = lookup(d, 0, "GetKey", false);
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
    Lookup l = lookup(d, key, "HasKey", false);
    if (l.error == noErr && has != nullptr) {
        *has = l.descriptor->has(key) ? 1 : 0;
    }
    return has == nullptr ? paramErr : l.error;
}

OSErr adGetCount(PIActionDescriptor d, uint32* count) {
    Lookup l = lookup(d, 0, "GetCount", false);
    if (l.error == noErr && count != nullptr) {
        *count = static_cast<uint32>(l.descriptor->count());
    }
    return count == nullptr ? paramErr : l.error;
}

OSErr adIsEqual(PIActionDescriptor d, PIActionDescriptor other, Boolean* equal) {
    Lookup a = lookup(d, 0, "IsEqual", false);
    Lookup b = lookup(other, 0, "IsEqual", false);
    if (a.error != noErr || b.error != noErr || equal == nullptr) {
        return paramErr;
    }
    *equal = *a.descriptor == *b.descriptor ? 1 : 0;
    return noErr;
}

OSErr adErase(PIActionDescriptor d, DescriptorKeyID key) {
    Lookup l = lookup(d, key, "Erase", false);
    if (l.error == noErr) {
        l.descriptor->erase(key);
    }
    return l.error;
}

OSErr adClear(PIActionDescriptor d) {
    Lookup l = lookup(d, 0, "Clear", false);
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
    return put(d, key, DescriptorValue::makeText(utf16FromUtf8(text)), "PutString");
}

OSErr adPutBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean value) {
    return put(d, key, DescriptorValue::makeBoolean(value != 0), "PutBoolean");
}

// Lists and references need suites this host does not offer.
OSErr adPutList(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/, PIActionList /*value*/) {
    return errPlugInHostInsufficient;
}

OSErr putObjectOf(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type,
                  PIActionDescriptor value, bool global) {
    State* s = active();
    ActionDescriptor* object = s != nullptr ? s->findDescriptor(value, "PutObject") : nullptr;
    if (object == nullptr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeObject(type, *object, global), "PutObject");
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
    State* s = active();
    State::HandleBlock* block = s != nullptr ? s->findHandle(value, "PutAlias") : nullptr;
    if (block == nullptr) {
        return paramErr;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(block->master);
    return put(d, key, DescriptorValue::makeAlias({bytes, bytes + block->size}), "PutAlias");
}

OSErr adGetInteger(PIActionDescriptor d, DescriptorKeyID key, int32* value) {
    Lookup l = typed(d, key, "GetInteger", {typeInteger});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = static_cast<int32>(l.value->integer);
    }
    return l.error;
}

OSErr adGetFloat(PIActionDescriptor d, DescriptorKeyID key, double* value) {
    Lookup l = typed(d, key, "GetFloat", {typeFloat});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.value->number;
    }
    return l.error;
}

OSErr adGetUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit,
                     double* value) {
    Lookup l = typed(d, key, "GetUnitFloat", {typeUnitFloat});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        if (unit != nullptr) {
            *unit = l.value->unit;
        }
        *value = l.value->number;
    }
    return l.error;
}

OSErr adGetStringLength(PIActionDescriptor d, DescriptorKeyID key, uint32* length) {
    Lookup l = typed(d, key, "GetStringLength", {typeText});
    if (length == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *length = static_cast<uint32>(utf8FromUtf16(l.value->text).size());
    }
    return l.error;
}

OSErr adGetString(PIActionDescriptor d, DescriptorKeyID key, char* buffer, uint32 maxLength) {
    Lookup l = typed(d, key, "GetString", {typeText});
    if (buffer == nullptr || maxLength == 0) {
        return paramErr;
    }
    if (l.error == noErr) {
        const std::string text = utf8FromUtf16(l.value->text);
        const std::size_t n = std::min<std::size_t>(text.size(), maxLength - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return l.error;
}

OSErr adGetBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean* value) {
    Lookup l = typed(d, key, "GetBoolean", {typeBoolean});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.value->integer != 0 ? 1 : 0;
    }
    return l.error;
}

OSErr adGetList(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/, PIActionList* /*value*/) {
    return errPlugInHostInsufficient;
}

OSErr getObjectOf(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type,
                  PIActionDescriptor* value, DescriptorTypeID wanted) {
    Lookup l = typed(d, key, "GetObject", {wanted});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        if (type != nullptr) {
            *type = l.value->classId;
        }
        *value =
            l.state->registerDescriptor(l.value->object ? *l.value->object : ActionDescriptor());
    }
    return l.error;
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
    Lookup l = typed(d, key, "GetEnumerated", {typeEnumerated});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        if (type != nullptr) {
            *type = l.value->classId;
        }
        *value = l.value->enumValue;
    }
    return l.error;
}

OSErr adGetReference(PIActionDescriptor /*d*/, DescriptorKeyID /*key*/,
                     PIActionReference* /*value*/) {
    return errPlugInHostInsufficient;
}

OSErr adGetClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value) {
    Lookup l = typed(d, key, "GetClass", {typeClass});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.value->classId;
    }
    return l.error;
}

OSErr adGetGlobalClass(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value) {
    Lookup l = typed(d, key, "GetGlobalClass", {typeGlobalClass});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.value->classId;
    }
    return l.error;
}

OSErr adGetAlias(PIActionDescriptor d, DescriptorKeyID key, Handle* value) {
    Lookup l = typed(d, key, "GetAlias", {typeAlias});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.state->makeHandle(l.value->data.data(), l.value->data.size());
    }
    return l.error;
}

OSErr adHasKeys(PIActionDescriptor d, DescriptorKeyID* keys, Boolean* has) {
    Lookup l = lookup(d, 0, "HasKeys", false);
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
    Lookup l = typed(d, key, "GetIntegers", {typeValueList});
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
    Lookup l = lookup(d, 0, "AsHandle", false);
    if (l.error != noErr || handle == nullptr) {
        return paramErr;
    }
    const std::vector<std::uint8_t> bytes = l.descriptor->serialize();
    *handle = l.state->makeHandle(bytes.data(), bytes.size());
    return noErr;
}

OSErr adHandleToDescriptor(PIDescriptorHandle handle, PIActionDescriptor* d) {
    State* s = active();
    State::HandleBlock* block =
        s != nullptr ? s->findHandle(handle, "HandleToDescriptor") : nullptr;
    if (block == nullptr || d == nullptr) {
        return paramErr;
    }
    std::optional<ActionDescriptor> parsed =
        ActionDescriptor::parse(reinterpret_cast<const std::uint8_t*>(block->master),
                                static_cast<std::size_t>(block->size));
    if (!parsed) {
        return paramErr;
    }
    *d = s->registerDescriptor(std::move(*parsed));
    return noErr;
}

OSErr adPutZString(PIActionDescriptor d, DescriptorKeyID key, ASZString value) {
    State* s = active();
    State::ZString* z = s != nullptr ? s->findZString(value, "PutZString") : nullptr;
    if (z == nullptr) {
        return paramErr;
    }
    return put(d, key, DescriptorValue::makeText(z->text), "PutZString");
}

OSErr adGetZString(PIActionDescriptor d, DescriptorKeyID key, ASZString* value) {
    Lookup l = typed(d, key, "GetZString", {typeText});
    if (value == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *value = l.state->makeZString(l.value->text);
    }
    return l.error;
}

OSErr adPutData(PIActionDescriptor d, DescriptorKeyID key, int32 length, void* bytes) {
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return paramErr;
    }
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    return put(d, key, DescriptorValue::makeData({first, first + length}), "PutData");
}

OSErr adGetDataLength(PIActionDescriptor d, DescriptorKeyID key, int32* length) {
    Lookup l = typed(d, key, "GetDataLength", {typeRawData});
    if (length == nullptr) {
        return paramErr;
    }
    if (l.error == noErr) {
        *length = static_cast<int32>(l.value->data.size());
    }
    return l.error;
}

OSErr adGetData(PIActionDescriptor d, DescriptorKeyID key, void* bytes) {
    Lookup l = typed(d, key, "GetData", {typeRawData});
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

// --- descriptor registry ---------------------------------------------------------

OSErr registryRegister(const char* key, PIActionDescriptor d, Boolean persistent) {
    State* s = active();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call{RegistryCall::Kind::Register, key != nullptr ? key : "", persistent != 0,
                      false, noErr};
    ActionDescriptor* descriptor = s->findDescriptor(d, "Register");
    if (key == nullptr || descriptor == nullptr) {
        call.result = paramErr;
    } else {
        s->registry[key] = State::RegistryEntry{*descriptor, persistent != 0};
    }
    s->records.registry.push_back(call);
    return call.result;
}

OSErr registryErase(const char* key) {
    State* s = active();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call{RegistryCall::Kind::Erase, key != nullptr ? key : "", false, false, noErr};
    if (key == nullptr) {
        call.result = paramErr;
    } else {
        s->registry.erase(key);
    }
    s->records.registry.push_back(call);
    return call.result;
}

// A missing key is not an error: the call succeeds and yields no descriptor.
OSErr registryGet(const char* key, PIActionDescriptor* d) {
    State* s = active();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call{RegistryCall::Kind::Get, key != nullptr ? key : "", false, false, noErr};
    if (key == nullptr || d == nullptr) {
        call.result = paramErr;
    } else if (auto scripted = s->registryGetResults.find(key);
               scripted != s->registryGetResults.end()) {
        *d = nullptr;
        call.result = scripted->second;
    } else if (auto it = s->registry.find(key); it != s->registry.end()) {
        *d = s->registerDescriptor(it->second.descriptor);
        call.yieldedDescriptor = true;
    } else {
        *d = nullptr;
    }
    s->records.registry.push_back(call);
    return call.result;
}

const DescriptorRegistrySuite kRegistrySuite = {registryRegister, registryErase, registryGet};

// --- ZStrings --------------------------------------------------------------------

State::ZString* zfind(ASZString z, const char* use) {
    State* s = active();
    return s != nullptr ? s->findZString(z, use) : nullptr;
}

ASErr zMake(std::u16string text, ASZString* out) {
    State* s = active();
    if (s == nullptr || out == nullptr) {
        return paramErr;
    }
    *out = s->makeZString(std::move(text));
    return noErr;
}

// A ZString is a C string: it ends at the first NUL within the count.
ASErr zMakeFromUnicode(ASUnicode* src, std::size_t count, ASZString* out) {
    if (src == nullptr && count > 0) {
        return paramErr;
    }
    std::u16string text;
    for (std::size_t i = 0; i < count && src[i] != 0; ++i) {
        text.push_back(static_cast<char16_t>(src[i]));
    }
    return zMake(std::move(text), out);
}

ASErr zMakeFromCString(const char* src, std::size_t byteCount, ASZString* out) {
    if (src == nullptr && byteCount > 0) {
        return paramErr;
    }
    const std::string bytes(src, src + byteCount);
    return zMake(utf16FromUtf8(bytes.substr(0, bytes.find('\0'))), out);
}

ASErr zMakeFromPascalString(const uint8* src, std::size_t byteCount, ASZString* out) {
    if (src == nullptr || byteCount == 0) {
        return zMake(std::u16string(), out);
    }
    const std::size_t length = std::min<std::size_t>(src[0], byteCount - 1);
    return zMake(utf16FromUtf8(std::string(src + 1, src + 1 + length)), out);
}

ASErr zMakeRomanizationOfInteger(int32 value, ASZString* out) {
    return zMake(utf16FromUtf8(std::to_string(value)), out);
}

ASErr zMakeRomanizationOfFixed(int32 value, int16 places, ASBoolean trim, ASBoolean isSigned,
                               ASZString* out) {
    const double number =
        isSigned != 0 ? value / 65536.0 : static_cast<std::uint32_t>(value) / 65536.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp<int>(places, 0, 10), number);
    std::string text = buffer;
    if (trim != 0 && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return zMake(utf16FromUtf8(text), out);
}

ASErr zMakeRomanizationOfDouble(double value, ASZString* out) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return zMake(utf16FromUtf8(buffer), out);
}

ASZString zGetEmpty() {
    State* s = active();
    return s != nullptr ? reinterpret_cast<ASZString>(&s->emptyZString) : nullptr;
}

ASErr zCopy(ASZString source, ASZString* copy) {
    State::ZString* z = zfind(source, "Copy");
    if (z == nullptr) {
        return paramErr;
    }
    return zMake(z->text, copy);
}

// "^1" ... "^9" in a string are placeholders for replacements.
ASErr zReplace(ASZString zstring, uint32 index, ASZString replacement) {
    State::ZString* z = zfind(zstring, "Replace");
    State::ZString* r = zfind(replacement, "Replace");
    if (z == nullptr || r == nullptr) {
        return paramErr;
    }
    const std::u16string marker = u"^" + utf16FromUtf8(std::to_string(index));
    const std::size_t at = z->text.find(marker);
    if (at != std::u16string::npos) {
        z->text.replace(at, marker.size(), r->text);
    }
    return noErr;
}

ASErr zTrimEllipsis(ASZString zstring) {
    State::ZString* z = zfind(zstring, "TrimEllipsis");
    if (z == nullptr) {
        return paramErr;
    }
    if (z->text.size() >= 3 && z->text.compare(z->text.size() - 3, 3, u"...") == 0) {
        z->text.resize(z->text.size() - 3);
    } else if (!z->text.empty() && z->text.back() == u'\u2026') {
        z->text.pop_back();
    }
    return noErr;
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\u00A0';
}

ASErr zTrimSpaces(ASZString zstring) {
    State::ZString* z = zfind(zstring, "TrimSpaces");
    if (z == nullptr) {
        return paramErr;
    }
    while (!z->text.empty() && isSpace(z->text.back())) {
        z->text.pop_back();
    }
    std::size_t first = 0;
    while (first < z->text.size() && isSpace(z->text[first])) {
        ++first;
    }
    z->text.erase(0, first);
    return noErr;
}

// "&&" stands for a literal ampersand; a single one marks the accelerator.
ASErr zRemoveAccelerators(ASZString zstring) {
    State::ZString* z = zfind(zstring, "RemoveAccelerators");
    if (z == nullptr) {
        return paramErr;
    }
    std::u16string out;
    for (std::size_t i = 0; i < z->text.size(); ++i) {
        if (z->text[i] == u'&') {
            if (i + 1 < z->text.size() && z->text[i + 1] == u'&') {
                out.push_back(u'&');
                ++i;
            }
            continue;
        }
        out.push_back(z->text[i]);
    }
    z->text = std::move(out);
    return noErr;
}

ASErr zAddRef(ASZString zstring) {
    State::ZString* z = zfind(zstring, "AddRef");
    if (z == nullptr) {
        return paramErr;
    }
    ++z->references;
    return noErr;
}

ASErr zRelease(ASZString zstring) {
    State* s = active();
    State::ZString* z = zfind(zstring, "Release");
    if (z == nullptr) {
        return paramErr;
    }
    if (z == &s->emptyZString) {
        return noErr;
    }
    if (--z->references == 0) {
        s->zstrings.erase(zstring);
    }
    return noErr;
}

ASBoolean zIsAllWhiteSpace(ASZString zstring) {
    State::ZString* z = zfind(zstring, "IsAllWhiteSpace");
    return z != nullptr && std::all_of(z->text.begin(), z->text.end(), isSpace) ? 1 : 0;
}

ASBoolean zIsEmpty(ASZString zstring) {
    State::ZString* z = zfind(zstring, "IsEmpty");
    return z != nullptr && z->text.empty() ? 1 : 0;
}

ASBoolean zWillReplace(ASZString zstring, uint32 index) {
    State::ZString* z = zfind(zstring, "WillReplace");
    return z != nullptr &&
                   z->text.find(u"^" + utf16FromUtf8(std::to_string(index))) != std::u16string::npos
               ? 1
               : 0;
}

uint32 terminatorUnits() {
    State* s = active();
    return s != nullptr && s->options.zstringLengthIncludesTerminator ? 1 : 0;
}

uint32 zLengthAsUnicodeCString(ASZString zstring) {
    State::ZString* z = zfind(zstring, "LengthAsUnicodeCString");
    return z != nullptr ? static_cast<uint32>(z->text.size()) + terminatorUnits() : 0;
}

// Copies as much as fits, with a terminator when there is room; with
// checkSize a buffer too small for the text and its terminator is an error.
template <typename Unit, typename Text>
ASErr copyOut(const Text& text, Unit* buffer, uint32 size, ASBoolean checkSize) {
    if (buffer == nullptr) {
        return paramErr;
    }
    if (checkSize != 0 && size < text.size() + 1) {
        return paramErr;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), size);
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i] = static_cast<Unit>(text[i]);
    }
    if (n < size) {
        buffer[n] = 0;
    }
    return noErr;
}

ASErr zAsUnicodeCString(ASZString zstring, ASUnicode* buffer, uint32 size, ASBoolean checkSize) {
    State::ZString* z = zfind(zstring, "AsUnicodeCString");
    return z != nullptr ? copyOut(z->text, buffer, size, checkSize) : paramErr;
}

uint32 zLengthAsCString(ASZString zstring) {
    State::ZString* z = zfind(zstring, "LengthAsCString");
    return z != nullptr ? static_cast<uint32>(utf8FromUtf16(z->text).size()) + terminatorUnits()
                        : 0;
}

ASErr zAsCString(ASZString zstring, char* buffer, uint32 size, ASBoolean checkSize) {
    State::ZString* z = zfind(zstring, "AsCString");
    return z != nullptr ? copyOut(utf8FromUtf16(z->text), buffer, size, checkSize) : paramErr;
}

uint32 zLengthAsPascalString(ASZString zstring) {
    State::ZString* z = zfind(zstring, "LengthAsPascalString");
    return z != nullptr
               ? static_cast<uint32>(std::min<std::size_t>(utf8FromUtf16(z->text).size(), 255)) + 1
               : 0;
}

ASErr zAsPascalString(ASZString zstring, char* buffer, uint32 size, ASBoolean /*checkSize*/) {
    State::ZString* z = zfind(zstring, "AsPascalString");
    if (z == nullptr || buffer == nullptr || size == 0) {
        return paramErr;
    }
    const std::string text = utf8FromUtf16(z->text);
    const auto n = std::min<std::size_t>({text.size(), 255, size - 1});
    // A Pascal string: a length byte and no terminator.
    buffer[0] = static_cast<char>(n);
    std::copy_n(text.data(), n, buffer + 1);
    return noErr;
}

const ZStringSuite kZStringSuite = {zMakeFromUnicode,
                                    zMakeFromCString,
                                    zMakeFromPascalString,
                                    zMakeRomanizationOfInteger,
                                    zMakeRomanizationOfFixed,
                                    zMakeRomanizationOfDouble,
                                    zGetEmpty,
                                    zCopy,
                                    zReplace,
                                    zTrimEllipsis,
                                    zTrimSpaces,
                                    zRemoveAccelerators,
                                    zAddRef,
                                    zRelease,
                                    zIsAllWhiteSpace,
                                    zIsEmpty,
                                    zWillReplace,
                                    zLengthAsUnicodeCString,
                                    zAsUnicodeCString,
                                    zLengthAsCString,
                                    zAsCString,
                                    zLengthAsPascalString,
                                    zAsPascalString};

// --- colour space suite --------------------------------------------------------------

State::ColorObject* cfind(ColorID id) {
    State* s = active();
    if (s == nullptr) {
        return nullptr;
    }
    auto it = s->colors.find(id);
    if (it == s->colors.end()) {
        s->fault("not a colour of this host");
        return nullptr;
    }
    return it->second.get();
}

SPErr csMake(ColorID* id) {
    State* s = active();
    if (s == nullptr || id == nullptr) {
        return spBadParameterError;
    }
    auto colour = std::make_unique<State::ColorObject>();
    const void* key = colour.get();
    s->colors[key] = std::move(colour);
    *id = reinterpret_cast<ColorID>(const_cast<void*>(key));
    return spNoError;
}

SPErr csDelete(ColorID* id) {
    State* s = active();
    if (s == nullptr || id == nullptr || cfind(*id) == nullptr) {
        return spBadParameterError;
    }
    s->colors.erase(*id);
    *id = nullptr;
    return spNoError;
}

SPErr csStuffComponents(ColorID id, int16 space, uint8 c0, uint8 c1, uint8 c2, uint8 c3) {
    State::ColorObject* c = cfind(id);
    if (c == nullptr || space < 0 || space > 6) {
        return spBadParameterError;
    }
    c->space = space;
    c->components[0] = c0;
    c->components[1] = c1;
    c->components[2] = c2;
    c->components[3] = c3;
    return spNoError;
}

SPErr csExtractComponents(ColorID id, int16 space, uint8* c0, uint8* c1, uint8* c2, uint8* c3,
                          Boolean* inGamut) {
    State::ColorObject* c = cfind(id);
    if (c == nullptr || c0 == nullptr || c1 == nullptr || c2 == nullptr || c3 == nullptr) {
        return spBadParameterError;
    }
    const ColorComponents in{c->components[0], c->components[1], c->components[2],
                             c->components[3]};
    const ColorConversionResult converted = convertColor(c->space, space, in);
    if (!converted.ok) {
        return spBadParameterError;
    }
    *c0 = static_cast<uint8>(converted.components[0]);
    *c1 = static_cast<uint8>(converted.components[1]);
    *c2 = static_cast<uint8>(converted.components[2]);
    *c3 = static_cast<uint8>(converted.components[3]);
    if (inGamut != nullptr) {
        *inGamut = converted.inGamut ? 1 : 0;
    }
    return spNoError;
}

SPErr csStuffXYZ(ColorID id, CS_XYZColor xyz) {
    State::ColorObject* c = cfind(id);
    if (c == nullptr) {
        return spBadParameterError;
    }
    c->space = colorSpaceXYZ;
    c->components[0] = static_cast<uint8>(std::min<int>(xyz.x, 255));
    c->components[1] = static_cast<uint8>(std::min<int>(xyz.y, 255));
    c->components[2] = static_cast<uint8>(std::min<int>(xyz.z, 255));
    c->components[3] = 0;
    return spNoError;
}

SPErr csExtractXYZ(ColorID id, CS_XYZColor* xyz) {
    uint8 x = 0;
    uint8 y = 0;
    uint8 z = 0;
    uint8 unused = 0;
    if (xyz == nullptr ||
        csExtractComponents(id, colorSpaceXYZ, &x, &y, &z, &unused, nullptr) != spNoError) {
        return spBadParameterError;
    }
    *xyz = CS_XYZColor{x, y, z};
    return spNoError;
}

SPErr csConvert8(int16 inputSpace, int16 outputSpace, Color8* colours, int16 count) {
    State* s = active();
    if (s == nullptr) {
        return spBadParameterError;
    }
    Convert8Call call{inputSpace, outputSpace, count, spNoError};
    if (colours == nullptr || count < 0) {
        call.result = spBadParameterError;
    } else {
        for (int16 i = 0; i < count && call.result == spNoError; ++i) {
            if (!convertColor8(inputSpace, outputSpace, colours[i])) {
                call.result = spBadParameterError;
            }
        }
    }
    s->records.convert8.push_back(call);
    return call.result;
}

SPErr csConvert16(int16 inputSpace, int16 outputSpace, Color16* colours, int16 count) {
    if (colours == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        std::uint8_t c[4];
        for (int k = 0; k < 4; ++k) {
            c[k] = static_cast<std::uint8_t>(
                (std::min<std::uint32_t>(colours[i][k], 32768) * 255 + 16384) / 32768);
        }
        if (!convertColor8(inputSpace, outputSpace, c)) {
            return spBadParameterError;
        }
        for (int k = 0; k < 4; ++k) {
            colours[i][k] = static_cast<uint16>((c[k] * 32768 + 127) / 255);
        }
    }
    return spNoError;
}

SPErr csGetNativeSpace(ColorID id, int16* space) {
    State::ColorObject* c = cfind(id);
    if (c == nullptr || space == nullptr) {
        return spBadParameterError;
    }
    *space = c->space;
    return spNoError;
}

SPErr csIsBookColor(ColorID id, Boolean* isBook) {
    if (cfind(id) == nullptr || isBook == nullptr) {
        return spBadParameterError;
    }
    *isBook = 0;
    return spNoError;
}

SPErr csExtractColorName(ColorID id, ASZString* name) {
    if (cfind(id) == nullptr || name == nullptr) {
        return spBadParameterError;
    }
    return zMake(std::u16string(), name);
}

// The picker through the colour services, so that a test scripts both alike.
SPErr csPickColor(ColorID* id, ASZString /*prompt*/) {
    State* s = active();
    if (s == nullptr || id == nullptr) {
        return spBadParameterError;
    }
    if (*id == nullptr && csMake(id) != spNoError) {
        return spBadParameterError;
    }
    State::ColorObject* c = cfind(*id);
    if (c == nullptr) {
        return spBadParameterError;
    }
    ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = colorServicesChooseColor;
    info.sourceSpace = c->space;
    info.resultSpace = colorSpaceChosen;
    for (int k = 0; k < 4; ++k) {
        info.colorComponents[k] = c->components[k];
    }
    const OSErr result = s->record.colorServices != nullptr ? s->record.colorServices(&info)
                                                            : errPlugInHostInsufficient;
    if (result != noErr) {
        return result;
    }
    c->space = info.resultSpace;
    for (int k = 0; k < 4; ++k) {
        c->components[k] = static_cast<uint8>(std::clamp<int>(info.colorComponents[k], 0, 255));
    }
    return spNoError;
}

SPErr csConvert8to16(uint8* in, uint16* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        out[i] = static_cast<uint16>((in[i] * 32768 + 127) / 255);
    }
    return spNoError;
}

SPErr csConvert16to8(uint16* in, uint8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        out[i] = static_cast<uint8>((std::min<std::uint32_t>(in[i], 32768) * 255 + 16384) / 32768);
    }
    return spNoError;
}

SPErr csConvertToMonitorRGB(int16 inputSpace, Color8* in, Color8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        std::memcpy(out[i], in[i], sizeof(Color8));
        if (!convertColor8(inputSpace, colorSpaceRGB, out[i])) {
            return spBadParameterError;
        }
    }
    return spNoError;
}

SPErr csConvert32to8(float* in, uint8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        out[i] = static_cast<uint8>(std::lround(std::clamp(in[i], 0.0F, 1.0F) * 255.0F));
    }
    return spNoError;
}

const ColorSpaceSuite kColorSpaceSuite = {csMake,
                                          csDelete,
                                          csStuffComponents,
                                          csExtractComponents,
                                          csStuffXYZ,
                                          csExtractXYZ,
                                          csConvert8,
                                          csConvert16,
                                          csGetNativeSpace,
                                          csIsBookColor,
                                          csExtractColorName,
                                          csPickColor,
                                          csConvert8to16,
                                          csConvert16to8,
                                          csConvertToMonitorRGB,
                                          csConvert32to8};

// --- channel ports: offered so that acquiring works, nothing implemented -------

template <typename... Args> SPErr unimplemented(Args... /*args*/) {
    return spUnimplementedError;
}

const ChannelPortsSuite kChannelPortsSuite = {
    unimplemented<PIChannelPort, int32*>,
    unimplemented<PIChannelPort, int32, int32*>,
    unimplemented<PIChannelPort, int32, VRect*>,
    unimplemented<PIChannelPort, int32, VRect*>,
    unimplemented<PIChannelPort, int32, VPoint*, VPoint*>,
    unimplemented<PIChannelPort, int32, const VRect*, int32*, VRect*>,
    unimplemented<PIChannelPort, int32, const VRect*, int32, VRect*>,
    unimplemented<PIChannelPort, Boolean*>,
    unimplemented<PIChannelPort, Boolean*>,
    unimplemented<PIChannelPort, int32, VRect*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, VRect*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, VRect*, const PSScaling*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, const VRect*, const PSScaling*, int32, int32*, VRect*, VRect*>,
    unimplemented<PIChannelPort*, const VRect*, int32, Boolean>,
    unimplemented<PIChannelPort*>,
    unimplemented<const char*, Boolean*>,
    unimplemented<const char*, PIChannelPort, PIChannelPort, PIChannelPort, void*, VRect*>,
    unimplemented<const char*, ChannelPortsSuite::OperationProc, void*>,
    unimplemented<const char*, void**>,
    unimplemented<PIChannelPort*, PIChannelPort, VRect*, Boolean>,
    unimplemented<PIChannelPort>,
    unimplemented<PIChannelPort, VRect*>};

} // namespace

const void* suiteTable(const std::string& name, std::int32_t version) {
    if (name == ActionDescriptorSuite::suiteName &&
        version == ActionDescriptorSuite::suiteVersion) {
        return &kActionDescriptorSuite;
    }
    if (name == DescriptorRegistrySuite::suiteName &&
        version == DescriptorRegistrySuite::suiteVersion) {
        return &kRegistrySuite;
    }
    if (name == ZStringSuite::suiteName && version == ZStringSuite::suiteVersion) {
        return &kZStringSuite;
    }
    if (name == ColorSpaceSuite::suiteName && version == ColorSpaceSuite::suiteVersion) {
        return &kColorSpaceSuite;
    }
    if (name == ChannelPortsSuite::suiteName && version == ChannelPortsSuite::suiteVersion) {
        return &kChannelPortsSuite;
    }
    if (name == HandleSuite::suiteName) {
        return handleSuiteTable(version);
    }
    if (name == kPropertySuiteName && version == 1) {
        return propertySuiteTable();
    }
    if (name == kBufferSuiteName && version == 2) {
        return bufferSuiteTable();
    }
    if (name == SPBasicSuite::suiteName && version == SPBasicSuite::suiteVersion) {
        return basicSuiteTable();
    }
    return nullptr;
}

} // namespace host
