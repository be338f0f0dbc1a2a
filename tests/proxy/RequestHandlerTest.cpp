// The handlers of the server's requests, driven through the plug-in's real
// channels with the server's end played by the test and the host's by the
// host stand-in: what arrives in the server's buffers and on the wire.

#include "ProxyTestSupport.h"
#include "host/Document.h"
#include "host/FilterHost.h"
#include "image/HostImageBuffer.h"
#include "ipc/IPCMemoryBuffer.h"
#include "plugin/HostProbes.h"
#include "proxy/FilterGlobals.h"
#include "proxy/HostProbes.h"
#include "proxy/ProcessGlobals.h"
#include "proxy/RequestDoor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

constexpr std::int32_t refused = proxy::requestRefused;

WireRect wire(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return WireRect{left, right, top, bottom};
}

template <std::size_t N> void nameInto(char (&field)[N], const std::string& name) {
    std::memset(field, 0, N);
    std::memcpy(field, name.data(), std::min(name.size(), N));
}

// A host holding a document, its record bound to the plug-in's statics, and
// a state whose channels the test plays from the server's end.
class Requests : public ::testing::Test {
protected:
    void open(host::Document document, host::HostOptions options = {}) {
        close();
        host_ = std::make_unique<host::FilterHost>(std::move(document), options);
        bound_ = std::make_unique<BoundHost>(*host_);
        globals_ = std::make_unique<FilterGlobals>();
        server_ = std::make_unique<ServerSide>(*globals_);
    }

    void TearDown() override { close(); }

    void close() {
        buffers_.clear();
        server_.reset();
        globals_.reset();
        bound_.reset();
        host_.reset();
    }

    host::FilterHost& host() { return *host_; }
    FilterGlobals& globals() { return *globals_; }
    ServerSide& server() { return *server_; }

    // A buffer of the server's, `bytes` of payload filled with `fill`.
    ipc::IPCMemoryBuffer& serverBuffer(std::size_t bytes, std::uint8_t fill = 0xEE) {
        buffers_.push_back(std::make_unique<ipc::IPCMemoryBuffer>(
            ipc::create, uniqueName("hb"), "", static_cast<int>(bytes), ipc::UniqueSuffix::none));
        std::memset(buffers_.back()->data(), fill, bytes);
        return *buffers_.back();
    }
    void dropServerBuffers() { buffers_.clear(); }

    // The plug-in handles one request of the server; the answer it gives on
    // the server's response queue.
    template <typename R> Cell exchange(const R& request) {
        EXPECT_TRUE(server_->request(request));
        EXPECT_TRUE(globals_->pollRequest());
        Cell answer{};
        EXPECT_TRUE(server_->takeAnswer(answer, 2000));
        return answer;
    }
    // A request whose answer travels on the plug-in's own channel (20).
    template <typename R> Cell exchangeByMessage(const R& request) {
        EXPECT_TRUE(server_->request(request));
        EXPECT_TRUE(globals_->pollRequest());
        Cell answer{};
        EXPECT_TRUE(server_->takeRequest(answer, 2000));
        return answer;
    }

private:
    std::unique_ptr<host::FilterHost> host_;
    std::unique_ptr<BoundHost> bound_;
    std::unique_ptr<FilterGlobals> globals_;
    std::unique_ptr<ServerSide> server_;
    std::vector<std::unique_ptr<ipc::IPCMemoryBuffer>> buffers_;
};

msgReadInputRequest readRequest(const WireRect& rect, const ipc::IPCMemoryBuffer& buffer,
                                int bytesPerSample, int channels, bool alpha) {
    auto read = msg::emptyRecord<msgReadInputRequest>(msg::readInput);
    read.rect = rect;
    read.step = 1;
    read.minRowBytes = 0;
    read.bytesPerSample = bytesPerSample;
    read.colorModel = 0;
    read.colorChannels = static_cast<std::uint8_t>(channels);
    read.hasAlpha = alpha ? 1 : 0;
    nameInto(read.bufferName, buffer.name());
    return read;
}

