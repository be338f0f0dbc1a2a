#include "host/FilterHost.h"

#include "host/ColorConversion.h"
#include "host/FilterHostState.h"
#include "host/TextEncoding.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace host {

using namespace hostapi;

namespace {

FilterHost::State* gActiveHost = nullptr;

std::int16_t clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, SHRT_MIN, SHRT_MAX));
}

Rect shortRect(const VRect& r) {
    return Rect{clamp16(r.top), clamp16(r.left), clamp16(r.bottom), clamp16(r.right)};
}

Point shortPoint(const VPoint& p) {
    return Point{clamp16(p.v), clamp16(p.h)};
}

Fixed fixedOf(double v) {
    return static_cast<Fixed>(std::lround(v * 65536.0));
}

// The colour in the document's own space, for foreColor and backColor.
void documentColor(const Document& document, const RGB8& colour, std::uint8_t* out) {
    const ColorComponents rgb{colour.red, colour.green, colour.blue, 0};
    std::int16_t space = colorSpaceRGB;
    switch (document.mode()) {
    case ColorMode::Gray:
    case ColorMode::Duotone:
        space = colorSpaceGray;
        break;
    case ColorMode::CMYK:
        space = colorSpaceCMYK;
        break;
    case ColorMode::Lab:
        space = colorSpaceLab;
        break;
    default:
        break;
    }
    const ColorConversionResult converted = convertColor(colorSpaceRGB, space, rgb);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(converted.components[static_cast<std::size_t>(i)]);
    }
}

std::string selectorName(std::int16_t selector) {
    static const char* names[] = {"About", "Parameters", "Prepare", "Start", "Continue", "Finish"};
    if (selector >= 0 && selector <= 5) {
        return names[selector];
    }
    return "selector " + std::to_string(selector);
}

} // namespace

FilterHost::State* activeHostState() {
    return gActiveHost;
}

void setActiveHostState(FilterHost::State* state) {
    gActiveHost = state;
}

FilterHost::State::State(Document doc, HostOptions opts)
    : document(std::move(doc)), source(document), options(std::move(opts)) {
    for (auto& row : conversions) {
        std::fill(std::begin(row), std::end(row), true);
    }
    properties[propWatchSuspension] = PropertyValue{0, false, {}, true};
}

void FilterHost::State::fault(const std::string& what) {
    records.faults.push_back(what);
    trace("fault: " + what);
}

void FilterHost::State::trace(const std::string& line) const {
    if (options.trace) {
        options.trace(line);
    }
}

