// Page bitmap operations on real row layouts: padding removal, white rows,
// trimming, turning, white images and temporary files, with the size limits
// of the byte containers.
#include "VexmorApi/Pages/BitmapImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageImages.h"
#include "VexmorApi/Bytes/BytesFile.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

namespace {

using Buffer = std::vector<unsigned char>;

std::unique_ptr<BitmapImage> Bitmap(ImageInfo::ColorType color, uint32_t width, uint32_t height, uint64_t stride,
                                    unsigned seed = 1)
{
    Buffer pixels = Pattern(stride * height, seed);
    return std::make_unique<BitmapImage>(
        ImageInfo(300, color, width, height),
        std::make_unique<BytesMemory>(static_cast<unsigned>(pixels.size()), pixels.data(), BytesMemory::Copy));
}

Buffer PixelsOf(BitmapImage& image)
{
    unsigned char const* p = image.GetPixelsPointer();
    return p ? Buffer(p, p + image.GetPixelSize()) : Buffer();
}

Buffer Row(Buffer const& pixels, uint64_t stride, uint32_t row, uint64_t length)
{
    return Buffer(pixels.begin() + row * stride, pixels.begin() + row * stride + length);
}

TEST(BitmapImage, PaddingIsRemovedRowByRowAndOnlyWhenThereIsPadding)
{
    // Colour, 5 pixels: 15 packed bytes in 16-byte rows.
    auto padded = Bitmap(ImageInfo::Color, 5, 3, 16);
    Buffer const before = PixelsOf(*padded);
    EXPECT_TRUE(padded->IsPaddedFor4BytesAlignment());
    padded->RemovePaddingFor4BytesAlignmentIfPadded();
    EXPECT_EQ(padded->GetPixelSize(), 45u);
    EXPECT_EQ(padded->GetBytesPerRow(), 15u);
    Buffer const after = PixelsOf(*padded);
    for (uint32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(Row(after, 15, y, 15), Row(before, 16, y, 15)) << y;
    }
    // Packed rows already of a multiple of 4, and a block too short for its rows.
    EXPECT_FALSE(Bitmap(ImageInfo::TrueGray, 8, 3, 8)->IsPaddedFor4BytesAlignment());
    auto shortBlock = Bitmap(ImageInfo::Color, 5, 3, 12);
    EXPECT_FALSE(shortBlock->IsPaddedFor4BytesAlignment());
    shortBlock->RemovePaddingFor4BytesAlignmentIfPadded();
    EXPECT_EQ(shortBlock->GetPixelSize(), 36u);

    // A bitmap in a file is re-packed in its file.
    auto stored = Bitmap(ImageInfo::BlackAndWhite, 9, 2, 4);
    Buffer const bits = PixelsOf(*stored);
    stored->StorePixelsInTemporaryFile();
    stored->RemovePaddingFor4BytesAlignmentIfPadded();
    EXPECT_EQ(stored->GetPixelSizeOnFile(), 4u);
    EXPECT_EQ(PixelsOf(*stored), (Buffer{bits[0], bits[1], bits[4], bits[5]}));
}

TEST(BitmapImage, WhiteLinesFollowTheStoredRows)
{
    auto image = Bitmap(ImageInfo::TrueGray, 3, 2, 4);
    Buffer const before = PixelsOf(*image);
    image->AppendWhiteLines(2);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 4u);
    Buffer expected = before;
    expected.insert(expected.end(), 8, 0xFF);
    EXPECT_EQ(PixelsOf(*image), expected);

    // Height 0: rows of the aligned length, also without a pixel block.
    BitmapImage empty(ImageInfo(300, ImageInfo::Color, 5, 0));
    empty.AppendWhiteLines(2);
    EXPECT_EQ(empty.GetPixelSize(), 32u);
    EXPECT_EQ(empty.GetBytesPerRow(), 16u);

    // In a file they are appended to the file.
    image->StorePixelsInTemporaryFile();
    image->AppendWhiteLines(1);
    EXPECT_EQ(image->GetPixelSizeOnFile(), 20u);
    EXPECT_EQ(image->GetPixelsPointer()[19], 0xFF);
}