std::uint32_t sampleAt(const unsigned char* row, int index, int bytesPerSample) {
    if (bytesPerSample == 1) {
        return row[index];
    }
    std::uint16_t value = 0;
    std::memcpy(&value, row + index * 2, 2);
    return value;
}

TEST_F(Requests, ReadInputCopiesTheRectangleInTheServersLayoutAndAsksTheHostForAllPlanes) {
    for (const int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        open(patternedDocument(20, 10, depth, true));
        const int bps = depth / 8;
        const int rowBytes = 7 * 4 * bps + 6; // padded rows
        ipc::IPCMemoryBuffer& buffer = serverBuffer(rowBytes * 3);
        auto read = readRequest(wire(3, 2, 10, 5), buffer, bps, 3, true);
        read.minRowBytes = rowBytes;
        const Cell answer = exchange(read);
        EXPECT_EQ(answer.selector(), msg::readInputResponse);
        EXPECT_EQ(answer.as<msgReadInputResponse>().result, 0);

        for (int y = 0; y < 3; ++y) {
            const unsigned char* row = buffer.data() + y * rowBytes;
            for (int x = 0; x < 7; ++x) {
                for (int p = 0; p < 4; ++p) {
                    ASSERT_EQ(sampleAt(row, x * 4 + p, bps),
                              host().document().sample(3 + x, 2 + y, p));
                }
            }
            // The row's padding is the server's own.
            EXPECT_EQ(row[rowBytes - 1], 0xEE);
        }
        const host::AdvanceStateCall& delivery = host().records().advanceStates.front();
        EXPECT_EQ(delivery.inLoPlane, 0);
        EXPECT_EQ(delivery.inHiPlane, 3);
        EXPECT_EQ(delivery.inputStep, 1);
        EXPECT_TRUE(host::sameRect(delivery.inRect, host::rectLTRB(3, 2, 10, 5)));
        // The second advance lets the host release its buffer.
        EXPECT_TRUE(host::isEmpty(host().records().advanceStates.back().inRect));
    }
}

TEST_F(Requests, ReadInputDeliversEightBitSamplesFromASixteenBitDocumentOnRequest) {
    host::Document document = host::Document::rgb(4, 1, 16);
    const std::uint32_t values[] = {0, 64, 127, 128, 16384, 32767, 32768, 255};
    for (int i = 0; i < 12; ++i) {
        document.setSample(i / 3, 0, i % 3, values[i % 8]);
    }
    open(document);
    ipc::IPCMemoryBuffer& buffer = serverBuffer(12);
    auto read = readRequest(wire(0, 0, 4, 1), buffer, 1, 3, false);
    read.deliver8Bit = 1;
    ASSERT_EQ(exchange(read).as<msgReadInputResponse>().result, 0);
    const std::uint8_t expected[] = {0, 0, 1, 1, 128, 255, 255, 2};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(buffer.data()[i], expected[i % 8]) << values[i % 8];
    }
}

// The host delivers less than was asked for, as a host clipping to its own
// tiles does: only the overlap is copied.
struct ClippingHost {
    static inline std::vector<std::uint8_t> pixels;
    static hostapi::OSErr advance() {
        image::HostImageBuffer host(*gFilterRecord);
        const image::PixelRect asked = host.inputRect();
        if (asked.isEmpty()) {
            return 0;
        }
        const image::PixelRect given(asked.left + 1, asked.top, asked.right, asked.bottom - 1);
        host.setInputRect(given);
        gFilterRecord->inRowBytes = static_cast<std::int32_t>(given.width() * 3);
        pixels.assign(static_cast<std::size_t>(given.width() * given.height() * 3), 0x5A);
        gFilterRecord->inData = pixels.data();
        return 0;
    }
};

