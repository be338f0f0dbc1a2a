// Action descriptors: the value model, the handle form, the readable text
// form, the descriptor and registry suites, and ZStrings.

#include "HostTestSupport.h"
#include "host/DescriptorText.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::acquire;

ActionDescriptor everyType() {
    ActionDescriptor inner;
    inner.putInteger(fourCharCode("Innr"), -3).putText(fourCharCode("Nam "), u"inner");
    ActionDescriptor d;
    d.putInteger(fourCharCode("Intn"), -75)
        .putFloat(fourCharCode("Ssps"), 0.1 + 0.2)
        .putBoolean(fourCharCode("SEmo"), true)
        .putText(fourCharCode("SEna"), u"Gr\u00FC\u00DFe \u4E2D\U0001F600 \"q\"\n")
        .put(fourCharCode("Wdth"), DescriptorValue::makeUnitFloat(fourCharCode("#Pxl"), 12.5))
        .put(fourCharCode("Mthd"),
             DescriptorValue::makeEnumerated(fourCharCode("Mthd"), fourCharCode("Fst ")))
        .put(fourCharCode("Clss"), DescriptorValue::makeClass(fourCharCode("Lyr ")))
        .put(fourCharCode("GCls"), DescriptorValue::makeClass(fourCharCode("Dcmn"), true))
        .put(fourCharCode("Obj "), DescriptorValue::makeObject(fourCharCode("Pnt "), inner))
        .put(fourCharCode("GObj"), DescriptorValue::makeObject(fourCharCode("Pnt "), inner, true))
        .put(fourCharCode("List"), DescriptorValue::makeList({DescriptorValue::makeInteger(1),
                                                              DescriptorValue::makeInteger(2)}))
        .put(fourCharCode("Blob"), DescriptorValue::makeData({0, 1, 2, 255}))
        .put(fourCharCode("Alis"), DescriptorValue::makeAlias({9, 8, 7}))
        .put(fourCharCode("Big "), DescriptorValue::makeInteger64(-5000000000LL));
    return d;
}

TEST(Descriptor, EveryTypeSurvivesTheHandleForm) {
    const ActionDescriptor d = everyType();
    const std::vector<std::uint8_t> bytes = d.serialize();
    const std::optional<ActionDescriptor> back =
        ActionDescriptor::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, d);
    EXPECT_EQ(back->entries()[0].first, fourCharCode("Intn"));

    // Any change of a value is seen.
    ActionDescriptor changed = d;
    changed.putFloat(fourCharCode("Ssps"), 0.3);
    EXPECT_NE(changed, d);
}

TEST(Descriptor, BytesThatAreNotAWholeDescriptorAreRefused) {
    const std::vector<std::uint8_t> bytes = everyType().serialize();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(ActionDescriptor::parse(bytes.data(), length).has_value()) << length;
    }
    std::vector<std::uint8_t> trailing = bytes;
    trailing.push_back(0);
    EXPECT_FALSE(ActionDescriptor::parse(trailing.data(), trailing.size()).has_value());
    std::vector<std::uint8_t> badMagic = bytes;
    badMagic[0] = 'X';
    EXPECT_FALSE(ActionDescriptor::parse(badMagic.data(), badMagic.size()).has_value());

    // A count far beyond the bytes that follow must not be believed.
    ActionDescriptor list;
    list.put(fourCharCode("List"), DescriptorValue::makeList({}));
    std::vector<std::uint8_t> huge = list.serialize();
    huge[huge.size() - 1] = 0x7F;
    EXPECT_FALSE(ActionDescriptor::parse(huge.data(), huge.size()).has_value());
}

TEST(Descriptor, TheTextFormReadsBackWhatItWrites) {
    ActionDescriptor d = everyType();
    // No line form for these.
    for (const uint32 key : {fourCharCode("Obj "), fourCharCode("GObj"), fourCharCode("List")}) {
        d.erase(key);
    }
    d.putText(fourCharCode("Lone"), std::u16string(1, char16_t(0xD800)) + u"x\t\\");
    const std::string text = descriptorToText(d);
    ActionDescriptor back;
    std::string error;
    ASSERT_TRUE(descriptorFromText(text, back, error)) << error << "\n" << text;
    EXPECT_EQ(back, d) << text;
    EXPECT_NE(text.find("'Intn' long -75\n"), std::string::npos) << text;
    EXPECT_NE(text.find("'SEmo' bool true\n"), std::string::npos) << text;
}

