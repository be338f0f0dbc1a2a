#include "proxy/FilterGlobals.h"

#include "image/VTImageBuffer.h"
#include "platform/DisplaySurface.h"
#include "proxy/ProcessGlobals.h"

#include <cstdint>

FilterGlobals::FilterGlobals()
    : inputBuffer(false), outputBuffer(false), maskBuffer(false), displaySourceBuffer(false),
      displayResultBuffer(false) {}

FilterGlobals::~FilterGlobals() {
    // The mask first, then the buffers newest first, then the profile buffer;
    // nothing is sent to the server.
    selectionMask.reset();
    displayResultBuffer.release();
    displaySourceBuffer.release();
    maskBuffer.release();
    outputBuffer.release();
    inputBuffer.release();
    iccProfileBuffer.reset();
}

void FilterGlobals::runRequestLoop() {
    ServerProxy::runRequestLoop();
}

void* FilterGlobals::hostWindow() {
    if (gFilterRecord == nullptr || gFilterRecord->platformData == nullptr) {
        return nullptr;
    }
    // An HWND travels in the record as a pointer-sized integer.
    const std::intptr_t window = gFilterRecord->platformData->hwnd;
    return reinterpret_cast<void*>(window); // NOLINT(performance-no-int-to-ptr)
}
