#include "PeerInput.h"
#include "PluginStandIn.h"
#include "Utf16Field.h"
#include "ipc/IPCMemoryBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace refserver;
using server_testing::claimSize;
using testing_support::uniqueName;

TEST(PeerInput, ABuffersSizeClaimCountsOnlyWhenItFitsTheMapping) {
    const std::string name = uniqueName("peertext");
    ipc::IPCMemoryBuffer created(ipc::create, name, "", 5, ipc::UniqueSuffix::none);
    std::memcpy(created.data(), "hello", 5);
    const std::int64_t mapped = static_cast<std::int64_t>(created.capacity());
    struct Case {
        std::int64_t claim;
        const char* text; // null: refused
    };
    for (const Case& c : {Case{5, "hello"}, Case{3, "hel"}, Case{-1, nullptr},
                          Case{std::int64_t{1} << 40, nullptr}, Case{mapped + 1, nullptr}}) {
        claimSize(created, c.claim);
        std::string failure;
        const auto opened = openPeerBuffer(name, failure);
        ASSERT_TRUE(opened) << failure;
        std::string text;
        EXPECT_EQ(readPeerText(*opened, text, failure), c.text != nullptr) << c.claim;
        if (c.text != nullptr) {
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_EQ(checkedPayloadSize(*opened, failure), -1) << c.claim;
            EXPECT_NE(failure.find("announces"), std::string::npos) << failure;
        }
    }
}

TEST(PeerInput, AWriteMustFitWhatIsMappedAndABufferMustExist) {
    const std::string name = uniqueName("peerwrite");
    ipc::IPCMemoryBuffer created(ipc::create, name, "", 4, ipc::UniqueSuffix::none);
    std::string failure;
    const auto opened = openPeerBuffer(name, failure);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(writePeerText(*opened, "", failure));
    EXPECT_TRUE(writePeerText(*opened, "abcd", failure));
    EXPECT_EQ(std::memcmp(created.data(), "abcd", 4), 0);
    EXPECT_FALSE(writePeerText(*opened, std::string(opened->capacity() + 1, 'z'), failure));
    EXPECT_NE(failure.find("too few"), std::string::npos) << failure;

    EXPECT_FALSE(openPeerBuffer("", failure));
    EXPECT_EQ(failure, "no buffer name");
    EXPECT_FALSE(openPeerBuffer(uniqueName("nosuchbuffer"), failure));
    EXPECT_NE(failure.find("cannot open buffer"), std::string::npos) << failure;
}

TEST(Utf16Field, TextBecomesLittleEndianUnitsWithinTheFieldAndBack) {
    unsigned char field[130];
    std::memset(field, 0xAA, sizeof field);
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xA8"; // Aé€🎨
    writeUtf16Field(text, field, sizeof field);
    const std::vector<unsigned char> expected = {0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20,
                                                 0x3C, 0xD8, 0xA8, 0xDF, 0x00, 0x00};
    EXPECT_EQ(std::vector<unsigned char>(field, field + expected.size()), expected);
    EXPECT_EQ(std::vector<unsigned char>(field + expected.size(), field + sizeof field),
              std::vector<unsigned char>(sizeof field - expected.size(), 0))
        << "the rest of the field is zeroed";
    EXPECT_EQ(utf8FromUtf16Field(field, sizeof field), text);

    const unsigned char odd[] = {0x41, 0x00, 0x42}; // the last half unit is not read
    EXPECT_EQ(utf8FromUtf16Field(odd, sizeof odd), "A");
    const unsigned char full[] = {0x41, 0x00, 0x42, 0x00}; // no terminator: the field ends it
    EXPECT_EQ(utf8FromUtf16Field(full, sizeof full), "AB");
}

TEST(Utf16Field, ALongTextKeepsRoomForTheTerminatorAndNeverSplitsAPair) {
    struct Case {
        std::string text;
        std::string kept;
    };
    const std::string pair = "\xF0\x9F\x8E\xA8"; // two units
    const std::vector<Case> cases = {
        {std::string(70, 'x'), std::string(64, 'x')},
        {std::string(63, 'y') + pair, std::string(63, 'y')},
        {std::string(62, 'y') + pair, std::string(62, 'y') + pair},
    };
    for (const Case& c : cases) {
        unsigned char field[130]; // 64 units and the terminator
        writeUtf16Field(c.text, field, sizeof field);
        EXPECT_EQ(field[128], 0);
        EXPECT_EQ(field[129], 0);
        EXPECT_EQ(utf8FromUtf16Field(field, sizeof field), c.kept);
    }
}