TEST(Descriptor, TextLinesThatDoNotParseSayWhereAndWhy) {
    struct Case {
        const char* text;
        const char* where;
    };
    const Case cases[] = {
        {"'Intn' long 75\n'Intn' long seventy", "line 2"},
        {"# comment\n\n'Intn' long 3000000000", "line 3"},
        {"'Intn' bool maybe", "line 1"},
        {"'SEna' TEXT \"open", "line 1"},
        {"'Int' long 1", "line 1"},
        {"'Obj ' Objc 1", "line 1"},
    };
    for (const Case& c : cases) {
        ActionDescriptor d;
        std::string error;
        EXPECT_FALSE(descriptorFromText(c.text, d, error)) << c.text;
        EXPECT_EQ(error.rfind(c.where, 0), 0U) << c.text << " -> " << error;
    }
}

class DescriptorSuiteTest : public ::testing::Test {
protected:
    DescriptorSuiteTest() : host(Document::rgb(2, 2)) { host.beginApplication(); }

    FilterHost host;
    const ActionDescriptorSuite* ad = acquire<ActionDescriptorSuite>(host);
    const ZStringSuite* zs = acquire<ZStringSuite>(host);
};

// The calls the plug-in makes, through a handle and back.
TEST_F(DescriptorSuiteTest, ValuesGoInAndOutThroughTheSuiteAndAHandle) {
    ASSERT_NE(ad, nullptr);
    ASSERT_NE(zs, nullptr);
    PIActionDescriptor d = nullptr;
    ASSERT_EQ(ad->Make(&d), noErr);
    std::u16string text = u"\u00C4rger \u4E2D\U0001F600";
    ASZString z = nullptr;
    ASSERT_EQ(zs->MakeFromUnicode(reinterpret_cast<ASUnicode*>(text.data()), text.size(), &z), 0);
    EXPECT_EQ(ad->PutInteger(d, fourCharCode("long"), -9), noErr);
    EXPECT_EQ(ad->PutFloat(d, fourCharCode("doub"), 2.75), noErr);
    EXPECT_EQ(ad->PutBoolean(d, fourCharCode("bool"), 1), noErr);
    EXPECT_EQ(ad->PutString(d, fourCharCode("cstr"), "caf\xC3\xA9"), noErr);
    EXPECT_EQ(ad->PutZString(d, fourCharCode("zstr"), z), noErr);

    Handle h = nullptr;
    ASSERT_EQ(ad->AsHandle(d, &h), noErr);
    PIActionDescriptor back = nullptr;
    ASSERT_EQ(ad->HandleToDescriptor(h, &back), noErr);
    Boolean equal = 0;
    ASSERT_EQ(ad->IsEqual(d, back, &equal), noErr);
    EXPECT_EQ(equal, 1);

    uint32 count = 0;
    ASSERT_EQ(ad->GetCount(back, &count), noErr);
    EXPECT_EQ(count, 5U);
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    ASSERT_EQ(ad->GetKey(back, 4, &key), noErr);
    EXPECT_EQ(key, fourCharCode("zstr"));
    ASSERT_EQ(ad->GetType(back, key, &type), noErr);
    EXPECT_EQ(type, typeText);
    int32 i = 0;
    EXPECT_EQ(ad->GetInteger(back, fourCharCode("long"), &i), noErr);
    EXPECT_EQ(i, -9);
    double f = 0;
    EXPECT_EQ(ad->GetFloat(back, fourCharCode("doub"), &f), noErr);
    EXPECT_EQ(f, 2.75);
    Boolean b = 0;
    EXPECT_EQ(ad->GetBoolean(back, fourCharCode("bool"), &b), noErr);
    EXPECT_EQ(b, 1);
    char cstring[16] = {};
    EXPECT_EQ(ad->GetString(back, fourCharCode("cstr"), cstring, sizeof cstring), noErr);
    EXPECT_STREQ(cstring, "caf\xC3\xA9");
    ASZString zback = nullptr;
    EXPECT_EQ(ad->GetZString(back, fourCharCode("zstr"), &zback), noErr);
    std::u16string units(zs->LengthAsUnicodeCString(zback), u'\0');
    EXPECT_EQ(zs->AsUnicodeCString(zback, reinterpret_cast<ASUnicode*>(units.data()),
                                   static_cast<uint32>(units.size()), 1),
              0);
    EXPECT_EQ(units, text + u'\0');

    for (PIActionDescriptor owned : {d, back}) {
        EXPECT_EQ(ad->Free(owned), noErr);
    }
    zs->Release(z);
    zs->Release(zback);
    EXPECT_EQ(host.liveDescriptors(), 0);
    EXPECT_EQ(host.liveZStrings(), 0);
    EXPECT_TRUE(host.records().faults.empty());
}

