#include "plugin/ScriptingParameters.h"

#include "plugin/Texts.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"
#include "text/Unicode.h"

#include <boost/any.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace plugin {

namespace {

using hostapi::DescriptorKeyID;
using hostapi::PIActionDescriptor;
namespace keys = proxy::parameterKeys;

// Units of the new layer's name that its descriptor entry takes.
constexpr std::size_t layerNameUnits = 64;
// The version of the new-layer keys that the component making the layer
// reads.
constexpr const char* newLayerKeysVersion = "6";

// The keys a descriptor carries for the component that makes a new layer;
// a replayed descriptor drops them, they mean nothing to the server.
constexpr std::int32_t droppedWhenRead[] = {
    keys::newLayerAbFlag,  keys::newLayerDuFlag,   keys::newLayerDeFlag,
    keys::newLayerFiText,  keys::newLayerReserved, keys::layerHasTransparency,
    keys::newLayerOpacity, keys::newLayerFnText,   keys::newLayerVersion};

DescriptorKeyID descriptorKey(std::int32_t key) {
    return static_cast<DescriptorKeyID>(key);
}

// Frees a descriptor of the host's however the operation that made it ends.
class DescriptorHolder {
public:
    DescriptorHolder(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor)
        : suite_(suite), descriptor_(descriptor) {}
    DescriptorHolder(const DescriptorHolder&) = delete;
    DescriptorHolder& operator=(const DescriptorHolder&) = delete;
    ~DescriptorHolder() { suite_.Free(descriptor_); }
    [[nodiscard]] PIActionDescriptor get() const { return descriptor_; }

private:
    const hostapi::ActionDescriptorSuite& suite_;
    PIActionDescriptor descriptor_;
};

bool hasKey(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
            std::int32_t key) {
    hostapi::Boolean has = 0;
    return suite.HasKey(descriptor, descriptorKey(key), &has) == 0 && has != 0;
}

// A boolean entry; false when it cannot be read.
bool booleanOf(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
               std::int32_t key, bool& value) {
    hostapi::Boolean read = 0;
    if (suite.GetBoolean(descriptor, descriptorKey(key), &read) != 0) {
        return false;
    }
    value = read > 0;
    return true;
}

// Whether the component that plays the automatic new-layer pass is at work:
// its registry entry exists, or the registry cannot tell.
bool automaticPassRegistered() {
    const hostapi::DescriptorRegistrySuite* registry = gDescriptorRegistrySuite;
    PIActionDescriptor entry = nullptr;
    if (registry == nullptr || registry->Get(texts::automaticPassRegistryKey, &entry) != 0) {
        return true;
    }
    if (entry == nullptr) {
        return false;
    }
    // Only its presence counts.
    gActionDescriptorSuite->Free(entry);
    return true;
}

// All the code units that the host says the text has, terminator included
// when the host counts it, converted to UTF-8.
bool readText(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
              DescriptorKeyID key, std::string& text) {
    const hostapi::ZStringSuite& zstrings = *gZStringSuite;
    hostapi::ASZString value = nullptr;
    if (suite.GetZString(descriptor, key, &value) != 0 || value == nullptr) {
        return false;
    }
    const hostapi::uint32 length = zstrings.LengthAsUnicodeCString(value);
    std::u16string units(length, u'\0');
    zstrings.AsUnicodeCString(value, reinterpret_cast<hostapi::ASUnicode*>(units.data()), length,
                              0);
    zstrings.Release(value);
    text = text::utf8FromUtf16(units);
    return true;
}

// One entry of a descriptor into the map; false for a type the map has no
// value for, or a value the host would not hand over.
bool readEntry(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
               DescriptorKeyID key, hostapi::DescriptorTypeID type, boost::any& value) {
    switch (type) {
    case hostapi::typeText: {
        std::string text;
        if (gZStringSuite == nullptr || !readText(suite, descriptor, key, text)) {
            return false;
        }
        value = text;
        return true;
    }
    case hostapi::typeInteger: {
        hostapi::int32 integer = 0;
        if (suite.GetInteger(descriptor, key, &integer) != 0) {
            return false;
        }
        value = static_cast<int>(integer);
        return true;
    }
    case hostapi::typeFloat: {
        double number = 0.0;
        if (suite.GetFloat(descriptor, key, &number) != 0) {
            return false;
        }
        value = number;
        return true;
    }
    case hostapi::typeBoolean: {
        hostapi::Boolean flag = 0;
        if (suite.GetBoolean(descriptor, key, &flag) != 0) {
            return false;
        }
        value = flag > 0;
        return true;
    }
    default:
        return false;
    }
}

// Text as a ZString entry: up to its first NUL, with a terminator.
void putText(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
             DescriptorKeyID key, const std::string& text) {
    std::u16string units = text::utf16FromUtf8(std::string_view(text.c_str()));
    units.push_back(u'\0');
    hostapi::ASZString value = nullptr;
    if (gZStringSuite->MakeFromUnicode(reinterpret_cast<hostapi::ASUnicode*>(units.data()),
                                       units.size(), &value) != 0 ||
        value == nullptr) {
        return;
    }
    suite.PutZString(descriptor, key, value);
    gZStringSuite->Release(value);
}

void putEntry(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
              std::int32_t key, const boost::any& value) {
    const DescriptorKeyID id = descriptorKey(key);
    if (const auto* text = boost::any_cast<std::string>(&value)) {
        if (gZStringSuite != nullptr) {
            putText(suite, descriptor, id, *text);
        }
    } else if (const auto* integer = boost::any_cast<int>(&value)) {
        suite.PutInteger(descriptor, id, *integer);
    } else if (const auto* number = boost::any_cast<double>(&value)) {
        suite.PutFloat(descriptor, id, *number);
    } else if (const auto* flag = boost::any_cast<bool>(&value)) {
        suite.PutBoolean(descriptor, id, *flag ? 1 : 0);
    }
}

// The keys that the component making a new layer reads, from the server's
// new-layer parameters and the run.
void putNewLayerKeys(const hostapi::ActionDescriptorSuite& suite, PIActionDescriptor descriptor,
                     const proxy::ParameterMap& map) {
    bool abFlag = false;
    bool duFlag = false;
    bool deFlag = false;
    std::string fnText;
    std::string fiText;
    FilterGlobals::LayerName layerName{};
    gFilterGlobals->getNewLayerParameters(abFlag, duFlag, deFlag, fnText, fiText, layerName);

    suite.PutString(descriptor, descriptorKey(keys::newLayerVersion), newLayerKeysVersion);
    suite.PutBoolean(descriptor, descriptorKey(keys::newLayerAbFlag), abFlag ? 1 : 0);
    suite.PutBoolean(descriptor, descriptorKey(keys::newLayerDuFlag), duFlag ? 1 : 0);
    suite.PutBoolean(descriptor, descriptorKey(keys::newLayerDeFlag), deFlag ? 1 : 0);
    const hostapi::int16 filterCase = gFilterRecord->filterCase;
    const bool transparentLayer =
        filterCase == hostapi::filterCaseEditableTransparencyNoSelection ||
        filterCase == hostapi::filterCaseProtectedTransparencyNoSelection;
    suite.PutBoolean(descriptor, descriptorKey(keys::layerHasTransparency),
                     transparentLayer ? 1 : 0);
    if (map.count(keys::intensity) == 1) {
        suite.PutInteger(descriptor, descriptorKey(keys::newLayerOpacity),
                         boost::any_cast<int>(map.at(keys::intensity)));
    }
    suite.PutString(descriptor, descriptorKey(keys::newLayerFnText), fnText.c_str());
    suite.PutString(descriptor, descriptorKey(keys::newLayerFiText), fiText.c_str());
    if (gZStringSuite != nullptr) {
        hostapi::ASZString name = nullptr;
        if (gZStringSuite->MakeFromUnicode(layerName.data(), layerNameUnits, &name) == 0 &&
            name != nullptr) {
            suite.PutZString(descriptor, descriptorKey(keys::layerName), name);
            gZStringSuite->Release(name);
        }
    }
}

} // namespace