TEST_F(Requests, ReadInputCopiesOnlyWhatTheHostDeliversOfTheRectangle) {
    open(host::Document::rgb(8, 8));
    host().record().advanceState = &ClippingHost::advance;
    ipc::IPCMemoryBuffer& buffer = serverBuffer(4 * 3 * 3);
    ASSERT_EQ(exchange(readRequest(wire(2, 2, 6, 5), buffer, 1, 3, false))
                  .as<msgReadInputResponse>()
                  .result,
              0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool delivered = x >= 1 && y < 2;
            EXPECT_EQ(buffer.data()[(y * 4 + x) * 3], delivered ? 0x5A : 0xEE) << x << ',' << y;
        }
    }
}

TEST_F(Requests, ReadInputReportsTheHostsOwnCodeWhenItCannotDeliver) {
    host::HostOptions options;
    options.requestBudget = 16;
    open(host::Document::rgb(64, 64), options);
    ipc::IPCMemoryBuffer& buffer = serverBuffer(64 * 64 * 3);
    EXPECT_EQ(exchange(readRequest(wire(0, 0, 64, 64), buffer, 1, 3, false))
                  .as<msgReadInputResponse>()
                  .result,
              hostapi::memFullErr);
    EXPECT_EQ(buffer.data()[0], 0xEE);
}

TEST_F(Requests, ABufferNameIsKeptMappedUntilTheServerAsksForItToBeOpenedAgain) {
    open(host::Document::rgb(4, 4));
    ipc::IPCMemoryBuffer& buffer = serverBuffer(4 * 4 * 3);
    auto read = readRequest(wire(0, 0, 4, 4), buffer, 1, 3, false);
    ASSERT_EQ(exchange(read).as<msgReadInputResponse>().result, 0);
    // The server lets go of its buffer: only the plug-in's mapping keeps it.
    dropServerBuffers();
    EXPECT_EQ(exchange(read).as<msgReadInputResponse>().result, 0);
    // Opening the name again releases that last mapping first.
    read.reopen = 1;
    EXPECT_EQ(exchange(read).as<msgReadInputResponse>().result, refused);
}

