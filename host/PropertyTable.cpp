#include "host/PropertyTable.h"

#include "text/Unicode.h"

namespace host {

using namespace hostapi;

PropertyTable::PropertyTable() {
    values_[propWatchSuspension] = PropertyValue{0, false, {}, true};
}

void PropertyTable::set(std::uint32_t key, std::intptr_t value, bool writable) {
    values_[key] = PropertyValue{value, false, {}, writable};
}

void PropertyTable::setComplex(std::uint32_t key, std::vector<std::uint8_t> bytes, bool writable) {
    values_[key] = PropertyValue{0, true, std::move(bytes), writable};
}

std::optional<std::intptr_t> PropertyTable::simple(std::uint32_t key) const {
    auto it = values_.find(key);
    if (it == values_.end() || it->second.complex) {
        return std::nullopt;
    }
    return it->second.simple;
}

std::optional<PropertyValue> PropertyTable::answer(std::uint32_t key,
                                                   const Document& document) const {
    if (auto it = values_.find(key); it != values_.end()) {
        return it->second;
    }
    PropertyValue value;
    if (key == propImageMode) {
        value.simple = document.imageMode();
    } else if (key == propUnicodeDocumentName) {
        // UTF-16 little-endian, no terminator: the handle's size is the length.
        value.complex = true;
        for (char16_t unit : document.name) {
            value.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            value.bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    } else if (key == propTitle) {
        value.complex = true;
        const std::string title = text::utf8FromUtf16(document.name);
        value.bytes.assign(title.begin(), title.end());
    } else if (key != propPlayInProgress && key != propLayerIsSmartObject &&
               key != propRecordingInProgress) {
        return std::nullopt;
    }
    return value;
}

bool PropertyTable::write(std::uint32_t key, std::intptr_t simple,
                          const std::vector<std::uint8_t>& bytes) {
    auto it = values_.find(key);
    if (it == values_.end() || !it->second.writable) {
        return false;
    }
    if (it->second.complex) {
        it->second.bytes = bytes;
    } else {
        it->second.simple = simple;
    }
    return true;
}

void PropertyTable::resetWatchSuspension() {
    values_[propWatchSuspension].simple = 0;
}

} // namespace host
