// The conversion class: depth conversion against OpenCV and at the
// thresholds, the levels of 1-bit and zero-is-white images, row-by-row
// conversion and trimming against the in-memory form, trimming and combining
// against per-pixel references, and the size helpers at their limits.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "ScratchDir.h"
#include "imagelib/VdScnImgConv.h"
#include "tests/imagelib/ConversionSupport.h"
#include "tests/support/sip_images/FakeSipImgData.h"
#include "tests/support/sip_images/SipBmpFiles.h"

namespace {

using conversion::Bytes;
using conversion::Info;
using conversion::MemImage;
using conversion::Stride;
using sippages::FakeSipImgData;

// A colour page of random pixels with a gray ramp in its first row.
Bytes ColourPage(int32_t width, int32_t height, uint32_t seed)
{
    Bytes pixels = sippages::PatternPixels(width, height, 24, seed);
    for (int32_t x = 0; x < width; ++x)
        pixels[3 * x] = pixels[3 * x + 1] = pixels[3 * x + 2] = static_cast<uint8_t>(x * 255 / (width - 1));
    return pixels;
}

// Every level 0 to 255 across a row, on every row.
Bytes Ramp8(int32_t height)
{
    Bytes pixels(256 * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i % 256);
    return pixels;
}

Bytes Converted(CVdScnImgConv& conv, MemImage& input, const tagSIPIMAGEINFO& outInfo, int32_t* code = nullptr)
{
    MemImage output(outInfo);
    const int32_t c = conv.ConvertColorType(input.get(), 0, output.get());
    if (code != nullptr)
        *code = c;
    return output.Pixels();
}

TEST(DepthConversion, TwentyFourToEightFollowsOpenCvWithinOneLevel)
{
    if (!sippages::HavePython("cv2"))
        GTEST_SKIP() << "no OpenCV for /usr/bin/python3";
    const int32_t width = 257, height = 40;
    const tagSIPIMAGEINFO colour = Info(width, height, 24);
    MemImage input(colour, ColourPage(width, height, 7));
    ScratchDir dir;
    ASSERT_TRUE(sippages::WriteFileBytes(dir / "in.raw", input.Pixels()));
    ASSERT_EQ(sippages::RunTestScript("cv_reference.py", "gray " + dir / "in.raw " + std::to_string(width) + " " +
                                                             std::to_string(height) + " " +
                                                             std::to_string(Stride(colour)) + " " + dir / "out.raw"),
              "");
    const Bytes reference = sippages::ReadFileBytes(dir / "out.raw");
    ASSERT_EQ(reference.size(), size_t(width) * height);
    CVdScnImgConv conv;
    MemImage gray(Info(width, height, 8));
    ASSERT_EQ(conv.ConvertColorType(input.get(), 0, gray.get()), 0);
    int worst = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            worst = std::max(worst, std::abs(gray.Level(x, y) - reference[size_t(y) * width + x]));
    EXPECT_LE(worst, 1);

    // Bytes red, green, blue give the same levels as the swapped page.
    Bytes swapped = input.Pixels();
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            std::swap(swapped[y * Stride(colour) + 3 * x], swapped[y * Stride(colour) + 3 * x + 2]);
    MemImage rgb(Info(width, height, 24, 0, kSipOrderRgb), swapped);
    EXPECT_EQ(Converted(conv, rgb, Info(width, height, 8)), gray.Pixels());
}

TEST(DepthConversion, BinarisationAtTheAutomaticAndTheUserThreshold)
{
    struct Case {
        int32_t set;  // 0: never set
        int32_t setCode;
        int32_t inputBits;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 0, 8, 149},    {0, 0, 24, 223},  {100, 0, 8, 100},  {100, 0, 24, 100}, {1, 0, 8, 1},
        {254, 0, 24, 254}, {255, 5, 8, 149}, {255, 5, 24, 223}, {-1, 5, 8, 149},
    };
    const int32_t height = 3;
    MemImage ramp8(Info(256, height, 8), Ramp8(height));
    Bytes grayPixels(Stride(Info(256, height, 24)) * height);
    for (size_t i = 0; i < grayPixels.size(); ++i)
        grayPixels[i] = static_cast<uint8_t>((i % 768) / 3);
    MemImage ramp24(Info(256, height, 24), grayPixels);
    CVdScnImgConv reference;
    const Bytes luminance = Converted(reference, ramp24, Info(256, height, 8));
    for (const Case& c : cases) {
        for (int32_t zeroIsWhite : {0, 1}) {
            CVdScnImgConv conv;
            if (c.set != 0) {
                // A value out of range after a good one brings back the automatic choice.
                conv.SetBinarizationThreshold(120);
                EXPECT_EQ(conv.SetBinarizationThreshold(c.set), c.setCode);
            }
            MemImage& input = c.inputBits == 8 ? ramp8 : ramp24;
            int32_t code = -1;
            const Bytes bits = Converted(conv, input, Info(256, height, 1, zeroIsWhite), &code);
            ASSERT_EQ(code, 0);
            EXPECT_EQ(conv.GetBinarizationThreshold(), c.expected) << c.set << " " << c.inputBits;
            for (int32_t x = 0; x < 256; ++x) {
                const int level = c.inputBits == 8 ? x : luminance[x];
                ASSERT_EQ(conversion::Bit(bits.data() + Stride(Info(256, 1, 1)), x),
                          (level > c.expected) != (zeroIsWhite != 0))
                    << "set " << c.set << " bits " << c.inputBits << " x " << x;
            }
        }
    }
}

