#pragma once

#include "host/HostObjects.h"
#include "hostapi/FilterInterface.h"

#include <string>

namespace host {

// A reference-counted UTF-16 string of the ZString suite.
struct ZString {
    std::u16string text;
    int references = 1;
};

// The ZStrings handed to the plug-in, and the one empty string that GetEmpty
// hands out to everyone and reference counting leaves alone.
class ZStringTable {
public:
    explicit ZStringTable(FaultReport fault) : strings_("a ZString", std::move(fault)) {}

    // A new string with one reference.
    hostapi::ASZString make(std::u16string text) {
        return static_cast<hostapi::ASZString>(strings_.add(ZString{std::move(text), 1}));
    }
    hostapi::ASZString empty() { return reinterpret_cast<hostapi::ASZString>(&empty_); }
    // Null, with a fault that names `use`, for a string the host does not know.
    ZString* find(const void* zstring, const char* use) {
        if (zstring == &empty_) {
            return &empty_;
        }
        return strings_.find(zstring, use);
    }
    // Drops one reference; the string goes with its last one.
    void release(hostapi::ASZString zstring, ZString& string) {
        if (&string != &empty_ && --string.references == 0) {
            strings_.erase(zstring, "Release");
        }
    }
    int count() const { return strings_.count(); }

private:
    HostObjects<ZString> strings_;
    ZString empty_;
};

} // namespace host
