#pragma once

#include "host/ActionDescriptor.h"

#include <cstdint>
#include <map>
#include <string>

namespace host {

// The descriptor registry of the host: copies of descriptors under string
// keys, kept from one application to the next, and the failures a test
// scripts for Get.
class DescriptorRegistry {
public:
    void put(const std::string& key, ActionDescriptor descriptor, bool persistent) {
        entries_[key] = Entry{std::move(descriptor), persistent};
    }
    void erase(const std::string& key) { entries_.erase(key); }
    // Null for a key without an entry.
    const ActionDescriptor* find(const std::string& key) const {
        auto it = entries_.find(key);
        return it == entries_.end() ? nullptr : &it->second.descriptor;
    }

    // Get on `key` fails with `result`; 0 restores the normal answer.
    void setGetResult(const std::string& key, std::int16_t result) {
        if (result == 0) {
            getResults_.erase(key);
        } else {
            getResults_[key] = result;
        }
    }
    std::int16_t getResult(const std::string& key) const {
        auto it = getResults_.find(key);
        return it == getResults_.end() ? std::int16_t{0} : it->second;
    }

private:
    struct Entry {
        ActionDescriptor descriptor;
        bool persistent = false;
    };
    std::map<std::string, Entry> entries_;
    std::map<std::string, std::int16_t> getResults_;
};

} // namespace host
