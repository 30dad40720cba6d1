// Unit conversions: the documented values, large values that must not wrap,
// signs, and the refusals (PIXEL, no positive magnitude, zero resolution).
#include "VexmorApi/Temp/ConvertUnit.h"

#include <gtest/gtest.h>

#include <climits>

using vscore::AXIS;
using vscore::CConvertUnit;
using vscore::INCH;
using vscore::MM;
using vscore::PIXEL;
using vscore::SCANAREA;
using vscore::tagRECT;
using vscore::UNITTYPE;

namespace {

TEST(ConvertUnit, LengthToLengthValues)
{
    struct Case {
        int value;
        UNITTYPE from;
        UNITTYPE to;
        bool ok;
        int expected;
    };
    const Case cases[] = {
        {1000, INCH, MM, true, 2540},
        {2540, MM, INCH, true, 1000},
        {1, MM, INCH, true, 0},
        {2, MM, INCH, true, 0},
        {3, MM, INCH, true, 1},
        {-3, MM, INCH, true, -1},
        {-1000, INCH, MM, true, -2540},
        {600000, MM, INCH, true, 236220},  // the product exceeds 32 bits
        {-600000, MM, INCH, true, -236220},
        {1234, MM, MM, true, 1234},
        {INT_MAX, INCH, MM, true, INT_MAX},  // saturates
        {INT_MIN, MM, INCH, false, 0},
        {5, PIXEL, MM, false, 0},
        {5, INCH, PIXEL, false, 0},
        {5, INCH, static_cast<UNITTYPE>(7), false, 0},
    };
    for (const Case& c : cases) {
        int out = 77;
        EXPECT_EQ(CConvertUnit::ConvertUnit(c.value, c.from, &out, c.to), c.ok) << c.value;
        EXPECT_EQ(out, c.ok ? c.expected : 77) << c.value << ": failures leave the output";
        if (c.value >= 0 && c.value != INT_MAX) {
            unsigned int unsignedOut = 0;
            EXPECT_EQ(CConvertUnit::ConvertUnit(static_cast<unsigned int>(c.value), c.from, &unsignedOut, c.to), c.ok);
            if (c.ok) {
                EXPECT_EQ(unsignedOut, static_cast<unsigned int>(c.expected)) << c.value;
            }
        }
    }
    unsigned int big = 0;
    EXPECT_TRUE(CConvertUnit::ConvertUnit(UINT_MAX, INCH, &big, MM));
    EXPECT_EQ(big, UINT_MAX);
    EXPECT_FALSE(CConvertUnit::ConvertUnit(1, INCH, static_cast<int*>(nullptr), MM));
}

TEST(ConvertUnit, PixelValues)
{
    struct Case {
        unsigned int resolution;
        unsigned int value;
        UNITTYPE unit;
        unsigned int pixels;
    };
    const Case cases[] = {
        {300, 21000, MM, 2480},  // A4 width: 8267 in 1/1000 inch, then pixels
        {300, 8267, INCH, 2480},
        {1200, 600000, MM, 283464},  // no wrap in either step
        {1200, 236220, INCH, 283464},
        {600, 1, INCH, 1},  // 0.6 pixel rounds up
        {600, 0, MM, 0},
        {300, 1234, PIXEL, 1234},
        {1200, UINT_MAX, INCH, UINT_MAX},  // saturates
    };
    for (const Case& c : cases) {
        unsigned int out = 0;
        EXPECT_TRUE(CConvertUnit::ConvertToPixles(c.resolution, c.value, c.unit, &out)) << c.value;
        EXPECT_EQ(out, c.pixels) << c.value << " at " << c.resolution;
        int signedOut = 0;
        if (c.value <= INT_MAX) {
            EXPECT_TRUE(CConvertUnit::ConvertToPixles(c.resolution, -static_cast<int>(c.value), c.unit, &signedOut));
            EXPECT_EQ(signedOut, -static_cast<int>(c.pixels)) << c.value;
        }
    }
    unsigned int out = 0;
    EXPECT_TRUE(CConvertUnit::ConvertPixlesTo(300u, 2480u, &out, INCH));
    EXPECT_EQ(out, 8266u);
    EXPECT_TRUE(CConvertUnit::ConvertPixlesTo(300u, 2480u, &out, MM));
    EXPECT_EQ(out, 20995u);
    EXPECT_TRUE(CConvertUnit::ConvertPixlesTo(1200u, 4000000000u, &out, MM));
    EXPECT_EQ(out, UINT_MAX);
    out = 9;
    EXPECT_FALSE(CConvertUnit::ConvertPixlesTo(0u, 100u, &out, MM)) << "zero resolution";
    EXPECT_EQ(out, 0u);
    int signedOut = 9;
    EXPECT_FALSE(CConvertUnit::ConvertToPixles(300u, INT_MIN, MM, &signedOut));
    EXPECT_EQ(signedOut, 0);
}

TEST(ConvertUnit, PairsRectanglesAndAreasUseTheirAxisResolution)
{
    AXIS const resolution{300, 600};
    AXIS size{};
    ASSERT_TRUE(CConvertUnit::ConvertToPixles(resolution, AXIS{1000, 1000}, INCH, &size));
    EXPECT_EQ(size.x, 300u);
    EXPECT_EQ(size.y, 600u);

    tagRECT rect{};
    ASSERT_TRUE(CConvertUnit::ConvertToPixles(resolution, tagRECT{-1000, 2000, 3000, 4000}, INCH, &rect));
    EXPECT_EQ(rect.left, -300);
    EXPECT_EQ(rect.top, 1200);
    EXPECT_EQ(rect.right, 900);
    EXPECT_EQ(rect.bottom, 2400);
    EXPECT_FALSE(CConvertUnit::ConvertPixlesTo(resolution, rect, &rect, PIXEL));

    SCANAREA area{};
    ASSERT_TRUE(CConvertUnit::ConvertToPixles(resolution, SCANAREA{2540, 2540, 5080, 5080, MM}, &area));
    EXPECT_EQ(area.unit, PIXEL);
    EXPECT_EQ(area.offsetX, 300);
    EXPECT_EQ(area.offsetY, 600);
    EXPECT_EQ(area.width, 600);
    EXPECT_EQ(area.height, 1200);
    SCANAREA back{};
    ASSERT_TRUE(CConvertUnit::ConvertPixlesTo(resolution, area, &back, INCH));
    EXPECT_EQ(back.unit, INCH);
    EXPECT_EQ(back.width, 2000);
    EXPECT_FALSE(CConvertUnit::ConvertPixlesTo(resolution, back, &area, MM)) << "input must be in pixels";

    SCANAREA converted{};
    ASSERT_TRUE(CConvertUnit::ConvertUnit(SCANAREA{0, 0, 1000, 2000, INCH}, &converted, MM));
    EXPECT_EQ(converted.unit, MM);
    EXPECT_EQ(converted.height, 5080);
    EXPECT_FALSE(CConvertUnit::ConvertUnit(SCANAREA{0, 0, 1, 1, PIXEL}, &converted, MM));
    AXIS axis{};
    ASSERT_TRUE(CConvertUnit::ConvertUnit(AXIS{3000000000u, 1000}, INCH, &axis, MM));
    EXPECT_EQ(axis.x, UINT_MAX);
    EXPECT_EQ(axis.y, 2540u);
}

TEST(ConvertUnit, ScalingBetweenResolutionsDropsRemaindersAndKeepsSigns)
{
    AXIS const from{600, 600};
    AXIS const to{300, 300};
    SCANAREA const area =
        CConvertUnit::ConvertToSpecifiedResolutionPixels(from, to, SCANAREA{101, 201, 1001, 2001, PIXEL});
    EXPECT_EQ(area.offsetX, 50);
    EXPECT_EQ(area.offsetY, 100);
    EXPECT_EQ(area.width, 500);
    EXPECT_EQ(area.height, 1000);
    EXPECT_EQ(area.unit, PIXEL);

    tagRECT const margin = CConvertUnit::ConvertToSpecifiedResolutionPixels(from, to, tagRECT{-101, -3, 7, 9}, PIXEL);
    EXPECT_EQ(margin.left, -50);
    EXPECT_EQ(margin.top, -1);
    EXPECT_EQ(margin.right, 3);
    EXPECT_EQ(margin.bottom, 4);

    AXIS const big =
        CConvertUnit::ConvertToSpecifiedResolutionPixels(AXIS{100, 0}, AXIS{1200, 300}, AXIS{4000000000u, 50}, PIXEL);
    EXPECT_EQ(big.x, UINT_MAX) << "saturates instead of wrapping";
    EXPECT_EQ(big.y, 0u) << "a zero source resolution gives 0";

    AXIS const inch = CConvertUnit::ConvertToSpecifiedResolutionPixels(from, to, AXIS{1000, 2000}, INCH);
    EXPECT_EQ(inch.x, 300u);
    EXPECT_EQ(inch.y, 600u);
    EXPECT_EQ(CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(2970u), 29700u);
    EXPECT_EQ(CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(-15), -150);
    EXPECT_EQ(CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(INT_MAX), INT_MAX);
}

}  // namespace