void FilterHost::State::buildRecord() {
    source = document;
    record = FilterRecord{};
    bigDocument = BigDocumentStruct{};
    descriptorParameters = PIDescriptorParameters{};
    std::memset(errorString, 0, sizeof errorString);
    pendingOutput = Delivery{};
    installCallbacks(*this);

    const VPoint imageSize{document.height(), document.width()};
    const VRect filterRect = document.filterRect();
    const VPoint wholeSize = document.wholeSize();
    const std::int64_t maxSpace32 = std::min<std::int64_t>(options.maxSpace, INT32_MAX);

    if (!options.abortProc) {
        record.abortProc = nullptr;
    }
    if (!options.progressProc) {
        record.progressProc = nullptr;
    }
    record.parameters = parameters;
    record.imageSize = shortPoint(imageSize);
    record.planes = static_cast<std::int16_t>(document.planes());
    record.filterRect = shortRect(filterRect);
    record.background = RGBColor{static_cast<uint16>(document.background.red * 257),
                                 static_cast<uint16>(document.background.green * 257),
                                 static_cast<uint16>(document.background.blue * 257)};
    record.foreground = RGBColor{static_cast<uint16>(document.foreground.red * 257),
                                 static_cast<uint16>(document.foreground.green * 257),
                                 static_cast<uint16>(document.foreground.blue * 257)};
    record.maxSpace = static_cast<int32>(maxSpace32);
    record.bufferSpace = static_cast<int32>(maxSpace32);
    record.haveMask = document.hasSelection() ? 1 : 0;
    record.autoMask = 1;
    documentColor(document, document.background, record.backColor);
    documentColor(document, document.foreground, record.foreColor);
    record.hostSig = photoshopSignature;
    record.imageMode = document.imageMode();
    record.imageHRes = fixedOf(document.resolution);
    record.imageVRes = fixedOf(document.resolution);
    record.wholeSize = shortPoint(wholeSize);
    // An sRGB monitor.
    record.monitor =
        PlugInMonitor{fixedOf(2.2),  fixedOf(0.64), fixedOf(0.33),   fixedOf(0.30),   fixedOf(0.60),
                      fixedOf(0.15), fixedOf(0.06), fixedOf(0.3127), fixedOf(0.3290), fixedOf(0.0)};
    platformData.hwnd = reinterpret_cast<std::intptr_t>(window ? window->handle() : nullptr);
    record.platformData = options.platformData ? &platformData : nullptr;
    record.bufferProcs = options.bufferProcs ? &bufferProcs : nullptr;
    if (!options.displayPixels) {
        record.displayPixels = nullptr;
    }
    record.handleProcs = options.handleProcs ? &handleProcs : nullptr;
    record.filterCase = document.filterCase();
    record.dummyPlaneValue = -1;
    if (!options.advanceState) {
        record.advanceState = nullptr;
    }
    record.supportsPadding = 1;
    record.inputPadding = -3;
    record.outputPadding = -3;
    record.maskPadding = -3;
    record.samplingSupport = 1;
    record.inputRate = 0x10000;
    record.maskRate = 0x10000;
    if (!options.colorServices) {
        record.colorServices = nullptr;
    }
    const PlaneLayout layout = document.planeLayout();
    record.inLayerPlanes = layout.inLayerPlanes;
    record.inTransparencyMask = layout.inTransparencyMask;
    record.inNonLayerPlanes = layout.inNonLayerPlanes;
    record.outLayerPlanes = layout.outLayerPlanes;
    record.outTransparencyMask = layout.outTransparencyMask;
    record.outNonLayerPlanes = layout.outNonLayerPlanes;
    record.absLayerPlanes = layout.inLayerPlanes;
    record.absTransparencyMask = layout.inTransparencyMask;
    record.absNonLayerPlanes = layout.inNonLayerPlanes;
    if (options.propertyProcs) {
        record.propertyProcs = &propertyProcs;
    } else {
        record.propertyProcs = nullptr;
        record.getPropertyObsolete = nullptr;
    }
    for (int16* tile : {&record.inTileHeight, &record.inTileWidth, &record.absTileHeight,
                        &record.absTileWidth, &record.outTileHeight, &record.outTileWidth,
                        &record.maskTileHeight, &record.maskTileWidth}) {
        *tile = 256;
    }
    if (options.descriptorParameters) {
        descriptorParameters.descriptorParametersVersion = PIDescriptorParameters::currentVersion;
        descriptorParameters.playInfo = options.playInfo;
        descriptorParameters.recordInfo = plugInDialogOptional;
        if (descriptorToPlay) {
            const std::vector<std::uint8_t> bytes = descriptorToPlay->serialize();
            descriptorHandle = makeHandle(bytes.data(), bytes.size());
            descriptorParameters.descriptor = descriptorHandle;
        }
        record.descriptorParameters = &descriptorParameters;
    }
    record.errorString = &errorString;
    record.sSPBasic = options.basicSuite ? &basicSuite : nullptr;
    record.plugInRef = this;
    record.depth = document.depth();
    if (!document.iccProfile.empty()) {
        iccHandle = makeHandle(document.iccProfile.data(), document.iccProfile.size());
        record.iCCprofileData = iccHandle;
        record.iCCprofileSize = static_cast<int32>(document.iccProfile.size());
    }
    record.canUseICCProfiles = 1;
    if (options.bigDocument) {
        bigDocument.imageSize32 = imageSize;
        bigDocument.filterRect32 = filterRect;
        bigDocument.wholeSize32 = wholeSize;
        record.bigDocumentData = &bigDocument;
    }
    record.bufferSpace64 = options.maxSpace;
    record.maxSpace64 = options.maxSpace;

    recorded.reset();
    recordInfo = 0;
    applicationOpen = true;
}

