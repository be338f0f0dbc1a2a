#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace host {

// Where the host's tables report misuse of the interface: one readable line
// each, into the records' faults.
using FaultReport = std::function<void(const std::string& what)>;

// Objects the host hands to the plug-in as opaque pointers (descriptors,
// ZStrings, colours, buffers): the pointer is the object's address, so a
// pointer the host never handed out, or has taken back, is found out and
// reported instead of followed.
template <typename T> class HostObjects {
public:
    // `kind` names the objects in fault reports ("a descriptor").
    HostObjects(std::string kind, FaultReport fault)
        : kind_(std::move(kind)), fault_(std::move(fault)) {}

    void* add(T object) {
        auto owned = std::make_unique<T>(std::move(object));
        void* key = owned.get();
        objects_[key] = std::move(owned);
        return key;
    }

    // Null, with a fault that names `use`, for a pointer the host does not know.
    T* find(const void* key, const std::string& use) const {
        auto it = objects_.find(key);
        if (it == objects_.end()) {
            fault_(use + ": not " + kind_ + " of this host");
            return nullptr;
        }
        return it->second.get();
    }

    // Takes the object back; false, with a fault, for one the host does not know.
    bool erase(const void* key, const std::string& use) {
        if (objects_.erase(key) == 0) {
            fault_(use + ": not " + kind_ + " of this host");
            return false;
        }
        return true;
    }

    int count() const { return static_cast<int>(objects_.size()); }

private:
    std::string kind_;
    FaultReport fault_;
    std::unordered_map<const void*, std::unique_ptr<T>> objects_;
};

} // namespace host
