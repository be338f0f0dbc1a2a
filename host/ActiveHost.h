#pragma once

// The plug-in's calls carry no host: they reach the active one, the latest
// constructed FilterHost that still lives or the one that last began an
// application. A callback file asks here for the tables it serves and sees
// no other; each accessor is null (or answers "none") while no host is active.

#include "host/ActionDescriptor.h"
#include "host/ColorServicesAnswers.h"
#include "host/DescriptorRegistry.h"
#include "host/Document.h"
#include "host/FilterHost.h"
#include "host/FilterRecordSet.h"
#include "host/HandleTable.h"
#include "host/HostObjects.h"
#include "host/MemoryBlocks.h"
#include "host/PropertyTable.h"
#include "host/ZStringTable.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace host {

class ImageDelivery;

// A colour of the colour space suite.
struct ColorObject {
    std::int16_t space = hostapi::colorSpaceRGB;
    std::uint8_t components[4]{};
};

// Suites a test withdrew, by name and version: the basic suite refuses them.
using WithdrawnSuites = std::set<std::pair<std::string, std::int32_t>>;

// What the host noticed and what it offers.
HostRecords* activeRecords();
const HostOptions* activeOptions();
// A misuse of the interface, into the records' faults (and the trace).
void reportFault(const std::string& what);
// abortProc answers "stop" from this many calls on; 0 never.
int activeAbortAfter();

// The document as it is now, and as the application began.
Document* activeDocument();
const Document* activeSource();
FilterRecordSet* activeApplication();
ImageDelivery* activeDelivery();

// What the host handed to the plug-in.
HandleTable* activeHandles();
MemoryBlocks* activeBlocks();
HostObjects<ActionDescriptor>* activeDescriptors();
HostObjects<ColorObject>* activeColors();
HostObjects<std::vector<char>>* activeBuffers();
ZStringTable* activeZStrings();

// What a test told the host to answer.
PropertyTable* activeProperties();
DescriptorRegistry* activeRegistry();
ColorServicesAnswers* activeColorAnswers();
const WithdrawnSuites* activeWithdrawnSuites();

} // namespace host