std::int16_t FilterHost::State::call(std::int16_t selector) {
    if (entry == nullptr) {
        fault("no plug-in entry point to call " + selectorName(selector));
        return errPlugInHostInsufficient;
    }
    setActiveHostState(this);
    std::int16_t result = 0;
    if (selector == filterSelectorAbout) {
        aboutRecord = AboutRecord{};
        aboutRecord.platformData = options.platformData ? &platformData : nullptr;
        aboutRecord.sSPBasic = options.basicSuite ? &basicSuite : nullptr;
        aboutRecord.plugInRef = this;
        entry(selector, &aboutRecord, &data, &result);
    } else {
        if (!applicationOpen) {
            buildRecord();
        }
        properties[propWatchSuspension].simple = 0;
        entry(selector, &record, &data, &result);
        commitOutput();
        parameters = record.parameters;
    }
    records.selectors.push_back(SelectorCall{selector, result});
    trace(selectorName(selector) + " -> " + std::to_string(result));
    return result;
}

void FilterHost::State::closeApplication() {
    if (!applicationOpen) {
        return;
    }
    commitOutput();
    parameters = record.parameters;
    if (record.descriptorParameters != nullptr) {
        recordInfo = descriptorParameters.recordInfo;
        Handle recordedHandle = descriptorParameters.descriptor;
        if (recordedHandle != nullptr) {
            auto it = handles.find(recordedHandle);
            if (it == handles.end()) {
                fault("the recorded descriptor is not a handle of this host");
            } else {
                recorded = ActionDescriptor::parse(
                    reinterpret_cast<const std::uint8_t*>(it->second->master),
                    static_cast<std::size_t>(it->second->size));
                if (!recorded) {
                    fault("the recorded descriptor handle holds no descriptor");
                }
                disposeHandle(recordedHandle, "recorded descriptor");
            }
        }
        if (descriptorHandle != nullptr && descriptorHandle != recordedHandle &&
            handles.count(descriptorHandle) != 0) {
            disposeHandle(descriptorHandle, "replayed descriptor");
        }
    }
    descriptorHandle = nullptr;
    if (iccHandle != nullptr && handles.count(iccHandle) != 0) {
        disposeHandle(iccHandle, "ICC profile");
    }
    iccHandle = nullptr;
    record.inData = record.outData = record.maskData = nullptr;
    applicationOpen = false;
}

FilterHost::FilterHost(Document document, HostOptions options)
    : state_(std::make_unique<State>(std::move(document), std::move(options))) {
    state_->window = platform::createHostWindow();
    if (state_->options.watchMessageBoxes) {
        state_->watcher = platform::watchMessageBoxes();
    }
    installCallbacks(*state_);
    setActiveHostState(state_.get());
}

FilterHost::~FilterHost() {
    // The plug-in may still hold host objects; they die with the host.
    state_->closeApplication();
    if (activeHostState() == state_.get()) {
        setActiveHostState(nullptr);
    }
    for (auto& entry : state_->handles) {
        delete[] entry.second->master;
    }
    for (void* block : state_->blocks) {
        std::free(block);
    }
    // Unload the library before the watcher and the window go.
    state_->library.reset();
}

bool FilterHost::loadPlugin(const std::string& path, std::string& error,
                            const std::string& entryName) {
    auto library = platform::loadLibrary(path, error);
    if (!library) {
        return false;
    }
    void* symbol = library->symbol(entryName);
    if (symbol == nullptr) {
        error = path + " exports no " + entryName;
        return false;
    }
    state_->entry = reinterpret_cast<FilterEntryProc>(symbol);
    state_->library = std::move(library);
    state_->data = 0;
    return true;
}

