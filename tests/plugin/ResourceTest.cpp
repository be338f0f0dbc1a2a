// The property list and terminology read back out of the built plug-in
// library, as a host reads them, and checked field by field.

#include "ByteFields.h"
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

using namespace testing_support;

const std::vector<std::uint16_t> kLanguages = {0x0004, 0x0407, 0x0409, 0x040C};

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
        EXPECT_TRUE(platform::readLibraryResource(besideTest(SOLVANTA_PLUGIN_FILE), type, id,
                                                  language, bytes))
            << type << " " << id << " in language " << language;
        return bytes;
    }
};

TEST_F(BuiltLibrary, CarriesBothResourcesInTheFourLanguages) {
    for (const char* type : {hostapi::propertyListResourceType, hostapi::terminologyResourceType}) {
        std::vector<std::uint16_t> languages =
            platform::libraryResourceLanguages(besideTest(SOLVANTA_PLUGIN_FILE), type, 16301);
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

Bytes cText(const std::string& text) {
    return joined({textBytes(text), {0}});
}

Bytes pascalText(const std::string& text) {
    return joined({{static_cast<std::uint8_t>(text.size())}, textBytes(text)});
}

TEST_F(BuiltLibrary, PropertyListHoldsTheThirteenProperties) {
    using hostapi::fourCharCode;
    Bytes everyFilterCase;
    for (int filterCase = 1; filterCase <= 7; ++filterCase) {
        everyFilterCase.insert(everyFilterCase.end(), {1, 1, 0x0A, 0});
    }
    const std::vector<std::pair<std::uint32_t, Bytes>> properties = {
        {fourCharCode("cmpt"), joined({littleEndian(2179214), cText(resources::property_cmpt)})},
        {fourCharCode("kind"), littleEndian(hostapi::filterKind)},
        {fourCharCode("name"), pascalText(resources::property_name)},
        {fourCharCode("catg"), pascalText(resources::property_catg)},
        {fourCharCode("vers"), littleEndian(0x00040000)},
        {fourCharCode("8664"), cText(resources::property_8664)},
        {fourCharCode("nabo"), littleEndian(1)},
        {fourCharCode("hstm"), joined({littleEndian(0), littleEndian(fourCharCode("fi3S")),
                                       littleEndian(fourCharCode("e4cF")), littleEndian(16301, 2),
                                       cText(resources::property_hstm)})},
        {fourCharCode("mode"), Bytes{0x50, 0x00}},
        {fourCharCode("enbl"), cText(resources::property_enbl)},
        {fourCharCode("flly"), littleEndian(0x80)},
        {fourCharCode("ms32"), joined({littleEndian(3000000), littleEndian(3000000)})},
        {fourCharCode("fici"), everyFilterCase},
    };
    const Bytes pipl = read(hostapi::propertyListResourceType, 16301, 0x0409);
    ByteReader r(pipl);
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
    const auto library = platform::loadLibrary(besideTest(SOLVANTA_PLUGIN_FILE), error);
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
        ByteReader r(aete);
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
