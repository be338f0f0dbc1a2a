#pragma once

// Process-wide state of the plug-in: the host binding of the current call,
// the one state object of the current invocation and the flags of a run.
// Plain statics without locks: the host calls the plug-in on one thread, and
// everything that reads them runs inside such a call. They sit at this level
// because the state object and its request handlers read them as well as the
// entry point.

#include "hostapi/FilterInterface.h"

#include <cstdint>

class FilterGlobals;

// Set on every call with a non-zero selector; cleared by Finish.
extern hostapi::FilterRecord* gFilterRecord;
// The record's basic suite; keeps its value after the call.
extern hostapi::SPBasicSuite* gBasicSuite;

// Acquired at the start and released at the end of every call; null when
// the host did not hand them out.
extern const hostapi::ChannelPortsSuite* gChannelPortsSuite;
extern const hostapi::DescriptorRegistrySuite* gDescriptorRegistrySuite;
extern const hostapi::ActionDescriptorSuite* gActionDescriptorSuite;
extern const hostapi::HandleSuite* gHandleSuite;
extern const hostapi::ColorSpaceSuite* gColorSpaceSuite;
extern const hostapi::ZStringSuite* gZStringSuite;

// Owned: the state and server proxy of the current invocation, or null.
extern FilterGlobals* gFilterGlobals;
// Result of the last Start or Continue, for Finish.
extern hostapi::int16 gLastResult;

// Flags of a run.
extern bool gInteractive;
extern std::int32_t serverResult;
extern bool gDescriptorHadKeys;
extern bool gAutolayerRegistered;
extern double gProgressStart;
extern double gProgressEnd;
