// Right-angle turns of page bitmaps: the clockwise quarter turn against a
// per-pixel reference, turns that undo each other, orientations that change
// nothing, and failed turns that throw instead of losing the page.
#include <gtest/gtest.h>

#include "EnhancePages.h"
#include "VexmorApi/ImageEnhance/ResizeImage.h"
#include "VexmorApi/ImageEnhance/RotateImage.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

using enhance_pages::MakePage;
using enhance_pages::PixelAt;
using vscore::CRotateImage;

struct Shape {
    ImageInfo::ColorType type;
    uint32_t width;
    uint32_t height;
    bool packed;  // rows not padded to 4 bytes
};
Shape const kShapes[] = {{ImageInfo::BlackAndWhite, 13, 5, false}, {ImageInfo::Gray, 9, 17, true},
                         {ImageInfo::TrueGray, 7, 3, true},        {ImageInfo::TrueGray, 8, 8, false},
                         {ImageInfo::Color, 5, 6, false},          {ImageInfo::Color, 3, 4, true}};

std::unique_ptr<BitmapImage> PageOf(Shape const& s, unsigned seed)
{
    ImageInfo const info(200, s.type, s.width, s.height);
    return MakePage(info, s.packed ? info.GetBytesPerRow() : info.GetBytesPerRowFor4BytesAlignment(), seed);
}

// The pixels of both pages, as their bits or bytes, are the same.
void ExpectSamePixels(BitmapImage& a, BitmapImage& b, char const* what)
{
    ASSERT_TRUE(a.GetImageInfo().IsEqual(b.GetImageInfo())) << what;
    for (uint32_t y = 0; y < a.GetImageInfo().GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetImageInfo().GetWidth(); ++x) {
            ASSERT_EQ(PixelAt(a, x, y), PixelAt(b, x, y)) << what << " at " << x << "," << y;
        }
    }
}

TEST(CRotateImage, AQuarterTurnClockwiseMovesTheLeftColumnToTheTopRow)
{
    for (Shape const& s : kShapes) {
        std::unique_ptr<BitmapImage> original = PageOf(s, s.width);
        std::unique_ptr<BitmapImage> turned =
            CRotateImage().RotateImage(PageOf(s, s.width), vscore::IMAGEPROC_ORIENT_90);
        ASSERT_TRUE(turned->GetImageInfo().IsEqual(ImageInfo(200, s.type, s.height, s.width))) << s.type;
        EXPECT_EQ(turned->GetBytesPerRow(), turned->GetImageInfo().GetBytesPerRowFor4BytesAlignment());
        for (uint32_t y = 0; y < s.width; ++y) {
            for (uint32_t x = 0; x < s.height; ++x) {
                ASSERT_EQ(PixelAt(*turned, x, y), PixelAt(*original, y, s.height - 1 - x))
                    << "type " << s.type << " at " << x << "," << y;
            }
        }
    }
}

TEST(CRotateImage, TurnsThatAddUpToNothingRestoreThePixels)
{
    using Orientations = std::vector<vscore::IMAGEPROC_ORIENT_TYPE>;
    Orientations const kRounds[] = {{vscore::IMAGEPROC_ORIENT_90, vscore::IMAGEPROC_ORIENT_270},
                                    {vscore::IMAGEPROC_ORIENT_270, vscore::IMAGEPROC_ORIENT_90},
                                    {vscore::IMAGEPROC_ORIENT_180, vscore::IMAGEPROC_ORIENT_180}};
    for (Shape const& s : kShapes) {
        for (Orientations const& round : kRounds) {
            std::unique_ptr<BitmapImage> original = PageOf(s, 3);
            std::unique_ptr<BitmapImage> page = PageOf(s, 3);
            for (vscore::IMAGEPROC_ORIENT_TYPE orientation : round) {
                page = CRotateImage().RotateImage(std::move(page), orientation);
            }
            ExpectSamePixels(*page, *original, "round");
        }
    }
}

TEST(CRotateImage, OrientationsWithoutATurnReturnThePageItself)
{
    for (auto orientation : {vscore::IMAGEPROC_ORIENT_NONE, vscore::IMAGEPROC_ORIENT_AUTO,
                             static_cast<vscore::IMAGEPROC_ORIENT_TYPE>(-1)}) {
        std::unique_ptr<BitmapImage> page = PageOf(kShapes[1], 1);
        BitmapImage const* same = page.get();
        EXPECT_EQ(CRotateImage().RotateImage(std::move(page), orientation).get(), same) << orientation;
    }
    EXPECT_EQ(CRotateImage().RotateImage(nullptr, vscore::IMAGEPROC_ORIENT_90), nullptr);
}

// A rotation whose image-box turn always fails.
class FailingRotation : public CRotateImage {
protected:
    bool RotateBox(vdtcl::CTImgDataBox&, vdtcl::CTRotImage::rotimg_t, vdtcl::CTImgDataBox*) override { return false; }
};

TEST(CRotateImage, AFailedTurnThrowsInsteadOfYieldingAnEmptyPage)
{
    for (auto orientation : {vscore::IMAGEPROC_ORIENT_90, vscore::IMAGEPROC_ORIENT_270, vscore::IMAGEPROC_ORIENT_180}) {
        enhance_pages::ExpectTrace([&] { FailingRotation().RotateImage(PageOf(kShapes[4], 1), orientation); },
                                   Exception::Other, "Failed to rotate image.", "VexmorApi/ImageEnhance/RotateImage",
                                   "Rotate");
    }
    // A page that claims rows it has no pixels for cannot be turned either,
    // also inside the 1-bit width fitting.
    ImageInfo const info(300, ImageInfo::BlackAndWhite, 16, 4);
    EXPECT_THROW(CRotateImage().RotateImage(std::make_unique<BitmapImage>(info), vscore::IMAGEPROC_ORIENT_90),
                 TraceException);
    EXPECT_THROW(vscore::ResizeImage().AddPaddingToWidth(std::make_unique<BitmapImage>(info), 1, 2), TraceException);
}

TEST(CRotateImage, PagesWithoutRowsTurnTheirSize)
{
    ImageInfo const info(300, ImageInfo::Color, 12, 0);
    std::unique_ptr<BitmapImage> page =
        CRotateImage().RotateImage(std::make_unique<BitmapImage>(info), vscore::IMAGEPROC_ORIENT_270);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::Color, 0, 12)));
}

}  // namespace
