// The handle callbacks of the filter record, and the handle suite (both
// versions) over the same functions.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

HandleBlock* findHandle(Handle h, const char* use) {
    HandleTable* handles = activeHandles();
    return handles != nullptr ? handles->find(h, use) : nullptr;
}

Handle handleNew(int32 size) {
    HandleTable* handles = activeHandles();
    if (handles == nullptr || size < 0) {
        return nullptr;
    }
    return handles->make(nullptr, static_cast<std::size_t>(size));
}

void handleDispose(Handle h) {
    if (HandleTable* handles = activeHandles(); handles != nullptr && h != nullptr) {
        handles->dispose(h, "dispose");
    }
}

int32 handleGetSize(Handle h) {
    const HandleBlock* block = findHandle(h, "get size");
    return block != nullptr ? block->size : 0;
}

OSErr handleSetSize(Handle h, int32 newSize) {
    HandleBlock* block = findHandle(h, "set size");
    if (block == nullptr) {
        return nilHandleErr;
    }
    if (newSize < 0) {
        return paramErr;
    }
    block->resize(newSize);
    return noErr;
}

Ptr handleLock(Handle h, Boolean /*moveHigh*/) {
    HandleBlock* block = findHandle(h, "lock");
    if (block == nullptr) {
        return nullptr;
    }
    ++block->locks;
    return block->master;
}

void handleUnlock(Handle h) {
    HandleBlock* block = findHandle(h, "unlock");
    if (block != nullptr && block->locks > 0) {
        --block->locks;
    }
}

// Nothing to recover: the host's memory is not purged.
void handleRecoverSpace(int32 /*size*/) {}

void handleSetLock(Handle h, Boolean lock, Ptr* address, Boolean* oldLock) {
    HandleBlock* block = findHandle(h, "set lock");
    if (oldLock != nullptr) {
        *oldLock = block != nullptr && block->locks > 0 ? 1 : 0;
    }
    if (address != nullptr) {
        *address = block != nullptr ? block->master : nullptr;
    }
    if (block == nullptr) {
        return;
    }
    if (lock != 0) {
        ++block->locks;
    } else if (block->locks > 0) {
        --block->locks;
    }
}

// Version 1 of the handle suite orders its slots differently.
struct HandleSuiteV1 {
    Handle (*New)(int32 size);
    void (*Dispose)(Handle h);
    void (*SetLock)(Handle h, Boolean lock, Ptr* address, Boolean* oldLock);
    int32 (*GetSize)(Handle h);
    OSErr (*SetSize)(Handle h, int32 newSize);
    void (*RecoverSpace)(int32 size);
};

const HandleSuite kHandleSuite2 = {handleNew,     handleDispose, handleDispose,     handleSetLock,
                                   handleGetSize, handleSetSize, handleRecoverSpace};
const HandleSuiteV1 kHandleSuite1 = {handleNew,     handleDispose, handleSetLock,
                                     handleGetSize, handleSetSize, handleRecoverSpace};

} // namespace

HandleProcs hostHandleProcs() {
    return HandleProcs{HandleProcs::currentVersion,
                       HandleProcs::procCount,
                       handleNew,
                       handleDispose,
                       handleGetSize,
                       handleSetSize,
                       handleLock,
                       handleUnlock,
                       handleRecoverSpace,
                       handleDispose};
}

const void* handleSuite(std::int32_t version) {
    if (version == 1) {
        return &kHandleSuite1;
    }
    return version == HandleSuite::suiteVersion ? &kHandleSuite2 : nullptr;
}

} // namespace host
