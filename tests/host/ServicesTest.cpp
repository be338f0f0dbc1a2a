// Handles, properties, the basic suite, display and the record's
// description of the document.

#include "HostTestSupport.h"
#include "platform/DisplaySurface.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::acquire;

TEST(Handles, HoldResizeAndFreeMemoryThroughTheCallbackTable) {
    FilterHost host(Document::rgb(2, 2));
    host.beginApplication();
    HandleProcs* procs = host.record().handleProcs;
    ASSERT_NE(procs, nullptr);
    EXPECT_EQ(procs->numHandleProcs, 8);
    const int before = host.liveHandles();

    Handle h = procs->newProc(4);
    ASSERT_NE(h, nullptr);
    Ptr p = procs->lockProc(h, 0);
    EXPECT_EQ(p, *h);
    std::memcpy(p, "abcd", 4);
    procs->unlockProc(h);
    ASSERT_EQ(procs->setSizeProc(h, 6), noErr);
    EXPECT_EQ(procs->getSizeProc(h), 6);
    EXPECT_EQ(std::string(*h, 4), "abcd");
    EXPECT_EQ(host.liveHandles(), before + 1);
    procs->disposeProc(h);
    EXPECT_EQ(host.liveHandles(), before);
    EXPECT_TRUE(host.records().faults.empty());

    char notMaster = 0;
    char* master = &notMaster;
    procs->disposeProc(&master);
    EXPECT_EQ(procs->getSizeProc(&master), 0);
    EXPECT_EQ(host.records().faults.size(), 2U);
}

// Version 1 orders the slots after Dispose differently; each version's
// table must match its own order.
TEST(Handles, BothVersionsOfTheHandleSuiteKeepTheirSlotOrder) {
    FilterHost host(Document::rgb(2, 2));
    host.beginApplication();
    const void* table = nullptr;
    ASSERT_EQ(host.basicSuite()->AcquireSuite(HandleSuite::suiteName, 1, &table), 0);
    using GetSize1 = int32 (*)(Handle);
    const auto* slots = static_cast<void* const*>(table);
    const auto* v2 = acquire<HandleSuite>(host);
    ASSERT_NE(v2, nullptr);
    Handle h = v2->New(5);
    EXPECT_EQ(v2->GetSize(h), 5);
    EXPECT_EQ(reinterpret_cast<GetSize1>(slots[3])(h), 5);
    Ptr address = nullptr;
    Boolean oldLock = 1;
    v2->SetLock(h, 1, &address, &oldLock);
    EXPECT_EQ(address, *h);
    EXPECT_EQ(oldLock, 0);
    v2->Dispose(h);
}

TEST(Properties, ReportTheDocumentAndWhatATestSets) {
    Document document(ColorMode::RGB, 16, 3, 3);
    document.name = u"Fr\u00FChling \u6625.psd";
    FilterHost host(document);
    host.setProperty(propLayerIsSmartObject, -1);
    host.beginApplication();
    PropertyProcs* procs = host.record().propertyProcs;
    ASSERT_NE(procs, nullptr);

    struct Case {
        uint32 key;
        std::intptr_t expected;
    };
    const Case simple[] = {{propPlayInProgress, 0},
                           {propLayerIsSmartObject, -1},
                           {propImageMode, modeRGB48},
                           {propWatchSuspension, 0}};
    for (const Case& c : simple) {
        std::intptr_t value = 12345;
        EXPECT_EQ(procs->getPropertyProc(photoshopSignature, c.key, 0, &value, nullptr), noErr);
        EXPECT_EQ(value, c.expected) << fourCharText(c.key);
    }

    Handle name = nullptr;
    ASSERT_EQ(
        procs->getPropertyProc(photoshopSignature, propUnicodeDocumentName, 0, nullptr, &name),
        noErr);
    // UTF-16 with no terminator: the size is the length.
    const std::vector<std::uint8_t> bytes = *host.handleBytes(name);
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), bytes.size());
    EXPECT_EQ(units, document.name);
    host.record().handleProcs->disposeProc(name);

    std::intptr_t value = 0;
    EXPECT_EQ(procs->getPropertyProc(photoshopSignature, fourCharCode("none"), 0, &value, nullptr),
              errPlugInPropertyUndefined);
    EXPECT_EQ(procs->getPropertyProc(fourCharCode("XXXX"), propPlayInProgress, 0, &value, nullptr),
              errPlugInPropertyUndefined);
    EXPECT_EQ(host.records().propertyGets.size(), 7U);
}