void LoadParametersHandle(proxy::ParameterMap& map) {
    const hostapi::FilterRecord& record = *gFilterRecord;
    const hostapi::Handle handle = record.parameters;
    const hostapi::HandleProcs* procs = record.handleProcs;
    if (handle == nullptr || *handle == nullptr || procs == nullptr ||
        procs->getSizeProc == nullptr) {
        return;
    }
    const hostapi::int32 size = procs->getSizeProc(handle);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<hostapi::int32>(size, 0)));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), *handle, bytes.size());
    }
    map = proxy::deserializeParameters(bytes);
    const auto settings = map.find(keys::settingsText);
    const std::string text =
        settings != map.end() ? boost::any_cast<std::string>(settings->second) : std::string();
    map[keys::settingsText] = text;
}

void ReadScriptingDescriptor(proxy::ParameterMap& map) {
    const hostapi::FilterRecord& record = *gFilterRecord;
    if (gActionDescriptorSuite == nullptr || record.descriptorParameters == nullptr ||
        record.descriptorParameters->descriptor == nullptr) {
        return;
    }
    const hostapi::ActionDescriptorSuite& suite = *gActionDescriptorSuite;
    PIActionDescriptor made = nullptr;
    if (suite.HandleToDescriptor(record.descriptorParameters->descriptor, &made) != 0 ||
        made == nullptr) {
        return;
    }
    const DescriptorHolder descriptor(suite, made);
    hostapi::uint32 count = 0;
    suite.GetCount(descriptor.get(), &count);
    if (count == 0) {
        return;
    }

    if (hasKey(suite, descriptor.get(), keys::progressStart) &&
        hasKey(suite, descriptor.get(), keys::progressEnd)) {
        suite.GetFloat(descriptor.get(), descriptorKey(keys::progressStart), &gProgressStart);
        suite.GetFloat(descriptor.get(), descriptorKey(keys::progressEnd), &gProgressEnd);
    }

    FilterGlobals& globals = *gFilterGlobals;
    gAutolayerRegistered = false;
    globals.newLayerFlag = false;
    if (hasKey(suite, descriptor.get(), keys::automaticPass)) {
        booleanOf(suite, descriptor.get(), keys::automaticPass, globals.newLayerFlag);
        if (!automaticPassRegistered()) {
            return;
        }
        globals.autolayerRun = true;
        gAutolayerRegistered = true;
        globals.reuseServerDocument = false;
        if (hasKey(suite, descriptor.get(), keys::reuseServerDocument)) {
            booleanOf(suite, descriptor.get(), keys::reuseServerDocument,
                      globals.reuseServerDocument);
        }
        return;
    }
    if (hasKey(suite, descriptor.get(), keys::skipRender)) {
        booleanOf(suite, descriptor.get(), keys::skipRender, globals.skipRender);
    }

    gDescriptorHadKeys = true;
    map.clear();
    for (hostapi::uint32 index = 0; index < count; ++index) {
        DescriptorKeyID key = 0;
        hostapi::DescriptorTypeID type = 0;
        if (suite.GetKey(descriptor.get(), index, &key) != 0 ||
            suite.GetType(descriptor.get(), key, &type) != 0) {
            continue;
        }
        boost::any value;
        if (readEntry(suite, descriptor.get(), key, type, value)) {
            map[static_cast<std::int32_t>(key)] = value;
        }
    }
    for (const std::int32_t key : droppedWhenRead) {
        map.erase(key);
    }
}

