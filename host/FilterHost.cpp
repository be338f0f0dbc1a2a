#include "host/FilterHost.h"

#include "host/FilterHostState.h"

namespace host {

using namespace hostapi;

namespace {

FilterHost::State* gActiveHost = nullptr;

std::string selectorName(std::int16_t selector) {
    static const char* names[] = {"About", "Parameters", "Prepare", "Start", "Continue", "Finish"};
    if (selector >= 0 && selector <= 5) {
        return names[selector];
    }
    return "selector " + std::to_string(selector);
}

} // namespace

void setActiveHostState(FilterHost::State* state) {
    gActiveHost = state;
}

HostRecords* activeRecords() {
    return gActiveHost != nullptr ? &gActiveHost->records : nullptr;
}

const HostOptions* activeOptions() {
    return gActiveHost != nullptr ? &gActiveHost->options : nullptr;
}

void reportFault(const std::string& what) {
    if (gActiveHost != nullptr) {
        gActiveHost->fault(what);
    }
}

int activeAbortAfter() {
    return gActiveHost != nullptr ? gActiveHost->abortAfter : 0;
}

Document* activeDocument() {
    return gActiveHost != nullptr ? &gActiveHost->document : nullptr;
}

const Document* activeSource() {
    return gActiveHost != nullptr ? &gActiveHost->source : nullptr;
}

FilterRecordSet* activeApplication() {
    return gActiveHost != nullptr ? &gActiveHost->application : nullptr;
}

ImageDelivery* activeDelivery() {
    return gActiveHost != nullptr ? &gActiveHost->delivery : nullptr;
}

HandleTable* activeHandles() {
    return gActiveHost != nullptr ? &gActiveHost->handles : nullptr;
}

MemoryBlocks* activeBlocks() {
    return gActiveHost != nullptr ? &gActiveHost->blocks : nullptr;
}

HostObjects<ActionDescriptor>* activeDescriptors() {
    return gActiveHost != nullptr ? &gActiveHost->descriptors : nullptr;
}

HostObjects<ColorObject>* activeColors() {
    return gActiveHost != nullptr ? &gActiveHost->colors : nullptr;
}

HostObjects<std::vector<char>>* activeBuffers() {
    return gActiveHost != nullptr ? &gActiveHost->buffers : nullptr;
}

ZStringTable* activeZStrings() {
    return gActiveHost != nullptr ? &gActiveHost->zstrings : nullptr;
}

PropertyTable* activeProperties() {
    return gActiveHost != nullptr ? &gActiveHost->properties : nullptr;
}

DescriptorRegistry* activeRegistry() {
    return gActiveHost != nullptr ? &gActiveHost->registry : nullptr;
}

ColorServicesAnswers* activeColorAnswers() {
    return gActiveHost != nullptr ? &gActiveHost->colorAnswers : nullptr;
}

const WithdrawnSuites* activeWithdrawnSuites() {
    return gActiveHost != nullptr ? &gActiveHost->withdrawnSuites : nullptr;
}

FilterHost::State::State(Document doc, HostOptions opts)
    : document(std::move(doc)), source(document), options(std::move(opts)), handles(faultReport()),
      descriptors("a descriptor", faultReport()), zstrings(faultReport()),
      colors("a colour", faultReport()), buffers("a buffer", faultReport()), blocks(faultReport()),
      delivery(source, document, options, records, application, faultReport()) {}

void FilterHost::State::fault(const std::string& what) {
    records.faults.push_back(what);
    trace("fault: " + what);
}

void FilterHost::State::trace(const std::string& line) const {
    if (options.trace) {
        options.trace(line);
    }
}

void FilterHost::State::openApplication() {
    source = document;
    delivery.reset();
    application.reset(document, options, window ? window->handle() : nullptr);
    application.record.parameters = parameters;
    application.record.plugInRef = this;
    handOverDescriptor();
    handOverProfile();
    recorded.reset();
    recordInfo = 0;
    application.open = true;
}

// The descriptor to replay, in a handle of its own.
void FilterHost::State::handOverDescriptor() {
    if (application.record.descriptorParameters != nullptr && descriptorToPlay) {
        application.descriptorHandle = handles.make(descriptorToPlay->serialize());
        application.descriptorParameters.descriptor = application.descriptorHandle;
    }
}

void FilterHost::State::handOverProfile() {
    if (!document.iccProfile.empty()) {
        application.iccHandle = handles.make(document.iccProfile);
        application.record.iCCprofileData = application.iccHandle;
        application.record.iCCprofileSize = static_cast<int32>(document.iccProfile.size());
    }
}

std::int16_t FilterHost::State::call(std::int16_t selector) {
    if (entry == nullptr) {
        fault("no plug-in entry point to call " + selectorName(selector));
        return errPlugInHostInsufficient;
    }
    setActiveHostState(this);
    std::int16_t result = 0;
    if (selector == filterSelectorAbout) {
        AboutRecord& about = application.resetAbout(options);
        about.plugInRef = this;
        entry(selector, &about, &data, &result);
    } else {
        if (!application.open) {
            openApplication();
        }
        properties.resetWatchSuspension();
        entry(selector, &application.record, &data, &result);
        delivery.commitOutput();
        parameters = application.record.parameters;
    }
    records.selectors.push_back(SelectorCall{selector, result});
    trace(selectorName(selector) + " -> " + std::to_string(result));
    return result;
}

void FilterHost::State::closeApplication() {
    if (!application.open) {
        return;
    }
    delivery.commitOutput();
    parameters = application.record.parameters;
    if (application.record.descriptorParameters != nullptr) {
        takeBackDescriptor();
    }
    application.descriptorHandle = nullptr;
    handles.disposeIfLive(application.iccHandle, "ICC profile");
    application.iccHandle = nullptr;
    application.record.inData = application.record.outData = application.record.maskData = nullptr;
    application.open = false;
}

// What the plug-in left in descriptorParameters becomes the recorded
// descriptor; the host disposes of that handle, and of the one it handed
// over unless the plug-in already has.
void FilterHost::State::takeBackDescriptor() {
    recordInfo = application.descriptorParameters.recordInfo;
    Handle recordedHandle = application.descriptorParameters.descriptor;
    if (recordedHandle != nullptr) {
        if (const std::optional<std::vector<std::uint8_t>> bytes = handles.bytes(recordedHandle)) {
            recorded = ActionDescriptor::parse(bytes->data(), bytes->size());
            if (!recorded) {
                fault("the recorded descriptor handle holds no descriptor");
            }
            handles.dispose(recordedHandle, "recorded descriptor");
        } else {
            fault("the recorded descriptor is not a handle of this host");
        }
    }
    if (application.descriptorHandle != recordedHandle) {
        handles.disposeIfLive(application.descriptorHandle, "replayed descriptor");
    }
}

FilterHost::FilterHost(Document document, HostOptions options)
    : state_(std::make_unique<State>(std::move(document), std::move(options))) {
    state_->window = platform::createHostWindow();
    if (state_->options.watchMessageBoxes) {
        state_->watcher = platform::watchMessageBoxes();
    }
    setActiveHostState(state_.get());
}

FilterHost::~FilterHost() {
    // The plug-in may still hold host objects; they die with the host.
    state_->closeApplication();
    if (gActiveHost == state_.get()) {
        setActiveHostState(nullptr);
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
    beginApplication();
    if (options.about) {
        about();
    }
    // Finish follows only a Start that succeeded: after a failed Start the
    // plug-in has cleaned up itself, so the host sends nothing more.
    for (const std::int16_t selector :
         {filterSelectorParameters, filterSelectorPrepare, filterSelectorStart}) {
        if (selector == filterSelectorParameters && !options.parameters) {
            continue;
        }
        if (const std::int16_t result = callSelector(selector); result != 0) {
            outcome.result = result;
            outcome.failedSelector = selector;
            endApplication();
            return outcome;
        }
    }
    continueWhileAsked(options.maxContinueCalls, outcome);
    const std::int16_t result = callSelector(filterSelectorFinish);
    outcome.finishSent = true;
    if (outcome.failedSelector < 0 && result != 0) {
        outcome.result = result;
        outcome.failedSelector = filterSelectorFinish;
    }
    endApplication();
    return outcome;
}

// Delivers each request and sends Continue until the plug-in asks for
// nothing more, a delivery or a Continue fails, or the calls run out.
void FilterHost::continueWhileAsked(int maxContinueCalls, ApplicationResult& outcome) {
    while (requestPending()) {
        if (outcome.continueCalls >= maxContinueCalls) {
            state_->fault("still asking for pixels after " + std::to_string(maxContinueCalls) +
                          " Continue calls");
            return;
        }
        std::int16_t result = deliverRequest();
        if (result == 0) {
            ++outcome.continueCalls;
            result = callSelector(filterSelectorContinue);
        }
        if (result != 0) {
            outcome.result = result;
            outcome.failedSelector = filterSelectorContinue;
            return;
        }
    }
}

void FilterHost::beginApplication() {
    setActiveHostState(state_.get());
    state_->closeApplication();
    state_->openApplication();
}

std::int16_t FilterHost::about() {
    return state_->call(filterSelectorAbout);
}

std::int16_t FilterHost::callSelector(std::int16_t selector) {
    return state_->call(selector);
}

bool FilterHost::requestPending() const {
    return state_->delivery.requestPending();
}

std::int16_t FilterHost::deliverRequest() {
    setActiveHostState(state_.get());
    return state_->delivery.advance(true);
}

void FilterHost::endApplication() {
    state_->closeApplication();
}

FilterRecord& FilterHost::record() {
    return state_->application.record;
}

SPBasicSuite* FilterHost::basicSuite() {
    return &state_->application.basicSuite;
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
    state_->properties.set(key, value, writable);
}

void FilterHost::setComplexProperty(std::uint32_t key, std::vector<std::uint8_t> bytes,
                                    bool writable) {
    state_->properties.setComplex(key, std::move(bytes), writable);
}

void FilterHost::removeProperty(std::uint32_t key) {
    state_->properties.remove(key);
}

std::optional<std::intptr_t> FilterHost::property(std::uint32_t key) const {
    return state_->properties.simple(key);
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
    state_->handles.disposeIfLive(state_->parameters, "parameters");
    state_->parameters = bytes ? state_->handles.make(*bytes) : nullptr;
    state_->application.record.parameters = state_->parameters;
}

std::optional<std::vector<std::uint8_t>> FilterHost::parameters() const {
    return handleBytes(state_->parameters);
}

void FilterHost::setRegistryEntry(const std::string& key, ActionDescriptor descriptor,
                                  bool persistent) {
    state_->registry.put(key, std::move(descriptor), persistent);
}

void FilterHost::eraseRegistryEntry(const std::string& key) {
    state_->registry.erase(key);
}

std::optional<ActionDescriptor> FilterHost::registryEntry(const std::string& key) const {
    const ActionDescriptor* entry = state_->registry.find(key);
    return entry != nullptr ? std::optional<ActionDescriptor>(*entry) : std::nullopt;
}

void FilterHost::setRegistryGetResult(const std::string& key, std::int16_t result) {
    state_->registry.setGetResult(key, result);
}

void FilterHost::setColorConversionSupported(std::int16_t source, std::int16_t target,
                                             bool supported) {
    state_->colorAnswers.support(source, target, supported);
}

void FilterHost::setAllColorConversionsSupported(bool supported) {
    state_->colorAnswers.supportAll(supported);
}

void FilterHost::scriptPicker(PickerAnswer answer) {
    state_->colorAnswers.queuePickerAnswer(answer);
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
    return state_->handles.count();
}

int FilterHost::liveDescriptors() const {
    return state_->descriptors.count();
}

int FilterHost::liveZStrings() const {
    return state_->zstrings.count();
}

int FilterHost::liveBlocks() const {
    return state_->blocks.count();
}

Handle FilterHost::newHandle(const std::vector<std::uint8_t>& bytes) {
    return state_->handles.make(bytes);
}

std::optional<std::vector<std::uint8_t>> FilterHost::handleBytes(Handle handle) const {
    return state_->handles.bytes(handle);
}

} // namespace host
