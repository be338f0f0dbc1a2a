// One application of the filter: Start connects to the server and lets the
// user edit, Continue lets the server render, Finish records the settings
// and lets the server go.

#include "image/HostImageBuffer.h"
#include "plugin/ErrorMessage.h"
#include "plugin/HostProbes.h"
#include "plugin/HostSuites.h"
#include "plugin/ScriptingParameters.h"
#include "plugin/SelectorSteps.h"
#include "plugin/Texts.h"
#include "proxy/FilterGlobals.h"
#include "proxy/MessageBuilders.h"
#include "proxy/ProcessGlobals.h"

#include <boost/any.hpp>

#include <cstdint>
#include <new>
#include <string>

namespace plugin {

namespace {

using image::HostImageBuffer;
namespace keys = proxy::parameterKeys;

bool requiredCallbacksPresent(const hostapi::FilterRecord& record) {
    return record.handleProcs != nullptr && record.abortProc != nullptr &&
           record.progressProc != nullptr && record.bufferProcs != nullptr &&
           record.displayPixels != nullptr && record.advanceState != nullptr &&
           record.colorServices != nullptr;
}

// The host asks for the dialog: no descriptor parameters at all, or play
// information that wants it shown.
bool dialogRequested(const hostapi::FilterRecord& record) {
    return record.descriptorParameters == nullptr ||
           record.descriptorParameters->playInfo == hostapi::plugInDialogDisplay;
}

// Whether the input (or output) planes include transparency: only when the
// host counts any planes at all.
bool hasTransparency(hostapi::int16 layerPlanes, hostapi::int16 transparencyMask,
                     hostapi::int16 nonLayerPlanes, hostapi::int16 planes) {
    const bool counted = layerPlanes + transparencyMask + nonLayerPlanes != 0 || planes != 0;
    return counted && transparencyMask == 1;
}

// A layer whose transparency is locked, or whose input and output disagree
// on transparency, cannot take a result with its own alpha.
bool refusesLayer(const hostapi::FilterRecord& record) {
    const bool locked = record.filterCase == hostapi::filterCaseProtectedTransparencyNoSelection ||
                        record.filterCase == hostapi::filterCaseProtectedTransparencyWithSelection;
    const bool input = hasTransparency(record.inLayerPlanes, record.inTransparencyMask,
                                       record.inNonLayerPlanes, record.planes);
    const bool output = hasTransparency(record.outLayerPlanes, record.outTransparencyMask,
                                        record.outNonLayerPlanes, record.planes);
    return locked || input != output;
}

template <typename T> T valueOr(const proxy::ParameterMap& map, std::int32_t key, T fallback) {
    const auto found = map.find(key);
    return found == map.end() ? fallback : boost::any_cast<T>(found->second);
}

void sendDocument(FilterGlobals& globals, const proxy::ParameterMap& runMap,
                  std::int32_t selector) {
    const proxy::DocumentRects rects =
        proxy::documentRects(runMap, HostImageBuffer(*gFilterRecord));
    globals.sendDocumentInfo(rects.first, rects.second, selector);
}

// The automatic new-layer pass attaches to the server that the interactive
// run kept; false when the run map names none.
bool attachToKeptServer(FilterGlobals& globals, const proxy::ParameterMap& runMap) {
    const auto name = valueOr<std::string>(runMap, keys::connectionName, std::string());
    const int processId = valueOr<int>(runMap, keys::serverProcessId, 0);
    if (name.empty() || processId == 0) {
        return false;
    }
    // A server that has gone away makes this throw; it never answers false.
    globals.attach(name, static_cast<std::uint32_t>(processId));
    globals.sendHostSettings();
    if (!globals.reuseServerDocument) {
        sendDocument(globals, runMap, msg::documentInfoAttached);
    }
    globals.sendNewLayerFlag();
    return true;
}

void connectToNewServer(FilterGlobals& globals, const proxy::ParameterMap& runMap) {
    globals.connectAndLaunch();
    globals.sendHostSettings();
    if (globals.autolayerRun) {
        globals.sendNewLayerFlag();
    }
    serverResult = 1;
    sendDocument(globals, runMap, msg::documentInfoLaunched);
    globals.setParameters(runMap);
}

// The user edits in the server's window while the host waits behind the
// dialog; the server's 5 or 6 ends the wait. Every failure is -1.
std::int32_t letTheUserEdit(FilterGlobals& globals) {
    hostapi::FilterRecord& record = *gFilterRecord;
    const hostapi::PropertyProcs* properties = record.propertyProcs;
    if (properties != nullptr && properties->setPropertyProc != nullptr) {
        // No watch cursor while the host waits for another window.
        properties->setPropertyProc(hostapi::photoshopSignature, hostapi::propWatchSuspension, 0, 1,
                                    nullptr);
    }
    try {
        globals.startInteractive();
        globals.waitForServer(globals.hostWindow());
        return serverResult;
    } catch (...) {
        return -1;
    }
}

// The server renders into the current layer while the plug-in serves its
// requests, until it ends the exchange. Every failure is -1.
std::int32_t letTheServerRender(FilterGlobals& globals) {
    try {
        globals.startRender();
        globals.runRequestLoop();
        return serverResult;
    } catch (...) {
        return -1;
    }
}

bool newLayerWanted(const proxy::ParameterMap& accepted) {
    return accepted.count(keys::newLayer) == 1 &&
           boost::any_cast<int>(accepted.at(keys::newLayer)) > 0;
}

// A connection was made when the server's channel is open.
bool connected(const FilterGlobals& globals) {
    return static_cast<bool>(globals.serverChannel);
}

// The settings the server ends with, for actions and the repeat-filter
// command, and for the automatic pass the server that pass attaches to.
void recordSettings(FilterGlobals& globals, bool keepServerForNewLayer) {
    proxy::ParameterMap final = globals.getParameters();
    if (keepServerForNewLayer) {
        final[keys::connectionName] = globals.connectionName;
        final[keys::serverProcessId] = static_cast<int>(globals.remoteProcessId);
    }
    WriteScriptingDescriptor(final);
    try {
        StoreParametersHandle(final);
    } catch (...) {
        // The descriptor holds the settings; the repeat-filter command only
        // loses them.
    }
}

} // namespace

hostapi::int16 Start() {
    hostapi::FilterRecord& record = *gFilterRecord;
    FilterGlobals& globals = *gFilterGlobals;
    if (!requiredCallbacksPresent(record)) {
        return 1;
    }
    HostImageBuffer host(record);
    const hostapi::int16 masked = host.acquireSelectionMask(
        globals.selectionMask, globals.maskFullySelected, globals.maskFromTransparency);
    if (masked != 0) {
        return masked;
    }
    // The server applies the selection itself.
    record.autoMask = 0;

    proxy::ParameterMap runMap;
    LoadParametersHandle(runMap);
    ReadScriptingDescriptor(runMap);
    const bool attached = globals.autolayerRun && attachToKeptServer(globals, runMap);
    runMap.erase(keys::connectionName);
    runMap.erase(keys::serverProcessId);
    runMap.erase(keys::layerName);

    gInteractive = dialogRequested(record) && !globals.autolayerRun;
    if (!attached) {
        connectToNewServer(globals, runMap);
    }
    if (refusesLayer(record)) {
        if (gInteractive) {
            ShowErrorMessage(texts::errorTitle, texts::editableTransparencyRequired,
                             globals.hostWindow());
        }
        return 1;
    }

    std::int32_t result = 0;
    if (gInteractive) {
        result = letTheUserEdit(globals);
        globals.lastRunOk = result == 0;
    }
    if (result != 0) {
        host.clearRequests();
        return static_cast<hostapi::int16>(result);
    }
    globals.createNewLayer = NewLayerCapable() && newLayerWanted(globals.getParameters());
    // The host insists on delivering something before Continue.
    host.clearRequestsToMinimal();
    return 0;
}

hostapi::int16 Continue() {
    FilterGlobals& globals = *gFilterGlobals;
    HostImageBuffer host(*gFilterRecord);
    host.clearRequests();
    std::int32_t result = 0;
    // A result for a new layer reaches the document through the automatic
    // pass only.
    if (!globals.createNewLayer && !globals.skipRender) {
        result = letTheServerRender(globals);
    }
    host.clearRequests();
    if (result == hostapi::memFullErr) {
        if (globals.autolayerRun) {
            ShowErrorMessage(texts::errorTitle, texts::outOfMemoryWhileRendering,
                             globals.hostWindow());
            return 1;
        }
        return hostapi::memFullErr;
    }
    if (result == -1 && globals.autolayerRun) {
        ShowErrorMessage(texts::errorTitle, texts::generalErrorWhileRendering,
                         globals.hostWindow());
    }
    return static_cast<hostapi::int16>(result);
}

hostapi::int16 Finish() {
    FilterGlobals* globals = gFilterGlobals;
    if (gLastResult != -1 && globals != nullptr && connected(*globals)) {
        const bool keepServerForNewLayer =
            globals->createNewLayer && dialogRequested(*gFilterRecord);
        try {
            if (globals->lastRunOk) {
                recordSettings(*globals, keepServerForNewLayer);
            }
            if (keepServerForNewLayer) {
                globals->keepServer();
            } else {
                globals->endConnection();
            }
        } catch (const std::bad_alloc&) {
            gLastResult = hostapi::memFullErr;
        }
    }
    const hostapi::int16 result = gLastResult;
    delete gFilterGlobals;
    gFilterGlobals = nullptr;
    gFilterRecord = nullptr;
    releaseSuites();
    return result;
}

} // namespace plugin
