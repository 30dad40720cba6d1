// The scan rectangle of a scan and the paper type and orientation it is
// computed from. Expected pixel values are worked out by hand from the
// paper sizes (1 inch = 25.4 mm) at the stated resolution.
#include "VexmorApi/Temp/ScanArea.h"

#include <gtest/gtest.h>

#include <functional>

#include "VexmorApi/Temp/PaperTypeAndOrientation.h"
#include "VexmorApi/Utilities/Exception.h"

using namespace vscore;

namespace {

VS_SCANNER_CAPABILITY Capability(SCANCMD_GENERATION generation)
{
    VS_SCANNER_CAPABILITY c;
    ClearRecord(&c);
    c.cmdGeneration = generation;
    c.paperPosition = {LEFT, TOP, CENTER, TOP, LEFT, TOP};
    return c;
}

// The device answer: the feeder at 300 dpi, at most 8.5 x 14 inches.
ACTUALSCANPARAM Actual()
{
    ACTUALSCANPARAM a;
    ClearRecord(&a);
    a.paperSource = ADF;
    a.resolutionX = a.resolutionY = 300;
    a.maxScanAreaWidth = 2550;
    a.maxScanAreaHeight = 4200;
    return a;
}

tagSCANAREAINFO Paper(PAPERTYPE type)
{
    tagSCANAREAINFO info{};
    info.papertype = type;
    return info;
}

struct Area {
    uint32_t x, y, width, height;
    bool operator==(const Area& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

std::ostream& operator<<(std::ostream& out, const Area& a)
{
    return out << "{" << a.x << ", " << a.y << ", " << a.width << ", " << a.height << "}";
}

Area AsArea(const _SCANCMD_SCANAREA& a) { return Area{a.x, a.y, a.width, a.height}; }

}  // namespace

TEST(CScanArea, RectangleForPaperSourceAndGeneration)
{
    struct Case {
        const char* name;
        SCANCMD_GENERATION generation;
        std::function<void(tagSCANAREAINFO&, ACTUALSCANPARAM&, VS_SCANNER_CAPABILITY&, DUPLEXTYPE&, bool&,
                           DOCUMENTORIENTATION&)>
            edit;
        Area expected;
    };
    const Case cases[] = {
        // Generation-1 margins are positive: A4 less 3 mm a side is 204 x 291 mm, centred across.
        {"generation-1 margins shrink the page",
         SCANCMD_1ST_GENERATION,
         [](auto&, auto&, auto& c, auto&, auto&, auto&) {
             c.marginSize.adfSimplex = {300, 300, 300, 300, MM};
         },
         {70, 0, 2409, 3437}},
        // QDI margins are negative: 216 x 303 mm, wider than the device, so cut to it at x 0.
        {"QDI margins widen the page",
         SCANCMD_2ND_GENERATION,
         [](auto&, auto&, auto& c, auto&, auto&, auto&) {
             c.marginSize.adfSimplex = {-300, -300, -300, -300, MM};
         },
         {0, 0, 2550, 3579}},
        {"duplex takes the duplex margins",
         SCANCMD_1ST_GENERATION,
         [](auto&, auto&, auto& c, auto& d, auto&, auto&) {
             c.marginSize.adfSimplex = {300, 300, 300, 300, MM};
             d = DUPLEX_LONG;
         },
         {35, 0, 2480, 3508}},
        {"adjustable margins are not cut off",
         SCANCMD_2ND_GENERATION,
         [](auto&, auto&, auto& c, auto&, auto&, auto&) {
             c.marginSize.adfSimplex = {300, 300, 300, 300, MM};
             c.marginAdjust.flatbed_plus.left = 1;
         },
         {35, 0, 2480, 3508}},
        {"long paper, generation 1, no maximum given: 863 mm",
         SCANCMD_1ST_GENERATION,
         [](auto& i, auto& a, auto&, auto&, auto&, auto&) { i.papertype = LONGPAPER_WIDE, a.maxScanAreaHeight = 0; },
         {0, 0, 2550, 10193}},
        {"long paper, generation 1, the duplex maximum",
         SCANCMD_1ST_GENERATION,
         [](auto& i, auto& a, auto& c, auto& d, auto&, auto&) {
             i.papertype = LONGPAPER_NARROW, a.maxScanAreaHeight = 0, d = DUPLEX_SHORT;
             c.longPaperLengthMax = {SUPPORT, 90000, 50000, 0, 0, MM};
         },
         {637, 0, 1275, 5906}},
        {"long paper, generation 2: the device finds the end",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) {
             i.papertype = LONGPAPER_WIDE, c.longPaperLengthMax = {SUPPORT, 90000, 50000, 0, 0, MM};
         },
         {0, 0, 2550, 0}},
        {"carrier sheet without a given head moves the page 32 mm down",
         SCANCMD_2ND_GENERATION,
         [](auto&, auto&, auto&, auto&, bool& carrier, auto&) { carrier = true; },
         {35, 378, 2480, 3508}},
        {"carrier sheet with a 10 mm head",
         SCANCMD_2ND_GENERATION,
         [](auto&, auto&, auto& c, auto&, bool& carrier, auto&) {
             carrier = true, c.carrierSheet.offsetSizeMm = {1000, 2000};
         },
         {35, 118, 2480, 3508}},
        {"a page as wide as the maximum starts at 0",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) { i.papertype = LETTER, c.paperPosition.adfX = RIGHT; },
         {0, 0, 2550, 3300}},
        {"landscape A5 lies across",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto&, auto&, auto&, auto& o) { i.papertype = A5, o = D_HORIZONTAL; },
         {35, 0, 2480, 1748}},
        {"business card standing upright in the feeder",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) {
             i.papertype = BCARD90X60, c.cardSizeOrientation = {UNSUPPORT, AUTOROTATE, SUPPORT, VERTICAL};
         },
         {920, 0, 709, 1063}},
        {"business card on generation 1 keeps its row",
         SCANCMD_1ST_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) {
             i.papertype = BCARD90X60, c.cardSizeOrientation = {UNSUPPORT, AUTOROTATE, SUPPORT, VERTICAL};
         },
         {743, 0, 1063, 709}},
        {"selected pixel area at 600 dpi, scanned at 300",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) {
             c.paperPosition.adfX = LEFT;
             i.areaSelected = true, i.selectArea = {600, 1200, 1200, 2400, PIXEL};
         },
         {300, 600, 600, 1200}},
        {"selected area in 1/100 mm",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto& c, auto&, auto&, auto&) {
             c.paperPosition.adfX = LEFT;
             i.areaSelected = true, i.selectArea = {2540, 5080, 12700, 2540, MM};
         },
         {300, 600, 1500, 300}},
        {"a selected area is ignored on the card slot",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto& a, auto&, auto&, auto&, auto&) {
             a.paperSource = CARDSLOT, i.areaSelected = true, i.selectArea = {600, 1200, 1200, 2400, PIXEL};
         },
         {0, 0, 2480, 3508}},
        {"custom size in 1/1000 inch",
         SCANCMD_2ND_GENERATION,
         [](auto& i, auto&, auto&, auto&, auto&, auto&) {
             i.papertype = CUSTOMSIZE, i.customPaperSize = {{5000, 7000}, INCH};
         },
         {525, 0, 1500, 2100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tagSCANAREAINFO info = Paper(A4);
        ACTUALSCANPARAM actual = Actual();
        VS_SCANNER_CAPABILITY capability = Capability(c.generation);
        DUPLEXTYPE duplex = SIMPLEX;
        bool carrier = false;
        DOCUMENTORIENTATION orientation = D_VERTICAL;
        c.edit(info, actual, capability, duplex, carrier, orientation);
        CPaperTypeAndOrientation const paper(info, AXIS{600, 600}, orientation);
        EXPECT_EQ(
            AsArea(CScanArea::CalcScanArea(actual, duplex, carrier, paper, CDeviceCapsForPreparation(capability))),
            c.expected);
    }
}

