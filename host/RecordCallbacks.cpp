// The callbacks the filter record holds directly: abort, progress and
// events here, the others in files of their own.

#include "host/FilterHostState.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

Boolean testAbort() {
    FilterHost::State* s = activeHostState();
    if (s == nullptr) {
        return 0;
    }
    ++s->records.abortChecks;
    return s->abortAfter > 0 && s->records.abortChecks >= s->abortAfter ? 1 : 0;
}

void progress(int32 done, int32 total) {
    FilterHost::State* s = activeHostState();
    if (s == nullptr) {
        return;
    }
    s->records.progress.push_back(ProgressCall{done, total});
    if (s->options.onProgress) {
        s->options.onProgress(done, total);
    }
}

// The host has no events of its own for the plug-in to pass on.
void processEvent(void* /*event*/) {}

} // namespace

void installRecordCallbacks(FilterRecord& record) {
    record.abortProc = testAbort;
    record.progressProc = progress;
    record.processEvent = processEvent;
    record.displayPixels = hostDisplayPixels;
    record.advanceState = hostAdvanceState;
    record.colorServices = hostColorServices;
    record.getPropertyObsolete = hostGetProperty;
}

} // namespace host