TEST(Properties, SetsAreRecordedAndOnlyWritableOnesChange) {
    FilterHost host(Document::rgb(2, 2));
    host.beginApplication();
    PropertyProcs* procs = host.record().propertyProcs;
    EXPECT_EQ(procs->setPropertyProc(photoshopSignature, propWatchSuspension, 0, 1, nullptr),
              noErr);
    EXPECT_EQ(host.property(propWatchSuspension), 1);
    EXPECT_EQ(procs->setPropertyProc(photoshopSignature, propPlayInProgress, 0, 1, nullptr),
              errPlugInPropertyUndefined);
    EXPECT_EQ(host.property(propPlayInProgress), std::nullopt);
    Handle blob = host.newHandle({7, 8});
    procs->setPropertyProc(photoshopSignature, fourCharCode("blob"), 2, 0, blob);

    const std::vector<PropertyCall>& sets = host.records().propertySets;
    ASSERT_EQ(sets.size(), 3U);
    EXPECT_EQ(sets[0].simple, 1);
    EXPECT_EQ(sets[1].result, errPlugInPropertyUndefined);
    EXPECT_EQ(sets[2].index, 2);
    EXPECT_EQ(sets[2].complex, (std::vector<std::uint8_t>{7, 8}));

    // The host resets the watch-cursor level before each call.
    host.setEntryPoint([](int16, void*, std::intptr_t*, int16* result) { *result = 0; });
    host.callSelector(filterSelectorPrepare);
    EXPECT_EQ(host.property(propWatchSuspension), 0);
}

TEST(BasicSuite, CountsAcquiresAndReleasesAndRefusesWithdrawnSuites) {
    FilterHost host(Document::rgb(2, 2));
    host.setSuiteOffered(ZStringSuite::suiteName, ZStringSuite::suiteVersion, false);
    host.beginApplication();
    SPBasicSuite* basic = host.basicSuite();
    const void* table = nullptr;
    EXPECT_EQ(basic->AcquireSuite(ZStringSuite::suiteName, 1, &table), spSuiteNotFoundError);
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(basic->AcquireSuite(ActionDescriptorSuite::suiteName, 3, &table),
              spSuiteNotFoundError);
    EXPECT_EQ(basic->AcquireSuite(ColorSpaceSuite::suiteName, 1, &table), 0);
    EXPECT_EQ(basic->ReleaseSuite(ColorSpaceSuite::suiteName, 1), 0);
    EXPECT_NE(basic->ReleaseSuite(ColorSpaceSuite::suiteName, 1), 0);

    EXPECT_EQ(host.records().suite(ZStringSuite::suiteName, 1)->refused, 1);
    const SuiteUse* colours = host.records().suite(ColorSpaceSuite::suiteName, 1);
    EXPECT_EQ(colours->acquired, 1);
    EXPECT_EQ(colours->released, 1);
    EXPECT_EQ(host.records().faults.size(), 1U);
}

