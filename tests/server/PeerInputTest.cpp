#include "PeerInput.h"
#include "TestSupport.h"
#include "TextUnits.h"
#include "ipc/IPCMemoryBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using refserver::checkedPayloadSize;
using refserver::fieldText;
using refserver::openPeerBuffer;
using refserver::readPeerText;
using refserver::utf16Units;
using refserver::utf8FromUtf16Field;
using refserver::writePeerText;
using refserver::writeUtf16Field;
using testing_support::uniqueName;

namespace {

void claimSize(ipc::IPCMemoryBuffer& buffer, std::int64_t size) {
    std::memcpy(buffer.data() - ipc::IPCMemoryBuffer::headerSize, &size, sizeof size);
}

} // namespace

TEST(PeerInput, ANameIsReadOnlyWithinItsField) {
    char terminated[8] = {'a', 'b', '\0', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(fieldText(terminated), "ab");
    struct {
        char name[4];
        char after[4];
    } unterminated = {{'n', 'a', 'm', 'e'}, {'X', 'X', 'X', '\0'}};
    EXPECT_EQ(fieldText(unterminated.name), "name");
    char empty[4] = {};
    EXPECT_EQ(fieldText(empty), "");
}

TEST(PeerInput, ABuffersSizeClaimCountsOnlyWhenItFitsTheMapping) {
    const std::string name = uniqueName("peertext");
    ipc::IPCMemoryBuffer created(ipc::create, name, "", 5, ipc::UniqueSuffix::none);
    std::memcpy(created.data(), "hello", 5);

    std::string failure;
    const auto opened = openPeerBuffer(name, failure);
    ASSERT_TRUE(opened) << failure;
    std::string text;
    ASSERT_TRUE(readPeerText(*opened, text, failure)) << failure;
    EXPECT_EQ(text, "hello");

    for (const std::int64_t lie : {std::int64_t{-1}, std::int64_t{1} << 40,
                                   static_cast<std::int64_t>(opened->capacity()) + 1}) {
        claimSize(created, lie);
        ipc::IPCMemoryBuffer reopened(ipc::open, name);
        failure.clear();
        EXPECT_EQ(checkedPayloadSize(reopened, failure), -1) << lie;
        EXPECT_FALSE(readPeerText(reopened, text, failure)) << lie;
        EXPECT_NE(failure.find("announces"), std::string::npos) << failure;
    }
    claimSize(created, 3);
    ipc::IPCMemoryBuffer honest(ipc::open, name);
    ASSERT_TRUE(readPeerText(honest, text, failure));
    EXPECT_EQ(text, "hel");
}

TEST(PeerInput, AWriteMustFitWhatIsMapped) {
    const std::string name = uniqueName("peerwrite");
    ipc::IPCMemoryBuffer created(ipc::create, name, "", 4, ipc::UniqueSuffix::none);
    std::string failure;
    const auto opened = openPeerBuffer(name, failure);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(writePeerText(*opened, "", failure));
    EXPECT_TRUE(writePeerText(*opened, "abcd", failure));
    EXPECT_EQ(std::memcmp(created.data(), "abcd", 4), 0);
    const std::string tooLong(opened->capacity() + 1, 'z');
    EXPECT_FALSE(writePeerText(*opened, tooLong, failure));
    EXPECT_NE(failure.find("too few"), std::string::npos) << failure;
}

TEST(PeerInput, AMissingOrNamelessBufferIsAFailureNotACrash) {
    std::string failure;
    EXPECT_FALSE(openPeerBuffer("", failure));
    EXPECT_EQ(failure, "no buffer name");
    EXPECT_FALSE(openPeerBuffer(uniqueName("nosuchbuffer"), failure));
    EXPECT_NE(failure.find("cannot open buffer"), std::string::npos) << failure;
}

TEST(TextUnits, LayerNamesBecomeLittleEndianUtf16WithinTheirField) {
    unsigned char field[130];
    std::memset(field, 0xAA, sizeof field);
    writeUtf16Field("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xA8", field, sizeof field); // Aé€🎨
    const std::vector<unsigned char> expected = {0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20,
                                                 0x3C, 0xD8, 0xA8, 0xDF, 0x00, 0x00};
    EXPECT_EQ(std::vector<unsigned char>(field, field + expected.size()), expected);
    for (std::size_t i = expected.size(); i < sizeof field; ++i) {
        ASSERT_EQ(field[i], 0) << "the rest of the field is zeroed, byte " << i;
    }
    EXPECT_EQ(utf8FromUtf16Field(field, sizeof field), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xA8");
}

TEST(TextUnits, ALongNameKeepsRoomForItsTerminatorAndNeverSplitsAPair) {
    unsigned char field[130];
    writeUtf16Field(std::string(70, 'x'), field, sizeof field);
    EXPECT_EQ(field[126], 'x');
    EXPECT_EQ(field[128], 0);
    EXPECT_EQ(field[129], 0);
    EXPECT_EQ(utf8FromUtf16Field(field, sizeof field), std::string(64, 'x'));

    // 63 units, then a character that needs two: it is left out whole.
    const std::string name = std::string(63, 'y') + "\xF0\x9F\x8E\xA8";
    EXPECT_EQ(utf16Units(name, 64).size(), 63U);
    EXPECT_EQ(utf16Units(name, 65).size(), 65U);
}

TEST(TextUnits, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(utf16Units("a\xFF"
                         "b",
                         10),
              (std::vector<std::uint16_t>{'a', 0xFFFD, 'b'}));
    EXPECT_EQ(utf16Units("\xC3", 10), (std::vector<std::uint16_t>{0xFFFD}));
    EXPECT_EQ(utf16Units("\xED\xA0\x80", 10), (std::vector<std::uint16_t>{0xFFFD}))
        << "an encoded surrogate";
    const unsigned char lone[] = {0x00, 0xD8, 0x41, 0x00}; // high surrogate, then 'A'
    EXPECT_EQ(utf8FromUtf16Field(lone, sizeof lone), "\xEF\xBF\xBD"
                                                     "A");
    const unsigned char odd[] = {0x41, 0x00, 0x42}; // the last half unit is not read
    EXPECT_EQ(utf8FromUtf16Field(odd, sizeof odd), "A");
}
