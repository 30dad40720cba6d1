// Image boxes and right-angle rotation, checked against a per-pixel reference
// turn written here with one-pixel get and set.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "vdtcl/CTImgDataInfo.h"
#include "vdtcl/CTRotImage.h"

using vdtcl::CTImgDataBox;
using vdtcl::CTImgDataInfo;
using vdtcl::CTRotImage;

namespace {

size_t PixelBits(int type)
{
    switch (type) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 3:
        return 8;
    default:
        return static_cast<size_t>(type);
    }
}

size_t Stride(const CTImgDataInfo& img)
{
    int w = 0, h = 0;
    img.GetImagePixelSize(w, h);
    return CTImgDataInfo::CalcBytesWidth(w, img.GetImageColorType());
}

uint32_t GetPixel(const CTImgDataInfo& img, int x, int y)
{
    const uint8_t* row = img.GetPtrToImageData() + static_cast<size_t>(y) * Stride(img);
    const size_t bits = PixelBits(img.GetImageColorType());
    if (bits == 1)
        return (row[x / 8] >> (7 - x % 8)) & 1u;
    uint32_t v = 0;
    for (size_t i = 0; i < bits / 8; ++i)
        v |= static_cast<uint32_t>(row[x * bits / 8 + i]) << (8 * i);
    return v;
}

