// The version-1 capability record: read through the cache into a buffer
// full of 0xFE, the resolution and paper-type lists, and the fields derived
// by rule rather than copied.
#include "VexmorApi/Temp/ScanCapability.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

using fakedev::Bytes;
using fakedev::Hex;
using vscore::ScanCapability;
using vscore::tagVS_SCANNER_CAPABILITY_VER1;
using vscore::VS_SCANNER_CAPABILITY;

namespace {

VS_SCANNER_CAPABILITY Record(vscore::DEVICECATEGORY category, int commandVersion)
{
    VS_SCANNER_CAPABILITY c;
    std::memset(&c, 0, sizeof c);
    c.category = category;
    c.commandVersion = static_cast<vscore::CommandVersion>(commandVersion);
    c.cmdGeneration = commandVersion > 256 ? vscore::SCANCMD_2ND_GENERATION : vscore::SCANCMD_1ST_GENERATION;
    return c;
}

TEST(ScanCapability, RecordThroughTheCacheIsWhollyWrittenWithATerminatedModelName)
{
    fakedev::FakeDeviceAccess fake;
    vscore::_DEV_IDENTIFIER id{};
    id.devif = vscore::DEVIF_USB;
    auto cmd = std::make_shared<vscore::CScanCmd>(&fake, id);
    auto caps = std::make_shared<vscore::CDeviceCaps>();

    tagVS_SCANNER_CAPABILITY_VER1 out;
    std::memset(&out, 0xFE, sizeof out);
    // Not initialised, no cache, no buffer: refused, the buffer untouched.
    EXPECT_EQ(ScanCapability::Get(caps, vscore::USB, &out), vscore::APIERR_CAPABILITY_UNAVAILABLE);
    EXPECT_EQ(ScanCapability::Get(nullptr, vscore::USB, &out), vscore::APIERR_CAPABILITY_UNAVAILABLE);
    ASSERT_EQ(caps->Initialize(cmd), 0u);
    EXPECT_EQ(ScanCapability::Get(caps, vscore::USB, nullptr), vscore::APIERR_CAPABILITY_UNAVAILABLE);
    EXPECT_TRUE(fake.Sent().empty());
    for (size_t i = 0; i < sizeof out; ++i) {
        ASSERT_EQ(reinterpret_cast<const uint8_t*>(&out)[i], 0xFE) << i;
    }

    std::string const model(200, 'M');
    Bytes const records = answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Qdi)
                              .Set("commandVersion", 0x0107)
                              .Set("deviceCategory", 3)
                              .SetText("modelName", model)
                              .Set("updateNum", 3)
                              .Set("paperSource", 0x03)
                              .Set("supportDocSizeFbMaxX", 2159)
                              .Set("supportDocSizeFbMaxY", 2970)
                              .Encode();
    Bytes qdi = Hex("00 51 44 49");
    for (int shift = 0; shift < 32; shift += 8) {
        qdi.push_back(static_cast<uint8_t>(records.size() >> shift));
    }
    qdi.insert(qdi.end(), records.begin(), records.end());
    fake.QueueData(Hex("C1 00 02 20"));
    fake.QueueData(qdi);
    ASSERT_EQ(ScanCapability::Get(caps, vscore::USB, &out), 0u);

    for (size_t i = 0; i < sizeof out; ++i) {
        ASSERT_NE(reinterpret_cast<const uint8_t*>(&out)[i], 0xFE) << "byte " << i;
    }
    EXPECT_EQ(std::string(out.modelName), model.substr(0, 127));
    EXPECT_EQ(out.commandVersion, 0x0107);
    EXPECT_EQ(out.updateVersion, 3u);
    EXPECT_EQ(out.deviceCategory, vscore::DOCUMENTSCANNER);
    ASSERT_GE(out.paperNum, 1u);
    EXPECT_EQ(out.paperTypeList[out.paperNum - 1], vscore::CUSTOMSIZE);
}

