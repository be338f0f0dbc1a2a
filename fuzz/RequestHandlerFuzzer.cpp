// The handlers of the server's requests against any queue cells and any
// named buffers. Each input builds a small document in the host stand-in,
// one or two buffers as the server creates them, and a run of whole 768-byte
// cells that go to FilterGlobals::handleRequest as the request loop hands
// them over. No handler may read or write outside a mapping or a host
// buffer: AddressSanitizer watches the heap, and the slack between the end
// of a mapped file and the end of its last page is poisoned as it is mapped,
// so that a handler reaching past a buffer's payload is caught there too.
// Each request must also leave exactly the answers its selector owes.
//
// Input, little-endian:
//   0  document: bit 0 16-bit, bit 1 transparency, bit 2 selection, bit 3
//      locked transparency, bit 4 a layer smaller than the canvas, bits 5-7
//      colour mode (RGB, Gray, CMYK, Lab, Duotone, Multichannel)
//   1  width - 1 (mod 32), 2 height - 1 (mod 32)
//   3  rectangle of the selection or layer: left in the low nibble, top in
//      the high one
//   4  host: bit 0 no big-document record, bit 1 no displayPixels, bit 2 no
//      colour-space suite, bit 3 a delivery budget of 64 bytes, bit 4 the
//      user aborts, bit 5 no progressProc, bits 6-7 row padding 0, 1, 3, 12
//   5  channels of a multichannel document - 1 (mod 8)
//   6  payload bytes of buffer A (uint32, mod maxBufferBytes + 1)
//  10  payload bytes of buffer B (uint16)
//  12  bytes that follow and fill buffer A from its start (uint16)
//  14  that many bytes, then cells until the input ends:
//      0  selector: 0-10 the handled requests in registration order, 11-15
//         selectors nobody handles
//      1  name fields: low 2 bits the first, next 2 bits the second (the
//         display's result): 0 raw, 1 buffer A, 2 buffer B, 3 a name that no
//         buffer has
//      2  count n of the cell's bytes from offset 4 on (uint16, mod 765)
//      4  n bytes; the rest of the cell is zero

#include "host/Document.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "image/HostImageBuffer.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "plugin/EntryPoint.h"
#include "plugin/HostProbes.h"
#include "proxy/FilterGlobals.h"
#include "proxy/Messages.h"
#include "proxy/ProcessGlobals.h"

#include <boost/shared_ptr.hpp>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

// The target links with --wrap=mmap,--wrap=munmap: every mapping of this
// process comes through these two.

extern "C" void* __real_mmap(void* address, std::size_t length, int protection, int flags, int fd,
                             off_t offset);
extern "C" int __real_munmap(void* address, std::size_t length);

namespace {

std::uintptr_t pageEnd(std::uintptr_t address) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    return (address + page - 1) / page * page;
}

} // namespace

extern "C" void* __wrap_mmap(void* address, std::size_t length, int protection, int flags, int fd,
                             off_t offset) {
    void* mapping = __real_mmap(address, length, protection, flags, fd, offset);
    // A named object is a file mapped whole: past its last byte the page
    // still reads, as zeros, and takes writes that nobody sees.
    if (mapping != MAP_FAILED && fd >= 0 && (flags & MAP_SHARED) != 0) {
        char* end = static_cast<char*>(mapping) + length;
        const auto at = reinterpret_cast<std::uintptr_t>(end);
        ASAN_POISON_MEMORY_REGION(end, pageEnd(at) - at);
    }
    return mapping;
}

extern "C" int __wrap_munmap(void* address, std::size_t length) {
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    ASAN_UNPOISON_MEMORY_REGION(address, pageEnd(begin + length) - begin);
    return __real_munmap(address, length);
}

