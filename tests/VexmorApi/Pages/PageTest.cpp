// Pages: the one-image invariant as a property over random operation
// sequences checked against a model, images moving through temporary files,
// and the device data kinds (lines, JPEG) with their reservations.
#include "VexmorApi/Pages/Page.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Bytes/make_unique_bytes.h"
#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

namespace {

using Buffer = std::vector<unsigned char>;

std::unique_ptr<DeviceImageLines> Lines(unsigned bytes)
{
    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::TrueGray, bytes, 0);
    Buffer const row = Pattern(bytes);
    lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, bytes, row.data());
    return lines;
}

std::unique_ptr<DeviceImageJpeg> Jpeg(unsigned bytes)
{
    auto jpeg = std::make_unique<DeviceImageJpeg>(300, 300, DeviceImageInfo::Color);
    Buffer const block = Pattern(bytes);
    jpeg->AppendBlock(bytes, block.data());
    return jpeg;
}

std::unique_ptr<BitmapImage> Bitmap(unsigned bytes)
{
    return std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, bytes, 1),
                                         std::make_unique<BytesMemory>(bytes, static_cast<unsigned char>(0xFF)));
}

TEST(Page, HoldsAtMostOneImageOverRandomOperations)
{
    // The model: which slot holds an image, and that image's size, which
    // names it (every image made here has a size of its own).
    enum Slot { None, JpegSlot, LinesSlot, BitmapSlot };
    Slot held = None;
    unsigned heldSize = 0;
    Page page(1);
    std::mt19937 random(19);
    unsigned nextSize = 1;
    for (int step = 0; step < 3000; ++step) {
        unsigned const size = nextSize++;
        switch (random() % 9) {
        case 0:
            page.SetImage(Jpeg(size));
            held = JpegSlot, heldSize = size;
            break;
        case 1:
            page.SetImage(Lines(size));
            held = LinesSlot, heldSize = size;
            break;
        case 2:
            page.SetImage(Bitmap(size));
            held = BitmapSlot, heldSize = size;
            break;
        case 3:  // a device image filed by its dynamic type
            if (random() % 2) {
                page.SetImage(std::unique_ptr<DeviceImage>(Jpeg(size)));
                held = JpegSlot;
            } else {
                page.SetImage(std::unique_ptr<DeviceImage>(Lines(size)));
                held = LinesSlot;
            }
            heldSize = size;
            break;
        case 4: {
            std::unique_ptr<DeviceImage> image = page.GetDeviceImage();
            bool const device = held == JpegSlot || held == LinesSlot;
            ASSERT_EQ(image != nullptr, device) << step;
            if (device) {
                EXPECT_EQ(image->GetByteSize(), heldSize);
                EXPECT_EQ(dynamic_cast<DeviceImageJpeg*>(image.get()) != nullptr, held == JpegSlot);
                held = None;
            }
            break;
        }
        case 5: {
            auto jpeg = page.GetDeviceImageJpeg();
            ASSERT_EQ(jpeg != nullptr, held == JpegSlot) << step;
            if (jpeg) {
                EXPECT_EQ(jpeg->GetBlockSize(), heldSize);
                held = None;
            }
            break;
        }
        case 6: {
            auto lines = page.GetDeviceImageLines();
            ASSERT_EQ(lines != nullptr, held == LinesSlot) << step;
            if (lines) {
                EXPECT_EQ(lines->GetLineLength(0), heldSize);
                held = None;
            }
            break;
        }
        case 7: {
            auto bitmap = page.GetBitmapImage();
            ASSERT_EQ(bitmap != nullptr, held == BitmapSlot) << step;
            if (bitmap) {
                EXPECT_EQ(bitmap->GetPixelSize(), heldSize);
                held = None;
            }
            break;
        }
        case 8:
            if (random() % 4 == 0) {
                page.SetBlankPage();
                held = None;
            }
            break;
        }
        ASSERT_EQ(page.HasDeviceImageJpeg(), held == JpegSlot) << step;
        ASSERT_EQ(page.HasDeviceImageLines(), held == LinesSlot) << step;
        ASSERT_EQ(page.HasBitmapImage(), held == BitmapSlot) << step;
        ASSERT_EQ(page.GetImageSize(), held == None ? 0u : heldSize) << step;
        ASSERT_EQ(page.GetImageSizeOnMemory(), page.GetImageSize()) << step;
        ASSERT_EQ(page.GetImageSizeOnFile(), 0u) << step;
    }
    EXPECT_TRUE(page.IsBlankPage());
}