TEST(CScanArea, ZeroResolutionsGiveEmptySizes)
{
    // A pixel size or area given at resolution 0 cannot be rescaled.
    EXPECT_EQ(CScanArea::CalcCustomPaperSize(AXIS{300, 300}, MARGINSIZE{0, 0, 0, 0, MM}, PAPERSIZE{{1000, 1000}, PIXEL},
                                             AXIS{0, 0})
                  .x,
              0u);
    _SCANCMD_SCANAREA area{SCANCMD_SCAN_AREA_NORMAL, 10, 10, 100, 100};
    CScanArea::AdjustToSelectedScanArea(area, AXIS{300, 300}, SCANAREA{-50, 60, 70, 80, PIXEL}, AXIS{0, 0});
    EXPECT_EQ(AsArea(area), (Area{10, 10, 0, 0}));
    // Offsets that would take the area below 0 stop at 0.
    area = {SCANCMD_SCAN_AREA_NORMAL, 10, 10, 100, 100};
    CScanArea::AdjustToSelectedScanArea(area, AXIS{300, 300}, SCANAREA{-50, 60, 70, 80, PIXEL}, AXIS{300, 300});
    EXPECT_EQ(AsArea(area), (Area{0, 70, 70, 80}));
}

// Pixel sizes near 2^32 at resolutions near 2^32: the product of size and
// resolution does not fit 64 bits, the rescaled size is still exact where it
// fits 32 bits and saturates where it does not.
TEST(CScanArea, CustomPixelSizeRescaleNeverOverflows)
{
    struct Row {
        uint32_t size;
        uint32_t to;
        uint32_t from;
        uint32_t expected;
    };
    const Row rows[] = {
        {UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX},
        {4000000000u, 3000000000u, 4000000000u, 3000000000u},
        {UINT32_MAX, UINT32_MAX, 1, UINT32_MAX},
        {UINT32_MAX, UINT32_MAX, 3, UINT32_MAX},
        {1000, 600, 300, 2000},
    };
    for (const Row& r : rows) {
        AXIS const size = CScanArea::CalcCustomPaperSize(AXIS{r.to, r.to}, MARGINSIZE{0, 0, 0, 0, MM},
                                                         PAPERSIZE{{r.size, r.size}, PIXEL}, AXIS{r.from, r.from});
        EXPECT_EQ(size.x, r.expected) << r.size << " x " << r.to << " / " << r.from;
        EXPECT_EQ(size.y, r.expected) << r.size << " x " << r.to << " / " << r.from;
    }
}

