// The baseline decoder against libjpeg on a corpus made by cjpeg, jpegtran
// and libjpeg: pixels, coefficients, split invariance and truncation; and
// hand-edited streams for the marker rules and the header checks.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "JdFeeder.h"
#include "JpegCorpus.h"
#include "JpegReference.h"

using jpeg_pages::Raster;
using jpeg_pages::RefColour;
using jpeg_pages::RefComponent;

namespace {

// How close two decodes of the same file are.
struct Agreement {
    int maxDiff = 0;
    double withinOne = 1.0;  // share of samples that differ by at most 1
};

Agreement Compare(std::vector<uint8_t> const& ours, std::vector<uint8_t> const& ref)
{
    Agreement a;
    size_t within = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        int const d = std::abs(int{ours[i]} - int{ref[i]});
        a.maxDiff = std::max(a.maxDiff, d);
        within += d <= 1;
    }
    a.withinOne = ref.empty() ? 1.0 : static_cast<double>(within) / ref.size();
    return a;
}

Raster Reference(std::vector<uint8_t> const& jpeg, RefColour colour)
{
    Raster ref;
    std::string error;
    EXPECT_TRUE(jpeg_pages::RefDecode(jpeg, colour, &ref, &error)) << error;
    return ref;
}

// Ours from a YCCK file comes out R, G, B, 255 - K; libjpeg's CMYK is the
// complement of R, G, B with K as stored.
std::vector<uint8_t> AsCmyk(std::vector<uint8_t> rgbk)
{
    for (uint8_t& v : rgbk) {
        v = static_cast<uint8_t>(255 - v);
    }
    return rgbk;
}

std::function<size_t(size_t)> Pieces(size_t n)
{
    return [n](size_t) { return n; };
}

}  // namespace

// Against libjpeg's slow integer DCT, the stored components (gray, RGB
// stored as such, CMYK, and YCbCr decoded with mode 0) never differ by more
// than 1. Converted to RGB, samples stay within 3, and within 1 for at least
// 95 % of a natural page (the colour step amplifies chroma differences;
// noise pages and YCCK files reach 90 %).
TEST(BaselineJpegCorpus, DecodesLikeLibjpeg)
{
    for (CorpusEntry const& e : Corpus()) {
        SCOPED_TRACE(e.name);
        JdOutcome const ours = FeedJdWhole(e.jpeg, 3);
        ASSERT_EQ(ours.status, JD_END_OF_IMAGE);
        EXPECT_TRUE(ours.contractKept);
        Raster const ref = Reference(e.jpeg, e.ycck ? RefColour::Cmyk : RefColour::Rgb);
        ASSERT_EQ(ours.width, ref.width);
        ASSERT_EQ(ours.rowCount, ref.height);
        ASSERT_EQ(ours.components, ref.components);
        ASSERT_EQ(ours.rows.size(), ref.samples.size());
        Agreement const a = Compare(e.ycck ? AsCmyk(ours.rows) : ours.rows, ref.samples);
        bool const stored =
            ref.components == 1 || e.name.find("-rgb") != std::string::npos || e.name.find("CMYK") != std::string::npos;
        if (stored) {
            EXPECT_LE(a.maxDiff, 1);
        } else {
            EXPECT_LE(a.maxDiff, 3);
            bool const natural = e.kind != jpeg_pages::PageKind::Noise && !e.ycck;
            EXPECT_GE(a.withinOne, natural ? 0.95 : 0.90);
        }
        if (e.ycck) {
            continue;  // its Adobe segment asks for conversion whatever the mode
        }
        JdOutcome const raw = FeedJdWhole(e.jpeg, 0);
        Raster const rawRef = Reference(e.jpeg, RefColour::AsCoded);
        ASSERT_EQ(raw.rows.size(), rawRef.samples.size());
        EXPECT_LE(Compare(raw.rows, rawRef.samples).maxDiff, 1);
    }
}

// Flat MCU cells at quality 100 hold only DC terms: gray and the stored
// YCbCr come out exactly as libjpeg's, RGB within the colour step's rounding.
TEST(BaselineJpegCorpus, FlatCellsAreExact)
{
    int checked = 0;
    for (CorpusEntry const& e : Corpus()) {
        if (!e.flatExact) {
            continue;
        }
        SCOPED_TRACE(e.name);
        ++checked;
        EXPECT_EQ(FeedJdWhole(e.jpeg, 0).rows, Reference(e.jpeg, RefColour::AsCoded).samples);
        EXPECT_LE(Compare(FeedJdWhole(e.jpeg, 3).rows, Reference(e.jpeg, RefColour::Rgb).samples).maxDiff, 1);
    }
    EXPECT_EQ(checked, 6);
}

