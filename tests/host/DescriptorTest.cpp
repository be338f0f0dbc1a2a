// Action descriptors: the value model, the handle form, the readable text
// form, the descriptor and registry suites, and ZStrings.

#include "HostTestSupport.h"
#include "host/DescriptorText.h"
#include "text/Unicode.h"

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

TEST(Descriptor, every_type_survives_the_handle_form) {
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

TEST(Descriptor, bytes_that_are_not_a_whole_descriptor_are_refused) {
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

TEST(Descriptor, the_text_form_reads_back_what_it_writes) {
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

TEST(Descriptor, text_lines_that_do_not_parse_say_where_and_why) {
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

TEST_F(DescriptorSuiteTest, every_type_goes_in_and_out_through_the_suite_and_a_handle) {
    ASSERT_NE(ad, nullptr);
    ASSERT_NE(zs, nullptr);
    PIActionDescriptor d = nullptr;
    ASSERT_EQ(ad->Make(&d), noErr);
    PIActionDescriptor inner = nullptr;
    ASSERT_EQ(ad->Make(&inner), noErr);
    ASSERT_EQ(ad->PutInteger(inner, fourCharCode("Innr"), 4), noErr);
    std::u16string text = u"\u00C4rger \u4E2D\U0001F600";
    ASZString z = nullptr;
    ASSERT_EQ(zs->MakeFromUnicode(reinterpret_cast<ASUnicode*>(text.data()), text.size(), &z), 0);
    int32 integers[] = {5, -6};
    char data[] = {'a', 'b', 'c'};
    Handle alias = host.newHandle({1, 2, 3});

    EXPECT_EQ(ad->PutInteger(d, fourCharCode("long"), -9), noErr);
    EXPECT_EQ(ad->PutFloat(d, fourCharCode("doub"), 2.75), noErr);
    EXPECT_EQ(ad->PutUnitFloat(d, fourCharCode("UntF"), fourCharCode("#Prc"), 50.0), noErr);
    EXPECT_EQ(ad->PutBoolean(d, fourCharCode("bool"), 1), noErr);
    EXPECT_EQ(ad->PutString(d, fourCharCode("cstr"), "caf\xC3\xA9"), noErr);
    EXPECT_EQ(ad->PutZString(d, fourCharCode("zstr"), z), noErr);
    EXPECT_EQ(
        ad->PutEnumerated(d, fourCharCode("enum"), fourCharCode("Typ "), fourCharCode("Val ")),
        noErr);
    EXPECT_EQ(ad->PutClass(d, fourCharCode("type"), fourCharCode("Cls ")), noErr);
    EXPECT_EQ(ad->PutGlobalClass(d, fourCharCode("GlbC"), fourCharCode("GCl ")), noErr);
    EXPECT_EQ(ad->PutObject(d, fourCharCode("Objc"), fourCharCode("Pnt "), inner), noErr);
    EXPECT_EQ(ad->PutIntegers(d, fourCharCode("VlLs"), 2, integers), noErr);
    EXPECT_EQ(ad->PutData(d, fourCharCode("tdta"), 3, data), noErr);
    EXPECT_EQ(ad->PutAlias(d, fourCharCode("alis"), alias), noErr);

    Handle h = nullptr;
    ASSERT_EQ(ad->AsHandle(d, &h), noErr);
    PIActionDescriptor back = nullptr;
    ASSERT_EQ(ad->HandleToDescriptor(h, &back), noErr);
    Boolean equal = 0;
    ASSERT_EQ(ad->IsEqual(d, back, &equal), noErr);
    EXPECT_EQ(equal, 1);

    uint32 count = 0;
    ASSERT_EQ(ad->GetCount(back, &count), noErr);
    EXPECT_EQ(count, 13U);
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    ASSERT_EQ(ad->GetKey(back, 5, &key), noErr);
    EXPECT_EQ(key, fourCharCode("zstr"));
    ASSERT_EQ(ad->GetType(back, key, &type), noErr);
    EXPECT_EQ(type, typeText);

    int32 i = 0;
    EXPECT_EQ(ad->GetInteger(back, fourCharCode("long"), &i), noErr);
    EXPECT_EQ(i, -9);
    double f = 0;
    EXPECT_EQ(ad->GetFloat(back, fourCharCode("doub"), &f), noErr);
    EXPECT_EQ(f, 2.75);
    DescriptorUnitID unit = 0;
    EXPECT_EQ(ad->GetUnitFloat(back, fourCharCode("UntF"), &unit, &f), noErr);
    EXPECT_EQ(unit, fourCharCode("#Prc"));
    EXPECT_EQ(f, 50.0);
    Boolean b = 0;
    EXPECT_EQ(ad->GetBoolean(back, fourCharCode("bool"), &b), noErr);
    EXPECT_EQ(b, 1);
    uint32 length = 0;
    EXPECT_EQ(ad->GetStringLength(back, fourCharCode("cstr"), &length), noErr);
    EXPECT_EQ(length, 5U);
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
    DescriptorTypeID enumType = 0;
    DescriptorEnumID enumValue = 0;
    EXPECT_EQ(ad->GetEnumerated(back, fourCharCode("enum"), &enumType, &enumValue), noErr);
    EXPECT_EQ(enumType, fourCharCode("Typ "));
    EXPECT_EQ(enumValue, fourCharCode("Val "));
    DescriptorClassID classId = 0;
    EXPECT_EQ(ad->GetClass(back, fourCharCode("type"), &classId), noErr);
    EXPECT_EQ(classId, fourCharCode("Cls "));
    EXPECT_EQ(ad->GetGlobalClass(back, fourCharCode("GlbC"), &classId), noErr);
    EXPECT_EQ(classId, fourCharCode("GCl "));
    PIActionDescriptor object = nullptr;
    EXPECT_EQ(ad->GetObjectDescriptor(back, fourCharCode("Objc"), &classId, &object), noErr);
    EXPECT_EQ(classId, fourCharCode("Pnt "));
    EXPECT_EQ(ad->GetInteger(object, fourCharCode("Innr"), &i), noErr);
    EXPECT_EQ(i, 4);
    int32 two[2] = {};
    EXPECT_EQ(ad->GetIntegers(back, fourCharCode("VlLs"), 2, two), noErr);
    EXPECT_EQ(two[1], -6);
    int32 dataLength = 0;
    EXPECT_EQ(ad->GetDataLength(back, fourCharCode("tdta"), &dataLength), noErr);
    EXPECT_EQ(dataLength, 3);
    char dataBack[3] = {};
    EXPECT_EQ(ad->GetData(back, fourCharCode("tdta"), dataBack), noErr);
    EXPECT_EQ(std::string(dataBack, 3), "abc");
    Handle aliasBack = nullptr;
    EXPECT_EQ(ad->GetAlias(back, fourCharCode("alis"), &aliasBack), noErr);
    EXPECT_EQ(host.handleBytes(aliasBack), (std::vector<std::uint8_t>{1, 2, 3}));

    for (PIActionDescriptor owned : {d, inner, back, object}) {
        EXPECT_EQ(ad->Free(owned), noErr);
    }
    zs->Release(z);
    zs->Release(zback);
    EXPECT_EQ(host.liveDescriptors(), 0);
    EXPECT_EQ(host.liveZStrings(), 0);
    EXPECT_TRUE(host.records().faults.empty());
}

TEST_F(DescriptorSuiteTest, missing_keys_wrong_types_and_unknown_objects_fail) {
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

TEST_F(DescriptorSuiteTest, zstrings_keep_utf16_text_and_count_references) {
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

        const std::string utf8 = text::utf8FromUtf16(c.text);
        ASZString fromC = nullptr;
        ASSERT_EQ(zs->MakeFromCString(utf8.c_str(), utf8.size(), &fromC), 0);
        std::u16string viaC(zs->LengthAsUnicodeCString(fromC), u'x');
        zs->AsUnicodeCString(fromC, reinterpret_cast<ASUnicode*>(viaC.data()),
                             static_cast<uint32>(viaC.size()), 0);
        EXPECT_EQ(viaC, c.text + u'\0');

        EXPECT_EQ(host.liveZStrings(), 2);
        zs->AddRef(z);
        zs->Release(z);
        EXPECT_EQ(host.liveZStrings(), 2);
        zs->Release(z);
        zs->Release(fromC);
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

TEST_F(DescriptorSuiteTest, the_registry_keeps_copies_and_reports_every_call) {
    const auto* registry = acquire<DescriptorRegistrySuite>(host);
    ASSERT_NE(registry, nullptr);
    PIActionDescriptor d = nullptr;
    ad->Make(&d);
    ad->PutInteger(d, fourCharCode("Intn"), 42);
    ASSERT_EQ(registry->Register("key one", d, 1), noErr);
    ad->PutInteger(d, fourCharCode("Intn"), 43);
    ad->Free(d);
    EXPECT_EQ(host.registryEntry("key one")->integer(fourCharCode("Intn")), 42);

    PIActionDescriptor got = nullptr;
    ASSERT_EQ(registry->Get("key one", &got), noErr);
    ASSERT_NE(got, nullptr);
    int32 value = 0;
    ad->GetInteger(got, fourCharCode("Intn"), &value);
    EXPECT_EQ(value, 42);
    ad->Free(got);

    got = reinterpret_cast<PIActionDescriptor>(&value);
    EXPECT_EQ(registry->Get("missing", &got), noErr);
    EXPECT_EQ(got, nullptr);
    host.setRegistryGetResult("failing", -1);
    EXPECT_EQ(registry->Get("failing", &got), -1);
    EXPECT_EQ(registry->Erase("key one"), noErr);
    EXPECT_FALSE(host.registryEntry("key one").has_value());

    const std::vector<RegistryCall>& calls = host.records().registry;
    ASSERT_EQ(calls.size(), 5U);
    EXPECT_EQ(calls[0].kind, RegistryCall::Kind::Register);
    EXPECT_TRUE(calls[0].persistent);
    EXPECT_TRUE(calls[1].yieldedDescriptor);
    EXPECT_FALSE(calls[2].yieldedDescriptor);
    EXPECT_EQ(calls[3].result, -1);
    EXPECT_EQ(calls[4].kind, RegistryCall::Kind::Erase);
    EXPECT_EQ(host.liveDescriptors(), 0);
}

} // namespace