void WriteScriptingDescriptor(proxy::ParameterMap& map) {
    if (gActionDescriptorSuite == nullptr) {
        return;
    }
    const hostapi::ActionDescriptorSuite& suite = *gActionDescriptorSuite;
    PIActionDescriptor made = nullptr;
    if (suite.Make(&made) != 0 || made == nullptr) {
        return;
    }
    const DescriptorHolder descriptor(suite, made);
    if (gFilterGlobals->createNewLayer) {
        putNewLayerKeys(suite, descriptor.get(), map);
    }
    for (const auto& [key, value] : map) {
        putEntry(suite, descriptor.get(), key, value);
    }

    hostapi::FilterRecord& record = *gFilterRecord;
    hostapi::PIDescriptorParameters* parameters = record.descriptorParameters;
    if (parameters == nullptr) {
        return;
    }
    if (parameters->descriptor != nullptr && record.handleProcs != nullptr &&
        record.handleProcs->disposeProc != nullptr) {
        record.handleProcs->disposeProc(parameters->descriptor);
        parameters->descriptor = nullptr;
    }
    suite.AsHandle(descriptor.get(), &parameters->descriptor);
}

void StoreParametersHandle(const proxy::ParameterMap& map) {
    hostapi::FilterRecord& record = *gFilterRecord;
    const hostapi::HandleProcs* procs = record.handleProcs;
    const std::vector<std::uint8_t> bytes = proxy::serializeParameters(map);
    if (procs == nullptr) {
        return;
    }
    if (record.parameters != nullptr && procs->disposeProc != nullptr) {
        procs->disposeProc(record.parameters);
    }
    record.parameters = nullptr;
    if (bytes.empty() || procs->newProc == nullptr) {
        return;
    }
    const hostapi::Handle handle = procs->newProc(static_cast<hostapi::int32>(bytes.size()));
    if (handle == nullptr || *handle == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(*handle, bytes.data(), bytes.size());
    record.parameters = handle;
}

} // namespace plugin