TEST_F(DescriptorSuiteTest, MissingKeysWrongTypesAndUnknownObjectsFail) {
    PIActionDescriptor d = nullptr;
    ASSERT_EQ(ad->Make(&d), noErr);
    ad->PutInteger(d, fourCharCode("Intn"), 1);
    int32 i = 0;
    double f = 0;
    DescriptorKeyID key = 0;
    EXPECT_EQ(ad->GetInteger(d, fourCharCode("None"), &i), errMissingParameter);
    EXPECT_EQ(ad->GetFloat(d, fourCharCode("Intn"), &f), paramErr);
    EXPECT_EQ(ad->GetKey(d, 1, &key), paramErr);
    DescriptorKeyID both[] = {fourCharCode("Intn"), fourCharCode("None"), 0};
    Boolean has = 1;
    EXPECT_EQ(ad->HasKeys(d, both, &has), noErr);
    EXPECT_EQ(has, 0);

    Handle notADescriptor = host.newHandle({1, 2, 3, 4, 5, 6, 7, 8, 9});
    PIActionDescriptor parsed = nullptr;
    EXPECT_EQ(ad->HandleToDescriptor(notADescriptor, &parsed), paramErr);
    EXPECT_TRUE(host.records().faults.empty());

    ad->Free(d);
    EXPECT_EQ(ad->Free(d), paramErr);
    EXPECT_EQ(host.records().faults.size(), 1U);
}

TEST_F(DescriptorSuiteTest, ZStringsKeepUtf16TextAndRefuseShortBuffers) {
    struct Case {
        const char* name;
        std::u16string text;
    };
    const Case cases[] = {
        {"ASCII", u"plain"},      {"Latin", u"\u00E9t\u00E9 \u00DF"},
        {"CJK", u"\u6F22\u5B57"}, {"surrogate pair", u"\U0001F600!"},
        {"empty", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string source = c.text;
        ASZString z = nullptr;
        ASSERT_EQ(
            zs->MakeFromUnicode(reinterpret_cast<ASUnicode*>(source.data()), source.size(), &z), 0);
        const uint32 length = zs->LengthAsUnicodeCString(z);
        EXPECT_EQ(length, c.text.size() + 1);
        std::u16string out(length, u'x');
        ASSERT_EQ(zs->AsUnicodeCString(z, reinterpret_cast<ASUnicode*>(out.data()), length, 1), 0);
        EXPECT_EQ(out, c.text + u'\0');
        EXPECT_NE(zs->AsUnicodeCString(z, reinterpret_cast<ASUnicode*>(out.data()), length - 1, 1),
                  0);

        EXPECT_EQ(host.liveZStrings(), 1);
        zs->Release(z);
        EXPECT_EQ(host.liveZStrings(), 0);
    }
    host.options().zstringLengthIncludesTerminator = false;
    std::u16string abc = u"abc";
    ASZString z = nullptr;
    zs->MakeFromUnicode(reinterpret_cast<ASUnicode*>(abc.data()), abc.size(), &z);
    EXPECT_EQ(zs->LengthAsUnicodeCString(z), 3U);
    zs->Release(z);
    EXPECT_NE(zs->Release(z), 0);
    EXPECT_EQ(host.records().faults.size(), 1U);
}

// What the plug-in asks of the registry: a copy of an entry for it to free,
// no descriptor for a missing key, and a failure when the registry cannot tell.
TEST_F(DescriptorSuiteTest, TheRegistryHandsOutCopiesAndFailsAsTold) {
    const auto* registry = acquire<DescriptorRegistrySuite>(host);
    ASSERT_NE(registry, nullptr);
    ActionDescriptor entry;
    entry.putInteger(fourCharCode("Intn"), 42);
    host.setRegistryEntry("key one", entry);
    PIActionDescriptor got = nullptr;
    ASSERT_EQ(registry->Get("key one", &got), noErr);
    int32 value = 0;
    ASSERT_EQ(ad->GetInteger(got, fourCharCode("Intn"), &value), noErr);
    EXPECT_EQ(value, 42);
    ad->Free(got);
    EXPECT_EQ(host.liveDescriptors(), 0);

    got = reinterpret_cast<PIActionDescriptor>(&value);
    EXPECT_EQ(registry->Get("missing", &got), noErr);
    EXPECT_EQ(got, nullptr);
    host.setRegistryGetResult("key one", -1);
    EXPECT_EQ(registry->Get("key one", &got), -1);
    EXPECT_EQ(host.records().registry.size(), 3U);
}

} // namespace