void FilterHost::setEntryPoint(FilterEntryProc entry) {
    state_->entry = entry;
    state_->data = 0;
}

ApplicationResult FilterHost::apply(const ApplicationOptions& options) {
    ApplicationResult outcome;
    setActiveHostState(state_.get());
    beginApplication();
    auto fail = [&](std::int16_t selector, std::int16_t result) {
        outcome.result = result;
        outcome.failedSelector = selector;
    };
    if (options.about) {
        about();
    }
    std::int16_t result = 0;
    if (options.parameters) {
        result = callSelector(filterSelectorParameters);
        if (result != 0) {
            fail(filterSelectorParameters, result);
            endApplication();
            return outcome;
        }
    }
    result = callSelector(filterSelectorPrepare);
    if (result != 0) {
        fail(filterSelectorPrepare, result);
        endApplication();
        return outcome;
    }
    // Finish follows only a Start that succeeded: after a failed Start the
    // plug-in has cleaned up itself, so the host sends nothing more.
    result = callSelector(filterSelectorStart);
    if (result != 0) {
        fail(filterSelectorStart, result);
        endApplication();
        return outcome;
    }
    while (requestPending()) {
        if (outcome.continueCalls >= options.maxContinueCalls) {
            state_->fault("still asking for pixels after " +
                          std::to_string(options.maxContinueCalls) + " Continue calls");
            break;
        }
        result = deliverRequest();
        if (result != 0) {
            fail(filterSelectorContinue, result);
            break;
        }
        ++outcome.continueCalls;
        result = callSelector(filterSelectorContinue);
        if (result != 0) {
            fail(filterSelectorContinue, result);
            break;
        }
    }
    result = callSelector(filterSelectorFinish);
    outcome.finishSent = true;
    if (outcome.failedSelector < 0 && result != 0) {
        fail(filterSelectorFinish, result);
    }
    endApplication();
    return outcome;
}

void FilterHost::beginApplication() {
    setActiveHostState(state_.get());
    state_->closeApplication();
    state_->buildRecord();
}

std::int16_t FilterHost::about() {
    return state_->call(filterSelectorAbout);
}

std::int16_t FilterHost::callSelector(std::int16_t selector) {
    return state_->call(selector);
}

bool FilterHost::requestPending() const {
    return state_->requestPending();
}

std::int16_t FilterHost::deliverRequest() {
    setActiveHostState(state_.get());
    return state_->advance(true);
}

void FilterHost::endApplication() {
    state_->closeApplication();
}

FilterRecord& FilterHost::record() {
    return state_->record;
}

SPBasicSuite* FilterHost::basicSuite() {
    return &state_->basicSuite;
}

Document& FilterHost::document() {
    return state_->document;
}

const Document& FilterHost::sourceDocument() const {
    return state_->source;
}

HostOptions& FilterHost::options() {
    return state_->options;
}

const HostRecords& FilterHost::records() const {
    return state_->records;
}

void FilterHost::clearRecords() {
    state_->records = HostRecords{};
}

std::vector<std::int16_t> FilterHost::selectorOrder() const {
    std::vector<std::int16_t> order;
    for (const SelectorCall& call : state_->records.selectors) {
        order.push_back(call.selector);
    }
    return order;
}

std::vector<platform::MessageBoxRecord> FilterHost::messageBoxes() {
    if (state_->watcher) {
        for (platform::MessageBoxRecord& box : state_->watcher->take()) {
            state_->boxes.push_back(std::move(box));
        }
    }
    return state_->boxes;
}

void FilterHost::clearMessageBoxes() {
    messageBoxes();
    state_->boxes.clear();
}

void* FilterHost::hostWindow() const {
    return state_->window ? state_->window->handle() : nullptr;
}

void FilterHost::setProperty(std::uint32_t key, std::intptr_t value, bool writable) {
    state_->properties[key] = State::PropertyValue{value, false, {}, writable};
}

