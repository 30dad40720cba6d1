// Rotation: 24 and 8 bits against OpenCV's bilinear warp on smooth and
// sharp-edged pages, rotation by 0 and sources outside the input, the
// output window of each alignment, and every depth pair against the
// same-depth rotation followed by the depth conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ScratchDir.h"
#include "imagelib/VdScnImgConv.h"
#include "tests/imagelib/ConversionSupport.h"
#include "tests/support/sip_images/FakeSipImgData.h"
#include "tests/support/sip_images/SipBmpFiles.h"
#include "tests/support/sip_images/SipPages.h"

namespace {

using conversion::Bytes;
using conversion::Info;
using conversion::MemImage;
using conversion::Stride;

constexpr double kPi = 3.141592653589793;

// Low-frequency waves, a different one per channel.
Bytes Smooth(int32_t width, int32_t height, int32_t bits)
{
    const tagSIPIMAGEINFO info = Info(width, height, bits);
    Bytes pixels(Stride(info) * height, 255);
    const int channels = bits / 8;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels[y * Stride(info) + x * channels + c] = static_cast<uint8_t>(
                    std::lround(128 + 100 * std::sin(x / (17.0 + 5 * c)) * std::cos(y / (23.0 + 3 * c))));
    return pixels;
}

// Text-like dark blocks, a colour patch and a checkerboard: edges from 0 to
// 255 within one pixel.
Bytes Sharp(int32_t width, int32_t height, int32_t bits)
{
    sippages::Page page = bits == 24 ? sippages::Colour(width, height, 245, 245, 245)
                                     : sippages::Gray(uint32_t(width), uint32_t(height), 245);
    sippages::TextBlocks(page, 100, 3);
    sippages::Fill(page, width / 5, height / 3, width / 2, height / 2, 30, 140, 220);
    sippages::Checker(page, width * 3 / 5, height / 2, width * 4 / 5, height * 3 / 4);
    return page.pixels;
}

struct Turn {
    int64_t cosine, sine;  // x 1024, truncated as the rotation takes them
};

Turn TurnFor(int32_t angle)
{
    const double a = -angle * kPi / 18000.0;
    return Turn{static_cast<int64_t>(std::cos(a) * 1024), static_cast<int64_t>(std::sin(a) * 1024)};
}

// Corners whose edges reach past an output of this size, with the top-left
// corner at (cx, cy): the window is the whole output, its origin (0, 0).
tagSIPPAPERCORNERS Covering(int32_t cx, int32_t cy, int32_t width, int32_t height)
{
    return tagSIPPAPERCORNERS{{cx, cy}, {cx + width, cy}, {cx, cy + height}, {cx + width, cy + height}};
}

class RotationAgainstOpenCv : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sippages::HavePython("cv2"))
            GTEST_SKIP() << "no OpenCV for /usr/bin/python3";
    }

    struct Comparison {
        int worst = 0;
        double within3 = 0;  // share of compared samples
        size_t compared = 0;
    };

    Comparison Compare(int32_t bits, const Bytes& pixels, int32_t angle)
    {
        const int32_t width = 320, height = 240, cx = 12, cy = 7;
        const tagSIPIMAGEINFO info = Info(width, height, bits);
        MemImage input(info, pixels), output(info);
        const tagSIPPAPERCORNERS corners = Covering(cx, cy, width, height);
        CVdScnImgConv conv;
        EXPECT_EQ(conv.RotateDegree(input.get(), angle, &corners, false, 0, 0, 5, kSipAlignLeft, output.get()), 0);
        const Turn turn = TurnFor(angle);
        const int channels = bits / 8;
        EXPECT_TRUE(sippages::WriteFileBytes(dir_ / "in.raw", pixels));
        const std::string args = "rotate " + dir_ / "in.raw " + std::to_string(width) + " " + std::to_string(height) +
                                 " " + std::to_string(Stride(info)) + " " + std::to_string(channels) + " " +
                                 std::to_string(turn.cosine) + " " + std::to_string(turn.sine) + " " +
                                 std::to_string(cx) + " " + std::to_string(cy) + " " + std::to_string(width) + " " +
                                 std::to_string(height) + " " + dir_ / "ref.raw " + dir_ / "mask.raw";
        EXPECT_EQ(sippages::RunTestScript("cv_reference.py", args), "");
        const Bytes reference = sippages::ReadFileBytes(dir_ / "ref.raw");
        const Bytes mask = sippages::ReadFileBytes(dir_ / "mask.raw");
        Comparison result;
        if (reference.size() != size_t(width) * height * channels || mask.size() != size_t(width) * height) {
            ADD_FAILURE() << "no reference";
            return result;
        }
        size_t close = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                if (mask[size_t(y) * width + x] == 0)
                    continue;
                for (int c = 0; c < channels; ++c) {
                    const int diff =
                        std::abs(output.Level(x, y, c) - reference[(size_t(y) * width + x) * channels + size_t(c)]);
                    result.worst = std::max(result.worst, diff);
                    close += diff <= 3;
                    ++result.compared;
                }
            }
        result.within3 = result.compared ? double(close) / result.compared : 0;
        return result;
    }

    ScratchDir dir_;
};