TEST(CScanArea, OffsetsAndDuplexSwap)
{
    EXPECT_EQ(CScanArea::CalcOffsetValue(100, 100, CENTER), 0);
    EXPECT_EQ(CScanArea::CalcOffsetValue(150, 100, RIGHT), 0);
    EXPECT_EQ(CScanArea::CalcOffsetValue(51, 100, CENTER), 24);
    EXPECT_EQ(CScanArea::CalcOffsetValue(51, 100, RIGHT), 49);
    EXPECT_EQ(CScanArea::CalcOffsetValue(51, 100, BOTTOM), 0);
    EXPECT_TRUE(CScanArea::ShouldChangeDuplexType(D_HORIZONTAL, DUPLEX_SHORT));
    EXPECT_TRUE(CScanArea::ShouldChangeDuplexType(D_HORIZONTAL, DUPLEX_LONG));
    EXPECT_FALSE(CScanArea::ShouldChangeDuplexType(D_HORIZONTAL, SIMPLEX));
    EXPECT_FALSE(CScanArea::ShouldChangeDuplexType(D_VERTICAL, DUPLEX_SHORT));
}

// Detection on the flatbed at 300 dpi: corners (0, 0) and (dx, dy) in pixels.
TEST(CPaperTypeAndOrientation, PaperFromDetectedCorners)
{
    struct Case {
        const char* name;
        int32_t dx, dy;
        uint32_t detectionResolution;
        std::function<void(VS_SCANNER_CAPABILITY&, DETECTEDPAPERINFO&)> edit;
        PAPERTYPE type;
        DOCUMENTORIENTATION orientation;
    };
    // The device reports corners and orientation, not the paper type.
    auto const corners = [](VS_SCANNER_CAPABILITY& c) {
        c.paperWidthDetect.fb2CornerData = SUPPORT;
        c.paperWidthDetect.fbPaperOrientation = SUPPORT;
    };
    const Case cases[] = {
        {"200 mm across is A4", 2362, 0, 300, [&](auto& c, auto&) { corners(c); }, A4, D_VERTICAL},
        {"the distance is measured skewed too", 1670, 1670, 300, [&](auto& c, auto&) { corners(c); }, A4, D_VERTICAL},
        {"288 mm and more is A3", 3400, 0, 300, [&](auto& c, auto&) { corners(c); }, A3, D_VERTICAL},
        {"50 mm tells nothing: A4 without A3 on the flatbed", 590, 0, 300, [&](auto& c, auto&) { corners(c); }, A4,
         D_VERTICAL},
        {"50 mm tells nothing: A3 where the flatbed takes A3", 590, 0, 300,
         [&](auto& c, auto&) {
             corners(c), c.supportDocSizeMax = {{29700, 42000}, {}, {}, {}, MM};
         },
         A3, D_VERTICAL},
        {"identical corners tell nothing", 0, 0, 300, [&](auto& c, auto&) { corners(c); }, A4, D_VERTICAL},
        {"no detection resolution tells nothing", 2362, 0, 0, [&](auto& c, auto&) { corners(c); }, A4, D_VERTICAL},
        {"a lying A4 measured on its long side is A5 where A5 lies across", 2362, 0, 300,
         [&](auto& c, auto& d) {
             corners(c), d.paperOrientation = D_HORIZONTAL, c.recommendedOrientation.orientA5Fb = D_HORIZONTAL;
         },
         A5, D_HORIZONTAL},
        {"a lying A3 becomes A4 where A4 lies across", 3400, 0, 300,
         [&](auto& c, auto& d) {
             corners(c), d.paperOrientation = D_HORIZONTAL, c.recommendedOrientation.orientA4Fb = D_HORIZONTAL;
         },
         A4, D_HORIZONTAL},
        {"type and orientation reported", 0, 0, 300,
         [](auto& c, auto& d) {
             c.paperWidthDetect.fbStanderdSize = c.paperWidthDetect.fbPaperOrientation = SUPPORT;
             d.paperType = LETTER, d.paperOrientation = D_HORIZONTAL;
         },
         LETTER, D_HORIZONTAL},
        {"type reported, orientation from 222 mm across an A4", 2620, 0, 300,
         [](auto& c, auto& d) {
             c.paperWidthDetect.fbStanderdSize = c.paperWidthDetect.fb2CornerData = SUPPORT;
             c.recommendedOrientation.standerdOrientFb = D_VERTICAL;
             c.recommendedOrientation.orientA4Fb = D_HORIZONTAL;
             d.paperType = A4;
         },
         A4, D_VERTICAL},
        {"type reported, orientation from 262 mm across an A4", 3100, 0, 300,
         [](auto& c, auto& d) {
             c.paperWidthDetect.fbStanderdSize = c.paperWidthDetect.fb2CornerData = SUPPORT;
             c.recommendedOrientation.standerdOrientFb = D_VERTICAL;
             c.recommendedOrientation.orientA4Fb = D_HORIZONTAL;
             d.paperType = A4;
         },
         A4, D_HORIZONTAL},
        {"nothing detected is the device maximum", 2362, 0, 300, [](auto&, auto&) {}, DEVICEMAX, NOT_ORIENTATION},
        {"214 mm (LETTER) less 2 x 3 mm of negative margin is A4", 2528, 0, 300,
         [&](auto& c, auto&) {
             corners(c), c.marginSize.flatbed = {-300, -300, -300, -300, MM};
         },
         A4, D_VERTICAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_2ND_GENERATION);
        DETECTEDPAPERINFO detected{};
        detected.resolutionX = detected.resolutionY = c.detectionResolution;
        detected.vertexX2 = c.dx;
        detected.vertexY2 = c.dy;
        detected.paperSource = FLATBED;
        detected.paperOrientation = D_VERTICAL;
        c.edit(capability, detected);
        CPaperTypeAndOrientation const paper(Paper(AUTOSIZE), AXIS{300, 300}, detected,
                                             CDeviceCapsForPreparation(capability));
        EXPECT_EQ(paper.GetPaperType(), c.type);
        EXPECT_EQ(paper.GetPaperOrientation(), c.orientation);
        EXPECT_FALSE(paper.GetCalculatedSize().has_value());
    }
}

