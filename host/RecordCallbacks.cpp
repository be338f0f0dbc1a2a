// The callbacks the filter record holds directly: abort, progress and
// events here, the others in files of their own.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

Boolean testAbort() {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return 0;
    }
    ++records->abortChecks;
    const int after = activeAbortAfter();
    return after > 0 && records->abortChecks >= after ? 1 : 0;
}

void progress(int32 done, int32 total) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return;
    }
    records->progress.push_back(ProgressCall{done, total});
    if (const HostOptions* options = activeOptions(); options->onProgress) {
        options->onProgress(done, total);
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