void FilterHost::setComplexProperty(std::uint32_t key, std::vector<std::uint8_t> bytes,
                                    bool writable) {
    state_->properties[key] = State::PropertyValue{0, true, std::move(bytes), writable};
}

void FilterHost::removeProperty(std::uint32_t key) {
    state_->properties.erase(key);
}

std::optional<std::intptr_t> FilterHost::property(std::uint32_t key) const {
    auto it = state_->properties.find(key);
    if (it == state_->properties.end() || it->second.complex) {
        return std::nullopt;
    }
    return it->second.simple;
}

void FilterHost::setDescriptor(std::optional<ActionDescriptor> descriptor) {
    state_->descriptorToPlay = std::move(descriptor);
}

std::optional<ActionDescriptor> FilterHost::recordedDescriptor() const {
    return state_->recorded;
}

std::int16_t FilterHost::recordInfo() const {
    return state_->recordInfo;
}

void FilterHost::setParameters(std::optional<std::vector<std::uint8_t>> bytes) {
    if (state_->parameters != nullptr && state_->handles.count(state_->parameters) != 0) {
        state_->disposeHandle(state_->parameters, "parameters");
    }
    state_->parameters = bytes ? state_->makeHandle(bytes->data(), bytes->size()) : nullptr;
    state_->record.parameters = state_->parameters;
}

std::optional<std::vector<std::uint8_t>> FilterHost::parameters() const {
    return handleBytes(state_->parameters);
}

void FilterHost::setRegistryEntry(const std::string& key, ActionDescriptor descriptor,
                                  bool persistent) {
    state_->registry[key] = State::RegistryEntry{std::move(descriptor), persistent};
}

void FilterHost::eraseRegistryEntry(const std::string& key) {
    state_->registry.erase(key);
}

std::optional<ActionDescriptor> FilterHost::registryEntry(const std::string& key) const {
    auto it = state_->registry.find(key);
    if (it == state_->registry.end()) {
        return std::nullopt;
    }
    return it->second.descriptor;
}

void FilterHost::setRegistryGetResult(const std::string& key, std::int16_t result) {
    if (result == 0) {
        state_->registryGetResults.erase(key);
    } else {
        state_->registryGetResults[key] = result;
    }
}

void FilterHost::setColorConversionSupported(std::int16_t source, std::int16_t target,
                                             bool supported) {
    if (source >= 0 && source < 7 && target >= 0 && target < 7) {
        state_->conversions[source][target] = supported;
    }
}

void FilterHost::setAllColorConversionsSupported(bool supported) {
    for (auto& row : state_->conversions) {
        std::fill(std::begin(row), std::end(row), supported);
    }
}

void FilterHost::scriptPicker(PickerAnswer answer) {
    state_->picker.push_back(answer);
}

void FilterHost::abortAfter(int calls) {
    state_->abortAfter = calls;
}

void FilterHost::setSuiteOffered(const std::string& name, std::int32_t version, bool offered) {
    if (offered) {
        state_->withdrawnSuites.erase({name, version});
    } else {
        state_->withdrawnSuites.insert({name, version});
    }
}

int FilterHost::liveHandles() const {
    return static_cast<int>(state_->handles.size());
}

int FilterHost::liveDescriptors() const {
    return static_cast<int>(state_->descriptors.size());
}

int FilterHost::liveZStrings() const {
    return static_cast<int>(state_->zstrings.size());
}

int FilterHost::liveBlocks() const {
    return static_cast<int>(state_->blocks.size());
}

Handle FilterHost::newHandle(const std::vector<std::uint8_t>& bytes) {
    return state_->makeHandle(bytes.data(), bytes.size());
}

std::optional<std::vector<std::uint8_t>> FilterHost::handleBytes(Handle handle) const {
    auto it = state_->handles.find(handle);
    if (handle == nullptr || it == state_->handles.end()) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(it->second->master);
    return std::vector<std::uint8_t>(bytes, bytes + it->second->size);
}

} // namespace host