TEST(ScanCapability, ResolutionListStopsAt1200ForDocumentScanners)
{
    struct Case {
        vscore::DEVICECATEGORY category;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {vscore::DOCUMENTSCANNER, {100, 150, 200, 300, 400, 600, 1200, 0, 0, 0, 0}},
        {vscore::INK, {100, 150, 200, 300, 400, 600, 1200, 2400, 4800, 9600, 19200}},
        {vscore::LASER, {100, 150, 200, 300, 400, 600, 1200, 2400, 4800, 9600, 19200}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> list(ScanCapability::kResolutionCount, 0xFEFEFEFE);
        EXPECT_TRUE(ScanCapability::CreateResolutionList(Record(c.category, 263), list.data()));
        EXPECT_EQ(list, c.expected) << c.category;
        EXPECT_EQ(ScanCapability::Get(Record(c.category, 263), vscore::USB).resolutionList[6], 1200u);
    }
    EXPECT_FALSE(ScanCapability::CreateResolutionList(Record(vscore::INK, 263), nullptr));
}

TEST(ScanCapability, PaperTypeListFollowsSizesDetectionLongPaperAndCards)
{
    using vscore::PAPERTYPE;
    using Edit = std::function<void(VS_SCANNER_CAPABILITY&)>;
    auto const letterFlatbed = [](VS_SCANNER_CAPABILITY& c) {
        c.supportDocSizeMax = {{21590, 29700}, {0, 0}, {0, 0}, {0, 0}, vscore::MM};
    };
    // Everything up to 215.9 x 297 mm: A4, LETTER, JISB5 ... POSTCARD2.
    std::vector<PAPERTYPE> const upToLetter = {vscore::A4,        vscore::LETTER, vscore::JISB5,     vscore::A5,
                                               vscore::JISB6,     vscore::A6,     vscore::EXECUTIVE, vscore::PHOTO,
                                               vscore::INDEXCARD, vscore::PHOTOL, vscore::PHOTO2L,   vscore::POSTCARD,
                                               vscore::POSTCARD2};
    auto const with = [&](std::vector<PAPERTYPE> before, std::vector<PAPERTYPE> after) {
        before.insert(before.end(), upToLetter.begin(), upToLetter.end());
        before.insert(before.end(), after.begin(), after.end());
        std::sort(before.begin(), before.end());
        before.push_back(vscore::CUSTOMSIZE);
        return before;
    };
    struct Case {
        const char* name;
        Edit edit;
        std::vector<PAPERTYPE> expected;
    };
    const Case cases[] = {
        {"nothing supported", [](VS_SCANNER_CAPABILITY&) {}, {vscore::CUSTOMSIZE}},
        {"letter flatbed", letterFlatbed, with({}, {})},
        {"letter flatbed in 1/1000 inch",
         [](VS_SCANNER_CAPABILITY& c) {
             c.supportDocSizeMax = {{8500, 11693}, {0, 0}, {0, 0}, {0, 0}, vscore::INCH};
         },
         with({}, {})},
        {"legal feeder beside a small flatbed",
         [](VS_SCANNER_CAPABILITY& c) {
             c.supportDocSizeMax = {{10000, 10000}, {21590, 35560}, {21590, 35560}, {0, 0}, vscore::MM};
         },
         with({}, {vscore::LEGAL, vscore::FOLIO, vscore::MEXICANLEGAL, vscore::INDIALEGAL})},
        {"automatic size, long paper, upright cards",
         [&](VS_SCANNER_CAPABILITY& c) {
             letterFlatbed(c);
             c.deviceDetectSize.cap = vscore::SUPPORT;
             c.longPaperLengthMax.cap = vscore::SUPPORT;
             c.cardSizeOrientation = {vscore::UNSUPPORT, vscore::HORIZONTAL, vscore::SUPPORT, vscore::VERTICAL};
         },
         with({vscore::AUTOSIZE}, {vscore::BCARD60X90, vscore::LONGPAPER_NARROW, vscore::LONGPAPER_WIDE})},
        {"two-corner detection of a small flatbed, cards across",
         [&](VS_SCANNER_CAPABILITY& c) {
             letterFlatbed(c);
             c.paperWidthDetect.cap = vscore::SUPPORT;
             c.cardSizeOrientation = {vscore::SUPPORT, vscore::HORIZONTAL, vscore::UNSUPPORT, vscore::VERTICAL};
         },
         with({vscore::AUTOSIZE}, {vscore::BCARD90X60})},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY record = Record(vscore::DOCUMENTSCANNER, 263);
        c.edit(record);
        EXPECT_EQ(ScanCapability::CreatePaperTypeList(record), c.expected) << c.name;
        tagVS_SCANNER_CAPABILITY_VER1 const v1 = ScanCapability::Get(record, vscore::USB);
        EXPECT_EQ(std::vector<PAPERTYPE>(v1.paperTypeList, v1.paperTypeList + v1.paperNum), c.expected) << c.name;
    }
}

// Two-corner detection of a generation-2 device without size sensors hangs
// on its largest documents alone: 29699 x 41999 (1/100 mm) at most, in
// flatbed, simplex or duplex.
TEST(ScanCapability, TwoCornerDetectionStopsBelowA3InEachAxisAndSource)
{
    struct Row {
        vscore::AXIS size;
        vscore::CAPSUPPORT expected;
    };
    const Row rows[] = {
        {{29699, 41999}, vscore::SUPPORT},
        {{29700, 41999}, vscore::UNSUPPORT},
        {{29699, 42000}, vscore::UNSUPPORT},
        {{29700, 42000}, vscore::UNSUPPORT},
    };
    vscore::AXIS const large{50000, 90000};
    for (int source = 0; source < 3; ++source) {
        for (const Row& r : rows) {
            VS_SCANNER_CAPABILITY c = Record(vscore::DOCUMENTSCANNER, 263);
            c.supportDocSizeMax.flatbed = source == 0 ? r.size : large;
            c.supportDocSizeMax.simplex = source == 1 ? r.size : large;
            c.supportDocSizeMax.duplex = source == 2 ? r.size : large;
            EXPECT_EQ(ScanCapability::EnsureAutoSizeDetect2Corner(c), r.expected)
                << "source " << source << ": " << r.size.x << " x " << r.size.y;
        }
    }
    // A size sensor or generation 1 supports it whatever the sizes.
    VS_SCANNER_CAPABILITY c = Record(vscore::DOCUMENTSCANNER, 263);
    c.supportDocSizeMax = {large, large, large, large, vscore::MM};
    EXPECT_EQ(ScanCapability::EnsureAutoSizeDetect2Corner(c), vscore::UNSUPPORT);
    c.paperWidthDetect.adfDetectSensorNum = 1;
    EXPECT_EQ(ScanCapability::EnsureAutoSizeDetect2Corner(c), vscore::SUPPORT);
    c = Record(vscore::LASER, 13);
    c.supportDocSizeMax = {large, large, large, large, vscore::MM};
    EXPECT_EQ(ScanCapability::EnsureAutoSizeDetect2Corner(c), vscore::SUPPORT);
}

TEST(ScanCapability, DerivedFields)
{
    using Check = std::function<void(const tagVS_SCANNER_CAPABILITY_VER1&)>;
    struct Case {
        const char* name;
        int commandVersion;
        vscore::DEVICECATEGORY category;
        std::function<void(VS_SCANNER_CAPABILITY&)> edit;
        vscore::devif_type interfaceType;
        Check check;
    };
    const Case cases[] = {
        {"feeder margins without a flatbed", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.marginSize.flatbed = {1, 1, 1, 1, vscore::MM};
             c.marginSize.adfSimplex = {-30, -40, -50, -60, vscore::MM};
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.marginSize.left, -30);
             EXPECT_EQ(r.marginSize.bottom, -60);
         }},
        {"colours", 263, vscore::INK,
         [](VS_SCANNER_CAPABILITY& c) { c.colorType = {true, true, true, true, true, true, true}; }, vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             vscore::SUPPORTCOLORTYPES const expected{true, true, true, false, true, false, false};
             EXPECT_EQ(std::memcmp(&r.colorType, &expected, sizeof expected), 0);
         }},
        {"version 13 never deskews", 13, vscore::LASER,
         [](VS_SCANNER_CAPABILITY& c) { c.deskew.cap = vscore::SUPPORT; }, vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) { EXPECT_EQ(r.deskew.cap, vscore::UNSUPPORT); }},
        {"device deskew", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.deskew.cap = vscore::SUPPORT;
             c.deskew.supportPaperSource.adfDuplex = true;
             c.deskew.resolutionLimit = {600, 300};
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.deskew.cap, vscore::SUPPORT);
             EXPECT_TRUE(r.deskew.supportPaperSource.adfDuplex);
             EXPECT_EQ(r.deskew.maxResolution, 300u);
         }},
        {"edge cut from the feeder, sign reversed on 268", 268, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.paperSource.supportPaperSource = {true, true, false, false};
             c.marginAdjust.flatbed_plus = {1, 0, 0, 0, vscore::MM};
             c.marginAdjust.adfSimplex_minus = {0, 0, 0, -2, vscore::MM};
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.edgeCut.cap, vscore::SUPPORT);
             EXPECT_EQ(r.edgeCut.minMm.bottom, -2);
             EXPECT_EQ(r.edgeCut.maxMm.left, 0);
             EXPECT_TRUE(r.edgeCut.isReversedSignOfDevicePanel);
             EXPECT_EQ(r.imageDevide, vscore::SUPPORT);
         }},
        {"blank pages found by the engine, extreme device levels", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.blankRemoval.cap = vscore::UNSUPPORT;
             c.blankRemoval.blankLevel.levelMax = INT_MAX;
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.blankRemoval.cap, vscore::SUPPORT);
             EXPECT_EQ(r.blankRemoval.blankLevel.levelDef, 5);
             EXPECT_TRUE(r.blankRemoval.blankLevel.blankRemovDef);
         }},
        {"device blank removal with extreme levels", 263, vscore::INK,
         [](VS_SCANNER_CAPABILITY& c) {
             c.blankRemoval.cap = vscore::SUPPORT;
             c.blankRemoval.blankLevel.levelMax = INT_MAX;
             c.blankRemoval.blankLevel.levelMin = INT_MAX;
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.blankRemoval.blankLevel.levelDef, INT_MAX);
             EXPECT_FALSE(r.blankRemoval.blankLevel.blankRemovDef);
         }},
        {"waiting for documents", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.devicePanelCaps.autoCoutinuousScan = vscore::WAIT_AT_DEVICE;
             c.devicePanelCaps.paramSetting.cap = vscore::UNSUPPORT;
             c.supportPowerSource.ac = true;
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.autoContinuousScan.support, vscore::WAIT_AT_DEVICE);
             EXPECT_EQ(r.autoContinuousScan.timeoutMax, 30);
             EXPECT_EQ(r.autoContinuousScan.feedDelayMax, 5);
         }},
        {"no waiting for a mains-powered network device", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) {
             c.devicePanelCaps.autoCoutinuousScan = vscore::WAIT_AT_DEVICE;
             c.devicePanelCaps.paramSetting.cap = vscore::UNSUPPORT;
             c.supportPowerSource.ac = true;
         },
         vscore::NETWORK, [](const tagVS_SCANNER_CAPABILITY_VER1& r) { EXPECT_EQ(r.autoContinuousScan.support, 0); }},
        {"one-letter device", 12, vscore::INK,
         [](VS_SCANNER_CAPABILITY& c) {
             c.carrierSheet.cap = vscore::SUPPORT;
             c.quietMode.cap = vscore::UNKNOWN;
             c.multipageScanSystem.scan1Paper = true;
         },
         vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.carrierSheet, vscore::UNSUPPORT);
             EXPECT_EQ(r.rotateImage, vscore::UNSUPPORT);
             EXPECT_EQ(r.quietMode, vscore::UNSUPPORT);
             EXPECT_EQ(r.edgeFill.specifiedArea.cap, vscore::UNSUPPORT);
             EXPECT_EQ(r.thickText.levelMax, 0u);
             EXPECT_EQ(r.xferCount, vscore::ONESHEETXFERCOUNTONLY);
         }},
        {"platform fix-up", 263, vscore::DOCUMENTSCANNER,
         [](VS_SCANNER_CAPABILITY& c) { c.autoCrop2Pass.cap = vscore::SUPPORT; }, vscore::USB,
         [](const tagVS_SCANNER_CAPABILITY_VER1& r) {
             EXPECT_EQ(r.autoCrop, vscore::UNSUPPORT);
             EXPECT_EQ(r.monoThreshold.manuanThresholdCap, vscore::UNSUPPORT);
             EXPECT_EQ(r.smoothing.removeBackgroundCap, vscore::UNSUPPORT);
             EXPECT_EQ(r.thickText.cap, vscore::UNSUPPORT);
             EXPECT_EQ(r.thickText.levelMax, 5u);
             EXPECT_EQ(r.edgeFill.specifiedArea.cap, vscore::SUPPORT);
             EXPECT_EQ(r.plasticCard, vscore::NoCardMode);
             EXPECT_EQ(r.detectBarcode.cap, vscore::UNSUPPORT);
         }},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY record = Record(c.category, c.commandVersion);
        c.edit(record);
        SCOPED_TRACE(c.name);
        c.check(ScanCapability::Get(record, c.interfaceType));
    }
}

}  // namespace