TEST_F(RotationAgainstOpenCv, SmoothPagesAgreeWithinThreeLevels)
{
    for (int32_t bits : {24, 8})
        for (int32_t angle : {200, 500, -200}) {
            const Comparison c = Compare(bits, Smooth(320, 240, bits), angle);
            EXPECT_GT(c.compared, 50000u);
            EXPECT_LE(c.worst, 3) << bits << " bits at " << angle;
        }
}

TEST_F(RotationAgainstOpenCv, SharpEdgedPagesAgreeNearlyEverywhere)
{
    for (int32_t bits : {24, 8})
        for (int32_t angle : {200, 500}) {
            const Comparison c = Compare(bits, Sharp(320, 240, bits), angle);
            EXPECT_GT(c.compared, 50000u);
            EXPECT_GE(c.within3, 0.97) << bits << " bits at " << angle;
            EXPECT_LE(c.worst, 8) << bits << " bits at " << angle;
        }
}

// Rotation by 0 copies the input from the corner on; sources outside the
// input are white, output pixels outside the window keep their white.
TEST(Rotation, ZeroDegreesCopiesFromTheCornerAndWhitensTheRest)
{
    for (int32_t bits : {24, 8, 1}) {
        for (int32_t zeroIsWhite : {0, 1}) {
            const tagSIPIMAGEINFO in = Info(50, 40, bits, bits <= 8 ? zeroIsWhite : 0);
            MemImage input(in, sippages::PatternPixels(50, 40, bits, 4));
            const tagSIPIMAGEINFO outInfo = Info(60, 50, bits, in.zeroIsWhite);
            MemImage output(outInfo);
            // Corners 30 wide and 20 high from (5, 3): window columns 0..31, rows 0..21.
            const tagSIPPAPERCORNERS corners{{5, 3}, {35, 3}, {5, 23}, {35, 23}};
            CVdScnImgConv conv;
            ASSERT_EQ(conv.RotateDegree(input.get(), 0, &corners, false, 0, 0, 5, kSipAlignLeft, output.get()), 0);
            const int white = in.zeroIsWhite != 0 ? 0 : 255;
            const int channels = bits == 24 ? 3 : 1;
            for (int32_t y = 0; y < outInfo.height; ++y)
                for (int32_t x = 0; x < outInfo.width; ++x)
                    for (int c = 0; c < channels; ++c) {
                        const bool window = x <= 31 && y <= 21;
                        const bool source = x + 5 < in.width && y + 3 < in.height;
                        const int expected = window && source ? input.Level(x + 5, y + 3, c) : white;
                        ASSERT_EQ(output.Level(x, y, c), expected)
                            << bits << " bits, flag " << zeroIsWhite << " at " << x << "," << y;
                    }
        }
    }
}

// The three channels of a 24-bit page rotate exactly as three 8-bit pages,
// wherever their sources lie (inside, on the last row or column, outside).
TEST(Rotation, ColourChannelsRotateAsGrayPages)
{
    const int32_t width = 101, height = 77;
    const tagSIPIMAGEINFO colour = Info(width, height, 24), gray = Info(width, height, 8);
    MemImage input(colour, sippages::PatternPixels(width, height, 24, 13));
    const tagSIPPAPERCORNERS corners = Covering(-3, 4, width, height);
    for (int32_t angle : {350, -1234, 4500}) {
        MemImage rotated(colour);
        CVdScnImgConv conv;
        ASSERT_EQ(conv.RotateDegree(input.get(), angle, &corners, false, 0, 0, 5, 1, rotated.get()), 0);
        for (int c = 0; c < 3; ++c) {
            Bytes channel(Stride(gray) * height);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    channel[y * Stride(gray) + x] = static_cast<uint8_t>(input.Level(x, y, c));
            MemImage single(gray, channel), turned(gray);
            ASSERT_EQ(conv.RotateDegree(single.get(), angle, &corners, false, 0, 0, 3, 1, turned.get()), 0);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    ASSERT_EQ(rotated.Level(x, y, c), turned.Level(x, y))
                        << angle << " channel " << c << " at " << x << "," << y;
        }
    }
}

