#pragma once

#include "host/ActionDescriptor.h"
#include "host/Document.h"
#include "host/HostRecords.h"
#include "hostapi/FilterInterface.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {

// What the host offers. Every service can be withdrawn (its pointer in the
// filter record is then null) to see how a plug-in copes. Read when an
// application begins.
struct HostOptions {
    // Reported in maxSpace / maxSpace64.
    std::int64_t maxSpace = std::int64_t{1} << 30;
    // Largest input + output + mask delivery of one request, in bytes; 0
    // means maxSpace as offered. Larger requests fail with -108.
    std::int64_t requestBudget = 0;
    // Bytes added to every delivered row beyond its tight length (then
    // rounded up to a multiple of 4), so that a plug-in that assumes tight
    // rows reads and writes the wrong pixels.
    std::int32_t rowPadding = 12;

    bool abortProc = true;
    bool progressProc = true;
    bool displayPixels = true;
    bool colorServices = true;
    bool advanceState = true;
    bool handleProcs = true;
    bool propertyProcs = true;
    bool bufferProcs = true;
    bool descriptorParameters = true;
    bool bigDocument = true;
    bool basicSuite = true;
    bool platformData = true;

    // How the descriptor parameters ask for the dialog
    // (hostapi::plugInDialogDontDisplay / Display / Silent).
    std::int16_t playInfo = hostapi::plugInDialogDisplay;

    // LengthAsUnicodeCString counts the terminator (as one independent host
    // does) or not (as the host's own utility code assumes).
    bool zstringLengthIncludesTerminator = true;

    // Collect the plug-in's message boxes instead of letting them block.
    bool watchMessageBoxes = true;

    // Called from progressProc after it is recorded.
    std::function<void(std::int32_t done, std::int32_t total)> onProgress;
    // Called with one line per selector call and delivery (a verbose trace).
    std::function<void(const std::string& line)> trace;
};

struct ApplicationOptions {
    // Send About (with an AboutRecord) first.
    bool about = false;
    // Send Parameters, as when the user picks the filter from the menu; a
    // repeat of the last filter skips it.
    bool parameters = true;
    // A plug-in that keeps asking for pixels is stopped after this many
    // Continue calls (recorded as a fault).
    int maxContinueCalls = 1000000;
};

struct ApplicationResult {
    // The first failure of the application (a selector's result, or a
    // delivery the host refused before a Continue), else Finish's result.
    std::int16_t result = 0;
    // The selector that failed, or -1; with a refused delivery, Continue.
    std::int16_t failedSelector = -1;
    int continueCalls = 0;
    bool finishSent = false;
};

// A colour the picker (colour services selector 0) hands back.
struct PickerAnswer {
    std::int16_t result = 0;
    std::int16_t space = hostapi::colorSpaceRGB;
    std::int16_t components[4]{};
};

// The stand-in for the host application: holds a document, loads a filter
// plug-in and drives it through the filter selectors, and serves every
// callback and suite of the filter record for real. One FilterHost is the
// active one at a time (the latest constructed); the plug-in's callbacks go
// to it. Everything runs on the thread that calls it.
class FilterHost {
public:
    explicit FilterHost(Document document, HostOptions options = {});
    ~FilterHost();
    FilterHost(const FilterHost&) = delete;
    FilterHost& operator=(const FilterHost&) = delete;

    // --- the plug-in -------------------------------------------------------
    // Loads the library and finds `entryName`; false with the reason.
    bool loadPlugin(const std::string& path, std::string& error,
                    const std::string& entryName = "SolvantaEntryPoint");
    // Or an entry point linked into the test itself.
    void setEntryPoint(hostapi::FilterEntryProc entry);

    // --- one whole application ---------------------------------------------
    ApplicationResult apply(const ApplicationOptions& options = {});

