// The paper table in both length units against exact values, the long-paper
// limits and the area helpers.
#include "VexmorApi/Temp/PaperSize.h"

#include <gtest/gtest.h>

using vscore::AXIS;
using vscore::CPaperSize;
using vscore::INCH;
using vscore::MM;
using vscore::PAPERTYPE;
using vscore::PIXEL;
using vscore::SCANAREA;

namespace {

TEST(CPaperSize, EveryPaperTypeInBothUnits)
{
    // Exact values (rational arithmetic, truncated): 1/1000 inch and 1/100 mm.
    struct Row {
        PAPERTYPE type;
        AXIS inch;
        AXIS mm;
    };
    const Row rows[] = {
        {vscore::AUTOSIZE, {0, 0}, {0, 0}},
        {vscore::A4, {8267, 11692}, {21000, 29700}},
        {vscore::LETTER, {8500, 11000}, {21590, 27940}},
        {vscore::LEGAL, {8500, 14000}, {21590, 35560}},
        {vscore::A3, {11692, 16535}, {29700, 42000}},
        {vscore::LEDGER, {11000, 17000}, {27940, 43180}},
        {vscore::JISB4, {10118, 14330}, {25700, 36400}},
        {vscore::JISB5, {7165, 10118}, {18200, 25700}},
        {vscore::A5, {5826, 8267}, {14800, 21000}},
        {vscore::JISB6, {5039, 7165}, {12800, 18200}},
        {vscore::A6, {4133, 5826}, {10500, 14800}},
        {vscore::EXECUTIVE, {7250, 10500}, {18415, 26670}},
        {vscore::PHOTO, {4000, 6000}, {10160, 15240}},
        {vscore::INDEXCARD, {5000, 8000}, {12700, 20320}},
        {vscore::PHOTOL, {3503, 5000}, {8897, 12700}},
        {vscore::PHOTO2L, {5000, 7000}, {12700, 17780}},
        {vscore::POSTCARD, {3937, 5826}, {10000, 14800}},
        {vscore::POSTCARD2, {5826, 7874}, {14800, 20000}},
        {vscore::BCARD90X60, {3543, 2362}, {9000, 6000}},
        {vscore::BCARD60X90, {2362, 3543}, {6000, 9000}},
        {vscore::FOLIO, {8500, 13000}, {21590, 33020}},
        {vscore::MEXICANLEGAL, {8500, 13380}, {21590, 33985}},
        {vscore::INDIALEGAL, {8464, 13582}, {21500, 34500}},
        {vscore::LONGPAPER_NARROW, {4250, 0}, {10795, 0}},
        {vscore::LONGPAPER_WIDE, {8500, 0}, {21590, 0}},
        {vscore::DEVICEMAX, {0, 0}, {0, 0}},
    };
    static_assert(sizeof rows / sizeof rows[0] == 26, "all 26 types");
    for (const Row& row : rows) {
        AXIS const inch = CPaperSize::GetScanSizeFromType(row.type, INCH);
        AXIS const mm = CPaperSize::GetScanSizeFromType(row.type, MM);
        AXIS const pixel = CPaperSize::GetScanSizeFromType(row.type, PIXEL);
        EXPECT_EQ(inch.x, row.inch.x) << row.type;
        EXPECT_EQ(inch.y, row.inch.y) << row.type;
        EXPECT_EQ(mm.x, row.mm.x) << row.type;
        EXPECT_EQ(mm.y, row.mm.y) << row.type;
        EXPECT_EQ(pixel.x + pixel.y, 0u) << row.type;
    }
    for (int type : {-1, 26, 27, 1000}) {
        AXIS const none = CPaperSize::GetScanSizeFromType(static_cast<PAPERTYPE>(type), MM);
        EXPECT_EQ(none.x + none.y, 0u) << type;
    }
}

TEST(CPaperSize, OnlyAutoLongAndDeviceMaximumAreNotFixed)
{
    for (int type = -1; type <= 27; ++type) {
        bool const notFixed = type == 0 || type == 23 || type == 24 || type == 25;
        EXPECT_EQ(CPaperSize::IsFixedPaperType(static_cast<PAPERTYPE>(type)), !notFixed) << type;
    }
}

TEST(CPaperSize, LongPaperLimitsPerResolution)
{
    struct Case {
        unsigned int resolution;
        unsigned int imageResolution;
        unsigned int rows;
        PAPERTYPE type;
        bool longPaper;
        bool supported;
    };
    const Case cases[] = {
        {1200, 1200, 16800, vscore::LONGPAPER_WIDE, true, true},  // exactly 355.6 mm
        {1200, 1200, 16801, vscore::LONGPAPER_WIDE, true, true},  // truncated to the same length
        {1200, 1200, 16802, vscore::LONGPAPER_NARROW, true, false},
        {250, 250, 1, vscore::LONGPAPER_WIDE, true, false},     // no row for 250 dpi
        {600, 300, 11811, vscore::LONGPAPER_WIDE, true, true},  // 1000 mm at 300 dpi rows
        {600, 300, 11812, vscore::LONGPAPER_WIDE, true, false},
        {400, 400, 0, vscore::LONGPAPER_WIDE, true, true},
        {250, 250, 900000, vscore::LONGPAPER_WIDE, false, true},  // not long paper: no limit
        {250, 250, 900000, vscore::A4, true, true},
        {600, 0, 10, vscore::LONGPAPER_WIDE, true, false},  // no image resolution
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CPaperSize::IsSupportImageSize(c.resolution, c.imageResolution, c.rows, c.type, c.longPaper),
                  c.supported)
            << c.resolution << " dpi, " << c.rows << " rows";
    }
}