// Levels read through the input's zero-is-white flag and written through
// the output's: a 1 bit, or level 0 of a flagged 8-bit image, is what it
// stands for on every path.
TEST(DepthConversion, LevelsFollowBothZeroIsWhiteFlags)
{
    struct Case {
        int32_t inBits, inFlag, outBits, outFlag;
        int one;   // output level (or bit) for an input 1 bit / level 255
        int zero;  // for an input 0 bit / level 0
    };
    const Case cases[] = {
        {1, 0, 8, 0, 255, 0},  {1, 1, 8, 0, 0, 255},  {1, 0, 8, 1, 0, 255},  {1, 1, 8, 1, 255, 0},
        {1, 0, 24, 0, 255, 0}, {1, 1, 24, 0, 0, 255}, {8, 1, 24, 0, 0, 255}, {8, 0, 1, 1, 0, 1},
        {8, 1, 1, 0, 0, 1},    {8, 1, 1, 1, 1, 0},    {24, 0, 8, 1, 0, 255},
    };
    for (const Case& c : cases) {
        const tagSIPIMAGEINFO in = Info(2, 1, c.inBits, c.inFlag);
        Bytes pixels(Stride(in), 0);
        if (c.inBits == 1)
            pixels[0] = 0x80;  // pixel 0 is a 1 bit, pixel 1 a 0 bit
        else
            std::fill_n(pixels.begin(), c.inBits / 8, 255);
        MemImage input(in, pixels);
        MemImage output(Info(2, 1, c.outBits, c.outFlag));
        CVdScnImgConv conv;
        ASSERT_EQ(conv.ConvertColorType(input.get(), 0, output.get()), 0);
        const int scale = c.outBits == 1 ? 255 : 1;
        EXPECT_EQ(output.Level(0, 0) / scale, c.one)
            << c.inBits << "/" << c.inFlag << " to " << c.outBits << "/" << c.outFlag;
        EXPECT_EQ(output.Level(1, 0) / scale, c.zero)
            << c.inBits << "/" << c.inFlag << " to " << c.outBits << "/" << c.outFlag;
        if (c.outBits == 24) {
            EXPECT_EQ(output.Level(0, 0, 2), output.Level(0, 0, 0));
        }
    }
}

