// Skew from the paper corners, the rectangle inside them, and the skip
// distance that moves it inward, in the in-memory and the class form.
#include <gtest/gtest.h>

#include <climits>

#include "imagelib/SipComponentAnalysis.h"
#include "imagelib/VdScnImgAna.h"
#include "tests/imagelib/DetectionSupport.h"
#include "tests/support/sip_images/FakeSipImgData.h"

namespace {

using sippages::Page;

// A wide page (top edge longer) turned by dy over 10000 pixels, and a tall
// one (left edge longer) turned the same way.
TEST(PaperCorners, SkewIsMeasuredAlongTheLongerEdgeAndZeroWithinHalfADegree)
{
    struct Case {
        int32_t dy;
        int32_t skew;
    };
    const Case cases[] = {{0, 0}, {87, 0}, {-87, 0}, {89, 51}, {-89, -51}, {175, 100}, {-175, -100}, {1763, 1000}};
    CVdScnImgAna analysis;
    for (const Case& c : cases) {
        const tagSIPPAPERCORNERS wide{{0, 0}, {10000, c.dy}, {-c.dy / 2, 7000}, {10000 - c.dy / 2, 7000 + c.dy}};
        const tagSIPPAPERCORNERS tall{{0, 0}, {7000, c.dy / 2}, {-c.dy, 10000}, {7000 - c.dy, 10000}};
        for (const tagSIPPAPERCORNERS& corners : {wide, tall}) {
            int32_t skew = 12345;
            ASSERT_EQ(AnalyzePaperCorners(&corners, &skew), 0);
            EXPECT_EQ(skew, c.skew) << c.dy << (&corners == &wide ? " wide" : " tall");
            ASSERT_EQ(analysis.AnalyzePaperCorners(&corners, &skew), 0);
            EXPECT_EQ(skew, c.skew) << c.dy;
        }
    }
    int32_t skew;
    const tagSIPPAPERCORNERS corners{};
    EXPECT_EQ(AnalyzePaperCorners(nullptr, &skew), 5);
    EXPECT_EQ(AnalyzePaperCorners(&corners, nullptr), 5);
    EXPECT_EQ(analysis.AnalyzePaperCorners(nullptr, &skew), 5);
}

TEST(PaperCorners, RectangleTakesTheInnerSpanAndMovesInByTheSkip)
{
    struct Case {
        tagSIPPAPERCORNERS corners;
        int32_t skip;
        tagSIPRECT rect;
    };
    const Case cases[] = {
        {{{10, 20}, {1010, 5}, {0, 1020}, {1000, 1005}}, 0, {10, 20, 1000, 1005}},
        {{{10, 20}, {1010, 5}, {0, 1020}, {1000, 1005}}, 30, {30, 35, 980, 990}},
        {{{0, 0}, {2479, 0}, {0, 3507}, {2479, 3507}}, 114, {114, 114, 2365, 3393}},
        // Far-apart corners stay in range (no overflow).
        {{{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MAX}},
         114,
         {INT_MIN + 114, INT_MIN + 114, INT_MAX - 114, INT_MAX - 114}},
        // Sides moved past the 32-bit range stop at its ends.
        {{{INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}},
         114,
         {INT_MAX, INT_MAX, INT_MAX - 114, INT_MAX - 114}},
        {{{INT_MIN, INT_MIN}, {INT_MIN, INT_MIN}, {INT_MIN, INT_MIN}, {INT_MIN, INT_MIN}},
         114,
         {INT_MIN + 114, INT_MIN + 114, INT_MIN, INT_MIN}},
    };
    for (const Case& c : cases) {
        tagSIPRECT rect{};
        GetRectInsidePaperCorners(&rect, &c.corners, c.skip);
        EXPECT_EQ(rect.left, c.rect.left) << c.skip;
        EXPECT_EQ(rect.top, c.rect.top) << c.skip;
        EXPECT_EQ(rect.right, c.rect.right) << c.skip;
        EXPECT_EQ(rect.bottom, c.rect.bottom) << c.skip;
    }
}

// At 300 dpi with margins of 100/1000 mm the analysed area starts at
// 1 + 114 pixels: content left of or above it is not seen.
TEST(PaperCorners, AnalysisAreaStartsAtTheMarginPlusTheSkipDistance)
{
    struct Case {
        const char* what;
        uint32_t x0, y0, x1, y1;
        int32_t result;
    };
    const Case cases[] = {
        {"columns 0-114", 0, 0, 115, 700, 4},
        {"columns 115-132", 115, 0, 133, 700, 2},
        {"rows 0-114", 0, 0, 600, 115, 4},
        {"rows 115-132", 0, 115, 600, 133, 2},
    };
    for (const Case& c : cases) {
        Page page = sippages::Gray(600, 700, 255);
        sippages::Checker(page, c.x0, c.y0, c.x1, c.y1);
        detection::Setting s;
        s.mode = 0;
        EXPECT_EQ(detection::Detect(page, s), std::make_pair(0, c.result)) << c.what;
    }
    EXPECT_EQ(m_nSkipPixel.load(), 114);
}

// The class form takes the skip distance from the resolution in pixels per
// metre: 11811 / 39.4 rounds to 300 dpi.
TEST(PaperCorners, ClassSetsItsSkipDistanceFromTheImageResolution)
{
    struct Case {
        int32_t ppm;
        int32_t skip;
    };
    const Case cases[] = {{11811, 114}, {23622, 228}, {3937, 38}, {0, 114}, {-5, 114}, {INT_MAX, 114}};
    const tagSIPDETECTBLANKSETTING blank{300, 18, 18, 2, 9000, 9999, 9970, 9000, 9999, 9970, 48};
    const tagSIPDETECTCOLORTYPESETTING color{300, 18,  18, 2,   9700, 9700, 116,  139,
                                             116, 139, 90, 180, 4000, 1600, 1600, 12};
    for (const Case& c : cases) {
        sippages::FakeSipImgData image({400, 400, 8, c.ppm, c.ppm, 0, 0}, {}, true);
        CVdScnImgAna analysis;
        const tagSIPPAPERCORNERS corners{{0, 0}, {399, 0}, {0, 399}, {399, 399}};
        int32_t result;
        analysis.AnalyzeComponent(&image, 0, &result, &corners, &blank, &color);
        EXPECT_EQ(analysis.GetSkipPixel(), c.skip) << c.ppm;
        tagSIPRECT rect;
        analysis.GetRectInsidePaperCorners(&rect, &corners);
        EXPECT_EQ(rect.left, c.skip);
        EXPECT_EQ(rect.right, 399 - c.skip);
    }
}

// The class form sizes its cells from the truncated resolution: 11811 / 39.4
// is 299 dpi, so cells are 17 pixels; an area 17 pixels wide holds one.
TEST(PaperCorners, ClassCellsFollowTheTruncatedResolution)
{
    const tagSIPDETECTBLANKSETTING blank{300, 18, 18, 2, 9000, 9999, 9970, 9000, 9999, 9970, 48};
    const tagSIPDETECTCOLORTYPESETTING color{300, 18,  18, 2,   9700, 9700, 116,  139,
                                             116, 139, 90, 180, 4000, 1600, 1600, 12};
    for (int32_t span : {16, 17}) {
        // After the skip of 114 the area is columns and rows 114 to 113 + span.
        const int32_t far = 114 + span - 1 + 114;
        const tagSIPPAPERCORNERS corners{{0, 0}, {far, 0}, {0, far}, {far, far}};
        sippages::FakeSipImgData image({400, 400, 8, 11811, 11811, 0, 0}, {}, true);
        CVdScnImgAna analysis;
        int32_t result = 99;
        EXPECT_EQ(analysis.AnalyzeComponent(&image, 0, &result, &corners, &blank, &color), span == 17 ? 0 : 1);
        EXPECT_EQ(result, span == 17 ? 4 : 0);
    }
}

}  // namespace
