// The parameter block kept in the host's parameter handle: what the writer
// produces, and what the reader makes of any bytes at all.

#include "proxy/ParameterMap.h"
#include "ByteFields.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using proxy::deserializeParameters;
using proxy::ParameterMap;
using proxy::serializeParameters;
using namespace testing_support;

constexpr std::int32_t keyNLnl = 0x4E4C6E6C;
constexpr std::int32_t keySsPS = 0x53735053;

void append32(Bytes& bytes, std::int32_t value) {
    std::uint8_t raw[4];
    std::memcpy(raw, &value, 4);
    bytes.insert(bytes.end(), raw, raw + 4);
}

// One record: key, length, type, then the value bytes as given.
Bytes record(std::int32_t key, std::int32_t length, std::uint8_t type, const Bytes& value) {
    Bytes bytes;
    append32(bytes, key);
    append32(bytes, length);
    bytes.push_back(type);
    bytes.insert(bytes.end(), value.begin(), value.end());
    return bytes;
}

Bytes int32Bytes(std::int32_t value) {
    Bytes bytes;
    append32(bytes, value);
    return bytes;
}

Bytes doubleBytes(double value) {
    Bytes bytes(8);
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

TEST(ParameterKeys, AreFourCharacterCodesWithTheFirstCharacterHighest) {
    EXPECT_EQ(proxy::parameterKeys::newLayer, keyNLnl);
    EXPECT_EQ(proxy::parameterKeys::settingsText, keySsPS);
    EXPECT_EQ(proxy::parameterKeys::outputWidth, 0x53536F77);
    EXPECT_EQ(proxy::parameterKeys::outputHeight, 0x53536F68);
}

TEST(SerializeParameters, EncodesEveryValueTypeAndNothingForAnEmptyMap) {
    EXPECT_TRUE(serializeParameters(ParameterMap()).empty());

    struct Case {
        const char* what;
        boost::any value;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"text", std::string("x y"), record(7, 4, 0, textBytes(std::string("x y", 4)))},
        {"empty text", std::string(), record(7, 1, 0, Bytes{0})},
        {"double", 2.5, record(7, 8, 1, doubleBytes(2.5))},
        {"int", -3, record(7, 4, 2, int32Bytes(-3))},
        {"long as int", 77L, record(7, 4, 2, int32Bytes(77))},
        {"bool true", true, record(7, 4, 3, int32Bytes(1))},
        {"bool false", false, record(7, 4, 3, int32Bytes(0))},
        {"no encoding", 1.5F, Bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParameterMap map;
        map[7] = c.value;
        EXPECT_EQ(serializeParameters(map), c.expected);
    }
}

TEST(SerializeParameters, OrdersKeysAsSignedIntegersAndGrowsPastItsFirstBlock) {
    ParameterMap map;
    const std::string large(5000, 'q');
    map[5] = large;
    map[-9] = 1;
    map[6] = std::string(9000, 'r');
    const Bytes block = serializeParameters(map);
    ASSERT_EQ(block.size(), (9U + 4U) + (9U + 5001U) + (9U + 9001U));
    std::int32_t firstKey = 0;
    std::memcpy(&firstKey, block.data(), 4);
    EXPECT_EQ(firstKey, -9);
    EXPECT_EQ(deserializeParameters(block).size(), 3U);
    EXPECT_EQ(boost::any_cast<std::string>(deserializeParameters(block).at(5)), large);
}

TEST(DeserializeParameters, GivesBackEveryTypeAsWritten) {
    ParameterMap map;
    map[1] = std::string("Fr\xC3\xBChling");
    map[2] = 0.125;
    map[3] = 42;
    map[4] = 9L;
    map[5] = true;
    map[6] = false;
    const ParameterMap back = deserializeParameters(serializeParameters(map));
    ASSERT_EQ(back.size(), 6U);
    EXPECT_EQ(boost::any_cast<std::string>(back.at(1)), "Fr\xC3\xBChling");
    EXPECT_EQ(boost::any_cast<double>(back.at(2)), 0.125);
    EXPECT_EQ(boost::any_cast<int>(back.at(3)), 42);
    EXPECT_EQ(boost::any_cast<int>(back.at(4)), 9) << "a long comes back as int";
    EXPECT_EQ(boost::any_cast<bool>(back.at(5)), true) << "a bool comes back as bool";
    EXPECT_EQ(boost::any_cast<bool>(back.at(6)), false);
}

// What the reader keeps of malformed blocks: it never reads past the end (the
// sanitizer build checks that), keeps what was whole before a record it
// cannot frame, and skips records it can frame but not read.
TEST(DeserializeParameters, KeepsWhatIsWholeOfAMalformedBlock) {
    const Bytes good = record(1, 4, 2, int32Bytes(11));
    struct Case {
        const char* what;
        Bytes block;
        std::map<std::int32_t, std::string> expected; // key -> value as text
    };
    const std::vector<Case> cases = {
        {"empty block", Bytes(), {}},
        {"header cut after the key", joined({good, int32Bytes(2)}), {{1, "i11"}}},
        {"header cut before the type", joined({good, int32Bytes(2), int32Bytes(4)}), {{1, "i11"}}},
        {"value cut short", joined({good, record(2, 4, 2, Bytes{1, 2})}), {{1, "i11"}}},
        {"length past the end", joined({good, record(2, 100, 0, textBytes("abc"))}), {{1, "i11"}}},
        {"negative length", joined({good, record(2, -9, 0, textBytes("abc")), good}), {{1, "i11"}}},
        {"most negative length", joined({record(2, INT32_MIN, 2, int32Bytes(5)), good}), {}},
        {"text without its NUL",
         joined({record(2, 3, 0, textBytes("abc")), good}),
         {{1, "i11"}, {2, "tabc"}}},
        {"text ending at its first NUL", record(2, 5, 0, Bytes{'a', 0, 'b', 'c', 0}), {{2, "ta"}}},
        {"empty text value", record(2, 0, 0, Bytes()), {{2, "t"}}},
        {"double too short", joined({record(2, 4, 1, int32Bytes(1)), good}), {{1, "i11"}}},
        {"int too short", joined({record(2, 2, 2, Bytes{1, 0}), good}), {{1, "i11"}}},
        {"bool too short", joined({record(2, 3, 3, Bytes{1, 0, 0}), good}), {{1, "i11"}}},
        {"longer int uses its first bytes", record(2, 6, 2, Bytes{5, 0, 0, 0, 9, 9}), {{2, "i5"}}},
        {"bool of any non-zero value", record(2, 4, 3, int32Bytes(-7)), {{2, "b1"}}},
        {"unknown type code", joined({record(2, 4, 9, int32Bytes(1)), good}), {{1, "i11"}}},
        {"skipped record keeps the earlier value",
         joined({good, record(1, 4, 200, int32Bytes(12))}),
         {{1, "i11"}}},
        {"later record replaces", joined({good, record(1, 4, 3, int32Bytes(0))}), {{1, "b0"}}},
    };
    const auto describe = [](const boost::any& value) -> std::string {
        if (const auto* text = boost::any_cast<std::string>(&value)) {
            return "t" + *text;
        }
        if (const auto* integer = boost::any_cast<int>(&value)) {
            return "i" + std::to_string(*integer);
        }
        if (const auto* flag = boost::any_cast<bool>(&value)) {
            return std::string("b") + (*flag ? "1" : "0");
        }
        if (const auto* real = boost::any_cast<double>(&value)) {
            return "d" + std::to_string(*real);
        }
        return "?";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An exact-size copy, so that the sanitizers see any read past it.
        const Bytes block = c.block;
        const ParameterMap map = deserializeParameters(block);
        std::map<std::int32_t, std::string> seen;
        for (const auto& [key, value] : map) {
            seen[key] = describe(value);
        }
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(DeserializeParameters, ReadsEveryPrefixOfABlockWithoutReadingPastIt) {
    ParameterMap map;
    map[keySsPS] = std::string("exposure=0.5");
    map[keyNLnl] = 1;
    map[3] = 2.0;
    map[4] = true;
    const Bytes block = serializeParameters(map);
    for (std::size_t size = 0; size <= block.size(); ++size) {
        // A heap block of exactly `size` bytes for each prefix.
        const Bytes prefix(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
        const ParameterMap read = deserializeParameters(prefix);
        EXPECT_LE(read.size(), map.size());
        if (size == block.size()) {
            EXPECT_EQ(read.size(), map.size());
        }
    }
}

} // namespace
