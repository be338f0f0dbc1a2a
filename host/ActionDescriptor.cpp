#include "host/ActionDescriptor.h"

#include "text/Unicode.h"

#include <cstring>

namespace host {

using namespace hostapi;

namespace {

constexpr std::uint8_t kMagic[4] = {'S', 'D', 's', 'c'};
constexpr std::uint32_t kFormatVersion = 1;
// Deeper nesting than any real descriptor; it bounds the parser's recursion.
constexpr int kMaxDepth = 32;

class Writer {
public:
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void f64(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u64(bits);
    }
    void raw(const std::vector<std::uint8_t>& data) {
        u32(static_cast<std::uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }

    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool u8(std::uint8_t& v) {
        if (!has(1)) {
            return false;
        }
        v = data_[pos_++];
        return true;
    }
    bool u32(std::uint32_t& v) {
        if (!has(4)) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(data_[pos_++]) << (8 * i);
        }
        return true;
    }
    bool u64(std::uint64_t& v) {
        if (!has(8)) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 8; ++i) {
            v |= static_cast<std::uint64_t>(data_[pos_++]) << (8 * i);
        }
        return true;
    }
    bool f64(double& v) {
        std::uint64_t bits = 0;
        if (!u64(bits)) {
            return false;
        }
        std::memcpy(&v, &bits, sizeof v);
        return true;
    }
    bool raw(std::vector<std::uint8_t>& out) {
        std::uint32_t length = 0;
        if (!u32(length) || !has(length)) {
            return false;
        }
        out.assign(data_ + pos_, data_ + pos_ + length);
        pos_ += length;
        return true;
    }
    bool has(std::size_t n) const { return size_ - pos_ >= n; }
    bool atEnd() const { return pos_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

void writeBody(Writer& w, const ActionDescriptor& d);

void writeValue(Writer& w, const DescriptorValue& v) {
    switch (v.type) {
    case typeInteger:
        w.u32(static_cast<std::uint32_t>(static_cast<std::int32_t>(v.integer)));
        break;
    case typeInteger64:
        w.u64(static_cast<std::uint64_t>(v.integer));
        break;
    case typeBoolean:
        w.u8(v.integer != 0 ? 1 : 0);
        break;
    case typeFloat:
        w.f64(v.number);
        break;
    case typeUnitFloat:
        w.u32(v.unit);
        w.f64(v.number);
        break;
    case typeText:
        w.u32(static_cast<std::uint32_t>(v.text.size()));
        for (char16_t unit : v.text) {
            w.u8(static_cast<std::uint8_t>(unit & 0xFF));
            w.u8(static_cast<std::uint8_t>(unit >> 8));
        }
        break;
    case typeEnumerated:
        w.u32(v.classId);
        w.u32(v.enumValue);
        break;
    case typeClass:
    case typeGlobalClass:
        w.u32(v.classId);
        break;
    case typeObject:
    case typeGlobalObject:
        w.u32(v.classId);
        writeBody(w, v.object ? *v.object : ActionDescriptor());
        break;
    case typeValueList:
        w.u32(static_cast<std::uint32_t>(v.list.size()));
        for (const DescriptorValue& item : v.list) {
            w.u32(item.type);
            writeValue(w, item);
        }
        break;
    case typeRawData:
    case typeAlias:
        w.raw(v.data);
        break;
    default:
        break;
    }
}

void writeBody(Writer& w, const ActionDescriptor& d) {
    w.u32(static_cast<std::uint32_t>(d.count()));
    for (const auto& [key, value] : d.entries()) {
        w.u32(key);
        w.u32(value.type);
        writeValue(w, value);
    }
}

bool readBody(Reader& r, ActionDescriptor& d, int depth);

bool readValue(Reader& r, std::uint32_t type, DescriptorValue& v, int depth) {
    v.type = type;
    std::uint32_t u = 0;
    std::uint64_t u64 = 0;
    std::uint8_t b = 0;
    switch (type) {
    case typeInteger:
        if (!r.u32(u)) {
            return false;
        }
        v.integer = static_cast<std::int32_t>(u);
        return true;
    case typeInteger64:
        if (!r.u64(u64)) {
            return false;
        }
        v.integer = static_cast<std::int64_t>(u64);
        return true;
    case typeBoolean:
        if (!r.u8(b) || b > 1) {
            return false;
        }
        v.integer = b;
        return true;
    case typeFloat:
        return r.f64(v.number);
    case typeUnitFloat:
        return r.u32(v.unit) && r.f64(v.number);
    case typeText: {
        if (!r.u32(u) || !r.has(static_cast<std::size_t>(u) * 2)) {
            return false;
        }
        v.text.resize(u);
        for (char16_t& unit : v.text) {
            std::uint8_t lo = 0;
            std::uint8_t hi = 0;
            r.u8(lo);
            r.u8(hi);
            unit = static_cast<char16_t>(lo | (hi << 8));
        }
        return true;
    }
    case typeEnumerated:
        return r.u32(v.classId) && r.u32(v.enumValue);
    case typeClass:
    case typeGlobalClass:
        return r.u32(v.classId);
    case typeObject:
    case typeGlobalObject: {
        auto object = std::make_shared<ActionDescriptor>();
        if (depth >= kMaxDepth || !r.u32(v.classId) || !readBody(r, *object, depth + 1)) {
            return false;
        }
        v.object = std::move(object);
        return true;
    }
    case typeValueList: {
        // Each item takes at least its 4-byte type: bound the count by what
        // is left before reserving anything.
        if (depth >= kMaxDepth || !r.u32(u) || !r.has(static_cast<std::size_t>(u) * 4)) {
            return false;
        }
        v.list.resize(u);
        for (DescriptorValue& item : v.list) {
            std::uint32_t itemType = 0;
            if (!r.u32(itemType) || !readValue(r, itemType, item, depth + 1)) {
                return false;
            }
        }
        return true;
    }
    case typeRawData:
    case typeAlias:
        return r.raw(v.data);
    default:
        return false;
    }
}

bool readBody(Reader& r, ActionDescriptor& d, int depth) {
    std::uint32_t count = 0;
    if (!r.u32(count) || !r.has(static_cast<std::size_t>(count) * 8)) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t key = 0;
        std::uint32_t type = 0;
        DescriptorValue value;
        if (!r.u32(key) || !r.u32(type) || !readValue(r, type, value, depth)) {
            return false;
        }
        // A key twice is not a descriptor this host wrote.
        if (d.has(key)) {
            return false;
        }
        d.put(key, std::move(value));
    }
    return true;
}

} // namespace

DescriptorValue DescriptorValue::makeInteger(std::int32_t value) {
    DescriptorValue v;
    v.type = typeInteger;
    v.integer = value;
    return v;
}

DescriptorValue DescriptorValue::makeInteger64(std::int64_t value) {
    DescriptorValue v;
    v.type = typeInteger64;
    v.integer = value;
    return v;
}

DescriptorValue DescriptorValue::makeFloat(double value) {
    DescriptorValue v;
    v.type = typeFloat;
    v.number = value;
    return v;
}

DescriptorValue DescriptorValue::makeUnitFloat(std::uint32_t unit, double value) {
    DescriptorValue v;
    v.type = typeUnitFloat;
    v.unit = unit;
    v.number = value;
    return v;
}

DescriptorValue DescriptorValue::makeBoolean(bool value) {
    DescriptorValue v;
    v.type = typeBoolean;
    v.integer = value ? 1 : 0;
    return v;
}

DescriptorValue DescriptorValue::makeText(std::u16string value) {
    DescriptorValue v;
    v.type = typeText;
    v.text = std::move(value);
    return v;
}

DescriptorValue DescriptorValue::makeEnumerated(std::uint32_t enumType, std::uint32_t value) {
    DescriptorValue v;
    v.type = typeEnumerated;
    v.classId = enumType;
    v.enumValue = value;
    return v;
}

DescriptorValue DescriptorValue::makeClass(std::uint32_t classId, bool global) {
    DescriptorValue v;
    v.type = global ? typeGlobalClass : typeClass;
    v.classId = classId;
    return v;
}

DescriptorValue DescriptorValue::makeObject(std::uint32_t classId, ActionDescriptor value,
                                            bool global) {
    DescriptorValue v;
    v.type = global ? typeGlobalObject : typeObject;
    v.classId = classId;
    v.object = std::make_shared<ActionDescriptor>(std::move(value));
    return v;
}

DescriptorValue DescriptorValue::makeList(std::vector<DescriptorValue> items) {
    DescriptorValue v;
    v.type = typeValueList;
    v.list = std::move(items);
    return v;
}

DescriptorValue DescriptorValue::makeData(std::vector<std::uint8_t> bytes) {
    DescriptorValue v;
    v.type = typeRawData;
    v.data = std::move(bytes);
    return v;
}

DescriptorValue DescriptorValue::makeAlias(std::vector<std::uint8_t> bytes) {
    DescriptorValue v;
    v.type = typeAlias;
    v.data = std::move(bytes);
    return v;
}

bool operator==(const DescriptorValue& a, const DescriptorValue& b) {
    if (a.type != b.type) {
        return false;
    }
    switch (a.type) {
    case typeInteger:
    case typeInteger64:
    case typeBoolean:
        return a.integer == b.integer;
    case typeFloat:
        return a.number == b.number;
    case typeUnitFloat:
        return a.unit == b.unit && a.number == b.number;
    case typeText:
        return a.text == b.text;
    case typeEnumerated:
        return a.classId == b.classId && a.enumValue == b.enumValue;
    case typeClass:
    case typeGlobalClass:
        return a.classId == b.classId;
    case typeObject:
    case typeGlobalObject: {
        const ActionDescriptor empty;
        return a.classId == b.classId &&
               (a.object ? *a.object : empty) == (b.object ? *b.object : empty);
    }
    case typeValueList:
        return a.list == b.list;
    case typeRawData:
    case typeAlias:
        return a.data == b.data;
    default:
        return true;
    }
}

ActionDescriptor& ActionDescriptor::put(std::uint32_t key, DescriptorValue value) {
    for (Entry& entry : entries_) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return *this;
        }
    }
    entries_.emplace_back(key, std::move(value));
    return *this;
}

