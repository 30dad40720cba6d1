// BMP headers: byte goldens of built headers, the resolution conversions,
// the white value by palette polarity, and inspection of every truncation
// of a file staying inside the buffer.
#include "VexmorApi/Pages/BitmapHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageImages.h"

namespace {

using Buffer = std::vector<unsigned char>;

Buffer Build(unsigned bits, unsigned width, unsigned height, bool invert = false, unsigned dpi = 300)
{
    CBitmapHeader header;
    unsigned size = 0;
    unsigned char const* block =
        header.CreateBmpHeader(dpi, dpi, bits, width, height, header.CreateColorTable(bits), &size, invert);
    return block ? Buffer(block, block + size) : Buffer();
}

TEST(BitmapHeader, OneBitHeaderIsByteExact)
{
    // 10 x 3 pixels: 4-byte rows, 12 pixel bytes behind 62 header bytes.
    Buffer const expected = FromHex(
        "424D 4A000000 0000 0000 3E000000"
        "28000000 0A000000 03000000 0100 0100 00000000 0C000000 232E0000 232E0000 02000000 00000000"
        "00000000 FFFFFF00");
    EXPECT_EQ(Build(1, 10, 3), expected);

    unsigned size = 0;
    CBitmapHeader built(300, 300, 1, 10, 3, &size, false);
    EXPECT_EQ(size, 62u);
    EXPECT_EQ(Buffer(built.Get(), built.Get() + size), expected);
}

TEST(BitmapHeader, SizesOfEachDepth)
{
    struct Case {
        unsigned bits, width, height;
        unsigned headerSize;
        uint64_t fileSize;
        unsigned paletteEntries;
    } const cases[] = {
        {1, 10, 3, 62, 74, 2},
        {8, 3, 2, 1078, 1086, 256},
        {24, 1, 1, 54, 58, 0},
        {24, 5, 2, 54, 54 + 2 * 16, 0},
    };
    for (Case const& c : cases) {
        Buffer const header = Build(c.bits, c.width, c.height);
        ASSERT_EQ(header.size(), c.headerSize) << c.bits;
        EXPECT_EQ(GetLe32(header, 2), c.fileSize) << c.bits;
        EXPECT_EQ(GetLe32(header, 10), c.headerSize) << c.bits;
        EXPECT_EQ(GetLe32(header, 34), c.fileSize - c.headerSize) << c.bits;
        EXPECT_EQ(GetLe32(header, 46), c.paletteEntries) << c.bits;
        EXPECT_EQ(CBitmapHeader::CalcBmpSize(c.bits, c.width, c.height, 4), c.fileSize) << c.bits;
        EXPECT_EQ(CBitmapHeader::GetPixelDataSize(header.data(), header.size()), c.fileSize - c.headerSize);
    }
    Buffer const gray = Build(8, 3, 2);
    for (unsigned i = 0; i < 256; ++i) {
        ASSERT_EQ(GetLe32(gray, 54 + 4 * i), i * 0x010101u) << i;
    }
}

TEST(BitmapHeader, BuildsOnlyDepthsWithPaletteTablesAndThirtyTwoBitSizes)
{
    for (unsigned bits : {0u, 2u, 4u, 16u, 32u}) {
        CBitmapHeader header;
        unsigned size = 99;
        EXPECT_EQ(header.CreateBmpHeader(300, 300, bits, 4, 4, header.CreateColorTable(bits), &size, false), nullptr)
            << bits;
        EXPECT_EQ(size, 0u);
    }
    CBitmapHeader header;
    // 70000 x 70000 colour pixels need more than 4 GiB.
    EXPECT_EQ(header.CreateBmpHeader(300, 300, 24, 70000, 70000, nullptr, nullptr, false), nullptr);
    EXPECT_EQ(header.CreateBmpHeader(300, 300, 8, 4, 4, nullptr, nullptr, false), nullptr);
}

TEST(BitmapHeader, ResolutionConversions)
{
    struct Case {
        uint32_t dpi, ppm;
    } const cases[] = {{300, 11811}, {600, 23622}, {200, 7874}, {100, 3937}, {0, 0}};
    for (Case const& c : cases) {
        EXPECT_EQ(CBitmapHeader::ConvertDotPerInchToPixPerMeter(c.dpi), c.ppm) << c.dpi;
        EXPECT_EQ(CBitmapHeader::ConvertPixPerMeterToDotPerInch(c.ppm), c.dpi) << c.ppm;
    }
    EXPECT_EQ(CBitmapHeader::ConvertPixPerMeterToDotPerInch(3780), 96);
    EXPECT_EQ(CBitmapHeader::ConvertPixPerMeterToDotPerInch(16000000), 65535);  // never wraps to 16 bits
    Buffer const header = Build(24, 1, 1, false, 600);
    EXPECT_EQ(CBitmapHeader::GetResolutionX(header.data(), header.size()), 600);
    EXPECT_EQ(CBitmapHeader::GetResolutionY(header.data(), header.size()), 600);
}

TEST(BitmapHeader, WhiteValueFollowsThePalette)
{
    Buffer const gray = Build(8, 3, 2);
    Buffer const chocolate = Build(1, 10, 3);
    Buffer const vanilla = Build(1, 10, 3, true);
    Buffer const color = Build(24, 1, 1);
    EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(gray.data(), gray.size()), 255);
    EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(chocolate.data(), chocolate.size()), 255);
    EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(vanilla.data(), vanilla.size()), 0);
    EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(color.data(), color.size()), 255);
    EXPECT_TRUE(CBitmapHeader::IsChocolatePixelFlavor(chocolate.data(), chocolate.size()));
    EXPECT_TRUE(CBitmapHeader::IsVanillaPixelFlavor(vanilla.data(), vanilla.size()));
    EXPECT_FALSE(CBitmapHeader::IsVanillaPixelFlavor(chocolate.data(), chocolate.size()));
    EXPECT_EQ(CBitmapHeader::GetColorPaletteIndexOfWhite(chocolate.data(), chocolate.size()), 1u);
    EXPECT_EQ(CBitmapHeader::GetColorPaletteIndexOfBlack(vanilla.data(), vanilla.size()), 1u);
    EXPECT_EQ(CBitmapHeader::GetColorPaletteIndexOfWhite(gray.data(), gray.size()), 255u);
    // Without a palette the depth's default: a 1-bit buffer cut before it.
    EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(chocolate.data(), 61), 1);
}