TEST(CPaperSize, AreaHelpers)
{
    vscore::AXIS_SIGNED const a{0, 0};
    vscore::AXIS_SIGNED const b{300, -400};
    AXIS const resolution{100, 9999};
    EXPECT_DOUBLE_EQ(CPaperSize::GetDistanceOfCorners(a, b, resolution, PIXEL), 500.0);
    EXPECT_DOUBLE_EQ(CPaperSize::GetDistanceOfCorners(a, b, resolution, INCH), 5000.0);
    EXPECT_NEAR(CPaperSize::GetDistanceOfCorners(a, b, resolution, MM), 12700.0, 1e-9);
    EXPECT_DOUBLE_EQ(CPaperSize::GetDistanceOfCorners(a, b, AXIS{0, 0}, MM), 0.0);

    SCANAREA const revised = CPaperSize::ReviseArea(SCANAREA{500, 10, 3000, 200, PIXEL}, AXIS{400, 0});
    EXPECT_EQ(revised.offsetX, 0);
    EXPECT_EQ(revised.width, 400);
    EXPECT_EQ(revised.offsetY, 10) << "a zero maximum leaves the axis alone";
    EXPECT_EQ(revised.height, 200);

    vscore::DEVICESCANSIZES margins{};
    margins.flatbed = {100, 0};
    margins.simplex = {254, 0};
    margins.unit = MM;
    EXPECT_EQ(CPaperSize::AddMarginSize(1000, MM, margins, vscore::FLATBED), 1200);
    EXPECT_EQ(CPaperSize::AddMarginSize(1000, INCH, margins, vscore::ADF), 1200);

    SCANAREA const cut = CPaperSize::CutOutMarginSize(SCANAREA{7, 8, 100, 50, MM}, AXIS{10, 30});
    EXPECT_EQ(cut.width, 80);
    EXPECT_EQ(cut.height, -10);
    EXPECT_EQ(cut.offsetX, 7);
    EXPECT_EQ(cut.unit, MM);
}

// Generation-2 devices report margins below 0 (the scan reaches past the
// paper edge); ConvAndGetMarginDocSize hands them over as the bit pattern of
// the signed value.
TEST(CPaperSize, AddMarginSizeTakesNegativeMarginsBack)
{
    struct Case {
        int32_t margin;
        vscore::UNITTYPE marginUnit;
        vscore::UNITTYPE unit;
        vscore::PAPERSOURCESELECT source;
        int expected;
    };
    const Case cases[] = {
        {-300, MM, MM, vscore::FLATBED, 20000 - 600},
        {-254, MM, INCH, vscore::ADF, 20000 - 200},
        {-100, INCH, MM, vscore::ADF, 20000 - 508},
        {300, MM, MM, vscore::FLATBED, 20000 + 600},
    };
    for (const Case& c : cases) {
        vscore::DEVICESCANSIZES margins{};
        margins.flatbed = {static_cast<uint32_t>(c.margin), 0};
        margins.simplex = {static_cast<uint32_t>(c.margin), 0};
        margins.unit = c.marginUnit;
        EXPECT_EQ(CPaperSize::AddMarginSize(20000, c.unit, margins, c.source), c.expected) << c.margin;
    }
}

}  // namespace
