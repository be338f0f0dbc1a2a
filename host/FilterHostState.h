#pragma once

// What a FilterHost holds behind its interface: the document, the plug-in,
// the filter record of the current application and the tables of what the
// host handed out or was told to answer. Only FilterHost.cpp sees it whole;
// the callback files reach single tables through host/ActiveHost.h.

#include "host/ActiveHost.h"
#include "host/FilterHost.h"
#include "host/ImageDelivery.h"
#include "platform/HostWindow.h"
#include "platform/SharedLibrary.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct FilterHost::State {
    State(Document doc, HostOptions opts);
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void fault(const std::string& what);
    void trace(const std::string& line) const;

    // Builds a fresh filter record from the document and the options.
    void openApplication();
    std::int16_t call(std::int16_t selector);
    // Writes back pending output, reads the recorded descriptor and releases
    // the handles the host made for the application.
    void closeApplication();

    // The document, what the host offers and what it saw.
    Document document;
    // The document as the application began: what input deliveries read.
    Document source;
    HostOptions options;
    HostRecords records;

    std::unique_ptr<platform::SharedLibrary> library;
    hostapi::FilterEntryProc entry = nullptr;
    std::intptr_t data = 0;

    FilterRecordSet application;

    // Kept from one application to the next, as the host keeps them.
    hostapi::Handle parameters = nullptr;
    std::optional<ActionDescriptor> descriptorToPlay;
    std::optional<ActionDescriptor> recorded;
    std::int16_t recordInfo = 0;

    // What the host handed to the plug-in.
    HandleTable handles;
    HostObjects<ActionDescriptor> descriptors;
    ZStringTable zstrings;
    HostObjects<ColorObject> colors;
    HostObjects<std::vector<char>> buffers;
    MemoryBlocks blocks;

    // What a test told the host to answer.
    PropertyTable properties;
    DescriptorRegistry registry;
    ColorServicesAnswers colorAnswers;
    WithdrawnSuites withdrawnSuites;
    int abortAfter = 0;

    ImageDelivery delivery;

    std::unique_ptr<platform::MessageBoxWatcher> watcher;
    std::vector<platform::MessageBoxRecord> boxes;
    std::unique_ptr<platform::HostWindow> window;

private:
    FaultReport faultReport() {
        return [this](const std::string& what) { fault(what); };
    }
    void handOverDescriptor();
    void handOverProfile();
    void takeBackDescriptor();
};

// The host whose callbacks the plug-in reaches (host/ActiveHost.h).
void setActiveHostState(FilterHost::State* state);

} // namespace host
