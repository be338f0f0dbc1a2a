// The wait dialog's template read back out of the built Win64 library.

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

using Bytes = std::vector<std::uint8_t>;

// Reads an extended dialog template: little-endian words, UTF-16 strings,
// items aligned to 4 bytes.
class TemplateReader {
public:
    explicit TemplateReader(const Bytes& bytes) : bytes_(bytes) {}

    std::uint16_t word() {
        if (offset_ + 2 > bytes_.size()) {
            ADD_FAILURE() << "template ends at " << offset_;
            return 0;
        }
        const auto value = static_cast<std::uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | std::uint32_t{word()} << 16;
    }
    std::uint8_t byte() {
        const std::uint16_t both = word();
        offset_ -= 1;
        return static_cast<std::uint8_t>(both & 0xFF);
    }
    // A UTF-16 string up to its NUL, as UTF-8.
    std::string text() {
        std::u16string wide;
        for (std::uint16_t unit = word(); unit != 0; unit = word()) {
            wide += static_cast<char16_t>(unit);
        }
        return ::text::utf8FromUtf16(wide);
    }
    // A class or menu: an ordinal after 0xFFFF, else a string.
    std::string nameOrOrdinal() {
        const std::uint16_t first = word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(word());
        }
        offset_ -= 2;
        return text();
    }
    void alignTo4() { offset_ = (offset_ + 3) / 4 * 4; }

private:
    const Bytes& bytes_;
    std::size_t offset_ = 0;
};

TEST(WaitDialogResource, IsTheSameBoxInFourLanguages) {
    const std::string library = testing_support::besideTest(SOLVANTA_PLUGIN_FILE);
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
        TemplateReader r(bytes);
        EXPECT_EQ(r.word(), 1);      // version
        EXPECT_EQ(r.word(), 0xFFFF); // extended template
        EXPECT_EQ(r.dword(), 0U);    // help id
        EXPECT_EQ(r.dword(), 0U);    // extended style
        EXPECT_EQ(r.dword(), 0x80C800C0U);
        ASSERT_EQ(r.word(), 1); // one control
        EXPECT_EQ(r.word(), 260);
        EXPECT_EQ(r.word(), 200);
        EXPECT_EQ(r.word(), 200);
        EXPECT_EQ(r.word(), 50);
        EXPECT_EQ(r.nameOrOrdinal(), ""); // no menu
        EXPECT_EQ(r.nameOrOrdinal(), ""); // the standard dialog class
        EXPECT_EQ(r.text(), resources::dialogCaption);
        EXPECT_EQ(r.word(), 8); // points
        r.word();               // weight
        r.byte();               // italic
        r.byte();               // character set
        EXPECT_EQ(r.text(), resources::dialogFont);

        r.alignTo4();
        EXPECT_EQ(r.dword(), 0U); // help id
        EXPECT_EQ(r.dword(), 0U); // extended style
        EXPECT_EQ(r.dword(), 0x50020000U);
        EXPECT_EQ(r.word(), 10);
        EXPECT_EQ(r.word(), 10);
        EXPECT_EQ(r.word(), 180);
        EXPECT_EQ(r.word(), 80);
        EXPECT_EQ(r.dword(), resources::dialogTextId);
        const std::string windowClass = r.nameOrOrdinal();
        // The static class, by its atom or by name.
        EXPECT_TRUE(windowClass == "#130" || windowClass == "STATIC" || windowClass == "Static")
            << windowClass;
        const std::string text = r.text();
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
