// The version resource of the Win64 library, read back as a host reads it
// when it lists its plug-ins: numbers and texts say the project's version.

#include "ByteFields.h"
#include "SolvantaVersion.h"
#include "TestSupport.h"
#include "platform/ResourceReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

// The UTF-16 value of a StringFileInfo entry: key, NUL, padding to 4, value.
std::string stringValue(const Bytes& bytes, const std::string& key) {
    Bytes pattern;
    for (char c : key + '\0') {
        pattern.push_back(static_cast<std::uint8_t>(c));
        pattern.push_back(0);
    }
    auto at = static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) - bytes.begin());
    at = (at + pattern.size() + 3) & ~std::size_t{3};
    std::string value;
    for (; at + 1 < bytes.size() && (bytes[at] | bytes[at + 1]) != 0; at += 2) {
        value.push_back(static_cast<char>(bytes[at]));
    }
    return value;
}

TEST(VersionResource, CarriesTheProjectVersion) {
    Bytes bytes;
    ASSERT_TRUE(
        platform::readLibraryResource(besideTest(SOLVANTA_PLUGIN_FILE), "#16", 1, 0x0409, bytes));

    const Bytes signature = {0xBD, 0x04, 0xEF, 0xFE};
    const auto fixed = static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), signature.begin(), signature.end()) -
        bytes.begin());
    ASSERT_LE(fixed + 20, bytes.size()) << "no fixed file information";
    const auto majorMinor =
        static_cast<std::uint32_t>(solvanta::kVersionMajor << 16 | solvanta::kVersionMinor);
    const auto patch = static_cast<std::uint32_t>(solvanta::kVersionPatch << 16);
    ByteReader r(bytes, fixed + 8);
    EXPECT_EQ(r.u32(), majorMinor); // file version
    EXPECT_EQ(r.u32(), patch);
    EXPECT_EQ(r.u32(), majorMinor); // product version
    EXPECT_EQ(stringValue(bytes, "FileVersion"), solvanta::kVersion);
    EXPECT_EQ(stringValue(bytes, "ProductName"), "Solvanta Q9");
    EXPECT_EQ(stringValue(bytes, "OriginalFilename"), "Solvanta.8bf");
}

} // namespace