namespace {

constexpr std::size_t maxBufferBytes = std::size_t{1} << 17;
constexpr std::size_t headerBytes = 14;
constexpr std::size_t cellHeaderBytes = 4;

// Selectors 0-10 of a cell, in the order their handlers are registered.
constexpr std::int32_t handledSelectors[] = {
    msg::finish,       msg::cancel,      msg::endWithError, msg::readInput,
    msg::readMask,     msg::writeOutput, msg::pickColor,    msg::convertColor,
    msg::convertImage, msg::display,     msg::progress,
};
// 11-15: records of the protocol that the plug-in does not take, and worse.
constexpr std::int32_t unhandledSelectors[] = {msg::ping, msg::readInputResponse, 26, -1,
                                               0x7FFFFFFF};

// Name fields of a fixed size, at the offsets the records' layout checks fix.
constexpr std::size_t writeOutputNameOffset = 41;
constexpr std::size_t displaySourceNameOffset = 39;

struct NameField {
    std::size_t offset;
    std::size_t bytes; // to the end of the cell when 0
};

// Where each request names its buffers; the display names two.
std::vector<NameField> nameFields(std::int32_t selector) {
    switch (selector) {
    case msg::readInput:
        return {{msg::readInputNameOffset, 0}};
    case msg::readMask:
        return {{msg::readMaskNameOffset, 0}};
    case msg::writeOutput:
        return {{writeOutputNameOffset, msg::nameSize}};
    case msg::convertImage:
        return {{msg::convertImageNameOffset, 0}};
    case msg::display:
        return {{displaySourceNameOffset, msg::nameSize}, {msg::displayResultNameOffset, 0}};
    default:
        return {};
    }
}

// What a request leaves behind: answers on the server channel's response
// queue, records on the plug-in channel's request queue.
struct Answers {
    int responses = 0;
    int messages = 0;
    std::int32_t firstSelector = -1;
};

bool owedAnswers(std::int32_t selector, const Answers& left) {
    const auto one = [&](int responses, int messages, std::int32_t answer) {
        return left.responses == responses && left.messages == messages &&
               left.firstSelector == answer;
    };
    switch (selector) {
    case msg::finish:
        return one(0, 1, msg::finishAcknowledged);
    case msg::cancel:
        return one(0, 1, msg::endConnection);
    case msg::endWithError:
        return one(0, 0, -1);
    case msg::readInput:
        return one(1, 0, msg::readInputResponse);
    case msg::readMask:
        return one(1, 0, msg::readMaskResponse);
    case msg::writeOutput:
        return one(0, 1, msg::writeOutputResponse);
    case msg::pickColor:
    case msg::convertColor:
        return one(1, 0, selector);
    case msg::convertImage:
        return one(1, 0, msg::convertImageResponse);
    case msg::display:
        return one(1, 0, msg::displayResponse);
    case msg::progress:
        // An abort the user asked for travels as a record of the same selector.
        return one(0, 0, -1) || one(0, 1, msg::progress);
    default:
        return false;
    }
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - at_; }
    std::uint8_t byte(std::size_t offset) const { return offset < size_ ? data_[offset] : 0; }
    std::uint32_t word(std::size_t offset, std::size_t bytes) const {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= std::uint32_t{byte(offset + i)} << (8 * i);
        }
        return value;
    }
    void skipTo(std::size_t offset) { at_ = std::min(offset, size_); }
    // Up to `count` bytes from the current position.
    const std::uint8_t* take(std::size_t count, std::size_t& taken) {
        taken = std::min(count, left());
        const std::uint8_t* bytes = data_ + at_;
        at_ += taken;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Both channels of a connection, made once: queues are named objects, and
// their mutexes stay mapped for the life of the process once made.
struct Channels {
    boost::shared_ptr<ipc::ProxyChannel> plugin;
    boost::shared_ptr<ipc::ProxyChannel> server;
};

std::string ownTag() {
    return "fz" + std::to_string(platform::currentProcessId());
}

const Channels& channels() {
    static const Channels made = [] {
        const std::string tag = ownTag();
        const std::uint32_t plugin = platform::currentProcessId();
        const std::uint32_t server = plugin + 1000000U;
        Channels both;
        both.plugin.reset(new ipc::ProxyChannel(ipc::create, tag, plugin));
        both.server.reset(new ipc::ProxyChannel(ipc::create, tag, server));
        return both;
    }();
    return made;
}

int drain(ipc::MessageQueue& queue, std::int32_t& firstSelector) {
    int count = 0;
    msg::Cell cell{};
    std::size_t size = 0;
    unsigned priority = 0;
    while (queue.timed_receive(cell.bytes, sizeof cell.bytes, size, priority, 0)) {
        if (count++ == 0 && firstSelector < 0) {
            firstSelector = cell.selector();
        }
    }
    return count;
}

Answers drainAnswers() {
    Answers answers;
    answers.responses = drain(channels().server->responseQueue(), answers.firstSelector);
    answers.messages = drain(channels().plugin->requestQueue(), answers.firstSelector);
    return answers;
}

host::ColorMode modeOf(std::uint8_t bits) {
    constexpr host::ColorMode modes[] = {host::ColorMode::RGB,     host::ColorMode::Gray,
                                         host::ColorMode::CMYK,    host::ColorMode::Lab,
                                         host::ColorMode::Duotone, host::ColorMode::Multichannel};
    return modes[bits % std::size(modes)];
}

host::Document documentOf(const Input& input) {
    const std::uint8_t flags = input.byte(0);
    const int width = input.byte(1) % 32 + 1;
    const int height = input.byte(2) % 32 + 1;
    host::Document document(modeOf(static_cast<std::uint8_t>(flags >> 5)),
                            (flags & 1) != 0 ? 16 : 8, width, height, input.byte(5) % 8 + 1);
    std::vector<std::uint32_t> pixel;
    pixel.reserve(static_cast<std::size_t>(document.planes()));
    for (int p = 0; p < document.planes(); ++p) {
        pixel.push_back((static_cast<std::uint32_t>(p) * 97U + 31U) % (document.maxValue() + 1));
    }
    document.fill(pixel);
    if ((flags & 2) != 0) {
        document.addTransparency(document.maxValue() / 2);
        document.setProtectedTransparency((flags & 8) != 0);
    }
    const std::uint8_t corner = input.byte(3);
    const hostapi::VRect part =
        host::rectLTRB((corner & 0x0F) % width, (corner >> 4) % height, width, height);
    if ((flags & 4) != 0) {
        document.selectRect(part);
    } else if ((flags & 16) != 0) {
        document.setFilterRect(part);
    }
    return document;
}

host::HostOptions hostOptionsOf(const Input& input) {
    constexpr std::int32_t paddings[] = {0, 1, 3, 12};
    const std::uint8_t bits = input.byte(4);
    host::HostOptions options;
    options.watchMessageBoxes = false;
    options.bigDocument = (bits & 1) == 0;
    options.displayPixels = (bits & 2) == 0;
    options.progressProc = (bits & 32) == 0;
    options.rowPadding = paddings[bits >> 6];
    if ((bits & 8) != 0) {
        options.requestBudget = 64;
    }
    return options;
}

void plantName(msg::Cell& cell, const NameField& field, const std::string& name) {
    const std::size_t room = field.bytes != 0 ? field.bytes : msg::cellSize - field.offset;
    const std::size_t length = std::min(name.size(), room);
    std::memcpy(cell.bytes + field.offset, name.data(), length);
    if (length < room) {
        cell.bytes[field.offset + length] = '\0';
    }
}

// The colour-services table lives for the process: it is probed once, with a
// host that refuses some pairs so that both the host's conversions and the
// built-in rules are reached.
void probeColourServicesOnce() {
    static const bool probed = [] {
        host::HostOptions options;
        options.watchMessageBoxes = false;
        host::FilterHost host(host::Document::rgb(1, 1), options);
        host.setColorConversionSupported(hostapi::colorSpaceRGB, hostapi::colorSpaceCMYK, false);
        host.setColorConversionSupported(hostapi::colorSpaceCMYK, hostapi::colorSpaceGray, false);
        host.setColorConversionSupported(hostapi::colorSpaceGray, hostapi::colorSpaceRGB, false);
        host.beginApplication();
        plugin::probeColorServices(&host.record());
        return true;
    }();
    static_cast<void>(probed);
}

// The input of the application under way, for the entry point's steps.
struct Run {
    Input* input = nullptr;
    const std::string* names = nullptr;
};
Run current;

FilterGlobals* connectedGlobals() {
    auto* globals = new FilterGlobals();
    globals->clientChannel = channels().plugin;
    globals->serverChannel = channels().server;
    return globals;
}

hostapi::int16 nothingToDo() {
    return 0;
}

// One handled cell after another, as the request loop hands them over.
void serveCells(Input& input, const std::string* names) {
    FilterGlobals& globals = *gFilterGlobals;
    while (input.left() >= cellHeaderBytes) {
        std::size_t got = 0;
        const std::uint8_t* head = input.take(cellHeaderBytes, got);
        const std::uint8_t choice = head[0] % 16;
        const bool handled = choice < std::size(handledSelectors);
        const std::int32_t selector =
            handled ? handledSelectors[choice]
                    : unhandledSelectors[choice - std::size(handledSelectors)];
        msg::Cell cell{};
        std::memcpy(cell.bytes, &selector, sizeof selector);
        const std::size_t count =
            (head[2] | std::size_t{head[3]} << 8) % (msg::cellSize - cellHeaderBytes + 1);
        const std::uint8_t* bytes = input.take(count, got);
        std::memcpy(cell.bytes + cellHeaderBytes, bytes, got);
        const std::vector<NameField> fields = nameFields(selector);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const unsigned which = (head[1] >> (2 * i)) & 3U;
            if (which != 0) {
                plantName(cell, fields[i], names[which - 1]);
            }
        }

        try {
            globals.handleRequest(reinterpret_cast<msgBase*>(cell.bytes));
        } catch (const std::bad_alloc&) {
            // Allocation failure ends the run, as it may.
            return;
        } catch (const std::exception&) {
            // Only a selector without a handler may throw: every request the
            // server can send is answered, refused or not.
            if (handled) {
                __builtin_trap();
            }
            drainAnswers();
            continue;
        }
        if (!handled || !owedAnswers(selector, drainAnswers())) {
            __builtin_trap();
        }
    }
}