void SetPixel(CTImgDataInfo& img, int x, int y, uint32_t v)
{
    uint8_t* row = img.GetPtrToImageData() + static_cast<size_t>(y) * Stride(img);
    const size_t bits = PixelBits(img.GetImageColorType());
    if (bits == 1) {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<uint8_t>(v & 1 ? row[x / 8] | mask : row[x / 8] & ~mask);
        return;
    }
    for (size_t i = 0; i < bits / 8; ++i)
        row[x * bits / 8 + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Fills the pixels with random values and every padding bit and byte of
// each row with ones, so a kernel that carries padding along is caught.
void FillRandomWithDirtyPadding(CTImgDataBox& img, std::mt19937& rng)
{
    int w = 0, h = 0;
    img.GetImagePixelSize(w, h);
    memset(img.GetPtrToImageData(), 0xFF, img.GetImageDataSize());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetPixel(img, x, y, static_cast<uint32_t>(rng()));
}

// True when every bit behind the last pixel of every row is zero.
bool PaddingIsZero(const CTImgDataInfo& img)
{
    int w = 0, h = 0;
    img.GetImagePixelSize(w, h);
    const size_t stride = Stride(img);
    const size_t usedBits = static_cast<size_t>(w) * PixelBits(img.GetImageColorType());
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = img.GetPtrToImageData() + static_cast<size_t>(y) * stride;
        for (size_t bit = usedBits; bit < stride * 8; ++bit)
            if ((row[bit / 8] >> (7 - bit % 8)) & 1u)
                return false;
    }
    return true;
}

// Where source pixel (x, y) of a w x h image lands for a turn, after the
// swapSense exchange: 1 clockwise, 2 counter-clockwise, 3 half.
void Turned(int turn, int w, int h, int x, int y, int& tx, int& ty)
{
    switch (turn) {
    case 1:
        tx = h - 1 - y;
        ty = x;
        break;
    case 2:
        tx = y;
        ty = w - 1 - x;
        break;
    case 3:
        tx = w - 1 - x;
        ty = h - 1 - y;
        break;
    default:
        tx = x;
        ty = y;
    }
}

::testing::AssertionResult MatchesReference(const CTImgDataInfo& src, const CTImgDataInfo& dst, int turn)
{
    int w = 0, h = 0, dw = 0, dh = 0;
    src.GetImagePixelSize(w, h);
    dst.GetImagePixelSize(dw, dh);
    const bool quarter = turn == 1 || turn == 2;
    if (dw != (quarter ? h : w) || dh != (quarter ? w : h))
        return ::testing::AssertionFailure() << "turned size";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int tx = 0, ty = 0;
            Turned(turn, w, h, x, y, tx, ty);
            if (GetPixel(dst, tx, ty) != GetPixel(src, x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
        }
    if (!PaddingIsZero(dst))
        return ::testing::AssertionFailure() << "padding not zero";
    return ::testing::AssertionSuccess();
}

const int kTypes[] = {0, 1, 2, 3, 24, 32};

}  // namespace

TEST(CTImgDataInfo, SizesArePaddedAndComputedWithoutWrapping)
{
    EXPECT_EQ(CTImgDataInfo::CalcBytesWidth(33, 0), 8u);
    EXPECT_EQ(CTImgDataInfo::CalcBytesWidth(5, 24), 16u);
    EXPECT_EQ(CTImgDataInfo::CalcBytesWidth(INT_MAX, 32), 8589934588ul);
    EXPECT_EQ(CTImgDataInfo::CalcImageDataSize(65500, 65500, 24), 196500ul * 65500ul);
    EXPECT_EQ(CTImgDataInfo::CalcImageDataSize(10, 0, 24), 0u);

    std::vector<unsigned char> mem(64);
    CTImgDataInfo info;
    EXPECT_FALSE(info.SetImageDataMemory(mem.data(), 64, 4, 4, 2, 49));        // 16 + 49 > 64
    EXPECT_FALSE(info.SetImageDataMemory(mem.data(), 64, 4, 4, 2, UINT_MAX));  // must not wrap
    ASSERT_TRUE(info.SetImageDataMemory(mem.data(), 64, 4, 4, 2, 48));
    EXPECT_EQ(info.GetPtrToImageData(), mem.data() + 48);
    EXPECT_FALSE(info.SetImageDataMemory(mem.data(), 64, 4, 4, 2, 0));
}

// A box cleared as a plain description releases its own memory there, and
// a buffer attached afterwards stays the caller's: neither an explicit free
// nor the destructor may delete it.
TEST(CTImgDataBox, ClearedBoxNeverFreesABufferAttachedLater)
{
    std::vector<unsigned char> outside(64, 0x5A);
    {
        CTImgDataBox box;
        ASSERT_TRUE(box.AllocImageDataMemory(4, 4, 2, 0));
        CTImgDataInfo& description = box;
        description.ClearImageDataInfo();
        EXPECT_EQ(box.GetPtrToImageMemory(), nullptr);
        ASSERT_TRUE(box.SetImageDataMemory(outside.data(), outside.size(), 4, 4, 2, 0));
        box.FreeImageDataMemory();
        EXPECT_EQ(box.GetPtrToImageMemory(), outside.data());
    }
    EXPECT_EQ(outside[0], 0x5A);
    EXPECT_EQ(outside[63], 0x5A);
}

// Every depth, every turn and sense, every size from 1 x 1 to 33 x 33,
// against the reference; a half turn also in place.
TEST(CTRotImage, AllTurnsMatchThePerPixelReference)
{
    std::mt19937 rng(5);
    CTRotImage rot;
    for (int type : kTypes)
        for (int w = 1; w <= 33; ++w)
            for (int h = 1; h <= 33; ++h) {
                CTImgDataBox src;
                ASSERT_TRUE(src.AllocImageDataMemory(w, h, type, static_cast<unsigned>((w + h) % 5)));
                FillRandomWithDirtyPadding(src, rng);
                for (int turn = 0; turn <= 3; ++turn)
                    for (bool swap : {false, true}) {
                        CTImgDataBox dst;
                        ASSERT_TRUE(rot.RotateImage(src, turn, &dst, swap));
                        if (turn == 0) {
                            ASSERT_EQ(dst.GetImageDataSize(), src.GetImageDataSize());
                            ASSERT_EQ(0,
                                      memcmp(dst.GetPtrToImageData(), src.GetPtrToImageData(), src.GetImageDataSize()));
                            continue;
                        }
                        const int effective = (turn == 1 || turn == 2) && swap ? 3 - turn : turn;
                        ASSERT_TRUE(MatchesReference(src, dst, effective))
                            << "type " << type << " " << w << "x" << h << " turn " << turn << " swap " << swap;
                    }
                CTImgDataBox copy;
                ASSERT_TRUE(rot.RotateImage(src, 0, &copy, false));
                ASSERT_TRUE(rot.RotateImage(src, 3, nullptr, false));
                ASSERT_TRUE(MatchesReference(copy, src, 3)) << "in place, type " << type << " " << w << "x" << h;
            }
}

TEST(CTRotImage, FourQuarterTurnsAndTwoHalfTurnsAreTheIdentity)
{
    std::mt19937 rng(11);
    CTRotImage rot;
    for (int type : kTypes)
        for (int size : {1, 7, 9, 16, 31}) {
            const int w = size, h = size / 2 + 3;
            CTImgDataBox orig;
            ASSERT_TRUE(orig.AllocImageDataMemory(w, h, type, 0));
            FillRandomWithDirtyPadding(orig, rng);
            for (bool swap : {false, true}) {
                CTImgDataBox a, b, c, d;
                ASSERT_TRUE(rot.RotateImage(orig, 1, &a, swap));
                ASSERT_TRUE(rot.RotateImage(a, 1, &b, swap));
                ASSERT_TRUE(rot.RotateImage(b, 1, &c, swap));
                ASSERT_TRUE(rot.RotateImage(c, 1, &d, swap));
                ASSERT_TRUE(MatchesReference(orig, d, 0)) << type << " " << size;
            }
            CTImgDataBox half, full;
            ASSERT_TRUE(rot.RotateImage(orig, 3, &half, false));
            ASSERT_TRUE(rot.RotateImage(half, 3, &full, false));
            ASSERT_TRUE(MatchesReference(orig, full, 0)) << type << " " << size;
        }
}

TEST(CTRotImage, SmallExamples)
{
    CTRotImage rot;
    // 10 x 3 at one bit: rows of 4 bytes; turned it is 3 x 10, still 4 bytes a row.
    CTImgDataBox bw, bwTurned;
    ASSERT_TRUE(bw.AllocImageDataMemory(10, 3, 0, 0));
    EXPECT_EQ(bw.GetImageDataSize(), 12u);
    ASSERT_TRUE(rot.RotateImage(bw, 1, &bwTurned, false));
    int w = 0, h = 0;
    bwTurned.GetImagePixelSize(w, h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(bwTurned.GetImageDataSize(), 40u);

    // 1, 0, 1, 1, 0 turned by a half reads 0, 1, 1, 0, 1.
    CTImgDataBox row;
    ASSERT_TRUE(row.AllocImageDataMemory(5, 1, 1, 0));
    row.GetPtrToImageData()[0] = 0xB0;
    ASSERT_TRUE(rot.RotateImage(row, 3, nullptr, false));
    EXPECT_EQ(row.GetPtrToImageData()[0], 0x68);

    // 3 x 5 at 8 bits: the turned rows are whole words, pixels outside are 0.
    CTImgDataBox gray, grayTurned;
    ASSERT_TRUE(gray.AllocImageDataMemory(3, 5, 2, 0));
    for (int y = 0; y < 5; ++y) {
        uint8_t* r = gray.GetPtrToImageData() + 4 * y;
        for (int x = 0; x < 3; ++x)
            r[x] = static_cast<uint8_t>(10 * y + x + 1);
        r[3] = 0xEE;
    }
    ASSERT_TRUE(rot.RotateImage(gray, 2, &grayTurned, false));
    const uint8_t expected[3][8] = {
        {3, 13, 23, 33, 43, 0, 0, 0}, {2, 12, 22, 32, 42, 0, 0, 0}, {1, 11, 21, 31, 41, 0, 0, 0}};
    ASSERT_EQ(grayTurned.GetImageDataSize(), sizeof expected);
    EXPECT_EQ(0, memcmp(grayTurned.GetPtrToImageData(), expected, sizeof expected));
}

TEST(CTRotImage, BadArgumentsAreRefused)
{
    CTRotImage rot;
    CTImgDataBox empty, src, dst;
    ASSERT_TRUE(src.AllocImageDataMemory(6, 4, 24, 0));
    EXPECT_FALSE(rot.RotateImage(empty, 3, nullptr, false));
    EXPECT_FALSE(rot.RotateImage(src, 1, nullptr, false));
    EXPECT_FALSE(rot.RotateImage(src, 2, nullptr, true));
    EXPECT_FALSE(rot.RotateImage(src, 4, &dst, false));
    EXPECT_FALSE(rot.RotateImage(src, 3, &src, false));

    // A destination that already has memory must describe the turned image.
    CTImgDataBox wrongSize, wrongType, fits;
    ASSERT_TRUE(wrongSize.AllocImageDataMemory(6, 4, 24, 0));
    ASSERT_TRUE(wrongType.AllocImageDataMemory(4, 6, 32, 0));
    ASSERT_TRUE(fits.AllocImageDataMemory(4, 6, 24, 8));
    EXPECT_FALSE(rot.RotateImage(src, 1, &wrongSize, false));
    EXPECT_FALSE(rot.RotateImage(src, 1, &wrongType, false));
    EXPECT_TRUE(rot.RotateImage(src, 1, &fits, false));

    // Two descriptions of the same memory are refused too.
    CTImgDataBox alias;
    ASSERT_TRUE(alias.SetImageDataMemory(src.GetPtrToImageMemory(), src.GetImageMemorySize(), 6, 4, 24, 0));
    EXPECT_FALSE(rot.RotateImage(src, 3, &alias, false));

    // Mirroring is not provided and must not claim success.
    EXPECT_FALSE(rot.FlipImage(src, CTRotImage::kFlipHorizontal, &dst));
    EXPECT_FALSE(rot.FlipImage(src, CTRotImage::kFlipVertical, nullptr));
}