TEST(CPaperTypeAndOrientation, SizeMeasuredFromCornersAlone)
{
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_2ND_GENERATION);
    capability.paperWidthDetect.fb2CornerData = SUPPORT;
    struct Case {
        int32_t dx;
        AXIS size;
    };
    // A4 is 8267 x 11692 thousandths of an inch: 2480 x 3507 pixels at 300 dpi. Identical corners measure
    // nothing and fall back to A4 lying straight.
    for (const Case& c : {Case{2362, {2480, 3507}}, Case{0, {2480, 3507}}}) {
        DETECTEDPAPERINFO detected{};
        detected.resolutionX = detected.resolutionY = 300;
        detected.vertexX2 = c.dx;
        detected.paperSource = FLATBED;
        CPaperTypeAndOrientation const paper(Paper(AUTOSIZE), AXIS{300, 300}, detected,
                                             CDeviceCapsForPreparation(capability));
        EXPECT_EQ(paper.GetPaperType(), AUTOSIZE);
        ASSERT_TRUE(paper.GetCalculatedSize().has_value());
        EXPECT_EQ(paper.GetCalculatedSize()->size.x, c.size.x) << c.dx;
        EXPECT_EQ(paper.GetCalculatedSize()->size.y, c.size.y) << c.dx;
        EXPECT_EQ(paper.GetCalculatedSize()->unit, PIXEL);
    }
}

TEST(CPaperTypeAndOrientation, CustomSizeNeedsItsConstructor)
{
    try {
        CPaperTypeAndOrientation paper(CUSTOMSIZE, D_VERTICAL);
        FAIL() << "no exception";
    } catch (const TraceException& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidSequence);
        EXPECT_EQ(e.GetMessage(), "An incorrect constructor is called.");
    }
    tagSCANAREAINFO info = Paper(CUSTOMSIZE);
    info.customPaperSize = {{500, 700}, PIXEL};
    CPaperTypeAndOrientation const paper(info, AXIS{150, 200}, D_VERTICAL);
    ASSERT_TRUE(paper.GetCustomSize().has_value());
    EXPECT_EQ(paper.GetCustomSize()->resolution.y, 200u);
}
