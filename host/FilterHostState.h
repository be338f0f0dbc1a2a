#pragma once

// What a FilterHost holds behind its interface: shared by the application
// flow, the image delivery and the C callbacks that the plug-in calls.

#include "host/FilterHost.h"
#include "platform/HostWindow.h"
#include "platform/SharedLibrary.h"

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace host {

// A delivery buffer that only ever grows: requests of the same or a smaller
// size reuse warm pages instead of fresh ones.
class GrowBuffer {
public:
    std::uint8_t* ensure(std::size_t size) {
        if (size > capacity_) {
            data_.reset(new std::uint8_t[size]);
            capacity_ = size;
        }
        return data_.get();
    }
    std::uint8_t* data() const { return data_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

struct FilterHost::State {
    explicit State(Document doc, HostOptions opts);

    // --- the application ---------------------------------------------------
    Document document;
    Document source;
    HostOptions options;
    HostRecords records;
    bool applicationOpen = false;

    std::unique_ptr<platform::SharedLibrary> library;
    hostapi::FilterEntryProc entry = nullptr;
    std::intptr_t data = 0;

    hostapi::FilterRecord record{};
    hostapi::BigDocumentStruct bigDocument{};
    hostapi::PlatformData platformData{};
    hostapi::HandleProcs handleProcs{};
    hostapi::PropertyProcs propertyProcs{};
    hostapi::BufferProcs bufferProcs{};
    hostapi::PIDescriptorParameters descriptorParameters{};
    hostapi::SPBasicSuite basicSuite{};
    hostapi::AboutRecord aboutRecord{};
    hostapi::Str255 errorString{};

    // Kept from one application to the next, as the host keeps them.
    hostapi::Handle parameters = nullptr;
    std::optional<ActionDescriptor> descriptorToPlay;
    std::optional<ActionDescriptor> recorded;
    std::int16_t recordInfo = 0;
    // Handles the host made for the current application.
    hostapi::Handle iccHandle = nullptr;
    hostapi::Handle descriptorHandle = nullptr;

    // --- host objects handed to the plug-in -------------------------------
    struct HandleBlock {
        // First member: a Handle is the address of this master pointer.
        char* master = nullptr;
        std::int32_t size = 0;
        int locks = 0;
    };
    std::unordered_map<hostapi::Handle, std::unique_ptr<HandleBlock>> handles;

    std::unordered_map<const void*, std::unique_ptr<ActionDescriptor>> descriptors;

    struct ZString {
        std::u16string text;
        int references = 1;
    };
    std::unordered_map<const void*, std::unique_ptr<ZString>> zstrings;
    // GetEmpty hands this one out; reference counting leaves it alone.
    ZString emptyZString;

    struct ColorObject {
        std::int16_t space = hostapi::colorSpaceRGB;
        std::uint8_t components[4]{};
    };
    std::unordered_map<const void*, std::unique_ptr<ColorObject>> colors;

    std::unordered_set<void*> blocks;
    std::unordered_map<const void*, std::unique_ptr<std::vector<char>>> buffers;

    // --- scripted answers ----------------------------------------------------
    struct PropertyValue {
        std::intptr_t simple = 0;
        bool complex = false;
        std::vector<std::uint8_t> bytes;
        bool writable = false;
    };
    std::map<std::uint32_t, PropertyValue> properties;

    struct RegistryEntry {
        ActionDescriptor descriptor;
        bool persistent = false;
    };
    std::map<std::string, RegistryEntry> registry;
    std::map<std::string, std::int16_t> registryGetResults;

    bool conversions[7][7]{};
    std::deque<PickerAnswer> picker;
    int abortAfter = 0;
    std::set<std::pair<std::string, std::int32_t>> withdrawnSuites;

    std::unique_ptr<platform::MessageBoxWatcher> watcher;
    std::vector<platform::MessageBoxRecord> boxes;
    std::unique_ptr<platform::HostWindow> window;

    // --- image delivery --------------------------------------------------------
    struct Delivery {
        bool active = false;
        hostapi::VRect rect{};
        int loPlane = 0;
        int hiPlane = 0;
        std::size_t rowBytes = 0;
        // The buffer the output was delivered in.
        const std::uint8_t* pixels = nullptr;
    };
    GrowBuffer inBuffer;
    GrowBuffer outBuffer;
    GrowBuffer maskBuffer;
    Delivery pendingOutput;
    std::vector<std::uint8_t> displayBuffer;

    // --- operations ------------------------------------------------------------
    void buildRecord();
    std::int16_t advance(bool betweenCalls);
    void commitOutput();
    bool requestPending() const;
    std::int16_t call(std::int16_t selector);
    void closeApplication();

    hostapi::Handle makeHandle(const std::uint8_t* bytes, std::size_t size);
    HandleBlock* findHandle(hostapi::Handle handle, const char* use);
    void disposeHandle(hostapi::Handle handle, const char* use);
    ActionDescriptor* findDescriptor(const void* descriptor, const char* use);
    hostapi::PIActionDescriptor registerDescriptor(ActionDescriptor descriptor);
    ZString* findZString(const void* zstring, const char* use);
    hostapi::ASZString makeZString(std::u16string text);

    void fault(const std::string& what);
    void trace(const std::string& line) const;
};

// The host whose callbacks the plug-in reaches: the latest constructed
// FilterHost that still lives.
FilterHost::State* activeHostState();
void setActiveHostState(FilterHost::State* state);

// The callback tables and suites of HostCallbacks.cpp.
void installCallbacks(FilterHost::State& state);
const void* suiteTable(const std::string& name, std::int32_t version);
hostapi::OSErr hostAdvanceState();

} // namespace host
