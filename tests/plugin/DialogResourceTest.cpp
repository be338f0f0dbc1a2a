// The wait dialog's template read back out of the built Win64 library.

#include "ByteFields.h"
#include "TestSupport.h"
#include "platform/ResourceReader.h"
#include "resources/ResourceTexts.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

// A UTF-16 string of the template up to its NUL, as UTF-8.
std::string templateText(ByteReader& r) {
    return ::text::utf8FromUtf16(r.utf16());
}

// A class or menu: an ordinal after 0xFFFF, else a string.
std::string nameOrOrdinal(ByteReader& r) {
    const std::size_t at = r.offset();
    if (r.u16() == 0xFFFF) {
        return "#" + std::to_string(r.u16());
    }
    r.seek(at);
    return templateText(r);
}

// The template is extended: little-endian words, UTF-16 strings, items
// aligned to 4 bytes.
TEST(WaitDialogResource, IsTheSameBoxInFourLanguages) {
    const std::string library = besideTest(SOLVANTA_PLUGIN_FILE);
    std::vector<std::uint16_t> languages =
        platform::libraryResourceLanguages(library, "#5", resources::dialogId);
    std::sort(languages.begin(), languages.end());
    EXPECT_EQ(languages, (std::vector<std::uint16_t>{0x0004, 0x0407, 0x0409, 0x040C}));

    std::vector<std::string> textsSeen;
    for (const resources::LanguageTexts& texts : resources::languageTexts) {
        SCOPED_TRACE(texts.language);
        Bytes bytes;
        ASSERT_TRUE(platform::readLibraryResource(library, "#5", resources::dialogId,
                                                  texts.language, bytes));
        ByteReader r(bytes);
        EXPECT_EQ(r.u16(), 1);      // version
        EXPECT_EQ(r.u16(), 0xFFFF); // extended template
        EXPECT_EQ(r.u32(), 0U);     // help id
        EXPECT_EQ(r.u32(), 0U);     // extended style
        EXPECT_EQ(r.u32(), 0x80C800C0U);
        ASSERT_EQ(r.u16(), 1); // one control
        EXPECT_EQ(r.u16(), 260);
        EXPECT_EQ(r.u16(), 200);
        EXPECT_EQ(r.u16(), 200);
        EXPECT_EQ(r.u16(), 50);
        EXPECT_EQ(nameOrOrdinal(r), ""); // no menu
        EXPECT_EQ(nameOrOrdinal(r), ""); // the standard dialog class
        EXPECT_EQ(templateText(r), resources::dialogCaption);
        EXPECT_EQ(r.u16(), 8); // points
        r.u16();               // weight
        r.u8();                // italic
        r.u8();                // character set
        EXPECT_EQ(templateText(r), resources::dialogFont);

        r.alignTo(4);
        EXPECT_EQ(r.u32(), 0U); // help id
        EXPECT_EQ(r.u32(), 0U); // extended style
        EXPECT_EQ(r.u32(), 0x50020000U);
        EXPECT_EQ(r.u16(), 10);
        EXPECT_EQ(r.u16(), 10);
        EXPECT_EQ(r.u16(), 180);
        EXPECT_EQ(r.u16(), 80);
        EXPECT_EQ(r.u32(), resources::dialogTextId);
        const std::string windowClass = nameOrOrdinal(r);
        // The static class, by its atom or by name.
        EXPECT_TRUE(windowClass == "#130" || windowClass == "STATIC" || windowClass == "Static")
            << windowClass;
        const std::string text = templateText(r);
        EXPECT_EQ(text, texts.dialogText);
        // Two lines.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
        textsSeen.push_back(text);
    }
    // Chinese, German, English and French each say it in their own words.
    std::sort(textsSeen.begin(), textsSeen.end());
    EXPECT_EQ(std::unique(textsSeen.begin(), textsSeen.end()), textsSeen.end());
}

} // namespace