TEST(BitmapImage, TrimKeepsTheTopLeftAndClampsToTheImage)
{
    // Colour 5 x 4 with packed 15-byte rows.
    auto image = Bitmap(ImageInfo::Color, 5, 4, 15);
    Buffer const before = PixelsOf(*image);
    EXPECT_TRUE(image->Trim(5, 9));
    EXPECT_EQ(PixelsOf(*image), before);  // neither value smaller: untouched

    // A larger width is clamped; rows become 16 bytes, the 16th is white.
    EXPECT_TRUE(image->Trim(40, 2));
    EXPECT_EQ(image->GetImageInfo().GetWidth(), 5u);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 2u);
    Buffer const trimmed = PixelsOf(*image);
    ASSERT_EQ(trimmed.size(), 32u);
    for (uint32_t y = 0; y < 2; ++y) {
        Buffer expected = Row(before, 15, y, 15);
        expected.push_back(0xFF);
        EXPECT_EQ(Row(trimmed, 16, y, 16), expected) << y;
    }
    EXPECT_TRUE(image->Trim(2, 1));
    EXPECT_EQ(PixelsOf(*image), Row(before, 15, 0, 8));  // 6 bytes of 2 pixels in an 8-byte row

    BitmapImage none(ImageInfo(300, ImageInfo::Color, 5, 4));
    EXPECT_FALSE(none.Trim(1, 1));
    EXPECT_EQ(none.GetImageInfo().GetWidth(), 5u);
}

TEST(BitmapImage, InvertTurnsTheRowsAndTwiceGivesThemBack)
{
    auto image = Bitmap(ImageInfo::Gray, 17, 3, 4);
    Buffer const before = PixelsOf(*image);
    ASSERT_TRUE(image->Invert());
    Buffer const once = PixelsOf(*image);
    EXPECT_EQ(Row(once, 4, 0, 4), Row(before, 4, 2, 4));
    EXPECT_EQ(Row(once, 4, 1, 4), Row(before, 4, 1, 4));
    EXPECT_EQ(Row(once, 4, 2, 4), Row(before, 4, 0, 4));
    ASSERT_TRUE(image->Invert());
    EXPECT_EQ(PixelsOf(*image), before);
    EXPECT_FALSE(BitmapImage(ImageInfo(300, ImageInfo::Gray, 17, 3)).Invert());
}

TEST(BitmapImage, WhiteImageAndSizeLimits)
{
    BitmapImage image(ImageInfo(300, ImageInfo::BlackAndWhite, 10, 3));
    image.CreateWhiteImage();
    EXPECT_EQ(PixelsOf(image), Buffer(12, 0xFF));
    EXPECT_EQ(BitmapImage::GetDefaultWhiteDataValue(), 0xFF);

    // 70000 x 70000 colour pixels pass the containers' 4 GiB: refused, nothing changed.
    BitmapImage huge(ImageInfo(300, ImageInfo::Color, 70000, 70000));
    try {
        huge.CreateWhiteImage();
        ADD_FAILURE() << "no failure";
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetType(), Exception::FailedToAllocateMemory);
        EXPECT_EQ(e.GetFileName(), "VexmorApi/Pages/BitmapImage");
    }
    EXPECT_EQ(huge.GetPixelSize(), 0u);
    EXPECT_THROW(image.AppendWhiteLines(0x40000000), TraceException);
    EXPECT_EQ(image.GetImageInfo().GetHeight(), 3u);
    EXPECT_EQ(image.GetPixelSize(), 12u);
}

TEST(BitmapImage, TemporaryFileKeepsTheBytesAndGoesWithTheImage)
{
    ASSERT_TRUE(TemporaryFilesLeft().empty());
    {
        auto image = Bitmap(ImageInfo::Color, 7, 5, 24);
        Buffer const before = PixelsOf(*image);
        image->StorePixelsInTemporaryFile();
        EXPECT_EQ(image->GetPixelSizeOnMemory(), 0u);
        EXPECT_EQ(image->GetPixelSizeOnFile(), before.size());
        ASSERT_EQ(TemporaryFilesLeft().size(), 1u);
        // Stored again with nothing loaded: the file stays as it is.
        image->StorePixelsInTemporaryFile();
        EXPECT_EQ(TemporaryFilesLeft().size(), 1u);
        EXPECT_EQ(PixelsOf(*image), before);
        EXPECT_EQ(image->GetPixelSizeOnMemory(), before.size());
        image->GetPixelsPointer()[0] ^= 0xFF;  // a change to the loaded copy is written back
        image->StorePixelsInTemporaryFile();
        EXPECT_EQ(image->GetPixelSizeOnMemory(), 0u);
        EXPECT_EQ(image->GetPixelsPointer()[0], before[0] ^ 0xFF);
        std::unique_ptr<Bytes> moved = image->GetPixels();
        EXPECT_EQ(image->GetPixelSize(), 0u);
        EXPECT_EQ(image->GetPixelsPointer(), nullptr);
    }
    EXPECT_TRUE(TemporaryFilesLeft().empty());
}

}  // namespace