TEST(BitmapHeader, InspectionOfEveryTruncationStaysInTheBuffer)
{
    Buffer file = Build(8, 3, 2);
    file.insert(file.end(), 8, 0x7E);  // the pixels
    for (size_t length = 0; length <= file.size(); ++length) {
        Buffer const cut(file.begin(), file.begin() + length);  // exact heap block, checked by ASan
        unsigned char const* data = length ? cut.data() : nullptr;
        bool const palette = length >= 1078;
        EXPECT_EQ(CBitmapHeader::GetBmpColorPaletterPointer(data, length) != nullptr, palette) << length;
        EXPECT_EQ(CBitmapHeader::GetBitPerPixel(data, length), length >= 54 ? 8u : 0u) << length;
        EXPECT_EQ(CBitmapHeader::GetWhiteDataValue(data, length), 255);
        EXPECT_EQ(CBitmapHeader::GetColorPaletteIndexOfWhite(data, length), palette ? 255u : 0u);
        size_t size = 0;
        unsigned char const* pixels = CBitmapHeader::GetBmpPixelDataPointer(data, length, &size);
        if (length > 1078) {
            EXPECT_EQ(pixels, data + 1078);
            EXPECT_EQ(size, length - 1078);
        } else if (length >= 2) {
            EXPECT_EQ(pixels, nullptr) << length;
        }
    }
    // Raw pixels without a signature are their own pixel data.
    unsigned char const raw[] = {1, 2, 3};
    size_t untouched = 42;
    EXPECT_EQ(CBitmapHeader::GetBmpPixelDataPointer(raw, sizeof raw, &untouched), raw);
    EXPECT_EQ(untouched, 42u);
}

TEST(BitmapHeader, SetHeightRewritesHeightAndSizes)
{
    Buffer header = Build(1, 10, 3);
    ASSERT_TRUE(CBitmapHeader::SetHeightPixel(header.data(), header.size(), 7));
    EXPECT_EQ(CBitmapHeader::GetHeightPixel(header.data(), header.size()), 7);
    EXPECT_EQ(GetLe32(header, 34), 28u);
    EXPECT_EQ(GetLe32(header, 2), 62u + 28u);
    EXPECT_FALSE(CBitmapHeader::SetHeightPixel(header.data(), 53, 9));
    EXPECT_EQ(CBitmapHeader::GetHeightPixel(header.data(), header.size()), 7);
}

}  // namespace