// Start serves the cells once the selection mask is taken, as the run does
// before the server's requests arrive.
hostapi::int16 startServing() {
    image::HostImageBuffer(*gFilterRecord)
        .acquireSelectionMask(gFilterGlobals->selectionMask, gFilterGlobals->maskFullySelected,
                              gFilterGlobals->maskFromTransparency);
    serveCells(*current.input, current.names);
    drainAnswers();
    return 0;
}

const plugin::EntrySteps servingSteps{&connectedGlobals, &nothingToDo, &nothingToDo,
                                      &startServing,     &nothingToDo, &nothingToDo};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // Named objects of this process stay apart from every other run's.
    platform::setEnvironmentVariable("SOLVANTA_OBJECT_NAMESPACE", ownTag());
    channels();
    probeColourServicesOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    if (size < headerBytes) {
        return 0;
    }
    std::optional<host::Document> document;
    try {
        document.emplace(documentOf(input));
    } catch (const std::exception&) {
        return 0;
    }
    const std::uint8_t hostBits = input.byte(4);
    host::FilterHost host(std::move(*document), hostOptionsOf(input));
    if ((hostBits & 4) != 0) {
        host.setSuiteOffered(hostapi::ColorSpaceSuite::suiteName,
                             hostapi::ColorSpaceSuite::suiteVersion, false);
    }
    if ((hostBits & 16) != 0) {
        host.abortAfter(1);
    }

    // The server's buffers: A filled from the input, B with a pattern.
    const std::string tag = ownTag();
    const std::string names[] = {tag + "a", tag + "b", tag + "nobody"};
    const std::size_t sizes[] = {input.word(6, 4) % (maxBufferBytes + 1), input.word(10, 2)};
    std::unique_ptr<ipc::IPCMemoryBuffer> buffers[2];
    for (int i = 0; i < 2; ++i) {
        buffers[i] = std::make_unique<ipc::IPCMemoryBuffer>(
            ipc::create, names[i], "", static_cast<int>(sizes[i]), ipc::UniqueSuffix::none);
    }
    input.skipTo(headerBytes);
    std::size_t filled = 0;
    const std::uint8_t* content = input.take(input.word(12, 2), filled);
    std::memcpy(buffers[0]->data(), content, std::min(filled, sizes[0]));
    for (std::size_t i = 0; i < sizes[1]; ++i) {
        buffers[1]->data()[i] = static_cast<std::uint8_t>(i * 7);
    }

    current = Run{&input, names};
    host.beginApplication();
    hostapi::int16 result = 0;
    plugin::runEntryPoint(hostapi::filterSelectorStart, &host.record(), &result, servingSteps);
    plugin::deleteFilterGlobals();
    gFilterRecord = nullptr;
    current = Run{};
    return 0;
}
