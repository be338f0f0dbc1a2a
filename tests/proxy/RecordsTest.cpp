// The records that describe the host and the document, as the server finds
// them in its queue cell: every offset checked against a layout written out
// here byte by byte, independently of the record structures.

#include "ProxyTestSupport.h"
#include "host/FilterHost.h"
#include "image/HostImageBuffer.h"
#include "image/VTImageBuffer.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Process.h"
#include "proxy/Errors.h"
#include "proxy/FilterGlobals.h"
#include "proxy/HostProbes.h"
#include "proxy/MessageBuilders.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& bytes, std::size_t offset, std::int32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

void put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    std::memcpy(bytes.data() + offset, &value, 2);
}

// A rectangle as the server reads it: left, right, top, bottom.
void putRect(Bytes& bytes, std::size_t offset, std::int32_t left, std::int32_t top,
             std::int32_t right, std::int32_t bottom) {
    put32(bytes, offset, left);
    put32(bytes, offset + 4, right);
    put32(bytes, offset + 8, top);
    put32(bytes, offset + 12, bottom);
}

Bytes cellPrefix(const Cell& cell, std::size_t size) {
    return Bytes(cell.bytes, cell.bytes + static_cast<std::ptrdiff_t>(size));
}

// The first differing offset, for a readable failure.
std::string firstDifference(const Bytes& actual, const Bytes& expected) {
    for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            return "offset " + std::to_string(i) + ": " + std::to_string(actual[i]) +
                   " instead of " + std::to_string(expected[i]);
        }
    }
    return actual.size() == expected.size() ? "" : "sizes differ";
}

class Records : public ::testing::Test {
protected:
    void TearDown() override {
        gDescriptorHadKeys = false;
        gAutolayerRegistered = false;
    }
    Watchdog watchdog_{std::chrono::seconds(120)};
};