TEST_F(Requests, AnImageThatWouldReachOutsideItsBufferIsRefusedBeforeTheHostIsAsked) {
    open(host::Document::rgb(64, 64, 16));
    // Claims far more than it maps.
    ipc::IPCMemoryBuffer& buffer = serverBuffer(100);
    const std::int64_t claimed = std::int64_t{1} << 30;
    std::memcpy(buffer.data() - ipc::IPCMemoryBuffer::headerSize, &claimed, sizeof claimed);

    struct Case {
        const char* what;
        WireRect rect;
        std::int32_t minRowBytes;
        std::int32_t bytesPerSample;
        std::uint8_t channels;
    };
    const Case cases[] = {
        {"rectangle past the buffer", wire(0, 0, 64, 64), 0, 2, 3},
        {"row length past the buffer", wire(0, 0, 2, 2), 1 << 20, 2, 3},
        {"rows longer than a record holds", wire(0, 0, 1, 2), 0x7FFFFFF0, 2, 3},
        {"coordinates at the ends of 32 bits", wire(INT32_MIN, 0, INT32_MAX, 1), 0, 2, 3},
        {"unknown sample size", wire(0, 0, 2, 2), 0, 3, 3},
        {"negative sample size", wire(0, 0, 2, 2), 0, -2, 3},
        {"no channels at all", wire(0, 0, 2, 2), 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto read = readRequest(c.rect, buffer, c.bytesPerSample, c.channels, false);
        read.minRowBytes = c.minRowBytes;
        EXPECT_EQ(exchange(read).as<msgReadInputResponse>().result, refused);
    }
    EXPECT_TRUE(host().records().advanceStates.empty());
    EXPECT_EQ(buffer.data()[99], 0xEE);
}

// A rectangle without rows or without columns fits any buffer. Its other
// edges may lie as far apart as 32 bits allow: reading and writing wrapped the
// host's view at that width and threw, converting walked every row.
TEST_F(Requests, ARectangleWithoutPixelsIsAnsweredHoweverFarApartItsOtherEdges) {
    open(host::Document::rgb(8, 8));
    // Rectangles reach the host whole, as they do once the entry point opted in.
    plugin::optInToBigDocuments(&host().record());
    ipc::IPCMemoryBuffer& buffer = serverBuffer(64);
    struct Case {
        const char* what;
        WireRect rect;
    };
    const Case cases[] = {
        {"no rows, columns for a 6 GB host row", wire(4, 4, 0x5D00000C, -100)},
        {"no columns, every row", wire(3, INT32_MIN, 3, INT32_MAX)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // One sample a pixel on the server's side, four on the host's.
        EXPECT_EQ(
            exchange(readRequest(c.rect, buffer, 1, 1, false)).as<msgReadInputResponse>().result,
            0);
        auto write = msg::emptyRecord<msgWriteOutputRequest>(msg::writeOutput);
        write.rect = c.rect;
        write.bytesPerSample = 1;
        write.colorChannels = 1;
        nameInto(write.bufferName, buffer.name());
        EXPECT_EQ(exchangeByMessage(write).as<msgWriteOutputResponse>().result, 0);
        auto convert = msg::emptyRecord<msgConvertImageRequest>(msg::convertImage);
        convert.rect = c.rect;
        convert.bytesPerSample = 1;
        convert.sourceModel = image::colorModelGray;
        convert.sourceChannels = 1;
        convert.targetModel = image::colorModelRGB;
        convert.targetChannels = 3;
        nameInto(convert.bufferName, buffer.name());
        EXPECT_EQ(exchange(convert).as<msgConvertImageResponse>().result, 0);
    }
    EXPECT_EQ(buffer.data()[0], 0xEE);
    EXPECT_EQ(host().document().sample(4, 4, 0), host().sourceDocument().sample(4, 4, 0));
}

TEST_F(Requests, ANameRunsToItsNulOrToTheEndOfItsField) {
    open(host::Document::rgb(2, 1));
    // A name that fills the 32 bytes of a write request's field exactly.
    const std::string fullName(32, 'w');
    ipc::IPCMemoryBuffer fieldBuffer(ipc::create, fullName, "", 6, ipc::UniqueSuffix::none);
    auto write = msg::emptyRecord<msgWriteOutputRequest>(msg::writeOutput);
    write.rect = wire(0, 0, 2, 1);
    write.bytesPerSample = 1;
    write.colorChannels = 3;
    nameInto(write.bufferName, fullName);
    write.reopen = 1; // the byte right behind the field
    EXPECT_EQ(exchangeByMessage(write).as<msgWriteOutputResponse>().result, 0);

    // A name without any NUL up to the end of the queue cell names nothing.
    Cell cell{};
    auto read = readRequest(wire(0, 0, 2, 1), fieldBuffer, 1, 3, false);
    std::memcpy(cell.bytes, &read, sizeof read);
    std::memset(cell.bytes + msg::readInputNameOffset, 'r',
                msg::cellSize - msg::readInputNameOffset);
    ASSERT_TRUE(server().requestBytes(cell.bytes, sizeof cell.bytes));
    ASSERT_TRUE(globals().pollRequest());
    Cell answer{};
    ASSERT_TRUE(server().takeAnswer(answer, 2000));
    EXPECT_EQ(answer.as<msgReadInputResponse>().result, refused);
}

msgReadMaskRequest maskRequest(const WireRect& rect, const ipc::IPCMemoryBuffer& buffer,
                               int bytesPerSample) {
    auto read = msg::emptyRecord<msgReadMaskRequest>(msg::readMask);
    read.rect = rect;
    read.bytesPerSample = bytesPerSample;
    read.channels = 1;
    nameInto(read.bufferName, buffer.name());
    return read;
}

TEST_F(Requests, ReadMaskSendsTheSelectionAtTheAskedDepthWithinTheMasksBounds) {
    struct Case {
        int depth;
        int bytesPerSample;
        std::uint32_t selected; // what a selected sample becomes
    };
    for (const Case c : {Case{8, 1, 255}, Case{16, 1, 255}, Case{16, 2, 32768}}) {
        SCOPED_TRACE(c.depth * 10 + c.bytesPerSample);
        host::Document document = host::Document::rgb(10, 10, c.depth);
        document.selectRect(host::rectLTRB(2, 3, 6, 8)); // the mask is cropped to this
        open(document);
        ASSERT_EQ(image::HostImageBuffer(host().record())
                      .acquireSelectionMask(globals().selectionMask, globals().maskFullySelected,
                                            globals().maskFromTransparency),
                  0);
        ipc::IPCMemoryBuffer& buffer = serverBuffer(10 * 10 * 2);
        const Cell answer = exchange(maskRequest(wire(0, 0, 10, 10), buffer, c.bytesPerSample));
        EXPECT_EQ(answer.as<msgReadMaskResponse>().result, 0);
        EXPECT_EQ(answer.as<msgReadMaskResponse>().copied, 1);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
                ASSERT_EQ(sampleAt(buffer.data() + y * 10 * c.bytesPerSample, x, c.bytesPerSample),
                          inside ? c.selected : (c.bytesPerSample == 1 ? 0xEEU : 0xEEEEU))
                    << x << ',' << y;
            }
        }
    }
}