TEST(DisplayPixels, DrawsEachModeAsBlueGreenRedIntoTheSurface) {
    struct Case {
        const char* name;
        int32 mode;
        std::vector<std::uint8_t> pixel;
        std::uint8_t blue, green, red;
    };
    const Case cases[] = {
        {"RGB", modeRGBColor, {255, 128, 0}, 0, 128, 255},
        {"Gray", modeGrayScale, {90}, 90, 90, 90},
        {"CMYK", modeCMYKColor, {255, 0, 0, 255}, 0, 0, 255},
        {"Lab", modeLabColor, {136, 208, 195}, 0, 0, 255},
    };
    FilterHost host(Document::rgb(2, 2));
    host.beginApplication();
    std::unique_ptr<platform::DisplaySurface> surface = platform::createDisplaySurface();
    ASSERT_TRUE(surface->resize(3, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // One pixel drawn at column 2, row 1 of the surface.
        PSPixelMap map{};
        map.bounds = VRect{5, 5, 6, 6};
        map.imageMode = c.mode;
        map.colBytes = static_cast<int32>(c.pixel.size());
        map.rowBytes = map.colBytes;
        map.planeBytes = 1;
        map.baseAddr = const_cast<std::uint8_t*>(c.pixel.data());
        ASSERT_EQ(host.record().displayPixels(&map, &map.bounds, 1, 2, surface->context()), noErr);
        const std::uint8_t* drawn = surface->pixels() + surface->rowBytes() + 2 * 3;
        // Lab's 8-bit steps land within 2 of the RGB value.
        EXPECT_NEAR(drawn[0], c.blue, 2);
        EXPECT_NEAR(drawn[1], c.green, 2);
        EXPECT_NEAR(drawn[2], c.red, 2);
    }
    std::uint8_t pixel[3] = {};
    PSPixelMap map{};
    map.bounds = VRect{0, 0, 1, 1};
    map.imageMode = modeRGBColor;
    map.rowBytes = map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = pixel;
    // Readable memory that is not a surface (a context is checked by its tag).
    std::uint64_t notASurface[8] = {};
    EXPECT_EQ(host.record().displayPixels(&map, &map.bounds, 0, 0, notASurface), paramErr);
    map.imageMode = modeIndexedColor;
    EXPECT_EQ(host.record().displayPixels(&map, &map.bounds, 0, 0, surface->context()),
              filterBadMode);
    EXPECT_EQ(host.records().displayPixels.size(), 6U);
}

TEST(Services, TheRecordDescribesTheDocument) {
    struct Case {
        const char* name;
        ColorMode mode;
        int depth;
        bool layer;
        bool locked;
        bool selection;
        int16 imageMode;
        int16 planes;
        int16 filterCase;
        int16 outTransparency;
    };
    const Case cases[] = {
        {"RGB flat", ColorMode::RGB, 8, false, false, false, modeRGBColor, 3, 1, 0},
        {"RGB 16 selection", ColorMode::RGB, 16, false, false, true, modeRGB48, 3, 2, 0},
        {"RGB layer", ColorMode::RGB, 8, true, false, false, modeRGBColor, 4, 4, 1},
        {"RGB layer selection", ColorMode::RGB, 16, true, false, true, modeRGB48, 4, 5, 1},
        {"locked layer", ColorMode::RGB, 8, true, true, false, modeRGBColor, 4, 6, 0},
        {"locked layer selection", ColorMode::RGB, 8, true, true, true, modeRGBColor, 4, 7, 0},
        {"Gray 16", ColorMode::Gray, 16, false, false, false, modeGray16, 1, 1, 0},
        {"CMYK", ColorMode::CMYK, 8, false, false, false, modeCMYKColor, 4, 1, 0},
        {"Lab 16", ColorMode::Lab, 16, false, false, false, modeLab48, 3, 1, 0},
        {"Duotone", ColorMode::Duotone, 8, false, false, false, modeDuotone, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Document document(c.mode, c.depth, 8, 6);
        if (c.layer) {
            document.addTransparency(document.maxValue());
        }
        document.setProtectedTransparency(c.locked);
        if (c.selection) {
            document.selectRect(rectLTRB(1, 1, 3, 3));
        }
        document.iccProfile = {'i', 'c', 'c'};
        FilterHost host(document);
        host.beginApplication();
        const FilterRecord& r = host.record();
        EXPECT_EQ(r.imageMode, c.imageMode);
        EXPECT_EQ(r.depth, c.depth);
        EXPECT_EQ(r.planes, c.planes);
        EXPECT_EQ(r.filterCase, c.filterCase);
        EXPECT_EQ(r.haveMask, c.selection ? 1 : 0);
        EXPECT_EQ(r.inLayerPlanes + r.inNonLayerPlanes, document.colorChannels());
        EXPECT_EQ(r.inTransparencyMask, c.layer ? 1 : 0);
        EXPECT_EQ(r.outTransparencyMask, c.outTransparency);
        EXPECT_EQ(host.handleBytes(r.iCCprofileData), document.iccProfile);
        EXPECT_EQ(r.iCCprofileSize, 3);
        EXPECT_EQ(r.hostSig, photoshopSignature);
        // A selection narrows the filter rectangle to its bounds.
        EXPECT_EQ(r.filterRect.right, c.selection ? 3 : 8);
    }
}

TEST(Services, LoadingReportsAMissingLibraryOrEntryPoint) {
    FilterHost host(Document::rgb(2, 2));
    std::string error;
    EXPECT_FALSE(host.loadPlugin(host_testing::testFilterPath() + ".missing", error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(host.loadPlugin(host_testing::testFilterPath(), error, "NoSuchEntry"));
    EXPECT_NE(error.find("NoSuchEntry"), std::string::npos);
    EXPECT_TRUE(host.loadPlugin(host_testing::testFilterPath(), error)) << error;
    EXPECT_NE(host.hostWindow(), nullptr);
}

} // namespace