TEST_F(Records, HostSettingsCarryTheHostsPropertiesColoursAndTheRunsFlags) {
    struct Case {
        const char* what;
        std::intptr_t plip;
        std::intptr_t liss;
        bool descriptorHadKeys;
        bool autolayerRegistered;
        bool maskFromTransparency;
        bool maskFullySelected;
        // Expected bytes 8 and 12 to 16.
        std::uint8_t newLayerCapable;
        std::uint8_t lissByte;
        std::uint8_t plipByte;
    };
    const std::vector<Case> cases = {
        {"plain host", 0, 0, false, false, false, true, 1, 0, 0},
        {"playing an action", 1, 0, true, false, true, false, 0, 0, 1},
        {"playing the automatic pass", 1, 0, true, true, false, false, 0, 0, 0},
        {"smart object, any non-zero value", 0, -1, false, true, true, true, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::Document document = host::Document::rgb(16, 16);
        document.background = {10, 20, 30};
        document.foreground = {200, 100, 50};
        host::FilterHost host(document);
        // Present for every case: the capability cache of the process is
        // filled by whichever case asks first.
        host.setRegistryEntry(proxy::registryKeys::newLayer, host::ActionDescriptor());
        host.setProperty(hostapi::propPlayInProgress, c.plip);
        host.setProperty(hostapi::propLayerIsSmartObject, c.liss);
        BoundHost bound(host);
        // Only the high byte of each 16-bit component travels.
        host.record().foreground.green = 0x64FF;
        gDescriptorHadKeys = c.descriptorHadKeys;
        gAutolayerRegistered = c.autolayerRegistered;

        FilterGlobals globals;
        globals.maskFromTransparency = c.maskFromTransparency;
        globals.maskFullySelected = c.maskFullySelected;
        ServerSide side(globals);
        globals.sendHostSettings();
        Cell cell{};
        ASSERT_TRUE(side.takeRequest(cell));

        Bytes expected(36, 0);
        put32(expected, 0, 2);
        const std::uint8_t constants[] = {0, 1, 1, 0, c.newLayerCapable, 0, 0, 1};
        std::memcpy(expected.data() + 4, constants, sizeof constants);
        expected[12] = c.maskFromTransparency ? 1 : 0;
        expected[13] = c.maskFullySelected ? 1 : 0;
        expected[14] = c.descriptorHadKeys ? 1 : 0;
        expected[15] = c.lissByte;
        expected[16] = c.plipByte;
        expected[17] = 1;
        const std::uint16_t background[4] = {10, 20, 30, 255};
        const std::uint16_t foreground[4] = {200, 0x64, 50, 255};
        for (std::size_t i = 0; i < 4; ++i) {
            put16(expected, 18 + 2 * i, background[i]);
            put16(expected, 26 + 2 * i, foreground[i]);
        }
        const Bytes actual = cellPrefix(cell, 36);
        EXPECT_EQ(actual, expected) << firstDifference(actual, expected);
    }
}

// What a document description must hold, offset by offset.
struct ExpectedDocument {
    std::int32_t selector = 3;
    std::uint8_t bytesPerChannel = 1;
    bool hasSelectionMask = false;
    bool hasSelection = false;
    std::u16string name;
    bool nameCopied = true;
    std::int32_t first[4]{};  // left, top, right, bottom
    std::int32_t second[4]{}; // left, top, right, bottom
    std::int32_t effective[4]{};
    std::uint8_t colorModel = 0;
    std::uint8_t colorChannels = 3;
    bool hasAlpha = false;
    std::string profileName;

    Bytes bytes() const {
        Bytes out(608, 0);
        put32(out, 0, selector);
        put32(out, 4, 1);
        out[8] = bytesPerChannel;
        out[9] = hasSelectionMask ? 1 : 0;
        out[10] = hasSelection ? 1 : 0;
        if (nameCopied) {
            for (std::size_t i = 0; i < name.size(); ++i) {
                out[11 + 2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
                out[12 + 2 * i] = static_cast<std::uint8_t>(name[i] >> 8);
            }
        }
        putRect(out, 524, first[0], first[1], first[2], first[3]);
        putRect(out, 540, second[0], second[1], second[2], second[3]);
        putRect(out, 556, effective[0], effective[1], effective[2], effective[3]);
        out[572] = colorModel;
        out[573] = colorChannels;
        out[574] = hasAlpha ? 1 : 0;
        std::memcpy(out.data() + 575, profileName.data(), profileName.size());
        return out;
    }
};

void setRect(std::int32_t (&rect)[4], std::int32_t left, std::int32_t top, std::int32_t right,
             std::int32_t bottom) {
    rect[0] = left;
    rect[1] = top;
    rect[2] = right;
    rect[3] = bottom;
}

Bytes profileBytes(std::size_t size) {
    Bytes profile(size);
    for (std::size_t i = 0; i < size; ++i) {
        profile[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return profile;
}

TEST_F(Records, TheDocumentDescriptionCarriesTheDocumentAsTheHostDescribesIt) {
    const std::string profileName = std::to_string(platform::currentProcessId()) + "0";
    struct Case {
        const char* what;
        host::Document document;
        proxy::ParameterMap runMap;
        std::int32_t selector;
        ExpectedDocument expected;
    };
    std::vector<Case> cases;
    {
        host::Document document = host::Document::rgb(40, 30);
        document.name = u"Fr\u00FChling.psd";
        document.setWholeSize(64, 48);
        ExpectedDocument expected;
        expected.name = document.name;
        setRect(expected.first, 0, 0, 40, 30);
        setRect(expected.second, 0, 0, 64, 48);
        setRect(expected.effective, 0, 0, 40, 30);
        cases.push_back({"flat 8-bit image, no profile", document, {}, 3, expected});
    }
    {
        host::Document document = host::Document::rgb(48, 40, 16);
        document.addTransparency(32768);
        document.selectRect(host::rectLTRB(8, 6, 40, 30));
        document.iccProfile = profileBytes(300);
        document.name = u"Layer";
        proxy::ParameterMap runMap;
        runMap[proxy::parameterKeys::outputWidth] = 800;
        runMap[proxy::parameterKeys::outputHeight] = 600;
        ExpectedDocument expected;
        expected.selector = 4;
        expected.bytesPerChannel = 2;
        expected.hasSelectionMask = true;
        expected.hasSelection = true;
        expected.name = document.name;
        setRect(expected.first, 0, 0, 800, 600);
        setRect(expected.second, 0, 0, 800, 600);
        setRect(expected.effective, 8, 6, 40, 30);
        expected.hasAlpha = true;
        expected.profileName = profileName;
        cases.push_back(
            {"16-bit layer, selection, profile, output size", document, runMap, 4, expected});
    }
    {
        host::Document document(host::ColorMode::Duotone, 8, 20, 10);
        document.name = std::u16string(256, u'd'); // 512 bytes: too long to copy
        ExpectedDocument expected;
        expected.name = document.name;
        expected.nameCopied = false;
        expected.colorModel = 244;
        expected.colorChannels = 1;
        setRect(expected.first, 0, 0, 20, 10);
        setRect(expected.second, 0, 0, 20, 10);
        setRect(expected.effective, 0, 0, 20, 10);
        cases.push_back({"duotone, name of 512 bytes", document, {}, 3, expected});
    }
    {
        host::Document document = host::Document::rgb(20, 10);
        document.name = std::u16string(255, u'\u00E9'); // 510 bytes: copied
        ExpectedDocument expected;
        expected.name = document.name;
        setRect(expected.first, 0, 0, 20, 10);
        setRect(expected.second, 0, 0, 20, 10);
        setRect(expected.effective, 0, 0, 20, 10);
        cases.push_back({"name of 510 bytes", document, {}, 3, expected});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::FilterHost host(c.document);
        BoundHost bound(host);
        FilterGlobals globals;
        ServerSide side(globals);
        image::HostImageBuffer hostImage(host.record());
        ASSERT_EQ(hostImage.acquireSelectionMask(globals.selectionMask, globals.maskFullySelected,
                                                 globals.maskFromTransparency),
                  0);
        const int handlesBefore = host.liveHandles();
        const proxy::DocumentRects rects = proxy::documentRects(c.runMap, hostImage);
        globals.sendDocumentInfo(rects.first, rects.second, c.selector);
        EXPECT_EQ(host.liveHandles(), handlesBefore) << "the name's handle is released";

        Cell cell{};
        ASSERT_TRUE(side.takeRequest(cell));
        const Bytes actual = cellPrefix(cell, 608);
        const Bytes expected = c.expected.bytes();
        EXPECT_EQ(actual, expected) << firstDifference(actual, expected);

        if (!c.document.iccProfile.empty()) {
            // The server finds the profile under the name it was sent.
            ASSERT_TRUE(globals.iccProfileBuffer);
            ipc::IPCMemoryBuffer shared(ipc::open, profileName);
            ASSERT_EQ(shared.size(), static_cast<std::int64_t>(c.document.iccProfile.size()));
            EXPECT_EQ(Bytes(shared.data(), shared.data() + shared.size()), c.document.iccProfile);
        } else {
            EXPECT_FALSE(globals.iccProfileBuffer) << "no buffer without a profile";
        }
    }
}

TEST_F(Records, TheOutputSizeReplacesBothRectanglesOnlyWhenBothAreIntegers) {
    host::Document document = host::Document::rgb(30, 20);
    document.setWholeSize(50, 40);
    host::FilterHost host(document);
    BoundHost bound(host);
    const image::HostImageBuffer hostImage(host.record());
    struct Case {
        const char* what;
        proxy::ParameterMap map;
        image::PixelRect first;
        image::PixelRect second;
    };
    proxy::ParameterMap both;
    both[proxy::parameterKeys::outputWidth] = 800;
    both[proxy::parameterKeys::outputHeight] = 600;
    proxy::ParameterMap widthOnly;
    widthOnly[proxy::parameterKeys::outputWidth] = 800;
    proxy::ParameterMap notIntegers;
    notIntegers[proxy::parameterKeys::outputWidth] = 800.0;
    notIntegers[proxy::parameterKeys::outputHeight] = 600.0;
    const std::vector<Case> cases = {
        {"both", both, {0, 0, 800, 600}, {0, 0, 800, 600}},
        {"width only", widthOnly, {0, 0, 30, 20}, {0, 0, 50, 40}},
        {"not integers", notIntegers, {0, 0, 30, 20}, {0, 0, 50, 40}},
        {"neither", {}, {0, 0, 30, 20}, {0, 0, 50, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const proxy::DocumentRects rects = proxy::documentRects(c.map, hostImage);
        EXPECT_EQ(rects.first, c.first);
        EXPECT_EQ(rects.second, c.second);
    }
}

} // namespace
