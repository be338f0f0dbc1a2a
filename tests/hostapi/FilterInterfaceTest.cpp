#include "hostapi/FilterInterface.h"
#include "ByteFields.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace hostapi;
using namespace testing_support;

// What another compiler's host would find in memory: little-endian integers.
Bytes le64(std::uint64_t value) {
    return littleEndian(value, 8);
}

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
