// Per-page enhancement settings from the scan request, for both command
// generations.
#include "VexmorApi/Temp/ConvertScanParam.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vscore;

namespace {

VS_SCANNER_PARAMETERS Request()
{
    VS_SCANNER_PARAMETERS r;
    ClearRecord(&r);
    r.resolutionX = r.resolutionY = 300;
    r.colortype = COLOR24BIT;
    r.scanAreaInfo.papertype = A4;
    return r;
}

VS_SCANNER_CAPABILITY Capability(CommandVersion version)
{
    VS_SCANNER_CAPABILITY c;
    ClearRecord(&c);
    c.commandVersion = version;
    c.category = DOCUMENTSCANNER;
    c.blankRemoval.cap = SUPPORT;
    return c;
}

const CConvertScanParam::PaperSourceSide kFeederFront{1, false};

_IMAGEPROC_PARAM V2(const VS_SCANNER_PARAMETERS& user, const VS_SCANNER_CAPABILITY& capability,
                    CConvertScanParam::PaperSourceSide side = kFeederFront)
{
    return CConvertScanParam::ToImageEnhanceParam_v2(capability, user, user, Page::AutoColorNone, AXIS{2480, 3508},
                                                     side);
}

}  // namespace

TEST(CConvertScanParam, BrightnessAndContrastRunFrom0To255)
{
    struct Case {
        int32_t user;
        int32_t level;
    };
    for (const Case& c : {Case{0, 128}, Case{-50, 0}, Case{50, 255}, Case{-25, 64}, Case{-51, 0}, Case{INT32_MAX, 255},
                          Case{INT32_MIN, 0}}) {
        VS_SCANNER_PARAMETERS user = Request();
        user.brightness = c.user;
        user.contrast = c.user;
        user.enhanced.colorTone = {false, true, {}, c.user, c.user, 0, 0, 250};
        _IMAGEPROC_PARAM const p = V2(user, Capability(CommandVersion_MOSSA));
        EXPECT_EQ(p.brightness, c.level) << c.user;
        EXPECT_EQ(p.contrast, c.level) << c.user;
        EXPECT_EQ(p.toneMode, 2);
        EXPECT_EQ(p.toneBrightness, c.level) << c.user;
        EXPECT_EQ(p.toneContrast, c.level) << c.user;
        EXPECT_DOUBLE_EQ(p.toneGamma, 2.5);
    }
}

