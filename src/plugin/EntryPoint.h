#pragma once

#include "hostapi/FilterInterface.h"

#include <cstdint>

class FilterGlobals;

namespace plugin {

// What the entry point runs for the selectors; tests put failing steps in.
struct EntrySteps {
    FilterGlobals* (*createFilterGlobals)();
    hostapi::int16 (*parameters)();
    hostapi::int16 (*prepare)();
    hostapi::int16 (*start)();
    hostapi::int16 (*continueRun)();
    hostapi::int16 (*finish)();
};

// The steps of the product.
const EntrySteps& defaultEntrySteps();

// One call of the entry point. Binds the call to the host (record, basic
// suite, the six suites), opts in to big documents, probes the colour
// services once per process, creates gFilterGlobals when there is none and
// runs the selector's step; then releases the suites. Selector 0 returns at
// once and leaves `result` alone, as do selectors without a step.
//
// No exception leaves this function. A failure in the step or in creating
// the state deletes gFilterGlobals and writes a result: -108 for
// std::bad_alloc, -1 for std::runtime_error and for every other exception
// (transport failures, a wrongly typed parameter, anything not derived from
// std::exception), which all mean that the invocation cannot go on.
void runEntryPoint(hostapi::int16 selector, hostapi::FilterRecord* filterRecord,
                   hostapi::int16* result, const EntrySteps& steps) noexcept;

// Deletes the state object, if any: the library's unload handler.
void deleteFilterGlobals() noexcept;

} // namespace plugin