TEST(Page, ConstructorsFileTheImageAndFlagsStartClear)
{
    Page lines(std::unique_ptr<DeviceImage>(Lines(4)), 2);
    EXPECT_TRUE(lines.HasDeviceImageLines());
    EXPECT_EQ(lines.GetPageNo(), 2);
    EXPECT_FALSE(lines.IsBlankPage() || lines.IsTerminatedPage() || lines.IsReceivedAllData());
    EXPECT_TRUE(Page(std::unique_ptr<DeviceImage>(Jpeg(4)), 1).HasDeviceImageJpeg());
    EXPECT_TRUE(Page(Bitmap(4), 1).HasBitmapImage());
    lines.SetTerminatedPage();
    lines.NotifyRecivedAllData();
    EXPECT_TRUE(lines.IsTerminatedPage() && lines.IsReceivedAllData());
    // Only lines are held: the device image is the lines, then nothing.
    EXPECT_NE(lines.GetDeviceImage(), nullptr);
    EXPECT_EQ(lines.GetDeviceImage(), nullptr);
}

TEST(Page, ImagesRoundTripThroughTemporaryFiles)
{
    ASSERT_TRUE(TemporaryFilesLeft().empty());
    Buffer const row = Pattern(999);
    {
        Page page(1);
        auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::TrueGray, 999, 4);
        for (int i = 0; i < 3; ++i) {
            lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, 999, row.data());
        }
        page.SetImage(std::move(lines));
        page.StoreImageInTemporaryFileIfPossible();
        EXPECT_EQ(page.GetImageSize(), 2997u);
        EXPECT_EQ(page.GetImageSizeOnFile(), 2997u);
        EXPECT_EQ(page.GetImageSizeOnMemory(), 0u);
        EXPECT_EQ(TemporaryFilesLeft().size(), 1u);

        // A line appended to an image in a file goes to the file.
        lines = page.GetDeviceImageLines();
        lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, 999, row.data());
        for (uint32_t i = 0; i < 4; ++i) {
            EXPECT_EQ(Buffer(lines->GetLineHeadPointer(i), lines->GetLineHeadPointer(i) + 999), row) << i;
        }
        page.SetImage(std::move(lines));
        page.StoreImageInTemporaryFileIfPossible();
        EXPECT_EQ(page.GetImageSizeOnFile(), 3996u);

        page.SetImage(Bitmap(640));  // drops the lines and their file
        EXPECT_TRUE(TemporaryFilesLeft().empty());
        page.StoreImageInTemporaryFileIfPossible();
        auto bitmap = page.GetBitmapImage();
        EXPECT_EQ(Buffer(bitmap->GetPixelsPointer(), bitmap->GetPixelsPointer() + 640), Buffer(640, 0xFF));
        page.SetImage(std::move(bitmap));

        Page empty(2);
        EXPECT_NO_THROW(empty.StoreImageInTemporaryFileIfPossible());
    }
    EXPECT_TRUE(TemporaryFilesLeft().empty());
}

TEST(DeviceImageLines, LinesLieBackToBackFromOffsetZero)
{
    DeviceImageLines lines(300, 300, DeviceImageInfo::Color, 2, 0);
    EXPECT_EQ(lines.GetByteSize(), 0u);
    EXPECT_THROW(lines.GetLineHeadPointer(0), TraceException);
    Buffer const a = Pattern(6, 1), b = Pattern(6, 2);
    lines.AppendLine(DeviceImageLines::LineRedPlane, DeviceImageLines::CompressionPackBits, 2, a.data());
    lines.AppendLine(DeviceImageLines::LineColor, DeviceImageLines::CompressionNoData, 0, nullptr);
    lines.AppendLine(DeviceImageLines::LineBgrRow, DeviceImageLines::CompressionNone, 6, b.data());
    EXPECT_EQ(lines.GetHeight(), 3u);
    EXPECT_EQ(lines.GetByteSize(), 8u);
    EXPECT_EQ(lines.GetLineColorType(0), DeviceImageLines::LineRedPlane);
    EXPECT_EQ(lines.GetCompressionType(1), DeviceImageLines::CompressionNoData);
    EXPECT_EQ(lines.GetLineHeadPointer(2) - lines.GetLineHeadPointer(0), 2);
    EXPECT_EQ(Buffer(lines.GetLineHeadPointer(2), lines.GetLineHeadPointer(2) + 6), b);

    std::unique_ptr<Bytes> block = lines.ReadBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetByteSize(), 8u);
    EXPECT_EQ(lines.GetByteSize(), 0u);
    EXPECT_EQ(lines.GetLineLength(2), 6u);  // the records stay
    EXPECT_THROW(lines.GetLineHeadPointer(0), TraceException);
}

