#include "hostapi/FilterInterface.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

using namespace hostapi;

using Bytes = std::vector<unsigned char>;

// What another compiler's host would find in memory: little-endian integers.
Bytes littleEndian(std::uint64_t value, std::size_t width) {
    Bytes bytes;
    for (std::size_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    return bytes;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes bytes;
    for (const Bytes& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

Bytes le16(std::int64_t value) {
    return littleEndian(static_cast<std::uint64_t>(value), 2);
}
Bytes le32(std::int64_t value) {
    return littleEndian(static_cast<std::uint64_t>(value), 4);
}
Bytes le64(std::uint64_t value) {
    return littleEndian(value, 8);
}

// The host does not zero what it hands over; a fill that is not zero also
// makes a written 0 (autoMask = false) visible.
constexpr unsigned char hostFill = 0xA5;

template <typename Record, typename Write> Bytes bytesAfter(Write write) {
    Record record;
    std::memset(&record, hostFill, sizeof record);
    write(record);
    Bytes bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

// Pointers the plug-in hands to the host, and the bytes the host reads.
char someByte = 0;
char* someMasterPointer = &someByte;
Handle someHandle = &someMasterPointer;

Bytes pointerBytes(const void* pointer) {
    return le64(reinterpret_cast<std::uintptr_t>(pointer));
}

TEST(FourCharCode, FirstCharacterIsTheMostSignificantByte) {
    static_assert(fourCharCode("NLnl") == 0x4E4C6E6C, "usable in constant expressions");

    struct Case {
        const char* text;
        uint32 code;
        uint32 expected;
    };
    const Case cases[] = {
        {"NLnl", fourCharCode("NLnl"), 0x4E4C6E6Cu},
        {"8BIM", fourCharCode("8BIM"), 0x3842494Du},
        {"'obj ' keeps its trailing space", fourCharCode("obj "), 0x6F626A20u},
        {"#ImR", fourCharCode("#ImR"), 0x23496D52u},
        // A signed char must not smear its sign over the higher bytes.
        {"bytes of 0x80 and above", fourCharCode("\xE4\x80\x01\x7F"), 0xE480017Fu},
        {"leading zero bytes", fourCharCode("\0\0\0\x01"), 0x00000001u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, c.expected) << c.text;
    }
}

// Each case writes one field the way the plug-in does and expects exactly the
// bytes the host reads at the documented offset, and no other byte changed.
TEST(FilterInterfaceLayout, FieldsThePlugInWritesLandInTheHostsBytes) {
    struct Case {
        const char* field;
        Bytes record;
        std::size_t offset;
        Bytes expected;
    };
    const VRect rect32{0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10};
    const Bytes rect32Bytes =
        joined({le32(0x01020304), le32(0x05060708), le32(0x090A0B0C), le32(0x0D0E0F10)});

    const Case cases[] = {
        {"FilterRecord::parameters",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.parameters = someHandle; }), 20,
         pointerBytes(someHandle)},
        {"FilterRecord::maxSpace",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.maxSpace = 52428800; }), 56,
         le32(52428800)},
        {"FilterRecord::inRect, top left bottom right",
         bytesAfter<FilterRecord>([](FilterRecord& r) {
             r.inRect = Rect{1, 2, 3, 4};
         }),
         64, joined({le16(1), le16(2), le16(3), le16(4)})},
        {"FilterRecord::inLoPlane",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.inLoPlane = 0; }), 72, le16(0)},
        {"FilterRecord::inHiPlane",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.inHiPlane = 3; }), 74, le16(3)},
        {"FilterRecord::outRect", bytesAfter<FilterRecord>([](FilterRecord& r) {
             r.outRect = Rect{-1, 0, 256, 300};
         }),
         76, joined({le16(-1), le16(0), le16(256), le16(300)})},
        {"FilterRecord::outLoPlane",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.outLoPlane = 0; }), 84, le16(0)},
        {"FilterRecord::outHiPlane",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.outHiPlane = 2; }), 86, le16(2)},
        {"FilterRecord::autoMask",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.autoMask = false; }),
         114,
         {0x00}},
        {"FilterRecord::maskRect", bytesAfter<FilterRecord>([](FilterRecord& r) {
             r.maskRect = Rect{7, 8, 7, 8};
         }),
         116, joined({le16(7), le16(8), le16(7), le16(8)})},
        {"FilterRecord::inputRate",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.inputRate = 0x10000; }), 312,
         le32(0x10000)},
        {"FilterRecord::maskRate",
         bytesAfter<FilterRecord>([](FilterRecord& r) { r.maskRate = 0x10000; }), 316,
         le32(0x10000)},
        {"BigDocumentStruct::PluginUsing32BitCoordinates",
         bytesAfter<BigDocumentStruct>(
             [](BigDocumentStruct& b) { b.PluginUsing32BitCoordinates = 1; }),
         0, le32(1)},
        {"BigDocumentStruct::inRect32",
         bytesAfter<BigDocumentStruct>([&](BigDocumentStruct& b) { b.inRect32 = rect32; }), 28,
         rect32Bytes},
        {"BigDocumentStruct::outRect32",
         bytesAfter<BigDocumentStruct>([&](BigDocumentStruct& b) { b.outRect32 = rect32; }), 44,
         rect32Bytes},
        {"BigDocumentStruct::maskRect32",
         bytesAfter<BigDocumentStruct>([&](BigDocumentStruct& b) { b.maskRect32 = rect32; }), 60,
         rect32Bytes},
        {"PIDescriptorParameters::descriptor",
         bytesAfter<PIDescriptorParameters>(
             [](PIDescriptorParameters& d) { d.descriptor = someHandle; }),
         8, pointerBytes(someHandle)},
        {"ColorServicesInfo::infoSize", bytesAfter<ColorServicesInfo>([](ColorServicesInfo& i) {
             i.infoSize = sizeof(ColorServicesInfo);
         }),
         0, le32(56)},
        {"ColorServicesInfo::resultSpace", bytesAfter<ColorServicesInfo>([](ColorServicesInfo& i) {
             i.resultSpace = colorSpaceChosen;
         }),
         8, le16(-1)},
        {"ColorServicesInfo::colorComponents",
         bytesAfter<ColorServicesInfo>([](ColorServicesInfo& i) {
             const int16 components[4] = {50, 100, 150, 200};
             std::memcpy(i.colorComponents, components, sizeof components);
         }),
         32, joined({le16(50), le16(100), le16(150), le16(200)})},
        // The host reads the whole pointer-sized parameter: clearing it
        // through a 4-byte member would leave half of it as it was.
        {"ColorServicesInfo::selectorParameter",
         bytesAfter<ColorServicesInfo>(
             [](ColorServicesInfo& i) { i.selectorParameter.pickerPrompt = nullptr; }),
         48, le64(0)},
        {"PSPixelMap::bounds", bytesAfter<PSPixelMap>([&](PSPixelMap& m) { m.bounds = rect32; }), 4,
         rect32Bytes},
        {"PSPixelMap::imageMode",
         bytesAfter<PSPixelMap>([](PSPixelMap& m) { m.imageMode = modeRGBColor; }), 20, le32(3)},
        {"PSPixelMap::planeBytes", bytesAfter<PSPixelMap>([](PSPixelMap& m) { m.planeBytes = 1; }),
         32, le32(1)},
        {"PSPixelMap::baseAddr",
         bytesAfter<PSPixelMap>([](PSPixelMap& m) { m.baseAddr = &someByte; }), 40,
         pointerBytes(&someByte)},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        ASSERT_LE(c.offset + c.expected.size(), c.record.size());
        for (std::size_t i = 0; i < c.record.size(); ++i) {
            const bool inField = i >= c.offset && i < c.offset + c.expected.size();
            const unsigned char want = inField ? c.expected[i - c.offset] : hostFill;
            ASSERT_EQ(static_cast<int>(c.record[i]), static_cast<int>(want)) << "byte " << i;
        }
    }
}

