// The descriptor registry suite: copies of descriptors kept under string
// keys, every call recorded.

#include "host/FilterHostState.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

// Records the call with its result, and returns the result.
OSErr recorded(FilterHost::State& s, RegistryCall call) {
    s.records.registry.push_back(call);
    return call.result;
}

RegistryCall callOf(RegistryCall::Kind kind, const char* key, bool persistent = false) {
    return RegistryCall{kind, key != nullptr ? key : "", persistent, false, noErr};
}

OSErr registryRegister(const char* key, PIActionDescriptor d, Boolean persistent) {
    FilterHost::State* s = activeHostState();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Register, key, persistent != 0);
    const ActionDescriptor* descriptor = s->descriptors.find(d, "Register");
    if (key == nullptr || descriptor == nullptr) {
        call.result = paramErr;
    } else {
        s->registry.put(key, *descriptor, persistent != 0);
    }
    return recorded(*s, call);
}

OSErr registryErase(const char* key) {
    FilterHost::State* s = activeHostState();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Erase, key);
    if (key == nullptr) {
        call.result = paramErr;
    } else {
        s->registry.erase(key);
    }
    return recorded(*s, call);
}

// A missing key is not an error: the call succeeds and yields no descriptor.
OSErr registryGet(const char* key, PIActionDescriptor* d) {
    FilterHost::State* s = activeHostState();
    if (s == nullptr) {
        return paramErr;
    }
    RegistryCall call = callOf(RegistryCall::Kind::Get, key);
    if (key == nullptr || d == nullptr) {
        call.result = paramErr;
        return recorded(*s, call);
    }
    *d = nullptr;
    call.result = s->registry.getResult(key);
    const ActionDescriptor* entry = s->registry.find(key);
    if (call.result == noErr && entry != nullptr) {
        *d = static_cast<PIActionDescriptor>(s->descriptors.add(*entry));
        call.yieldedDescriptor = true;
    }
    return recorded(*s, call);
}

const DescriptorRegistrySuite kRegistrySuite = {registryRegister, registryErase, registryGet};

} // namespace

const DescriptorRegistrySuite& descriptorRegistrySuite() {
    return kRegistrySuite;
}

} // namespace host