TEST(DepthConversion, RefusesEqualDepthsUnequalSizesAndOtherDepths)
{
    CVdScnImgConv conv;
    const tagSIPIMAGEINFO refused[][2] = {
        {Info(8, 8, 24), Info(8, 8, 24)}, {Info(8, 8, 8), Info(8, 8, 8)}, {Info(8, 8, 1), Info(8, 8, 1)},
        {Info(8, 8, 24), Info(9, 8, 8)},  {Info(8, 8, 8), Info(8, 7, 1)}, {Info(8, 8, 32), Info(8, 8, 8)},
        {Info(0, 8, 24), Info(0, 8, 8)},
    };
    for (const auto& pair : refused) {
        FakeSipImgData input(pair[0], {}, true), output(pair[1], {}, true);
        EXPECT_EQ(conv.ConvertColorType(&input, 0, &output), 5) << pair[0].bitsPerPixel << " " << pair[1].width;
    }
    FakeSipImgData image(Info(8, 8, 8), {}, true);
    EXPECT_EQ(conv.ConvertColorType(nullptr, 0, &image), 5);
}

// Both images row by row (rows bottom first, as a BMP file holds them) give
// the pixels of the in-memory conversion, and every file is closed.
TEST(DepthConversion, RowByRowEqualsInMemory)
{
    const int32_t pairs[][2] = {{24, 8}, {24, 1}, {8, 24}, {8, 1}, {1, 24}, {1, 8}};
    for (const auto& pair : pairs) {
        const tagSIPIMAGEINFO in = Info(37, 11, pair[0]), out = Info(37, 11, pair[1]);
        const Bytes pixels = sippages::PatternPixels(in.width, in.height, in.bitsPerPixel, 3);
        CVdScnImgConv conv;
        MemImage memoryIn(in, pixels);
        const Bytes expected = Converted(conv, memoryIn, out);
        FakeSipImgData fileIn(in, pixels, false), fileOut(out, {}, false);
        ASSERT_EQ(conv.ConvertColorType(&fileIn, 0, &fileOut), 0);
        EXPECT_EQ(fileOut.WrittenTopFirst(), expected) << pair[0] << " to " << pair[1];
        EXPECT_EQ(fileIn.Opens(), fileIn.Closes());
        EXPECT_EQ(fileOut.Opens(), fileOut.Closes());
    }
    // A short input file ends the pass with 1 and closes both.
    FakeSipImgData shortIn(Info(37, 11, 8), {}, false), out(Info(37, 11, 1), {}, false);
    shortIn.FailReadsAfter(4);
    CVdScnImgConv conv;
    EXPECT_EQ(conv.ConvertColorType(&shortIn, 0, &out), 1);
    EXPECT_EQ(shortIn.Opens(), shortIn.Closes());
    EXPECT_EQ(out.Opens(), out.Closes());
}

// Output pixel (x, y) holds input pixel (x + dx, y + dy) wherever that lies
// inside both the rectangle and the input, and white everywhere else.
struct TrimCase {
    const char* name;
    tagSIPRECT rect;
    int32_t alignment;
    int32_t width;
    int32_t height;
    int32_t dx;
    int32_t dy;
};