TEST_F(Requests, ReadMaskSendsNothingWhenDeclinedOrWhenEverythingIsSelected) {
    host::Document document = host::Document::rgb(6, 6);
    document.selectRect(host::rectLTRB(1, 1, 3, 3));
    open(document);
    ipc::IPCMemoryBuffer& buffer = serverBuffer(36);
    auto read = maskRequest(wire(0, 0, 6, 6), buffer, 1);
    // No mask: the whole image is selected.
    Cell answer = exchange(read);
    EXPECT_EQ(answer.as<msgReadMaskResponse>().copied, 0);
    EXPECT_EQ(answer.as<msgReadMaskResponse>().result, 0);

    image::HostImageBuffer(host().record())
        .acquireSelectionMask(globals().selectionMask, globals().maskFullySelected,
                              globals().maskFromTransparency);
    ASSERT_TRUE(globals().selectionMask);
    read.declined = 1;
    answer = exchange(read);
    EXPECT_EQ(answer.as<msgReadMaskResponse>().copied, 0);
    EXPECT_TRUE(std::all_of(buffer.data(), buffer.data() + 36, [](auto b) { return b == 0xEE; }));
}

msgWriteOutputRequest writeRequest(const WireRect& rect, const ipc::IPCMemoryBuffer& buffer,
                                   int bytesPerSample, int channels, bool alpha) {
    auto write = msg::emptyRecord<msgWriteOutputRequest>(msg::writeOutput);
    write.rect = rect;
    write.bytesPerSample = bytesPerSample;
    write.colorChannels = channels;
    write.hasAlpha = alpha ? 1 : 0;
    nameInto(write.bufferName, buffer.name());
    return write;
}

TEST_F(Requests, WriteOutputReplacesThePixelsAndAnswersOnThePluginsOwnChannel) {
    open(patternedDocument(6, 4, 16, true));
    ipc::IPCMemoryBuffer& buffer = serverBuffer(3 * 2 * 4 * 2);
    const auto* samples = reinterpret_cast<std::uint16_t*>(buffer.data());
    for (int i = 0; i < 24; ++i) {
        reinterpret_cast<std::uint16_t*>(buffer.data())[i] = static_cast<std::uint16_t>(i * 1000);
    }
    const Cell answer = exchangeByMessage(writeRequest(wire(1, 1, 4, 3), buffer, 2, 3, true));
    EXPECT_EQ(answer.selector(), msg::writeOutputResponse);
    EXPECT_EQ(answer.as<msgWriteOutputResponse>().result, 0);
    for (int y = 1; y < 3; ++y) {
        for (int x = 1; x < 4; ++x) {
            for (int p = 0; p < 4; ++p) {
                EXPECT_EQ(host().document().sample(x, y, p),
                          samples[((y - 1) * 3 + (x - 1)) * 4 + p]);
            }
        }
    }
    EXPECT_EQ(host().document().sample(0, 0, 0), host().sourceDocument().sample(0, 0, 0));
}

