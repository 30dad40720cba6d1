// The scheduler with the real tasks: a raw-line page, a JPEG page and a
// blank page come out as the decoders, the enhancement and the resolution
// change called one after the other make them.
#include <gtest/gtest.h>

#include <vector>

#include "PageImages.h"
#include "VexmorApi/ChangeResolution/ChangeResolution.h"
#include "VexmorApi/ImageEnhance/ImageEnhance.h"
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/JpegDecoder/JpegDecoder.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"

namespace {

std::unique_ptr<DeviceImageLines> ColourLines(uint32_t width, uint32_t height, unsigned char level = 0,
                                              bool flat = false)
{
    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::Color, width, height);
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<unsigned char> row = Pattern(width * 3u, y + 1);
        if (flat) {
            row.assign(row.size(), level);
        }
        lines->AppendLine(DeviceImageLines::LineColor, DeviceImageLines::CompressionNone,
                          static_cast<uint32_t>(row.size()), row.data());
    }
    return lines;
}

std::unique_ptr<DeviceImageJpeg> JpegOf(std::vector<unsigned char> const& stream, uint32_t width)
{
    auto jpeg = std::make_unique<DeviceImageJpeg>(300, 300, DeviceImageInfo::Color, width, 0);
    jpeg->AppendBlock(static_cast<uint32_t>(stream.size()), stream.data());
    return jpeg;
}

// The calls a page goes through, one after the other (a JPEG page is
// decoded into lines by the caller first).
std::unique_ptr<BitmapImage> Direct(std::unique_ptr<DeviceImageLines> lines, uint16_t resolution,
                                    vscore::_IMAGEPROC_PARAM const& enhance, uint16_t outResolution)
{
    uint32_t const height = lines->GetHeight();
    std::unique_ptr<BitmapImage> bitmap =
        vscore::ScanDecoder().Proc(std::move(lines), resolution, height, vscore::InvertNormal, height, nullptr);
    vscore::CImageEnhance::EnhanceImageQualityFromScanImage(bitmap, enhance);
    return bitmap ? CChangeResolution::ChangeIfNeeded(std::move(bitmap), outResolution) : nullptr;
}

std::vector<unsigned char> PixelsOf(BitmapImage& bitmap)
{
    unsigned char const* p = bitmap.GetPixelsPointer();
    return std::vector<unsigned char>(p, p + bitmap.GetPixelSize());
}

TEST(ImageProcessorEndToEnd, RealTasksGiveTheBitmapsOfTheCallsInTurn)
{
    ScratchDir dir;
    std::vector<unsigned char> const stream = EncodeWithCjpeg(dir, 53, 31, 3, 4);
    ASSERT_FALSE(stream.empty());

    DecodeParameter colour;
    colour.SetResolution(300);
    colour.SetDetectEndOfPage(true);
    DecodeParameter gray = colour;
    gray.SetColorType(DecodeParameter::TrueGray);
    vscore::_IMAGEPROC_PARAM keepColour;
    keepColour.userColorType = vscore::IMAGEPROC_USER_COLOR24BIT;
    keepColour.orientation = vscore::IMAGEPROC_ORIENT_90;
    vscore::_IMAGEPROC_PARAM trueGray;
    trueGray.userColorType = vscore::IMAGEPROC_USER_TRUEGRAY;
    vscore::_IMAGEPROC_PARAM blankRemoval = keepColour;
    blankRemoval.blankRemove = {1, 5};

    ImageProcessor_Normal processor(2);
    processor.AddPage(std::make_shared<Page>(ColourLines(47, 29), 1), colour, keepColour, 600);
    processor.AddPage(std::make_shared<Page>(JpegOf(stream, 53), 2), gray, trueGray, 300);
    processor.AddPage(std::make_shared<Page>(ColourLines(600, 600, 0xFF, true), 3), colour, blankRemoval, 600);
    processor.WaitUntilAllProcessesAreFinished();
    ASSERT_EQ(processor.GetResultCount(), 3u);

    std::unique_ptr<BitmapImage> const expected[] = {
        Direct(ColourLines(47, 29), 300, keepColour, 600),
        Direct(JpegDecoder().Decode(JpegOf(stream, 53), true), 300, trueGray, 300),
    };
    for (uint16_t n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        std::shared_ptr<ImageProcessor::Result> const result = processor.GetResult(n);
        ASSERT_EQ(result->GetType(), ImageProcessor::Result::Success);
        std::unique_ptr<BitmapImage> bitmap = result->GetPage()->GetBitmapImage();
        ASSERT_TRUE(bitmap);
        EXPECT_TRUE(bitmap->GetImageInfo().IsEqual(expected[n - 1]->GetImageInfo())) << bitmap->GetDescription();
        EXPECT_EQ(PixelsOf(*bitmap), PixelsOf(*expected[n - 1]));
    }
    EXPECT_EQ(expected[0]->GetImageInfo().GetResolution(), 600u);  // the change ran
    EXPECT_EQ(expected[0]->GetImageInfo().GetWidth(), 58u);        // after the quarter turn
    EXPECT_EQ(expected[1]->GetImageInfo().GetColorType(), ImageInfo::TrueGray);

    std::shared_ptr<Page> const blank = processor.GetResult(3)->GetPage();
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(blank->IsBlankPage());
    EXPECT_FALSE(blank->HasBitmapImage());
}

}  // namespace