bool Inside(const tagSIPRECT& r, int64_t x, int64_t y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

void ExpectTrim(const TrimCase& c, const MemImage& input, const Bytes& out, const tagSIPIMAGEINFO& outInfo)
{
    const tagSIPIMAGEINFO& in = input.info();
    const int white = in.zeroIsWhite != 0 && in.bitsPerPixel <= 8 ? 0 : 255;
    const int channels = in.bitsPerPixel == 24 ? 3 : 1;
    for (int32_t y = 0; y < outInfo.height; ++y)
        for (int32_t x = 0; x < outInfo.width; ++x)
            for (int ch = 0; ch < channels; ++ch) {
                const int64_t sx = int64_t{x} + c.dx, sy = int64_t{y} + c.dy;
                const bool copied = Inside(c.rect, sx, sy) && sx >= 0 && sy >= 0 && sx < in.width && sy < in.height;
                const uint8_t* row = out.data() + y * Stride(outInfo);
                const int got = in.bitsPerPixel == 1 ? (conversion::Bit(row, x) ? 255 : 0) : row[x * channels + ch];
                ASSERT_EQ(got, copied ? input.Level(sx, sy, ch) : white)
                    << c.name << " at " << x << "," << y << " (" << in.bitsPerPixel << " bits)";
            }
}

TEST(Trimming, RectanglesLandWhereTheirSizeAndAlignmentPutThem)
{
    // clang-format off
    const TrimCase cases[] = {
        {"as wide, inside",              {5, 4, 24, 19},    1, 20, 16, 5, 4},
        {"as wide, left of and above",   {-3, -2, 16, 12},  0, 20, 15, -3, -2},
        {"as wide, right of and below",  {30, 25, 49, 34},  2, 20, 10, 30, 25},
        {"wider, left columns",          {2, 3, 31, 20},    0, 20, 18, 2, 3},
        {"wider, middle columns",        {2, 3, 31, 20},    1, 20, 18, 7, 3},
        {"wider, right columns",         {2, 3, 31, 20},    2, 20, 18, 12, 3},
        {"wider, odd middle",            {1, 0, 27, 9},     1, 20, 10, 4, 0},
        {"narrower, left",               {4, 5, 13, 15},    0, 20, 11, 4, 5},
        {"narrower, centre",             {4, 5, 13, 15},    1, 20, 11, -1, 5},
        {"narrower, odd centre",         {3, 5, 13, 15},    1, 20, 11, -1, 5},
        {"narrower, right",              {4, 5, 13, 15},    2, 20, 11, -6, 5},
        {"narrower, left of the input",  {-5, 0, 8, 9},     1, 20, 10, -8, 0},
        {"taller than the output",       {0, 2, 39, 29},    0, 40, 12, 0, 2},
        {"wholly right of the input",    {100, 1, 119, 10}, 1, 20, 10, 100, 1},
        {"wholly above the input",       {-50, -60, -31, -41}, 0, 20, 10, -50, -60},
        {"right edge left of left edge", {20, 5, 10, 9},    1, 20, 10, 0, 5},
    };
    // clang-format on
    for (int32_t bits : {8, 24, 1}) {
        for (int32_t zeroIsWhite : {0, 1}) {
            const tagSIPIMAGEINFO in = Info(40, 30, bits, zeroIsWhite);
            MemImage input(in, sippages::PatternPixels(40, 30, bits, 11));
            for (const TrimCase& c : cases) {
                const tagSIPIMAGEINFO out = Info(c.width, c.height, bits, zeroIsWhite);
                CVdScnImgConv conv;
                MemImage memoryOut(out);
                ASSERT_EQ(conv.TrimRectangle(input.get(), &c.rect, c.alignment, memoryOut.get()), 0) << c.name;
                ExpectTrim(c, input, memoryOut.Pixels(), out);
                // Row by row: the same rows, every output row written once.
                FakeSipImgData fileIn(in, input.Pixels(), false), fileOut(out, {}, false);
                ASSERT_EQ(conv.TrimRectangle(&fileIn, &c.rect, c.alignment, &fileOut), 0) << c.name;
                const Bytes written = fileOut.WrittenTopFirst();
                ASSERT_EQ(written.size(), Stride(out) * out.height) << c.name;
                ExpectTrim(c, input, written, out);
                EXPECT_EQ(fileIn.Opens(), fileIn.Closes());
                EXPECT_EQ(fileOut.Opens(), fileOut.Closes());
            }
        }
    }
}

TEST(Trimming, OneBitTrimsAtEveryBitOffsetMatchAPerBitCopy)
{
    const tagSIPIMAGEINFO in = Info(61, 9, 1);
    MemImage input(in, sippages::PatternPixels(61, 9, 1, 5));
    for (int32_t left = 0; left < 9; ++left)
        for (int32_t place = 0; place < 3; ++place) {
            const TrimCase c{
                "bits", {left, 1, left + 30, 7}, place, 45, 7, left - (place == 0 ? 0 : place == 1 ? 7 : 14), 1};
            const tagSIPIMAGEINFO out = Info(45, 7, 1);
            MemImage output(out);
            CVdScnImgConv conv;
            ASSERT_EQ(conv.TrimRectangle(input.get(), &c.rect, place, output.get()), 0);
            ExpectTrim(c, input, output.Pixels(), out);
        }
}

TEST(Trimming, RefusesImagesThatDiffer)
{
    CVdScnImgConv conv;
    const tagSIPRECT rect{0, 0, 9, 9};
    const tagSIPIMAGEINFO refused[][2] = {
        {Info(10, 10, 8), Info(10, 10, 24)},
        {Info(10, 10, 24, 0, kSipOrderBgr), Info(10, 10, 24, 0, kSipOrderRgb)},
        {Info(10, 10, 1, 0), Info(10, 10, 1, 1)},
    };
    for (const auto& pair : refused) {
        FakeSipImgData input(pair[0], {}, true), output(pair[1], {}, true);
        EXPECT_EQ(conv.TrimRectangle(&input, &rect, 1, &output), 5);
    }
    FakeSipImgData a(Info(10, 10, 8), {}, true), b(Info(10, 10, 8), {}, true);
    EXPECT_EQ(conv.TrimRectangle(&a, nullptr, 1, &b), 5);
    EXPECT_EQ(conv.TrimRectangle(&a, &rect, 3, &b), 5);
}

// Output pixel from whichever image's placement covers it, else white; a
// source of the other polarity shows inverted levels and stays unchanged.
TEST(Combining, ImagesArePlacedByTypeAndAlignment)
{
    struct Case {
        int32_t type, alignment;
        int32_t ax, ay, bx, by;  // placements
    };
    const Case cases[] = {
        {0, 0, 0, 0, 10, 0}, {0, 2, 0, 0, 10, 0}, {1, 0, 0, 0, 0, 6}, {1, 1, 2, 0, 0, 6}, {1, 2, 4, 0, 0, 6},
    };
    for (int32_t bits : {8, 24, 1}) {
        for (int32_t flipA : {0, 1}) {
            const tagSIPIMAGEINFO infoA = Info(10, 6, bits, bits <= 8 ? flipA : 0), infoB = Info(14, 4, bits);
            MemImage a(infoA, sippages::PatternPixels(10, 6, bits, 1)),
                b(infoB, sippages::PatternPixels(14, 4, bits, 2));
            const Bytes originalA = a.Pixels();
            for (const Case& c : cases) {
                int32_t w = 0, h = 0;
                ASSERT_EQ(CVdScnImgConv::GetCombinedImageSize(10, 6, 14, 4, c.type, &w, &h), 0);
                EXPECT_EQ(w, c.type == 0 ? 24 : 14);
                EXPECT_EQ(h, c.type == 0 ? 6 : 10);
                MemImage out(Info(w, h, bits));
                CVdScnImgConv conv;
                ASSERT_EQ(conv.CombineImage(a.get(), b.get(), c.type, c.alignment, out.get()), 0);
                const int channels = bits == 24 ? 3 : 1;
                for (int32_t y = 0; y < h; ++y)
                    for (int32_t x = 0; x < w; ++x)
                        for (int ch = 0; ch < channels; ++ch) {
                            int expected = 255;
                            if (x >= c.ax && x < c.ax + 10 && y >= c.ay && y < c.ay + 6) {
                                expected = a.Level(x - c.ax, y - c.ay, ch);
                                if (infoA.zeroIsWhite != 0)
                                    expected = 255 - expected;
                            } else if (x >= c.bx && x < c.bx + 14 && y >= c.by && y < c.by + 4) {
                                expected = b.Level(x - c.bx, y - c.by, ch);
                            }
                            ASSERT_EQ(out.Level(x, y, ch), expected)
                                << bits << " bits, type " << c.type << " alignment " << c.alignment << " at " << x
                                << "," << y;
                        }
                EXPECT_EQ(a.Pixels(), originalA);
            }
        }
    }
    MemImage eight(Info(4, 4, 8)), one(Info(4, 4, 1)), out(Info(8, 4, 8));
    CVdScnImgConv conv;
    EXPECT_EQ(conv.CombineImage(eight.get(), one.get(), 0, 1, out.get()), 5);
    EXPECT_EQ(conv.CombineImage(eight.get(), eight.get(), 2, 1, out.get()), 5);
    FakeSipImgData notInMemory(Info(4, 4, 8), {}, false);
    EXPECT_EQ(conv.CombineImage(eight.get(), &notInMemory, 0, 1, out.get()), 1);
}

TEST(SizeHelpers, RotatedAndCombinedSizesAtTheirLimits)
{
    int32_t w = -1, h = -1;
    // Inclusive corners 0 .. w - 1 measure w - 1.
    const tagSIPPAPERCORNERS upright{{0, 0}, {99, 0}, {0, 49}, {99, 49}};
    ASSERT_EQ(CVdScnImgConv::GetRotatedImageSize(0, &upright, &w, &h), 0);
    EXPECT_EQ(w, 99);
    EXPECT_EQ(h, 49);
    const tagSIPPAPERCORNERS turned{{10, 10}, {110, 13}, {7, 60}, {107, 63}};  // 100.04 and 50.09 long
    ASSERT_EQ(CVdScnImgConv::GetRotatedImageSize(200, &turned, &w, &h), 0);
    EXPECT_EQ(w, 101);
    EXPECT_EQ(h, 51);
    const tagSIPPAPERCORNERS huge{{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, 0}, {0, 0}};
    EXPECT_EQ(CVdScnImgConv::GetRotatedImageSize(0, &huge, &w, &h), 2);
    EXPECT_EQ(CVdScnImgConv::GetRotatedImageSize(0, nullptr, &w, &h), 5);
    EXPECT_EQ(CVdScnImgConv::GetCombinedImageSize(INT_MAX, 1, 1, 1, 0, &w, &h), 2);
    EXPECT_EQ(CVdScnImgConv::GetCombinedImageSize(1, INT_MAX, 1, 1, 1, &w, &h), 2);
    EXPECT_EQ(CVdScnImgConv::GetCombinedImageSize(1, 1, 1, 1, 0, nullptr, &h), 5);
}

TEST(ErrorDiffusionStep, BinarisesAnEightBitImageOfTheSameSize)
{
    const tagSIPIMAGEINFO in = Info(45, 20, 8), out = Info(45, 20, 1);
    const Bytes pixels = sippages::PatternPixels(45, 20, 8, 9);
    MemImage input(in, pixels), output(out);
    CVdScnImgConv conv;
    ASSERT_EQ(conv.BinarizeErrorDiffusion(input.get(), output.get()), 0);
    Bytes direct(Stride(out) * 20, 0xFF);
    CVdSipErrorDiffusion diffusion;
    ASSERT_EQ(diffusion.ExecTwoLevelErrorDiffusion(pixels.data(), direct.data(), 45, 20, int32_t(Stride(in)),
                                                   int32_t(Stride(out))),
              0);
    EXPECT_EQ(output.Pixels(), direct);
    MemImage wrongSize(Info(44, 20, 1)), wrongDepth(Info(45, 20, 8));
    EXPECT_EQ(conv.BinarizeErrorDiffusion(input.get(), wrongSize.get()), 5);
    EXPECT_EQ(conv.BinarizeErrorDiffusion(input.get(), wrongDepth.get()), 5);
}

}  // namespace
