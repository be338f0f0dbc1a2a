#pragma once

// Our declarations of the host's filter interface on 64-bit Windows: the
// filter record, its callbacks, the component suites and the interface's
// numbers. LayoutChecks.cpp checks every layout at compile time.

#include "hostapi/Callbacks.h"
#include "hostapi/Constants.h"
#include "hostapi/FilterRecord.h"
#include "hostapi/Resources.h"
#include "hostapi/Suites.h"
#include "hostapi/Types.h"