ActionDescriptor& ActionDescriptor::putText(std::uint32_t key, const std::string& value) {
    return putText(key, text::utf16FromUtf8(value));
}

const DescriptorValue* ActionDescriptor::find(std::uint32_t key) const {
    for (const Entry& entry : entries_) {
        if (entry.first == key) {
            return &entry.second;
        }
    }
    return nullptr;
}

std::optional<std::int32_t> ActionDescriptor::integer(std::uint32_t key) const {
    const DescriptorValue* v = find(key);
    if (v == nullptr || v->type != typeInteger) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v->integer);
}

std::optional<double> ActionDescriptor::floatValue(std::uint32_t key) const {
    const DescriptorValue* v = find(key);
    if (v == nullptr || v->type != typeFloat) {
        return std::nullopt;
    }
    return v->number;
}

std::optional<bool> ActionDescriptor::boolean(std::uint32_t key) const {
    const DescriptorValue* v = find(key);
    if (v == nullptr || v->type != typeBoolean) {
        return std::nullopt;
    }
    return v->integer != 0;
}

std::optional<std::u16string> ActionDescriptor::text(std::uint32_t key) const {
    const DescriptorValue* v = find(key);
    if (v == nullptr || v->type != typeText) {
        return std::nullopt;
    }
    return v->text;
}

bool ActionDescriptor::erase(std::uint32_t key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> ActionDescriptor::serialize() const {
    Writer w;
    w.bytes.assign(std::begin(kMagic), std::end(kMagic));
    w.u32(kFormatVersion);
    writeBody(w, *this);
    return std::move(w.bytes);
}

std::optional<ActionDescriptor> ActionDescriptor::parse(const std::uint8_t* bytes,
                                                        std::size_t size) {
    if (bytes == nullptr || size < 8 || std::memcmp(bytes, kMagic, 4) != 0) {
        return std::nullopt;
    }
    Reader r(bytes + 4, size - 4);
    std::uint32_t version = 0;
    ActionDescriptor d;
    if (!r.u32(version) || version != kFormatVersion || !readBody(r, d, 0) || !r.atEnd()) {
        return std::nullopt;
    }
    return d;
}

std::string fourCharText(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
    }
    return text;
}

} // namespace host
