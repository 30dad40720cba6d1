// Width and height fitting of page bitmaps against per-pixel references:
// 1-bit pages through their quarter turns, 8- and 24-bit rows directly.
#include <gtest/gtest.h>

#include <vector>

#include "EnhancePages.h"
#include "VexmorApi/ImageEnhance/ResizeImage.h"

namespace {

using enhance_pages::Bytes;
using enhance_pages::MakePage;
using enhance_pages::PixelAt;
using enhance_pages::White;
using vscore::ResizeImage;

struct Shape {
    ImageInfo::ColorType type;
    uint32_t width;
    bool packed;  // rows not padded to 4 bytes
};
Shape const kShapes[] = {{ImageInfo::BlackAndWhite, 1, false}, {ImageInfo::BlackAndWhite, 9, true},
                         {ImageInfo::Gray, 17, false},         {ImageInfo::BlackAndWhite, 33, false},
                         {ImageInfo::TrueGray, 7, true},       {ImageInfo::TrueGray, 8, false},
                         {ImageInfo::Color, 5, false},         {ImageInfo::Color, 3, true}};
std::pair<unsigned, unsigned> const kAmounts[] = {{0, 1}, {1, 0}, {3, 5}, {8, 8}, {13, 2}};

TEST(ResizeImage, PaddingTheWidthPutsWhitePixelsOnBothSides)
{
    for (Shape const& s : kShapes) {
        for (auto const& [left, right] : kAmounts) {
            ImageInfo const info(300, s.type, s.width, 5);
            uint64_t const stride = s.packed ? info.GetBytesPerRow() : info.GetBytesPerRowFor4BytesAlignment();
            std::unique_ptr<BitmapImage> original = MakePage(info, stride, s.width);
            std::unique_ptr<BitmapImage> padded =
                ResizeImage().AddPaddingToWidth(MakePage(info, stride, s.width), left, right);
            ASSERT_TRUE(padded);
            ImageInfo const out = padded->GetImageInfo();
            ASSERT_TRUE(out.IsEqual(ImageInfo(300, s.type, s.width + left + right, 5)));
            EXPECT_EQ(padded->GetBytesPerRow(), out.GetBytesPerRowFor4BytesAlignment());
            unsigned const bits = out.GetBitsPerPixel();
            for (uint32_t y = 0; y < 5; ++y) {
                for (uint32_t x = 0; x < out.GetWidth(); ++x) {
                    Bytes const expected =
                        x < left || x >= left + s.width ? White(bits) : PixelAt(*original, x - left, y);
                    ASSERT_EQ(PixelAt(*padded, x, y), expected) << "type " << s.type << " width " << s.width << " +"
                                                                << left << "/" << right << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(ResizeImage, CuttingTheWidthKeepsTheMiddlePixels)
{
    for (Shape const& s : kShapes) {
        for (auto const& [left, right] : kAmounts) {
            ImageInfo const info(300, s.type, s.width + 17, 4);
            uint64_t const stride = s.packed ? info.GetBytesPerRow() : info.GetBytesPerRowFor4BytesAlignment();
            std::unique_ptr<BitmapImage> original = MakePage(info, stride, s.width + 1);
            std::unique_ptr<BitmapImage> cut =
                ResizeImage().CutOffWidth(MakePage(info, stride, s.width + 1), left, right);
            ASSERT_TRUE(cut);
            ImageInfo const out = cut->GetImageInfo();
            ASSERT_TRUE(out.IsEqual(ImageInfo(300, s.type, s.width + 17 - left - right, 4)));
            EXPECT_EQ(cut->GetBytesPerRow(), out.GetBytesPerRowFor4BytesAlignment());
            for (uint32_t y = 0; y < 4; ++y) {
                for (uint32_t x = 0; x < out.GetWidth(); ++x) {
                    ASSERT_EQ(PixelAt(*cut, x, y), PixelAt(*original, x + left, y))
                        << "type " << s.type << " width " << s.width << " -" << left << "/" << right << " at " << x
                        << "," << y;
                }
            }
        }
    }
}

TEST(ResizeImage, CutsThatLeaveNoPixelOrRowChangeNothing)
{
    for (ImageInfo::ColorType type : {ImageInfo::BlackAndWhite, ImageInfo::TrueGray, ImageInfo::Color}) {
        ImageInfo const info(300, type, 10, 6);
        std::unique_ptr<BitmapImage> page = MakePage(info, info.GetBytesPerRowFor4BytesAlignment(), 2);
        BitmapImage const* same = page.get();
        page = ResizeImage().CutOffWidth(std::move(page), 4, 6);
        page = ResizeImage().CutOffHeight(std::move(page), 6, 0);
        page = ResizeImage().CutOffWidth(std::move(page), 0, 0);
        EXPECT_EQ(page.get(), same) << type;
        page = ResizeImage().CutOffWidth(std::move(page), 4, 5);
        EXPECT_EQ(page->GetImageInfo().GetWidth(), 1u) << type;
        page = ResizeImage().CutOffHeight(std::move(page), 0, 5);
        EXPECT_EQ(page->GetImageInfo().GetHeight(), 1u) << type;
    }
}

TEST(ResizeImage, HeightPaddingAddsWhiteRowsAndCuttingKeepsTheMiddleRows)
{
    ImageInfo const info(300, ImageInfo::Color, 3, 5);
    std::unique_ptr<BitmapImage> original = MakePage(info, 12, 9);
    std::unique_ptr<BitmapImage> padded = ResizeImage().AddPaddingToHeight(MakePage(info, 12, 9), 2, 3);
    ASSERT_EQ(padded->GetImageInfo().GetHeight(), 10u);
    std::unique_ptr<BitmapImage> cut = ResizeImage().CutOffHeight(MakePage(info, 12, 9), 1, 2);
    ASSERT_EQ(cut->GetImageInfo().GetHeight(), 2u);
    for (uint32_t y = 0; y < 10; ++y) {
        for (uint32_t x = 0; x < 3; ++x) {
            Bytes const expected = y < 2 || y >= 7 ? White(24) : PixelAt(*original, x, y - 2);
            EXPECT_EQ(PixelAt(*padded, x, y), expected) << x << "," << y;
            if (y < 2) {
                EXPECT_EQ(PixelAt(*cut, x, y), PixelAt(*original, x, y + 1)) << x << "," << y;
            }
        }
    }
}

TEST(ResizeImage, PagesWithoutRowsOrPixelsStillChangeTheirWidth)
{
    ImageInfo const info(300, ImageInfo::BlackAndWhite, 20, 0);
    std::unique_ptr<BitmapImage> page = ResizeImage().AddPaddingToWidth(std::make_unique<BitmapImage>(info), 3, 4);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::BlackAndWhite, 27, 0)));
    page = ResizeImage().CutOffWidth(std::move(page), 5, 5);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::BlackAndWhite, 17, 0)));
    EXPECT_EQ(ResizeImage().AddPaddingToWidth(nullptr, 1, 1), nullptr);
}

}  // namespace
