// The property list and terminology read back out of the built plug-in
// library, as a host reads them, and checked field by field.

#include "TestSupport.h"
#include "hostapi/FilterInterface.h"
#include "platform/ResourceReader.h"
#include "platform/SharedLibrary.h"
#include "resources/ResourceTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::vector<std::uint16_t> kLanguages = {0x0004, 0x0407, 0x0409, 0x040C};

// Reads little-endian fields off the front of a resource, failing the test
// rather than reading past its end.
class Reader {
public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    bool atEnd() const { return offset_ == bytes_.size(); }

    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::int32_t i32() { return static_cast<std::int32_t>(take(4)); }
    std::int16_t i16() { return static_cast<std::int16_t>(take(2)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    Bytes bytes(std::size_t count) {
        Bytes out;
        if (fits(count)) {
            out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_),
                       bytes_.begin() + static_cast<std::ptrdiff_t>(offset_ + count));
            offset_ += count;
        }
        return out;
    }
    // A Pascal string, as stored.
    Bytes pascal() { return bytes(u8()); }
    // A NUL-terminated string, without its NUL.
    std::string cString() {
        std::string out;
        while (fits(1) && bytes_[offset_] != 0) {
            out += static_cast<char>(bytes_[offset_++]);
        }
        u8();
        return out;
    }

private:
    bool fits(std::size_t count) {
        if (bytes_.size() - offset_ < count) {
            ADD_FAILURE() << "read of " << count << " bytes at " << offset_ << " beyond "
                          << bytes_.size();
            return false;
        }
        return true;
    }
    std::uint64_t take(std::size_t count) {
        std::uint64_t value = 0;
        if (fits(count)) {
            for (std::size_t i = 0; i < count; ++i) {
                value |= std::uint64_t{bytes_[offset_ + i]} << (8 * i);
            }
            offset_ += count;
        }
        return value;
    }

    const Bytes& bytes_;
    std::size_t offset_ = 0;
};

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// UTF-8 to Windows-1252, for the characters the texts use.
Bytes windows1252(const std::string& utf8) {
    Bytes out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(c);
        } else if (c == 0xC3) {
            // Latin-1 letters keep their code.
            out.push_back(static_cast<std::uint8_t>(static_cast<unsigned char>(utf8[++i]) + 0x40));
        } else if (utf8.compare(i, 3, "\xe2\x80\x99") == 0) {
            out.push_back(0x92);
            i += 2;
        } else {
            ADD_FAILURE() << "no Windows-1252 form for byte " << int{c};
        }
    }
    return out;
}

class BuiltLibrary : public ::testing::Test {
protected:
    Bytes read(const char* type, std::uint16_t id, std::uint16_t language) {
        Bytes bytes;
        EXPECT_TRUE(platform::readLibraryResource(testing_support::besideTest(SOLVANTA_PLUGIN_FILE),
                                                  type, id, language, bytes))
            << type << " " << id << " in language " << language;
        return bytes;
    }
};

TEST_F(BuiltLibrary, CarriesBothResourcesInTheFourLanguages) {
    for (const char* type : {hostapi::propertyListResourceType, hostapi::terminologyResourceType}) {
        std::vector<std::uint16_t> languages = platform::libraryResourceLanguages(
            testing_support::besideTest(SOLVANTA_PLUGIN_FILE), type, 16301);
        std::sort(languages.begin(), languages.end());
        EXPECT_EQ(languages, kLanguages) << type;
    }
    EXPECT_EQ(resources::propertyListId, 16301);
    EXPECT_EQ(resources::terminologyId, 16301);
}

TEST_F(BuiltLibrary, PropertyListIsTheSameInEveryLanguage) {
    const Bytes first = read(hostapi::propertyListResourceType, 16301, kLanguages[0]);
    ASSERT_FALSE(first.empty());
    for (const std::uint16_t language : kLanguages) {
        EXPECT_EQ(read(hostapi::propertyListResourceType, 16301, language), first) << language;
    }
}

// The value bytes of a property, little-endian.
Bytes le(std::uint32_t value, std::size_t width = 4) {
    Bytes out;
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return out;
}

Bytes cText(const std::string& text) {
    Bytes out = textBytes(text);
    out.push_back(0);
    return out;
}

Bytes pascalText(const std::string& text) {
    Bytes out = textBytes(text);
    out.insert(out.begin(), static_cast<std::uint8_t>(text.size()));
    return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST_F(BuiltLibrary, PropertyListHoldsTheThirteenProperties) {
    using hostapi::fourCharCode;
    Bytes everyFilterCase;
    for (int filterCase = 1; filterCase <= 7; ++filterCase) {
        everyFilterCase.insert(everyFilterCase.end(), {1, 1, 0x0A, 0});
    }
    const std::vector<std::pair<std::uint32_t, Bytes>> properties = {
        {fourCharCode("cmpt"), join({le(2179214), cText(resources::property_cmpt)})},
        {fourCharCode("kind"), le(hostapi::filterKind)},
        {fourCharCode("name"), pascalText(resources::property_name)},
        {fourCharCode("catg"), pascalText(resources::property_catg)},
        {fourCharCode("vers"), le(0x00040000)},
        {fourCharCode("8664"), cText(resources::property_8664)},
        {fourCharCode("nabo"), le(1)},
        {fourCharCode("hstm"), join({le(0), le(fourCharCode("fi3S")), le(fourCharCode("e4cF")),
                                     le(16301, 2), cText(resources::property_hstm)})},
        {fourCharCode("mode"), Bytes{0x50, 0x00}},
        {fourCharCode("enbl"), cText(resources::property_enbl)},
        {fourCharCode("flly"), le(0x80)},
        {fourCharCode("ms32"), join({le(3000000), le(3000000)})},
        {fourCharCode("fici"), everyFilterCase},
    };
    const Bytes pipl = read(hostapi::propertyListResourceType, 16301, 0x0409);
    Reader r(pipl);
    EXPECT_EQ(r.i16(), 1);
    EXPECT_EQ(r.i32(), 0);
    ASSERT_EQ(r.i32(), 13);
    for (const auto& [key, value] : properties) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&key), 4));
        EXPECT_EQ(r.u32(), hostapi::photoshopSignature);
        ASSERT_EQ(r.u32(), key) << "at " << r.offset();
        EXPECT_EQ(r.i32(), 0);
        // Stored padded with zeros to a multiple of four bytes.
        Bytes padded = value;
        padded.resize((value.size() + 3) / 4 * 4, 0);
        EXPECT_EQ(r.bytes(static_cast<std::size_t>(r.i32())), padded);
    }
    EXPECT_TRUE(r.atEnd());
}