// Records the largest block the byte containers ask for.
size_t g_largestRequest = 0;
void* RecordingAllocator(size_t size)
{
    g_largestRequest = std::max(g_largestRequest, size);
    return std::malloc(size);
}

TEST(DeviceImage, ReservesFromTheExpectedLinesAtMost256MiB)
{
    struct Case {
        bool jpeg;
        uint32_t width, lines;
        size_t reserved;
    } const cases[] = {
        {false, 1000, 100, 3024 * 100},  // colour rows of 1008 pixels, 4-byte aligned
        {false, 1, 10, 48 * 10},         // one pixel counts as 16
        {true, 1000, 300, 3000 * 300 / 3},
        {false, 100000, 100000, 256u << 20},
        {true, 0xFFFFFFFF, 0xFFFFFFFF, 256u << 20},
    };
    BytesAllocator const previous = SetBytesAllocator(RecordingAllocator);
    for (Case const& c : cases) {
        g_largestRequest = 0;
        if (c.jpeg) {
            DeviceImageJpeg image(300, 300, DeviceImageInfo::Color, c.width, c.lines);
        } else {
            DeviceImageLines image(300, 300, DeviceImageInfo::Color, c.width, c.lines);
        }
        EXPECT_EQ(g_largestRequest, c.reserved) << c.width << " x " << c.lines;
    }
    g_largestRequest = 0;
    DeviceImageLines none(300, 300, DeviceImageInfo::Color, 1000, 0);
    EXPECT_EQ(g_largestRequest, 0u);
    SetBytesAllocator(previous);
}

TEST(DeviceImageJpeg, HeightLivesInTheFrameHeader)
{
    ScratchDir dir;
    DeviceImageJpeg empty(300, 300, DeviceImageInfo::Color, 19, 0);
    EXPECT_EQ(empty.GetHeight(), 0u);
    empty.SetHeight(5);
    EXPECT_EQ(empty.GetHeight(), 0u);
    EXPECT_EQ(empty.GetBlockPointer(), nullptr);

    Buffer const stream = EncodeWithCjpeg(dir, 19, 11, 3);
    ASSERT_FALSE(stream.empty()) << "cjpeg failed (libjpeg-turbo-progs, installed by scripts/setup)";
    DeviceImageJpeg jpeg(300, 300, DeviceImageInfo::Color, 19, 11);
    // Blocks arrive in pieces.
    jpeg.AppendBlock(100, stream.data());
    jpeg.AppendBlock(static_cast<uint32_t>(stream.size() - 100), stream.data() + 100);
    EXPECT_EQ(Buffer(jpeg.GetBlockPointer(), jpeg.GetBlockPointer() + jpeg.GetBlockSize()), stream);
    EXPECT_EQ(jpeg.GetHeight(), 11u);
    EXPECT_EQ(jpeg.GetRequiredByteSize(), 19u * 3 * 11);
    jpeg.SetHeight(7000);
    EXPECT_EQ(jpeg.GetHeight(), 7000u);
    EXPECT_EQ(CJpegHeader::GetWidthPix(jpeg.GetBlockPointer(), jpeg.GetBlockSize()), 19u);

    // In a temporary file the patch reaches the file when stored again.
    jpeg.StoreBytesInTemporaryFile();
    jpeg.SetHeight(12);
    jpeg.StoreBytesInTemporaryFile();
    EXPECT_EQ(jpeg.GetByteSizeOnMemory(), 0u);
    EXPECT_EQ(jpeg.GetHeight(), 12u);
}

}  // namespace
