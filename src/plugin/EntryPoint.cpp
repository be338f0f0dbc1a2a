#include "plugin/EntryPoint.h"

#include "plugin/HostProbes.h"
#include "plugin/HostSuites.h"
#include "plugin/SelectorSteps.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <new>
#include <optional>
#include <stdexcept>

namespace plugin {

namespace {

FilterGlobals* newFilterGlobals() {
    return new FilterGlobals();
}

// Creates the state when needed and runs the step; the value to write to
// `result`, if any. Every failure ends here.
std::optional<hostapi::int16> runStep(hostapi::int16 selector, const EntrySteps& steps) noexcept {
    try {
        if (gFilterGlobals == nullptr) {
            gFilterGlobals = steps.createFilterGlobals();
        }
        switch (selector) {
        case hostapi::filterSelectorParameters:
            return steps.parameters();
        case hostapi::filterSelectorPrepare:
            return steps.prepare();
        case hostapi::filterSelectorStart: {
            const hostapi::int16 started = steps.start();
            if (started != 0) {
                // The host sends no Finish after a failed Start, so it runs
                // here; the host sees Start's result, Finish's is dropped.
                gLastResult = started;
                steps.finish();
            }
            return started;
        }
        case hostapi::filterSelectorContinue:
            gLastResult = steps.continueRun();
            return gLastResult;
        case hostapi::filterSelectorFinish:
            return steps.finish();
        default:
            return std::nullopt;
        }
    } catch (const std::runtime_error&) {
        deleteFilterGlobals();
        return -1;
    } catch (const std::bad_alloc&) {
        deleteFilterGlobals();
        return hostapi::memFullErr;
    } catch (...) {
        deleteFilterGlobals();
        return -1;
    }
}

} // namespace

const EntrySteps& defaultEntrySteps() {
    static const EntrySteps steps{&newFilterGlobals, &Parameters, &Prepare, &Start,
                                  &Continue,         &Finish};
    return steps;
}

void runEntryPoint(hostapi::int16 selector, hostapi::FilterRecord* filterRecord,
                   hostapi::int16* result, const EntrySteps& steps) noexcept {
    // About gets an AboutRecord, not a filter record: nothing may touch it.
    if (selector == hostapi::filterSelectorAbout) {
        return;
    }
    gFilterRecord = filterRecord;
    gBasicSuite = filterRecord != nullptr ? filterRecord->sSPBasic : nullptr;
    acquireSuites();
    optInToBigDocuments(filterRecord);
    probeColorServices(filterRecord);

    const std::optional<hostapi::int16> outcome = runStep(selector, steps);
    if (outcome && result != nullptr) {
        *result = *outcome;
    }
    releaseSuites();
}

void deleteFilterGlobals() noexcept {
    delete gFilterGlobals;
    gFilterGlobals = nullptr;
}

} // namespace plugin