// Each rule against the record a generation-2 device gets; the generation-1
// record of the same request keeps everything but the shared rules at zero.
TEST(CConvertScanParam, FeatureRulesByGeneration)
{
    struct Case {
        const char* name;
        CommandVersion version;
        std::function<void(VS_SCANNER_PARAMETERS&, VS_SCANNER_CAPABILITY&)> edit;
        std::function<void(const _IMAGEPROC_PARAM&)> v2;
        std::function<void(const _IMAGEPROC_PARAM&)> v1;
    };
    auto const untouchedByV1 = [](const _IMAGEPROC_PARAM& p) {
        EXPECT_EQ(p.brightness, 0);
        EXPECT_EQ(p.contrast, 0);
        EXPECT_EQ(p.toneMode, 0);
        EXPECT_FALSE(p.colorDrop.on);
        EXPECT_FALSE(p.punchHole.on);
        EXPECT_FALSE(p.barcode.execute);
        EXPECT_TRUE(p.barcode.types.empty());
        EXPECT_TRUE(p.patchcode.types.empty());
        EXPECT_FALSE(p.dustRemoval.on);
        EXPECT_EQ(p.monoThresholdMode, IMAGEPROC_THRESHOLD_STATIC);
        EXPECT_EQ(p.monoThresholdLevel, 0);
        EXPECT_EQ(p.paperPosition, IMAGEPROC_PAPER_CENTER);
    };
    const Case cases[] = {
        {"generation 1 leaves the generation-2 features at zero", CommandVersion_KELP2,
         [](auto& r, auto&) {
             r.brightness = 30, r.enhanced.colorTone.customTone = true, r.enhanced.colorDrop.drop = true;
             r.enhanced.punchHoleRemove.remove = true, r.enhanced.dustRemoval = {true, {}, 2};
             r.enhanced.detectBarcode.execute = true, r.enhanced.detectBarcode.typesNum = 2;
             r.enhanced.detectBarcode.types[0] = QR, r.enhanced.detectBarcode.types[1] = CODE39;
             r.enhanced.detectPatchcode = {true, {}, {TYPE_2}, 1, {}};
             r.enhanced.monoThreshold = {false, true, {}, 90};
         },
         [](const auto& p) {
             EXPECT_EQ(p.brightness, 204);
             EXPECT_EQ(p.toneMode, 2);
             EXPECT_TRUE(p.colorDrop.on);
             EXPECT_TRUE(p.punchHole.on);
             EXPECT_EQ(p.dustRemoval.values[0], 60);
             EXPECT_EQ(p.barcode.types, (std::vector<BARCODE_TYPE>{QR, CODE39}));
             EXPECT_EQ(p.patchcode.types, std::vector<PATCHCODE_TYPE>{TYPE_2});
             EXPECT_EQ(p.monoThresholdMode, IMAGEPROC_THRESHOLD_USER);
             EXPECT_EQ(p.monoThresholdLevel, 90);
         },
         untouchedByV1},
        {"dust and line removal only on command version 258", CommandVersion_MOSSA,
         [](auto& r, auto&) {
             r.enhanced.dustRemoval = {true, {}, 2};
             r.enhanced.lineRemove = {true, {}, LINE_VERTICAL_HORIZONAL, 5, 7, MM};
         },
         [](const auto& p) {
             EXPECT_FALSE(p.dustRemoval.on);
             EXPECT_FALSE(p.lineRemoval.on);
             EXPECT_EQ(p.toneMode, 3);
         },
         untouchedByV1},
        {"line removal in both directions", CommandVersion_KELP2,
         [](auto& r, auto&) { r.enhanced.lineRemove = {true, {}, LINE_VERTICAL_HORIZONAL, 5, 7, MM}; },
         [](const auto& p) {
             EXPECT_EQ(p.lineRemoval.vertical.value, 33);
             EXPECT_EQ(p.lineRemoval.horizontal.dashedLength, 7u);
             EXPECT_EQ(p.lineRemoval.horizontal.minLength, 5u);
             EXPECT_EQ(p.toneMode, 0);
         },
         [](const auto& p) { EXPECT_FALSE(p.lineRemoval.on); }},
        {"threshold of command version 13 and no user threshold", CommandVersion_2017, [](auto&, auto&) {},
         [](const auto& p) {
             EXPECT_EQ(p.monoThresholdMode, IMAGEPROC_THRESHOLD_STATIC);
             EXPECT_EQ(p.monoThresholdLevel, 195);
         },
         untouchedByV1},
        {"256 colours count as automatic colour; blank pages found on the computer", CommandVersion_MOSSA,
         [](auto& r, auto& c) {
             r.colortype = COLOR256, r.enhanced.blankRemoval = {true, {}, 0x1234}, c.blankRemoval.cap = UNSUPPORT;
         },
         [](const auto& p) {
             EXPECT_EQ(p.userColorType, IMAGEPROC_USER_AUTOCOLOR);
             EXPECT_TRUE(p.ShouldDetectColor());
             EXPECT_EQ(p.blankRemove.enabled, 1);
             EXPECT_EQ(p.blankRemove.level, 0x34);
         },
         [](const auto& p) {
             EXPECT_EQ(p.userColorType, IMAGEPROC_USER_AUTOCOLOR);
             EXPECT_EQ(p.blankRemove.level, 0x34);
         }},
        {"type counts beyond the lists are cut to them", CommandVersion_MOSSA,
         [](auto& r, auto&) {
             r.enhanced.detectBarcode.typesNum = 0xFFFF;
             r.enhanced.detectPatchcode.typesNum = 99;
         },
         [](const auto& p) {
             EXPECT_EQ(p.barcode.types.size(), 15u);
             EXPECT_EQ(p.patchcode.types.size(), 7u);
         },
         untouchedByV1},
        {"tape background saturates instead of wrapping", CommandVersion_MOSSA,
         [](auto&, auto& c) {
             c.colorTape = {GRAY_TAPE, {250, 250, 250}, {20, 300}};
         },
         [](const auto& p) {
             EXPECT_TRUE(p.backgroundColor.on);
             EXPECT_EQ(p.backgroundColor.lowerGray, 0);
             EXPECT_EQ(p.backgroundColor.upperGray, 255);
         },
         untouchedByV1},
        {"pseudo background of a command-version-267 device", CommandVersion_SEDGE2,
         [](auto& r, auto& c) {
             r.colortype = TRUEGRAY;
             c.pseudoBackgoundAdfFrontGray = {10, 10, 10, 0, 0, 0, 0, 0, 0};
         },
         [](const auto& p) {
             EXPECT_TRUE(p.backgroundColor.on);
             EXPECT_EQ(p.backgroundColor.lowerGray, 0);
             EXPECT_EQ(p.backgroundColor.upperGray, 30);
         },
         untouchedByV1},
        {"edge cut less 50, edge fill and rotation", CommandVersion_MOSSA,
         [](auto& r, auto&) {
             r.enhanced.edgeCut = {true, {}, {1000, 0, 0, 2000}, INCH};
             r.enhanced.edgeFill = {false, true, {}, BLACK, {1, 2, 3, 4, MM}};
             r.enhanced.rotateImageAngle = ROT270;
         },
         [](const auto& p) {
             EXPECT_EQ(p.edgeCut.left, 2490);
             EXPECT_EQ(p.edgeCut.right, -50);
             EXPECT_EQ(p.edgeCut.bottom, 5030);
             EXPECT_TRUE(p.edgeFill.on);
             EXPECT_TRUE(p.edgeFill.black);
             EXPECT_EQ(p.edgeFill.margin.bottom, 4);
             EXPECT_EQ(p.orientation, IMAGEPROC_ORIENT_270);
         },
         [](const auto& p) {
             EXPECT_EQ(p.edgeCut.left, 0);
             EXPECT_TRUE(p.edgeFill.black);
             EXPECT_EQ(p.orientation, IMAGEPROC_ORIENT_270);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VS_SCANNER_PARAMETERS user = Request();
        VS_SCANNER_CAPABILITY capability = Capability(c.version);
        c.edit(user, capability);
        c.v2(V2(user, capability));
        c.v1(CConvertScanParam::ToImageEnhanceParam_v1(capability, user, user, AXIS{2480, 3508}, nullptr));
    }
}

TEST(CConvertScanParam, PaperPositionMirrorsForLongEdgeBackSides)
{
    PAPERSETTINGPOSITIONS const positions{RIGHT, TOP, LEFT, TOP, CENTER, TOP};
    struct Case {
        int32_t source;
        bool back;
        DUPLEXTYPE duplex;
        IMAGEPROC_PAPER_POSITION expected;
    };
    const Case cases[] = {
        {1, false, DUPLEX_LONG, IMAGEPROC_PAPER_LEFT}, {1, true, DUPLEX_LONG, IMAGEPROC_PAPER_RIGHT},
        {1, true, DUPLEX_SHORT, IMAGEPROC_PAPER_LEFT}, {0, true, DUPLEX_LONG, IMAGEPROC_PAPER_LEFT},
        {0, false, SIMPLEX, IMAGEPROC_PAPER_RIGHT},    {2, true, DUPLEX_LONG, IMAGEPROC_PAPER_CENTER},
        {7, false, SIMPLEX, IMAGEPROC_PAPER_LEFT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CConvertScanParam::GetPaperPosition(positions, {c.source, c.back}, c.duplex), c.expected)
            << c.source << " " << c.back << " " << c.duplex;
    }
}

TEST(CConvertScanParam, CornersAndOutputSizeOfGeneration1)
{
    VS_SCANNER_PARAMETERS user = Request();
    user.enhanced.deskew = true;
    VS_SCANNER_CAPABILITY capability = Capability(CommandVersion_2017);
    capability.cornerDetect.cap = SUPPORT;
    auto corners = std::make_unique<CConvertScanParam::Image4Corners>(
        CConvertScanParam::Image4Corners{{{1, 2}, {3, 4}, {5, 6}, {UINT32_MAX, 8}}});
    _IMAGEPROC_PARAM const p =
        CConvertScanParam::ToImageEnhanceParam_v1(capability, user, user, AXIS{2480, 3508}, corners);
    EXPECT_TRUE(p.corners.cornersGiven);
    EXPECT_TRUE(p.corners.deskew);
    EXPECT_EQ(p.corners.points[2].y, 6);
    EXPECT_EQ(p.corners.points[3].x, INT32_MAX);
    EXPECT_TRUE(p.outputSizeGiven);
    EXPECT_EQ(p.outputSize.y, 3508u);
    EXPECT_TRUE(p.appendLength);
    EXPECT_EQ(p.lengthToAppend, 3508u);
}

TEST(CConvertScanParam, OutputSizeSources)
{
    tagSCANAREAINFO info{};
    info.papertype = A4;
    info.selectArea = {0, 0, 1200, 1800, PIXEL};
    SCANAREA const selected{0, 0, 2540, 5080, MM};
    AXIS const device{600, 600};
    auto size = [&](const tagSCANAREAINFO& i, bool normal, PAPERSOURCESELECT source, AXIS detected) {
        return CConvertScanParam::ToImageEnhanceOutputSize(device, 300, i, selected, normal, source, detected);
    };
    // The device area in pixels at 600 dpi, halved for 300 dpi.
    EXPECT_EQ(size(info, true, ADF, AXIS{0, 7}).x, 600u);
    // The detected size wins.
    EXPECT_EQ(size(info, true, ADF, AXIS{1000, 800}).y, 400u);
    // A fixed paper on a special area type: the paper at 300 dpi.
    EXPECT_EQ(size(info, false, ADF, AXIS{}).x, 2480u);
    tagSCANAREAINFO chosen = info;
    chosen.areaSelected = true;
    EXPECT_EQ(size(chosen, true, ADF, AXIS{}).y, 600u);
    EXPECT_EQ(size(chosen, true, CARDSLOT, AXIS{}).y, 900u);
    // A device resolution of 0 gives no size rather than a division by it.
    EXPECT_EQ(CConvertScanParam::ToImageEnhanceOutputSize(AXIS{0, 0}, 300, info, selected, true, ADF, AXIS{}).x, 0u);
}

TEST(CConvertScanParam, CopiesOwnTheirTypeLists)
{
    VS_SCANNER_PARAMETERS user = Request();
    user.enhanced.detectBarcode.typesNum = 3;
    user.enhanced.detectBarcode.types[0] = QR;
    user.enhanced.detectPatchcode.typesNum = 1;
    auto original = std::make_unique<_IMAGEPROC_PARAM>(V2(user, Capability(CommandVersion_MOSSA)));
    _IMAGEPROC_PARAM const copy = *original;
    original->barcode.types[0] = CODE128;
    original->barcode.types.push_back(JAN8);
    original.reset();
    ASSERT_EQ(copy.barcode.types.size(), 3u);
    EXPECT_EQ(copy.barcode.types[0], QR);
    EXPECT_EQ(copy.patchcode.types.size(), 1u);
}
