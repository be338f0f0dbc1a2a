#include "proxy/ProcessGlobals.h"

hostapi::FilterRecord* gFilterRecord = nullptr;
hostapi::SPBasicSuite* gBasicSuite = nullptr;

const hostapi::ChannelPortsSuite* gChannelPortsSuite = nullptr;
const hostapi::DescriptorRegistrySuite* gDescriptorRegistrySuite = nullptr;
const hostapi::ActionDescriptorSuite* gActionDescriptorSuite = nullptr;
const hostapi::HandleSuite* gHandleSuite = nullptr;
const hostapi::ColorSpaceSuite* gColorSpaceSuite = nullptr;
const hostapi::ZStringSuite* gZStringSuite = nullptr;

FilterGlobals* gFilterGlobals = nullptr;
hostapi::int16 gLastResult = 0;

bool gInteractive = false;
std::int32_t serverResult = 0;
bool gDescriptorHadKeys = false;
bool gAutolayerRegistered = false;
double gProgressStart = 0.0;
double gProgressEnd = 1.0;