TEST_F(BuiltLibrary, NamesTheEntryPointItExports) {
    std::string error;
    const auto library =
        platform::loadLibrary(testing_support::besideTest(SOLVANTA_PLUGIN_FILE), error);
    ASSERT_TRUE(library) << error;
    EXPECT_NE(library->symbol(resources::property_8664), nullptr);
}

TEST_F(BuiltLibrary, TerminologyNamesTheScriptableKeysInEachLanguage) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> parameters = {
        {hostapi::fourCharCode("NLnl"), hostapi::typeBoolean},
        {hostapi::fourCharCode("Intn"), hostapi::typeInteger},
        {hostapi::fourCharCode("SEna"), hostapi::typeText},
        {hostapi::fourCharCode("SEca"), hostapi::typeText},
        {hostapi::fourCharCode("SEmo"), hostapi::typeBoolean},
        {hostapi::fourCharCode("SEus"), hostapi::typeBoolean},
    };
    for (const resources::LanguageTexts& texts : resources::languageTexts) {
        SCOPED_TRACE(texts.language);
        const Bytes aete = read(hostapi::terminologyResourceType, 16301, texts.language);
        Reader r(aete);
        EXPECT_EQ(r.i16(), 1);
        EXPECT_EQ(r.u8(), 1);
        EXPECT_EQ(r.u8(), 0);
        EXPECT_EQ(r.i16(), 0);
        EXPECT_EQ(r.i16(), 0);
        ASSERT_EQ(r.i16(), 1);
        EXPECT_EQ(r.pascal(), windows1252(resources::suiteName));
        EXPECT_EQ(r.pascal(), windows1252(resources::suiteDescription));
        EXPECT_EQ(r.u32(), hostapi::fourCharCode("fi3S"));
        EXPECT_EQ(r.i16(), 1);
        EXPECT_EQ(r.i16(), 1);
        ASSERT_EQ(r.i16(), 1);
        EXPECT_EQ(r.pascal(), windows1252(texts.eventName));
        EXPECT_EQ(r.pascal(), Bytes());
        EXPECT_EQ(r.u32(), hostapi::fourCharCode("fi3S"));
        EXPECT_EQ(r.u32(), hostapi::fourCharCode("e4cF"));
        EXPECT_EQ(r.u32(), hostapi::typeNull);
        EXPECT_EQ(r.pascal(), Bytes());
        EXPECT_EQ(r.u16(), 0x0000);
        EXPECT_EQ(r.u32(), hostapi::typeImageReference);
        EXPECT_EQ(r.pascal(), Bytes());
        EXPECT_EQ(r.u16(), 0xB000);
        ASSERT_EQ(r.i16(), 6);
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            EXPECT_EQ(r.pascal(), windows1252(texts.parameterNames[i])) << i;
            EXPECT_EQ(r.u32(), parameters[i].first) << i;
            EXPECT_EQ(r.u32(), parameters[i].second) << i;
            EXPECT_EQ(r.pascal(), Bytes()) << i;
            EXPECT_EQ(r.u16(), 0) << i;
        }
        EXPECT_EQ(r.i16(), 0);
        EXPECT_EQ(r.i16(), 0);
        EXPECT_EQ(r.i16(), 0);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST_F(BuiltLibrary, TerminologyTextsAreWindows1252) {
    // The German "Gesamtintensität" and the French apostrophe, byte by byte.
    const Bytes german = read(hostapi::terminologyResourceType, 16301, 0x0407);
    const Bytes gesamt = {'G', 'e', 's', 'a', 'm', 't', 'i',  'n',
                          't', 'e', 'n', 's', 'i', 't', 0xE4, 't'};
    EXPECT_NE(std::search(german.begin(), german.end(), gesamt.begin(), gesamt.end()),
              german.end());
    const Bytes french = read(hostapi::terminologyResourceType, 16301, 0x040C);
    const Bytes apostrophe = {'d', 0x92, 'e', 'n', 's'};
    EXPECT_NE(std::search(french.begin(), french.end(), apostrophe.begin(), apostrophe.end()),
              french.end());
    // The French event name keeps its trailing space.
    const Bytes event = {19,  'F', 'i', 'l', 't', 'r', 'e', ' ', 'S', 'o',
                         'l', 'v', 'a', 'n', 't', 'a', ' ', 'Q', '9', ' '};
    EXPECT_NE(std::search(french.begin(), french.end(), event.begin(), event.end()), french.end());
}

} // namespace