TEST_F(Requests, WriteOutputWithoutAlphaKeepsTheLayersTransparency) {
    host::Document document = patternedDocument(4, 2, 8, true);
    open(document);
    ipc::IPCMemoryBuffer& buffer = serverBuffer(4 * 2 * 3, 0x11);
    EXPECT_EQ(exchangeByMessage(writeRequest(wire(0, 0, 4, 2), buffer, 1, 3, false))
                  .as<msgWriteOutputResponse>()
                  .result,
              0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(host().document().sample(x, y, 0), 0x11U);
            EXPECT_EQ(host().document().sample(x, y, 2), 0x11U);
            EXPECT_EQ(host().document().sample(x, y, 3), document.sample(x, y, 3));
        }
    }
}

TEST_F(Requests, WriteOutputWithAnotherChannelCountWritesNothingButStillAnswers) {
    open(patternedDocument(4, 2, 8, true));
    ipc::IPCMemoryBuffer& buffer = serverBuffer(4 * 2 * 2, 0x11);
    EXPECT_EQ(exchangeByMessage(writeRequest(wire(0, 0, 4, 2), buffer, 1, 2, false))
                  .as<msgWriteOutputResponse>()
                  .result,
              0);
    EXPECT_EQ(host().document().sample(0, 0, 0), host().sourceDocument().sample(0, 0, 0));
}

TEST_F(Requests, DisplayDrawsThroughTheHostIntoTheResultOrBackInPlace) {
    open(host::Document::rgb(16, 16));
    // Width 5: the host draws into rows of 16 bytes, 15 of pixels.
    const int width = 5;
    const int height = 2;
    const int colBytes = 4; // RGB and alpha
    ipc::IPCMemoryBuffer& source = serverBuffer(width * height * colBytes);
    for (int i = 0; i < width * height; ++i) {
        unsigned char* pixel = source.data() + i * colBytes;
        pixel[0] = static_cast<std::uint8_t>(10 + i);
        pixel[1] = static_cast<std::uint8_t>(100 + i);
        pixel[2] = static_cast<std::uint8_t>(200 + i);
        pixel[3] = static_cast<std::uint8_t>(i * 20);
    }
    ipc::IPCMemoryBuffer& result = serverBuffer(width * height * 4);

    auto display = msg::emptyRecord<msgDisplayRequest>(msg::display);
    display.rect = wire(3, 4, 3 + width, 4 + height);
    display.rowBytes = width * colBytes;
    display.bytesPerSample = 1;
    display.resultBytesPerPixel = 4;
    display.colBytes = colBytes;
    display.colorModel = 0;
    display.colorChannels = 3;
    display.hasAlpha = 1;
    nameInto(display.sourceName, source.name());
    nameInto(display.resultName, result.name());
    EXPECT_EQ(exchange(display).as<msgDisplayResponse>().result, 0);
    ASSERT_EQ(host().records().displayPixels.size(), 1U);
    EXPECT_EQ(host().records().displayPixels[0].imageMode, hostapi::modeRGBColor);
    for (int i = 0; i < width * height; ++i) {
        const unsigned char* bgra = result.data() + i * 4;
        EXPECT_EQ(bgra[0], 200 + i);
        EXPECT_EQ(bgra[1], 100 + i);
        EXPECT_EQ(bgra[2], 10 + i);
        EXPECT_EQ(bgra[3], i * 20);
    }

    // In place: RGB in rows of width x 4 bytes (already a multiple of 4).
    display.inPlace = 1;
    display.hasAlpha = 0;
    EXPECT_EQ(exchange(display).as<msgDisplayResponse>().result, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* rgb = source.data() + y * width * 4 + x * 3;
            const int i = y * width + x;
            EXPECT_EQ(rgb[0], 10 + i);
            EXPECT_EQ(rgb[2], 200 + i);
        }
    }
    // A preview that would run past its source buffer (and past the page
    // that the system maps for it) is refused.
    display.rect = wire(0, 0, width, 4096);
    EXPECT_EQ(exchange(display).as<msgDisplayResponse>().result, refused);
}