    // --- or step by step ---------------------------------------------------
    // Builds a fresh filter record from the document and the options (the
    // parameters handle and the pointer-sized data slot carry over from
    // earlier applications). A test may then play the plug-in itself through
    // record() and basicSuite().
    void beginApplication();
    // Selector 0 with an AboutRecord.
    std::int16_t about();
    // Any other selector with the filter record; pending output goes back
    // into the document when the call returns.
    std::int16_t callSelector(std::int16_t selector);
    // The plug-in left a non-empty input, output or mask request.
    bool requestPending() const;
    // Delivers the pending request as the host does before a Continue.
    std::int16_t deliverRequest();
    // Writes back pending output and releases what the application held
    // (the ICC handle, the final descriptor handle after reading it).
    void endApplication();

    hostapi::FilterRecord& record();
    hostapi::SPBasicSuite* basicSuite();
    Document& document();
    // The document as it was when the application began: what input
    // deliveries read.
    const Document& sourceDocument() const;
    HostOptions& options();

    // --- records -----------------------------------------------------------
    const HostRecords& records() const;
    void clearRecords();
    std::vector<std::int16_t> selectorOrder() const;
    // Message boxes shown since construction (or the last clear), oldest
    // first.
    std::vector<platform::MessageBoxRecord> messageBoxes();
    void clearMessageBoxes();
    void* hostWindow() const;

    // --- properties ----------------------------------------------------------
    // 'plip', 'liss', 'rcip' read 0 and 'wtch' (writable, reset to 0 before
    // each selector call) unless set; 'mode', 'unnm' and 'titl' come from the
    // document.
    void setProperty(std::uint32_t key, std::intptr_t value, bool writable = false);
    void setComplexProperty(std::uint32_t key, std::vector<std::uint8_t> bytes,
                            bool writable = false);
    void removeProperty(std::uint32_t key);
    std::optional<std::intptr_t> property(std::uint32_t key) const;

    // --- descriptors and stored parameters ----------------------------------
    // The descriptor handed over for replay (null: none).
    void setDescriptor(std::optional<ActionDescriptor> descriptor);
    // What the plug-in left in descriptorParameters->descriptor at the end of
    // the last application (null: nothing, or not a descriptor of ours).
    std::optional<ActionDescriptor> recordedDescriptor() const;
    std::int16_t recordInfo() const;
    void setParameters(std::optional<std::vector<std::uint8_t>> bytes);
    std::optional<std::vector<std::uint8_t>> parameters() const;

    void setRegistryEntry(const std::string& key, ActionDescriptor descriptor,
                          bool persistent = false);
    void eraseRegistryEntry(const std::string& key);
    std::optional<ActionDescriptor> registryEntry(const std::string& key) const;
    // Get on this key fails with `result` (0 restores the normal answer).
    void setRegistryGetResult(const std::string& key, std::int16_t result);

    // --- colour, progress, abort --------------------------------------------
    // Which (source, result) conversions colour services selector 1 accepts;
    // all by default. Refused ones return paramErr.
    void setColorConversionSupported(std::int16_t source, std::int16_t target, bool supported);
    void setAllColorConversionsSupported(bool supported);
    // The picker's next answers, in order; without one the picker returns
    // the colour it was given, in its space.
    void scriptPicker(PickerAnswer answer);
    // abortProc reports true from its n-th call on (0: never).
    void abortAfter(int calls);

    // --- suites ---------------------------------------------------------------
    void setSuiteOffered(const std::string& name, std::int32_t version, bool offered);

    // --- live host objects (leak checks) -------------------------------------
    int liveHandles() const;
    int liveDescriptors() const;
    int liveZStrings() const;
    int liveBlocks() const;

    // Handles made by the host's handle services, for tests that play the
    // plug-in.
    hostapi::Handle newHandle(const std::vector<std::uint8_t>& bytes);
    // Bytes of a live handle; null for one the host does not know.
    std::optional<std::vector<std::uint8_t>> handleBytes(hostapi::Handle handle) const;

    struct State;

private:
    void continueWhileAsked(int maxContinueCalls, ApplicationResult& outcome);

    std::unique_ptr<State> state_;
};

} // namespace host
