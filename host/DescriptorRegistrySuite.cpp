// The descriptor registry suite: copies of descriptors kept under string
// keys, every call recorded.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

// Records the call with its result, and returns the result.
OSErr recorded(HostRecords& records, const RegistryCall& call) {
    records.registry.push_back(call);
    return call.result;
}

RegistryCall callOf(RegistryCall::Kind kind, const char* key, bool persistent = false) {
    return RegistryCall{kind, key != nullptr ? key : "", persistent, false, noErr};
}

OSErr registryRegister(const char* key, PIActionDescriptor d, Boolean persistent) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Register, key, persistent != 0);
    const ActionDescriptor* descriptor = activeDescriptors()->find(d, "Register");
    if (key == nullptr || descriptor == nullptr) {
        call.result = paramErr;
    } else {
        activeRegistry()->put(key, *descriptor, persistent != 0);
    }
    return recorded(*records, call);
}

OSErr registryErase(const char* key) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Erase, key);
    if (key == nullptr) {
        call.result = paramErr;
    } else {
        activeRegistry()->erase(key);
    }
    return recorded(*records, call);
}

// A missing key is not an error: the call succeeds and yields no descriptor.
OSErr registryGet(const char* key, PIActionDescriptor* d) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Get, key);
    if (key == nullptr || d == nullptr) {
        call.result = paramErr;
        return recorded(*records, call);
    }
    *d = nullptr;
    call.result = activeRegistry()->getResult(key);
    const ActionDescriptor* entry = activeRegistry()->find(key);
    if (call.result == noErr && entry != nullptr) {
        *d = static_cast<PIActionDescriptor>(activeDescriptors()->add(*entry));
        call.yieldedDescriptor = true;
    }
    return recorded(*records, call);
}

const DescriptorRegistrySuite kRegistrySuite = {registryRegister, registryErase, registryGet};

} // namespace

const DescriptorRegistrySuite& descriptorRegistrySuite() {
    return kRegistrySuite;
}

} // namespace host