// At the last source row and column the missing neighbours are the pixel
// itself: a black page turns into black and white only, never a blend.
TEST(Rotation, EdgesOfTheInputRepeatTheirPixels)
{
    for (int32_t bits : {24, 8, 1}) {
        const tagSIPIMAGEINFO in = Info(30, 20, bits);
        MemImage input(in, Bytes(Stride(in) * 20, 0)), output(Info(40, 30, bits));
        const tagSIPPAPERCORNERS corners = Covering(0, 0, 40, 30);
        CVdScnImgConv conv;
        ASSERT_EQ(conv.RotateDegree(input.get(), -300, &corners, false, 0, 0, 5, 0, output.get()), 0);
        size_t black = 0;
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 40; ++x) {
                const int level = output.Level(x, y);
                ASSERT_TRUE(level == 0 || level == 255) << bits << " bits at " << x << "," << y << ": " << level;
                black += level == 0;
            }
        EXPECT_GT(black, 500u);
    }
}

// Golden values at 45 degrees (C = S = 724): output pixel (1, 0) samples
// source (0.707, 0.707), weights 181 of 255 towards the right and the lower
// neighbour. On the last row the lower neighbours, on the last column the
// right ones, and in both cases the lower-right one, are the pixel itself.
TEST(Rotation, LastRowAndColumnTakeThePixelItselfAsMissingNeighbours)
{
    struct Case {
        const char* what;
        int32_t width, height;
        uint8_t first, second;  // the two pixels, in row order
        int expected;
    };
    const Case cases[] = {
        {"one row: left 0, right 255", 2, 1, 0, 255, 53},
        {"one column: upper 0, lower 255", 1, 2, 0, 255, 53},
        {"one row: left 255, right 0", 2, 1, 255, 0, 202},
    };
    for (const Case& c : cases) {
        const tagSIPIMAGEINFO in = Info(c.width, c.height, 8);
        Bytes pixels(Stride(in) * c.height, 0);
        pixels[0] = c.first;
        pixels[c.width == 2 ? 1 : Stride(in)] = c.second;
        MemImage input(in, pixels), output(Info(4, 4, 8));
        const tagSIPPAPERCORNERS corners = Covering(0, 0, 4, 4);
        CVdScnImgConv conv;
        ASSERT_EQ(conv.RotateDegree(input.get(), -4500, &corners, false, 0, 0, 5, 0, output.get()), 0);
        EXPECT_EQ(output.Level(1, 0), c.expected) << c.what;
        EXPECT_EQ(output.Level(0, 0), c.first) << c.what;
    }
}

// The window of each alignment for a page narrower and wider than the
// output: which output columns the rotation writes.
TEST(Rotation, AlignmentPlacesTheWindow)
{
    struct Case {
        int32_t pageWidth;  // top edge length + 1
        int32_t alignment;
        int32_t first, last;  // written columns
        int32_t shift;        // output column of source column corner x
    };
    const Case cases[] = {
        {20, 0, 0, 20, 0}, {20, 1, 10, 30, 10}, {20, 2, 20, 39, 20},
        {50, 0, 0, 39, 0}, {50, 1, 0, 39, -5},  {50, 2, 0, 39, -10},
    };
    for (const Case& c : cases) {
        const tagSIPIMAGEINFO in = Info(60, 10, 8);
        Bytes pixels(Stride(in) * 10, 0);  // black page
        MemImage input(in, pixels), output(Info(40, 10, 8));
        const tagSIPPAPERCORNERS corners{{2, 0}, {2 + c.pageWidth - 1, 0}, {2, 9}, {2 + c.pageWidth - 1, 9}};
        CVdScnImgConv conv;
        ASSERT_EQ(conv.RotateDegree(input.get(), 0, &corners, false, 0, 0, 5, c.alignment, output.get()), 0);
        for (int32_t x = 0; x < 40; ++x) {
            // Black where a source column exists (2 + x - shift inside the input).
            const int64_t source = 2 + int64_t{x} - c.shift;
            const bool written = x >= c.first && x <= c.last;
            const int expected = written && source >= 0 && source < 60 ? 0 : 255;
            ASSERT_EQ(output.Level(x, 5), expected) << c.pageWidth << "/" << c.alignment << " column " << x;
        }
    }
}