TEST_F(Requests, ProgressMovesTheHostsBarWithinTheScriptedRangeAndPollsForAnAbort) {
    open(host::Document::rgb(2, 2));
    gProgressStart = 0.25;
    gProgressEnd = 0.75;
    auto progress = msg::emptyRecord<msgProgress>(msg::progress);
    progress.done = 1;
    progress.total = 2;
    ASSERT_TRUE(server().request(progress));
    progress.done = 0;
    progress.total = 0; // no total: nothing to show
    ASSERT_TRUE(server().request(progress));
    EXPECT_TRUE(globals().pollRequest());
    EXPECT_TRUE(globals().pollRequest());
    gProgressStart = 0.0;
    gProgressEnd = 1.0;
    progress.done = 7;
    progress.total = 7;
    ASSERT_TRUE(server().request(progress));
    EXPECT_TRUE(globals().pollRequest());
    ASSERT_EQ(host().records().progress.size(), 2U);
    EXPECT_EQ(host().records().progress[0].done, 5000);
    EXPECT_EQ(host().records().progress[1].done, 10000);
    EXPECT_EQ(host().records().progress[1].total, 10000);

    // A negative count asks whether the user aborted; the server hears it.
    progress.done = -1;
    ASSERT_TRUE(server().request(progress));
    EXPECT_TRUE(globals().pollRequest());
    host().abortAfter(1);
    ASSERT_TRUE(server().request(progress));
    EXPECT_TRUE(globals().pollRequest());
    Cell abort{};
    ASSERT_TRUE(server().takeRequest(abort, 2000));
    EXPECT_EQ(abort.selector(), msg::progress);
    EXPECT_EQ(abort.as<msgAbort>().code, 1000);
    EXPECT_FALSE(server().takeRequest(abort, 0));
}

TEST_F(Requests, TheEndOfAnExchangeStopsTheLoopWithTheServersOutcome) {
    open(host::Document::rgb(2, 2));
    struct Case {
        std::int32_t selector;
        std::int32_t code;
        std::int32_t result;
        std::int32_t acknowledgement; // -1: none
    };
    const Case cases[] = {
        {msg::finish, 0, 0, msg::finishAcknowledged},
        {msg::cancel, 0, 1, msg::endConnection},
        // Mapped as a host's result code is.
        {msg::endWithError, -12100, -108, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector * 100000 + c.code);
        globals().running = true;
        serverResult = 12345;
        auto end = msg::emptyRecord<msgEndWithError>(c.selector);
        end.code = c.code;
        ASSERT_TRUE(server().request(end));
        EXPECT_TRUE(globals().pollRequest());
        EXPECT_FALSE(globals().running);
        EXPECT_EQ(serverResult, c.result);
        Cell sent{};
        EXPECT_EQ(server().takeRequest(sent, c.acknowledgement < 0 ? 0 : 2000),
                  c.acknowledgement >= 0);
        if (c.acknowledgement >= 0) {
            EXPECT_EQ(sent.selector(), c.acknowledgement);
        }
    }
}

msgConvertColorRequest convertRequest(std::int8_t from, std::int8_t to,
                                      std::vector<std::uint16_t> components) {
    auto convert = msg::emptyRecord<msgConvertColorRequest>(msg::convertColor);
    convert.space = from;
    convert.targetSpace = to;
    std::copy(components.begin(), components.end(), convert.components);
    return convert;
}