Boolean userAskedToCancel() {
    return 1;
}
OSErr hostRefusesRectangle() {
    return paramErr;
}

// A record as a host built from its own declaration leaves it: callbacks and
// pointers at 4-byte boundaries, signatures as little-endian words.
TEST(FilterInterfaceLayout, RecordBuiltByTheHostWorksThroughOurDeclaration) {
    BigDocumentStruct bigDocument{};
    Bytes raw(sizeof(FilterRecord), 0);
    auto put = [&raw](std::size_t offset, const Bytes& bytes) {
        std::memcpy(raw.data() + offset, bytes.data(), bytes.size());
    };
    put(4, le64(reinterpret_cast<std::uintptr_t>(&userAskedToCancel)));
    put(144, {'M', 'I', 'B', '8'});
    put(280, le64(reinterpret_cast<std::uintptr_t>(&hostRefusesRectangle)));
    put(504, pointerBytes(&bigDocument));
    put(552, le64(0x0000000123456789u));

    FilterRecord record;
    std::memcpy(&record, raw.data(), sizeof record);

    EXPECT_EQ(record.abortProc(), 1);
    EXPECT_EQ(record.hostSig, photoshopSignature);
    EXPECT_EQ(record.advanceState(), paramErr);
    EXPECT_EQ(record.bigDocumentData, &bigDocument);
    EXPECT_EQ(record.maxSpace64, 0x0000000123456789);
}

} // namespace