// Each depth pair equals the same-depth rotation followed by the depth
// conversion (levels within 1, bits exact away from the threshold); 1-bit
// sources rotate as their levels (255 for a 1 bit, swapped by the source's
// flag except into 24 bits).
TEST(Rotation, EveryDepthPairFollowsTheSameDepthRotation)
{
    const int32_t width = 90, height = 70, angle = 350;
    const tagSIPPAPERCORNERS corners = Covering(3, 2, width, height);
    for (int32_t inBits : {24, 8, 1}) {
        for (int32_t inFlag : {0, 1}) {
            if (inBits == 24 && inFlag == 1)
                continue;
            const tagSIPIMAGEINFO in = Info(width, height, inBits, inFlag);
            const Bytes pixels =
                inBits == 1 ? sippages::PatternPixels(width, height, 1, 8) : Sharp(width, height, inBits);
            MemImage input(in, pixels);
            for (int32_t outBits : {24, 8, 1}) {
                for (int32_t outFlag : {0, 1}) {
                    if (outBits == 24 && outFlag == 1)
                        continue;
                    const tagSIPIMAGEINFO out = Info(width, height, outBits, outFlag);
                    // The reference: the source as levels of its own depth
                    // (1-bit sources as an unflagged 8-bit image), rotated at
                    // that depth, then converted.
                    const int32_t levelBits = inBits == 1 ? 8 : inBits;
                    const bool swap = inBits == 1 && inFlag == 1 && outBits != 24;
                    const int32_t levelFlag = inBits == 1 ? 0 : inFlag;
                    Bytes levels(Stride(Info(width, height, levelBits)) * height);
                    for (int32_t y = 0; y < height; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            for (int c = 0; c < levelBits / 8; ++c)
                                levels[y * Stride(Info(width, height, levelBits)) + x * (levelBits / 8) + c] =
                                    static_cast<uint8_t>(swap ? 255 - input.Level(x, y, c) : input.Level(x, y, c));
                    MemImage levelImage(Info(width, height, levelBits, levelFlag), levels);
                    MemImage rotated(Info(width, height, levelBits, levelFlag));
                    CVdScnImgConv reference;
                    ASSERT_EQ(
                        reference.RotateDegree(levelImage.get(), angle, &corners, false, 0, 0, 5, 0, rotated.get()), 0);
                    MemImage expected(out);
                    if (levelBits == outBits && levelFlag == outFlag) {
                        expected = MemImage(out, rotated.Pixels());
                    } else if (levelBits == outBits) {
                        Bytes inverted = rotated.Pixels();
                        for (uint8_t& v : inverted)
                            v = static_cast<uint8_t>(255 - v);
                        expected = MemImage(out, inverted);
                    } else {
                        // 1-bit sources binarise at the threshold of their own depth.
                        if (inBits == 1)
                            reference.SetBinarizationThreshold(223);
                        ASSERT_EQ(reference.ConvertColorType(rotated.get(), 0, expected.get()), 0);
                    }
                    const uint8_t threshold = static_cast<uint8_t>(reference.GetBinarizationThreshold());

                    MemImage output(out);
                    CVdScnImgConv conv;
                    ASSERT_EQ(conv.RotateDegree(input.get(), angle, &corners, false, 0, 0, 5, 0, output.get()), 0);
                    EXPECT_EQ(conv.GetBinarizationThreshold(), inBits == 8 && outBits == 1 ? 149 : 223);
                    const int channels = outBits == 24 ? 3 : 1;
                    for (int32_t y = 0; y < height; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            for (int c = 0; c < channels; ++c) {
                                const int got = output.Level(x, y, c), want = expected.Level(x, y, c);
                                if (outBits != 1) {
                                    ASSERT_LE(std::abs(got - want), 1) << inBits << "/" << inFlag << " to " << outBits
                                                                       << "/" << outFlag << " at " << x << "," << y;
                                    continue;
                                }
                                // Bits compare where the level is clear of the threshold.
                                const int level = rotated.Level(x, y, 0);
                                const bool clear =
                                    levelBits == 24 || levelFlag != 0 || std::abs(level - int(threshold)) > 1;
                                if (clear) {
                                    ASSERT_EQ(got, want)
                                        << inBits << "/" << inFlag << " to 1/" << outFlag << " at " << x << "," << y;
                                }
                            }
                }
            }
        }
    }
}

TEST(Rotation, RefusesImagesOutOfMemoryAndBadArguments)
{
    MemImage a(Info(10, 10, 8)), b(Info(10, 10, 8));
    sippages::FakeSipImgData notInMemory(Info(10, 10, 8), {}, false);
    const tagSIPPAPERCORNERS corners = Covering(0, 0, 10, 10);
    CVdScnImgConv conv;
    EXPECT_EQ(conv.RotateDegree(&notInMemory, 100, &corners, false, 0, 0, 5, 1, b.get()), 1);
    EXPECT_EQ(conv.RotateDegree(a.get(), 100, nullptr, false, 0, 0, 5, 1, b.get()), 5);
    EXPECT_EQ(conv.RotateDegree(a.get(), 100, &corners, false, 0, 0, 5, 3, b.get()), 5);
    // An output beyond what an image may hold has no pixels: 2, nothing allocated.
    MemImage huge(Info(70000, 70000, 24));
    EXPECT_EQ(conv.RotateDegree(a.get(), 100, &corners, false, 0, 0, 5, 1, huge.get()), 2);
}

}  // namespace
