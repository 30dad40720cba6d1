// Error diffusion: its constant tables, the output of flat, white and black
// pages, determinism, and the image-object forms (in memory and row by row,
// with either zero-is-white flag).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numeric>

#include "imagelib/VdSipErrorDiffusion.h"
#include "imagelib/VdSipErrorDiffusionTables.h"
#include "tests/support/sip_images/FakeSipImgData.h"
#include "tests/support/sip_images/SipPages.h"

namespace {

using sippages::FakeSipImgData;
using sippages::Page;

struct Bits {
    uint32_t width, height, stride;
    std::vector<uint8_t> bytes;
    bool At(uint32_t x, uint32_t y) const { return (bytes[y * stride + x / 8] >> (7 - x % 8)) & 1; }
    double WhiteShare() const
    {
        uint64_t ones = 0;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                ones += At(x, y);
        return double(ones) / (double(width) * height);
    }
};

Bits Diffuse(const Page& page, uint8_t fill = 0)
{
    Bits out{page.width, page.height, static_cast<uint32_t>(SipStride(page.width, 1)), {}};
    out.bytes.assign(size_t{out.stride} * page.height, fill);
    CVdSipErrorDiffusion diffusion;
    EXPECT_EQ(diffusion.ExecTwoLevelErrorDiffusion(page.pixels.data(), out.bytes.data(), int32_t(page.width),
                                                   int32_t(page.height), int32_t(page.stride), int32_t(out.stride)),
              0);
    return out;
}

// A page whose levels run through every value, with a few features.
Page Gradient(uint32_t width, uint32_t height)
{
    Page page = sippages::Gray(width, height, 0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            page.Row(y)[x] = static_cast<uint8_t>((x * 255 / (width - 1) + y * 7) % 256);
    return page;
}

uint64_t Fnv(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

tagSIPIMAGEINFO Info(uint32_t width, uint32_t height, int32_t bits, int32_t zeroIsWhite)
{
    return tagSIPIMAGEINFO{int32_t(width), int32_t(height), bits, 11811, 11811, 0, zeroIsWhite};
}

TEST(ErrorDiffusionTables, LevelsInitialErrorsAndLowestErrorsHaveTheirValues)
{
    const SipDiffusionTables& t = GetSipDiffusionTables();
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(t.lut_from8to10bit[v], std::lround(v * 1023.0 / 255.0)) << v;
    EXPECT_EQ(t.lut_from8to10bit[255], 1023);
    EXPECT_EQ(std::accumulate(std::begin(t.INITERR), std::end(t.INITERR), 0), 0);
    const std::vector<int> peaks = {11, 79, 139, 207, 283, 351, 411, 479, 555, 623, 683, 751, 831, 891, 959, 1019};
    for (int i = 0; i < 1024; ++i) {
        const bool peak = std::find(peaks.begin(), peaks.end(), i) != peaks.end();
        EXPECT_EQ(t.INITERR[i], peak ? 252 : -4) << i;
    }
    const std::map<int, int> lowest = {{0, -320}, {1, -352},   {2, -384},    {3, -416},
                                       {4, -419}, {512, -720}, {1023, -1023}};
    for (auto [level, value] : lowest)
        EXPECT_EQ(t.errL[level], value) << level;
    for (int level = 5; level < 1024; ++level)
        EXPECT_LE(t.errL[level], t.errL[level - 1]) << level;
}

TEST(ErrorDiffusionTables, DenominatorRampsDownAtBothEndsAndAroundTheCentre)
{
    CVdSipErrorDiffusion diffusion;
    const int32_t* d = diffusion.GetDenominatorTable();
    ASSERT_NE(d, nullptr);
    struct Range {
        int first, last, value;
    };
    const Range ranges[] = {{0, 24, 14},    {25, 49, 15},   {50, 462, 16},  {500, 524, 12},
                            {562, 973, 16}, {974, 998, 15}, {999, 1023, 14}};
    for (const Range& r : ranges)
        for (int i = r.first; i <= r.last; ++i)
            EXPECT_EQ(d[i], r.value) << i;
    for (int i = 463; i <= 500; ++i)
        EXPECT_LE(d[i], d[i - 1]) << i;
    for (int i = 525; i <= 562; ++i)
        EXPECT_GE(d[i], d[i - 1]) << i;
    EXPECT_EQ(d[475], 14);
    EXPECT_EQ(d[490], 13);
}

TEST(ErrorDiffusionTables, NoiseHoldsEachValueEquallyOftenInAFixedShuffledOrder)
{
    const SipDiffusionTables& t = GetSipDiffusionTables();
    std::map<int, int> counts;
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the table
    int64_t neighbourProduct = 0;
    for (int i = 0; i < 65536; ++i) {
        ++counts[t.threP[i]];
        hash = (hash ^ static_cast<uint16_t>(t.threP[i])) * 1099511628211ull;
        if (i > 0)
            neighbourProduct += int64_t{t.threP[i]} * t.threP[i - 1];
    }
    ASSERT_EQ(counts.size(), 512u);
    EXPECT_EQ(counts.begin()->first, -256);
    EXPECT_EQ(counts.rbegin()->first, 255);
    for (auto [value, count] : counts)
        EXPECT_EQ(count, 128) << value;
    // Without visible order: neighbours are uncorrelated (a sorted or
    // repeating table gives a mean product near +-21800).
    EXPECT_LT(std::abs(double(neighbourProduct) / 65535), 500.0);
    EXPECT_EQ(hash, 0x0e81a0b3e20c2ac7ull) << std::hex << hash;  // pinned: the table never changes
}

TEST(ErrorDiffusion, WhiteGivesAllOnesAndBlackAllZerosLeavingThePaddingBits)
{
    for (uint8_t level : {uint8_t{255}, uint8_t{0}}) {
        const Page page = sippages::Gray(37, 9, level);
        const Bits out = Diffuse(page, 0xA5);
        for (uint32_t y = 0; y < page.height; ++y) {
            for (uint32_t x = 0; x < page.width; ++x)
                ASSERT_EQ(out.At(x, y), level == 255) << x << "," << y;
            // Bits 37..39 of byte 4 and bytes 5..7 keep the fill.
            EXPECT_EQ(out.bytes[y * out.stride + 4] & 0x07, 0xA5 & 0x07);
            EXPECT_EQ(out.bytes[y * out.stride + 5], 0xA5);
        }
    }
}

TEST(ErrorDiffusion, FreshObjectsAndRepeatedRunsGiveIdenticalOutput)
{
    const Page page = Gradient(203, 67);
    const Bits first = Diffuse(page);
    EXPECT_EQ(Diffuse(page).bytes, first.bytes);
    // Pinned: any change to the diffusion shows here.
    EXPECT_EQ(Fnv(first.bytes), 0xa5e0849303595e25ull) << std::hex << Fnv(first.bytes);
    CVdSipErrorDiffusion reused;
    std::vector<uint8_t> out(first.bytes.size());
    for (int run = 0; run < 2; ++run) {
        std::fill(out.begin(), out.end(), 0);
        ASSERT_EQ(reused.ExecTwoLevelErrorDiffusion(page.pixels.data(), out.data(), 203, 67, int32_t(page.stride),
                                                    int32_t(first.stride)),
                  0);
        EXPECT_EQ(out, first.bytes) << run;
    }
}

TEST(ErrorDiffusion, FlatGrayGivesAWhiteShareCloseToItsLevel)
{
    for (int level : {16, 64, 128, 192, 240}) {
        const Bits out = Diffuse(sippages::Gray(512, 512, static_cast<uint8_t>(level)));
        EXPECT_NEAR(out.WhiteShare() * 100.0, level * 100.0 / 255.0, 1.5) << level;
    }
}

TEST(ErrorDiffusion, OneColumnPagesWork)
{
    const Bits out = Diffuse(sippages::Gray(1, 512, 128));
    EXPECT_NEAR(out.WhiteShare(), 128.0 / 255.0, 0.06);
    EXPECT_EQ(Diffuse(sippages::Gray(1, 40, 255)).WhiteShare(), 1.0);
}

TEST(ErrorDiffusion, RefusesNullBuffersEmptySizesAndShortStrides)
{
    CVdSipErrorDiffusion d;
    std::vector<uint8_t> in(64 * 4, 128), out(64 * 4);
    struct Case {
        const char* what;
        const uint8_t* source;
        uint8_t* destination;
        int32_t width, height, sourceStride, destinationStride;
        int32_t code;
    };
    const Case cases[] = {
        {"fits", in.data(), out.data(), 64, 4, 64, 8, 0},
        {"null source", nullptr, out.data(), 64, 4, 64, 8, 5},
        {"null destination", in.data(), nullptr, 64, 4, 64, 8, 5},
        {"width 0", in.data(), out.data(), 0, 4, 64, 8, 5},
        {"height 0", in.data(), out.data(), 64, 0, 64, 8, 5},
        {"source stride short", in.data(), out.data(), 64, 4, 63, 8, 5},
        {"destination stride short", in.data(), out.data(), 64, 4, 64, 7, 5},
        {"odd width fits", in.data(), out.data(), 57, 4, 57, 8, 0},
        {"odd width short", in.data(), out.data(), 57, 4, 57, 7, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(d.ExecTwoLevelErrorDiffusion(c.source, c.destination, c.width, c.height, c.sourceStride,
                                               c.destinationStride),
                  c.code)
            << c.what;
}

// In memory the image objects give the buffer form's bits; a zero-is-white
// input or output alone inverts them, both together leave them.
TEST(ErrorDiffusionImageData, InMemoryFollowsBothZeroIsWhiteFlags)
{
    const Page page = Gradient(101, 33);
    const Bits plain = Diffuse(page);
    for (int inFlag : {0, 1})
        for (int outFlag : {0, 1}) {
            const tagSIPIMAGEINFO inInfo = Info(101, 33, 8, inFlag), outInfo = Info(101, 33, 1, outFlag);
            FakeSipImgData in(inInfo, page.pixels, true);
            FakeSipImgData out(outInfo, std::vector<uint8_t>(plain.bytes.size(), 0), true);
            CVdSipErrorDiffusion d;
            ASSERT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &inInfo, &outInfo), 0);
            const bool inverted = inFlag != outFlag;
            for (uint32_t y = 0; y < 33; ++y)
                for (uint32_t x = 0; x < 101; ++x) {
                    const bool bit = (out.Pixels()[y * plain.stride + x / 8] >> (7 - x % 8)) & 1;
                    ASSERT_EQ(bit, plain.At(x, y) != inverted) << inFlag << outFlag << " " << x << "," << y;
                }
        }
}

// Row by row the rows are diffused in file order (bottom row first), into a
// row buffer pre-filled with white; both files are closed once.
TEST(ErrorDiffusionImageData, RowByRowDiffusesInFileOrder)
{
    const Page page = Gradient(45, 21);
    const Bits flippedBits = Diffuse(sippages::Flipped(page));
    for (int outFlag : {0, 1}) {
        const tagSIPIMAGEINFO inInfo = Info(45, 21, 8, 0), outInfo = Info(45, 21, 1, outFlag);
        FakeSipImgData in(inInfo, page.pixels, false);
        FakeSipImgData out(outInfo, {}, false);
        CVdSipErrorDiffusion d;
        ASSERT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &inInfo, &outInfo), 0);
        EXPECT_EQ(in.Opens(), 1);
        EXPECT_EQ(in.Closes(), 1);
        EXPECT_EQ(out.Closes(), 1);
        const std::vector<uint8_t> written = out.WrittenTopFirst();
        ASSERT_EQ(written.size(), size_t{8} * 21);
        for (uint32_t y = 0; y < 21; ++y) {
            for (uint32_t x = 0; x < 45; ++x) {
                const bool bit = (written[y * 8 + x / 8] >> (7 - x % 8)) & 1;
                ASSERT_EQ(bit, flippedBits.At(x, 20 - y) != (outFlag == 1)) << x << "," << y;
            }
            EXPECT_EQ(written[y * 8 + 5] & 0x07, outFlag ? 0x00 : 0x07) << "padding is white";
            EXPECT_EQ(written[y * 8 + 7], outFlag ? 0x00 : 0xFF);
        }
    }
}

TEST(ErrorDiffusionImageData, FailuresCloseWhatWasOpened)
{
    const Page page = sippages::Gray(16, 8, 100);
    const tagSIPIMAGEINFO inInfo = Info(16, 8, 8, 0), outInfo = Info(16, 8, 1, 0);
    CVdSipErrorDiffusion d;
    {
        FakeSipImgData in(inInfo, page.pixels, false), out(outInfo, {}, false);
        in.FailReadsAfter(3);
        EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &inInfo, &outInfo), 1);
        EXPECT_EQ(in.Closes(), 1);
        EXPECT_EQ(out.Closes(), 1);
    }
    {
        FakeSipImgData in(inInfo, page.pixels, false), out(outInfo, {}, false);
        out.FailOpen(6);
        EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &inInfo, &outInfo), 6);
        EXPECT_EQ(in.Closes(), 1);
    }
    FakeSipImgData in(inInfo, page.pixels, true), out(outInfo, {}, true);
    const tagSIPIMAGEINFO wrongDepth = Info(16, 8, 24, 0), wrongSize = Info(16, 9, 1, 0);
    EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(nullptr, &out, &inInfo, &outInfo), 5);
    EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &wrongDepth, &outInfo), 5);
    EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &inInfo, &wrongSize), 5);
    // A description that is not the object's own is refused.
    const tagSIPIMAGEINFO wider = Info(32, 8, 8, 0), widerOut = Info(32, 8, 1, 0);
    EXPECT_EQ(d.ExecTwoLevelErrorDiffusionSipImgData(&in, &out, &wider, &widerOut), 5);
}

}  // namespace