TEST_F(Requests, ConvertColorUsesTheHostWhereItCanAndTheBuiltInRulesElsewhere) {
    open(host::Document::rgb(2, 2));
    // The table of what the host converts is probed once per process: in
    // this one, by a host that converts nothing.
    host().setAllColorConversionsSupported(false);
    proxy::probeColorServices(&host().record());
    host().clearRecords();
    struct Case {
        std::int8_t from;
        std::int8_t to;
        std::vector<std::uint16_t> in;
        std::vector<std::uint16_t> out;
    };
    const std::vector<Case> builtIn = {
        {0, 4, {10, 20, 30, 7}, {20, 20, 30, 7}},
        {0, 2, {255, 0, 0, 0}, {255, 0, 0, 255}},
        {2, 0, {255, 255, 255, 128}, {128, 128, 128, 128}},
        {2, 4, {1, 2, 3, 99}, {99, 2, 3, 99}},
        {4, 2, {77, 1, 1, 1}, {0, 0, 0, 77}},
        {4, 0, {77, 1, 1, 1}, {77, 77, 77, 1}},
        {0, 0, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {3, 0, {1, 2, 3, 4}, {1, 2, 3, 4}},       // no rule for Lab
        {7, 4, {10, 20, 30, 0}, {20, 20, 30, 0}}, // 7 is read as RGB
    };
    for (const Case& c : builtIn) {
        SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to));
        const auto reply =
            exchange(convertRequest(c.from, c.to, c.in)).as<msgConvertColorResponse>();
        EXPECT_EQ(std::vector<std::uint16_t>(reply.components, reply.components + 4), c.out);
        EXPECT_EQ(reply.targetSpace, c.to == 7 ? 0 : c.to);
        EXPECT_EQ(reply.result, 0);
    }
    EXPECT_TRUE(host().records().colorServices.empty());
}

TEST_F(Requests, PickColorHandsBackTheUsersColourInRgbCmykOrGray) {
    open(host::Document::rgb(2, 2));
    host().scriptPicker({0, hostapi::colorSpaceLab, {136, 208, 195, 0}});
    host().scriptPicker({0, hostapi::colorSpaceCMYK, {1, 2, 3, 4}});
    host().scriptPicker({hostapi::userCanceledErr, 0, {}});
    auto pick = msg::emptyRecord<msgPickColorRequest>(msg::pickColor);
    pick.space = 9; // read as RGB

    auto reply = exchange(pick).as<msgPickColorResponse>();
    EXPECT_EQ(reply.failed, 0);
    EXPECT_EQ(reply.space, 0);
    // The host's Lab for pure red, converted back by the host.
    EXPECT_NEAR(reply.components[0], 255, 3);
    EXPECT_NEAR(reply.components[1], 0, 3);
    EXPECT_EQ(host().records().colorServices[0].sourceSpace, 0);
    EXPECT_EQ(host().records().colorServices[0].resultSpace, -1);

    reply = exchange(pick).as<msgPickColorResponse>();
    EXPECT_EQ(reply.space, 2);
    EXPECT_EQ(reply.components[3], 4);

    EXPECT_EQ(exchange(pick).as<msgPickColorResponse>().failed, 1);
}

TEST_F(Requests, ConvertImageTurnsRgbIntoGrayThroughTheHostInTheSameBuffer) {
    open(host::Document::rgb(2, 2));
    const int width = 3;
    ipc::IPCMemoryBuffer& buffer = serverBuffer(2 * width * 4);
    const std::uint8_t rgba[] = {255, 255, 255, 9, 0, 0, 0,   9, 255, 0,   0,   9,
                                 0,   255, 0,   9, 0, 0, 255, 9, 128, 128, 128, 9};
    std::memcpy(buffer.data(), rgba, sizeof rgba);
    auto convert = msg::emptyRecord<msgConvertImageRequest>(msg::convertImage);
    convert.rect = wire(0, 0, width, 2);
    convert.bytesPerSample = 1;
    convert.sourceModel = 0;
    convert.sourceChannels = 3;
    convert.sourceHasAlpha = 1;
    convert.targetModel = 4;
    convert.targetChannels = 1;
    nameInto(convert.bufferName, buffer.name());
    EXPECT_EQ(exchange(convert).as<msgConvertImageResponse>().result, 0);
    ASSERT_EQ(host().records().convert8.size(), 2U);
    EXPECT_EQ(host().records().convert8[0].count, width);
    // Rows of one byte a pixel, padded to four bytes; Rec. 601 luma.
    const std::uint8_t gray[] = {255, 0, 76, 0, 150, 29, 128, 0};
    for (int i = 0; i < 8; ++i) {
        if (i % 4 != 3) {
            EXPECT_NEAR(buffer.data()[i], gray[i], 1) << i;
        }
    }
}

} // namespace
