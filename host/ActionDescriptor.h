#pragma once

#include "hostapi/FilterInterface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace host {

class ActionDescriptor;

// One value of a descriptor key. `type` is one of the host's descriptor type
// codes and says which members carry the value:
//   'long', 'comp', 'bool'   integer (bool: 0 or 1)
//   'doub'                   number
//   'UntF'                   unit and number
//   'TEXT'                   text (UTF-16)
//   'enum'                   classId (the enumeration type) and enumValue
//   'type', 'GlbC'           classId
//   'Objc', 'GlbO'           classId and object
//   'VlLs'                   list
//   'tdta', 'alis'           data
struct DescriptorValue {
    hostapi::DescriptorTypeID type = hostapi::typeNull;
    std::int64_t integer = 0;
    double number = 0.0;
    std::uint32_t unit = 0;
    std::uint32_t classId = 0;
    std::uint32_t enumValue = 0;
    std::u16string text;
    std::vector<std::uint8_t> data;
    std::shared_ptr<const ActionDescriptor> object;
    std::vector<DescriptorValue> list;

    static DescriptorValue makeInteger(std::int32_t value);
    static DescriptorValue makeInteger64(std::int64_t value);
    static DescriptorValue makeFloat(double value);
    static DescriptorValue makeUnitFloat(std::uint32_t unit, double value);
    static DescriptorValue makeBoolean(bool value);
    static DescriptorValue makeText(std::u16string value);
    static DescriptorValue makeEnumerated(std::uint32_t enumType, std::uint32_t value);
    static DescriptorValue makeClass(std::uint32_t classId, bool global = false);
    static DescriptorValue makeObject(std::uint32_t classId, ActionDescriptor value,
                                      bool global = false);
    static DescriptorValue makeList(std::vector<DescriptorValue> items);
    static DescriptorValue makeData(std::vector<std::uint8_t> bytes);
    static DescriptorValue makeAlias(std::vector<std::uint8_t> bytes);

    friend bool operator==(const DescriptorValue& a, const DescriptorValue& b);
    friend bool operator!=(const DescriptorValue& a, const DescriptorValue& b) { return !(a == b); }
};

// The host's action descriptor: keys in the order they were first put, one
// value per key. Putting an existing key replaces its value in place.
class ActionDescriptor {
public:
    using Entry = std::pair<std::uint32_t, DescriptorValue>;

    ActionDescriptor& put(std::uint32_t key, DescriptorValue value);
    ActionDescriptor& putInteger(std::uint32_t key, std::int32_t value) {
        return put(key, DescriptorValue::makeInteger(value));
    }
    ActionDescriptor& putFloat(std::uint32_t key, double value) {
        return put(key, DescriptorValue::makeFloat(value));
    }
    ActionDescriptor& putBoolean(std::uint32_t key, bool value) {
        return put(key, DescriptorValue::makeBoolean(value));
    }
    ActionDescriptor& putText(std::uint32_t key, std::u16string value) {
        return put(key, DescriptorValue::makeText(std::move(value)));
    }
    // UTF-8 text.
    ActionDescriptor& putText(std::uint32_t key, const std::string& value);

    const DescriptorValue* find(std::uint32_t key) const;
    bool has(std::uint32_t key) const { return find(key) != nullptr; }
    // Null when the key is missing or holds another type.
    std::optional<std::int32_t> integer(std::uint32_t key) const;
    std::optional<double> floatValue(std::uint32_t key) const;
    std::optional<bool> boolean(std::uint32_t key) const;
    std::optional<std::u16string> text(std::uint32_t key) const;

    bool erase(std::uint32_t key);
    void clear() { entries_.clear(); }
    std::size_t count() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }

    // The byte form kept in descriptor handles: "SDsc", a format version and
    // the entries, little-endian (see host/README.md).
    std::vector<std::uint8_t> serialize() const;
    // Null when the bytes are not a complete descriptor of that form.
    static std::optional<ActionDescriptor> parse(const std::uint8_t* bytes, std::size_t size);

    friend bool operator==(const ActionDescriptor& a, const ActionDescriptor& b) {
        return a.entries_ == b.entries_;
    }
    friend bool operator!=(const ActionDescriptor& a, const ActionDescriptor& b) {
        return !(a == b);
    }

private:
    std::vector<Entry> entries_;
};

// 'abcd' as text, for messages and the readable descriptor files.
std::string fourCharText(std::uint32_t code);

} // namespace host
