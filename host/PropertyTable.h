#pragma once

#include "host/Document.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace host {

// A property's value: a number, or bytes handed over in a new handle.
struct PropertyValue {
    std::intptr_t simple = 0;
    bool complex = false;
    std::vector<std::uint8_t> bytes;
    bool writable = false;
};

// The host's properties: what a test scripted, else what the document
// reports ('mode', 'unnm', 'titl'), else 0 for the flags every host has
// ('plip', 'liss', 'rcip'). 'wtch' is scripted from the start, writable.
class PropertyTable {
public:
    PropertyTable();

    void set(std::uint32_t key, std::intptr_t value, bool writable);
    void setComplex(std::uint32_t key, std::vector<std::uint8_t> bytes, bool writable);
    void remove(std::uint32_t key) { values_.erase(key); }
    // A scripted simple value.
    std::optional<std::intptr_t> simple(std::uint32_t key) const;

    // What a get of `key` answers; none for a property the host does not have.
    std::optional<PropertyValue> answer(std::uint32_t key, const Document& document) const;
    // A set by the plug-in; false for a key that is not scripted writable.
    bool write(std::uint32_t key, std::intptr_t simple, const std::vector<std::uint8_t>& bytes);
    // The watch-cursor level starts at 0 for every selector call.
    void resetWatchSuspension();

private:
    std::map<std::uint32_t, PropertyValue> values_;
};

} // namespace host
