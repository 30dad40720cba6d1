// Edge fill against a per-pixel reference: every pixel inside a band takes
// the fill value, every other pixel and every 1-bit padding bit keeps its
// own, for bands wider than the page and unaligned 1-bit bands alike.
#include <gtest/gtest.h>

#include "EnhancePages.h"
#include "VexmorApi/ImageEnhance/EdgeFill.h"

namespace {

using enhance_pages::Bytes;
using enhance_pages::MakePage;
using enhance_pages::PixelAt;

struct Case {
    ImageInfo::ColorType type;
    uint32_t width;
    uint32_t height;
    CEdgeFill::Range range;
};
// clang-format off
Case const kCases[] = {
    {ImageInfo::BlackAndWhite, 21, 9, {0, 3, 5, 1, 2}},    // bands inside one byte at either end
    {ImageInfo::BlackAndWhite, 21, 9, {1, 0, 11, 0, 0}},   // right band starting mid-byte
    {ImageInfo::BlackAndWhite, 16, 4, {1, 40, 0, 0, 0}},   // left band wider than the page
    {ImageInfo::Gray, 33, 6, {1, 9, 9, 9, 0}},             // top band beyond the height
    {ImageInfo::TrueGray, 7, 5, {0, 2, 100, 0, 1}},
    {ImageInfo::TrueGray, 7, 5, {1, 0, 0, 0, 3}},
    {ImageInfo::Color, 5, 7, {1, 1, 2, 3, 4}},
    {ImageInfo::Color, 5, 7, {0, 6, 0, 0, 0}},
};
// clang-format on

TEST(CEdgeFill, FillsExactlyTheBandPixels)
{
    for (Case const& c : kCases) {
        ImageInfo const info(300, c.type, c.width, c.height);
        uint64_t const stride = info.GetBytesPerRowFor4BytesAlignment();
        std::unique_ptr<BitmapImage> original = MakePage(info, stride, c.width + c.height);
        std::unique_ptr<BitmapImage> page = MakePage(info, stride, c.width + c.height);
        unsigned const bits = info.GetBitsPerPixel();
        CEdgeFill().FillEdge(page->GetPixelsPointer(), c.width, static_cast<unsigned>(stride), c.height,
                             static_cast<unsigned char>(bits), c.range);
        Bytes const fill = bits == 1 ? Bytes{static_cast<unsigned char>(c.range.black ? 0 : 1)}
                                     : Bytes(bits / 8, c.range.black ? 0x00 : 0xFF);
        for (uint32_t y = 0; y < c.height; ++y) {
            bool const rowBand = y < c.range.top || y + c.range.bottom >= c.height;
            for (uint32_t x = 0; x < c.width; ++x) {
                bool const band = rowBand || x < c.range.left || x + c.range.right >= c.width;
                ASSERT_EQ(PixelAt(*page, x, y), band ? fill : PixelAt(*original, x, y))
                    << "type " << c.type << " width " << c.width << " at " << x << "," << y;
            }
            // Row padding is left alone outside the top and bottom bands.
            uint64_t const used = bits == 1 ? c.width / 8 : info.GetBytesPerRow();
            for (uint64_t i = used; i < stride && !rowBand; ++i) {
                unsigned char const keep = bits == 1 && i == c.width / 8 ? 0xFF >> (c.width % 8) : 0xFF;
                unsigned char const* now = page->GetPixelsPointer() + y * stride + i;
                unsigned char const* was = original->GetPixelsPointer() + y * stride + i;
                ASSERT_EQ(*now & keep, *was & keep) << "type " << c.type << " padding byte " << i << " row " << y;
            }
        }
    }
}

TEST(CEdgeFill, ConvertsTheBandsToPixelsAtThePageResolution)
{
    struct Conversion {
        vscore::MARGINSIZE margin;
        unsigned short resolution;
        CEdgeFill::Range expected;
    };
    Conversion const kConversions[] = {
        {{1000, 500, 0, 2000, vscore::INCH}, 300, {1, 300, 150, 0, 600}},
        {{2540, 254, 1270, 0, vscore::MM}, 200, {1, 200, 20, 100, 0}},
        {{17, 0, 3, 9, vscore::PIXEL}, 600, {1, 17, 0, 3, 9}},
        {{-100, 1000, -1, 0, vscore::INCH}, 300, {1, 0, 300, 0, 0}},
    };
    for (Conversion const& c : kConversions) {
        vscore::IMAGEPROC_EDGE_FILL_PARAM const parameter{true, true, c.margin};
        CEdgeFill::Range const r = CEdgeFill().ConvertToFillRange(c.resolution, parameter);
        EXPECT_EQ(r.black, 1);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

}  // namespace