namespace {

struct HookedBlocks {
    std::map<std::tuple<int, unsigned, unsigned>, std::vector<int32_t>> blocks;
    int duplicates = 0;
};

void CollectBlock(void* user, int component, unsigned row, unsigned column, int16_t const* c)
{
    auto* seen = static_cast<HookedBlocks*>(user);
    auto const [it, inserted] =
        seen->blocks.emplace(std::make_tuple(component, row, column), std::vector<int32_t>(c, c + 64));
    seen->duplicates += inserted ? 0 : 1;
}

}  // namespace

// Every block's dequantised coefficients, in natural order, equal libjpeg's
// coefficients times their quantisation table, over libjpeg's whole block
// grid, each block once.
TEST(BaselineJpegCorpus, CoefficientsEqualLibjpegTimesQuantisers)
{
    for (CorpusEntry const& e : Corpus()) {
        SCOPED_TRACE(e.name);
        HookedBlocks seen;
        JdOutcome const ours = FeedJd(e.jpeg, Pieces(e.jpeg.size()), 3, CollectBlock, &seen);
        ASSERT_EQ(ours.status, JD_END_OF_IMAGE);
        std::vector<RefComponent> ref;
        std::string error;
        ASSERT_TRUE(jpeg_pages::RefCoefficients(e.jpeg, &ref, &error)) << error;
        size_t expected = 0;
        for (size_t c = 0; c < ref.size(); ++c) {
            for (unsigned row = 0; row < ref[c].blocksHigh; ++row) {
                for (unsigned col = 0; col < ref[c].blocksWide; ++col) {
                    ++expected;
                    auto const it = seen.blocks.find(std::make_tuple(static_cast<int>(c), row, col));
                    ASSERT_NE(it, seen.blocks.end()) << "component " << c << " block " << row << "," << col;
                    std::vector<int32_t> const want(
                        ref[c].products.begin() + (static_cast<size_t>(row) * ref[c].blocksWide + col) * 64,
                        ref[c].products.begin() + (static_cast<size_t>(row) * ref[c].blocksWide + col + 1) * 64);
                    ASSERT_EQ(it->second, want) << "component " << c << " block " << row << "," << col;
                }
            }
        }
        EXPECT_EQ(seen.blocks.size(), expected);
        EXPECT_EQ(seen.duplicates, 0);
    }
}

// Feeding 1-byte, random and 4096-byte pieces gives exactly the rows of the
// whole buffer: the decoder resumes inside markers, segments, Huffman codes
// and between 0xFF and its stuffed 0x00.
TEST(BaselineJpegCorpus, WhereTheInputIsSplitNeverChangesTheRows)
{
    std::mt19937 rng(7);
    for (CorpusEntry const& e : Corpus()) {
        SCOPED_TRACE(e.name);
        JdOutcome const whole = FeedJdWhole(e.jpeg);
        ASSERT_EQ(whole.status, JD_END_OF_IMAGE);
        std::uniform_int_distribution<size_t> size(1, 700);
        JdOutcome const random = FeedJd(e.jpeg, [&](size_t) { return size(rng); });
        EXPECT_EQ(random.status, JD_END_OF_IMAGE);
        EXPECT_EQ(random.rows, whole.rows);
        JdOutcome const pages = FeedJd(e.jpeg, Pieces(4096));
        EXPECT_EQ(pages.status, JD_END_OF_IMAGE);
        EXPECT_EQ(pages.rows, whole.rows);
        if (e.jpeg.size() < 40000) {
            JdOutcome const bytes = FeedJd(e.jpeg, Pieces(1));
            EXPECT_EQ(bytes.status, JD_END_OF_IMAGE);
            EXPECT_EQ(bytes.rows, whole.rows);
            EXPECT_TRUE(bytes.contractKept);
        }
    }
}

// A stream cut anywhere gives a prefix of the whole stream's rows, and never
// an error of its own (the decoder just waits for more).
TEST(BaselineJpegCorpus, TruncatedStreamsGiveAPrefixOfTheRows)
{
    for (CorpusEntry const& e : Corpus()) {
        if (e.jpeg.size() < 2000 || e.jpeg.size() > 60000) {
            continue;
        }
        SCOPED_TRACE(e.name);
        JdOutcome const whole = FeedJdWhole(e.jpeg);
        size_t const step = std::max<size_t>(1, e.jpeg.size() / 37);
        for (size_t cut = 0; cut < e.jpeg.size() - 2; cut += step) {
            std::vector<uint8_t> const part(e.jpeg.begin(), e.jpeg.begin() + cut);
            JdOutcome const ours = FeedJd(part, Pieces(509));
            EXPECT_EQ(ours.status, JD_NEED_DATA) << "cut at " << cut;
            ASSERT_LE(ours.rows.size(), whole.rows.size());
            EXPECT_TRUE(std::equal(ours.rows.begin(), ours.rows.end(), whole.rows.begin())) << "cut at " << cut;
        }
        // Only EOI missing: every row is there.
        std::vector<uint8_t> const noEoi(e.jpeg.begin(), e.jpeg.end() - 2);
        EXPECT_EQ(FeedJdWhole(noEoi).rows, whole.rows);
    }
}
