// The baseline decoder on hand-edited streams: fill bytes and restart
// markers, marker order, every header check, colour modes, unsupported
// coding, and its inverse DCT against the 64-bit reference and a float one.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "JdFeeder.h"
#include "JpegCorpus.h"
#include "VexmorApi/JpegDecoder/BaselineJpegContext.h"

namespace {

std::vector<uint8_t> MakeSegment(uint8_t marker, std::vector<uint8_t> const& data)
{
    size_t const length = data.size() + 2;
    std::vector<uint8_t> out{0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Inserts raw bytes after the segment with the marker.
std::vector<uint8_t> InsertAfter(std::vector<uint8_t> const& jpeg, uint8_t marker, std::vector<uint8_t> const& bytes)
{
    std::vector<Segment> segs = SplitSegments(jpeg);
    for (size_t i = 0; i < segs.size(); ++i) {
        if (segs[i].marker == marker) {
            segs.insert(segs.begin() + static_cast<long>(i) + 1, Segment{1, bytes});
            break;
        }
    }
    return JoinSegments(segs);
}

unsigned char Status(std::vector<uint8_t> const& jpeg) { return FeedJdWhole(jpeg).status; }

// A 3-component 4:2:0 file: SOF components 1, 2, 3 with tables 0, 1, 1.
std::vector<uint8_t> const& Colour420()
{
    static std::vector<uint8_t> const file = SmallJpeg("-sample 2x2 -quality 80", 40, 24);
    return file;
}

}  // namespace

// Runs of 0xFF before RSTn and before EOI are fill bytes; the number a
// restart marker carries is not checked. With the whole input at hand, each
// restart met in the data ends its call with JD_NEED_DATA handing back
// exactly the bytes after the marker.
TEST(BaselineJpegStreams, FillBytesAndWrongRestartNumbersDecode)
{
    std::vector<uint8_t> const file = SmallJpeg("-restart 1B -sample 2x2", 48, 32);
    JdOutcome const whole = FeedJdWhole(file);
    ASSERT_EQ(whole.status, JD_END_OF_IMAGE);

    std::vector<Segment> segs = SplitSegments(file);
    std::vector<uint8_t>& data = FindSegment(segs, 0).bytes;
    std::vector<uint8_t> padded;
    int restarts = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] >= 0xD0 && data[i + 1] <= 0xD7) {
            padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xD5});  // fill, wrong number
            ++i;
            ++restarts;
        } else {
            padded.push_back(data[i]);
        }
    }
    ASSERT_GT(restarts, 4);
    padded.insert(padded.end(), {0xFF, 0xFF});  // fill before EOI
    data = padded;
    std::vector<uint8_t> const edited = JoinSegments(segs);
    EXPECT_EQ(FeedJdWhole(edited).rows, whole.rows);
    EXPECT_EQ(FeedJd(edited, [](size_t) { return 1; }).rows, whole.rows);

    jpeg_decode_param* ctx = JD_Open(3);
    std::vector<uint8_t> input = file;
    jpeg_decode_result r = JD_Exec(ctx, input.data(), static_cast<long>(input.size()));
    int handedBack = 0;
    while (r.status == JD_OUTPUT_READY || r.status == JD_NO_ERROR || (r.status == JD_NEED_DATA && r.length > 0)) {
        if (r.status == JD_OUTPUT_READY) {
            std::free(r.data);
        }
        if (r.status == JD_NEED_DATA) {
            ++handedBack;
            EXPECT_EQ(r.data[-2], 0xFF);
            EXPECT_TRUE(r.data[-1] >= 0xD0 && r.data[-1] <= 0xD7);
            EXPECT_EQ(r.data + r.length, input.data() + input.size());
            r = JD_Exec(ctx, r.data, r.length);
        } else {
            r = JD_Exec(ctx, nullptr, 0);
        }
    }
    EXPECT_EQ(r.status, JD_END_OF_IMAGE);
    EXPECT_EQ(handedBack, restarts);
    JD_Close(ctx);
}

// Segments may come before SOI; SOF, SOS, RSTn and DNL only in their place.
TEST(BaselineJpegStreams, MarkerOrder)
{
    std::vector<uint8_t> const& file = Colour420();
    std::vector<Segment> const segs = SplitSegments(file);
    auto without = [&](uint8_t marker) {
        std::vector<Segment> s = segs;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i].marker == marker) {
                s.erase(s.begin() + static_cast<long>(i));
                break;
            }
        }
        return s;
    };
    {
        // DQT moved before SOI decodes as before.
        std::vector<Segment> s = without(0xDB);
        s.insert(s.begin(), FindSegment(segs, 0xDB));
        EXPECT_EQ(FeedJdWhole(JoinSegments(s)).rows, FeedJdWhole(file).rows);
    }
    EXPECT_EQ(Status(JoinSegments(without(0xD8))), JD_ERR_MARKER_ORDER);  // SOF before SOI
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0xD8})), JD_ERR_MARKER_ORDER);
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0xD0})), JD_ERR_MARKER_ORDER);  // RST before SOS
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0xDC, 0x00, 0x04, 0x00, 0x10})), JD_ERR_MARKER_ORDER);  // DNL
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0x02})), JD_ERR_MARKER_ORDER);
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0xCC, 0x00, 0x02})), JD_ERR_UNSUPPORTED);  // DAC
    EXPECT_EQ(Status(InsertAfter(file, 0xD8, {0xFF, 0x00})), JD_ERR_UNSUPPORTED);
    {
        std::vector<Segment> s = without(0xDA);  // SOS before SOF
        s.insert(s.begin() + 1, FindSegment(segs, 0xDA));
        EXPECT_EQ(Status(JoinSegments(s)), JD_ERR_MARKER_ORDER);
    }
    {
        // A second scan after the first one's data.
        std::vector<Segment> s = segs;
        s.insert(s.end() - 1, FindSegment(segs, 0xDA));
        EXPECT_EQ(Status(JoinSegments(s)), JD_ERR_UNSUPPORTED);
    }
}

// Each header value is checked where it is parsed.
TEST(BaselineJpegStreams, HeaderValuesAreChecked)
{
    struct Edit {
        char const* what;
        uint8_t marker;
        size_t offset;  // from the segment's 0xFF
        std::vector<uint8_t> values;
        unsigned char status;
    };
    // SOF: 4 P, 5-6 Y, 7-8 X, 9 Nf, then id/HV/Tq per component from 10.
    // SOS: 4 Ns, then id/TdTa per component from 5, then Ss, Se, AhAl.
    // clang-format off
    Edit const edits[] = {
        {"12-bit samples",          0xC0, 4,  {12},   JD_ERR_UNSUPPORTED},
        {"zero lines",              0xC0, 5,  {0, 0},    JD_ERR_MARKER_ORDER},
        {"zero width",              0xC0, 7,  {0, 0},    JD_ERR_BAD_DATA},
        {"no components",           0xC0, 9,  {0},    JD_ERR_BAD_DATA},
        {"five components",         0xC0, 9,  {5},    JD_ERR_UNSUPPORTED},
        {"SOF length mismatch",     0xC0, 3,  {18},   JD_ERR_BAD_DATA},
        {"factor 0",                0xC0, 11, {0x02}, JD_ERR_BAD_DATA},
        {"factor 5",                0xC0, 11, {0x52}, JD_ERR_UNSUPPORTED},
        {"factor not dividing",     0xC0, 11, {0x32, 0, 2, 0x21}, JD_ERR_UNSUPPORTED},
        {"quantiser table 4",       0xC0, 12, {4},    JD_ERR_UNSUPPORTED},
        {"component ids repeat",    0xC0, 13, {1},    JD_ERR_BAD_DATA},
        {"Ns below Nf",             0xDA, 4,  {2},    JD_ERR_BAD_DATA},
        {"unknown selector",        0xDA, 7,  {9},    JD_ERR_BAD_DATA},
        {"DC table 2",              0xDA, 6,  {0x20}, JD_ERR_UNSUPPORTED},
        {"AC table 4",              0xDA, 6,  {0x04}, JD_ERR_UNSUPPORTED},
        {"undefined AC table",      0xDA, 6,  {0x03}, JD_ERR_BAD_DATA},
        {"spectral selection",      0xDA, 12, {31},   JD_ERR_UNSUPPORTED},
        {"16-bit quantisers",       0xDB, 4,  {0x10}, JD_ERR_UNSUPPORTED},
        {"quantiser number 4",      0xDB, 4,  {0x04}, JD_ERR_UNSUPPORTED},
        {"DQT not whole tables",    0xDB, 3,  {68},   JD_ERR_BAD_DATA},
        {"DHT length short",        0xC4, 3,  {20},   JD_ERR_BAD_DATA},
        {"APP0 length 1",           0xE0, 3,  {1},    JD_ERR_BAD_DATA},
    };
    // clang-format on
    for (Edit const& edit : edits) {
        SCOPED_TRACE(edit.what);
        std::vector<Segment> segs = SplitSegments(Colour420());
        std::vector<uint8_t>& bytes = FindSegment(segs, edit.marker).bytes;
        ASSERT_LE(edit.offset + edit.values.size(), bytes.size());
        std::copy(edit.values.begin(), edit.values.end(), bytes.begin() + static_cast<long>(edit.offset));
        std::vector<uint8_t> const jpeg = JoinSegments(segs);
        EXPECT_EQ(Status(jpeg), edit.status);
        EXPECT_EQ(FeedJd(jpeg, [](size_t) { return 1; }).status, edit.status);
    }

    // Scan over two of three components.
    std::vector<uint8_t> const twoComponents = MakeSegment(0xDA, {0x02, 0x01, 0x00, 0x02, 0x11, 0x00, 0x3F, 0x00});
    std::vector<Segment> segs = SplitSegments(Colour420());
    FindSegment(segs, 0xDA).bytes = twoComponents;
    EXPECT_EQ(Status(JoinSegments(segs)), JD_ERR_UNSUPPORTED);

    // Huffman tables: over 12 DC symbols, a DC category above 11, counts
    // whose codes do not fit their lengths, over 256 AC symbols.
    auto table = [](uint8_t classNumber, std::vector<uint8_t> counts, uint8_t symbol) {
        std::vector<uint8_t> data{classNumber};
        counts.resize(16, 0);
        data.insert(data.end(), counts.begin(), counts.end());
        unsigned total = 0;
        for (uint8_t c : counts) {
            total += c;
        }
        data.insert(data.end(), total, symbol);
        return MakeSegment(0xC4, data);
    };
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xD8, table(0x00, {0, 0, 0, 0, 0, 0, 0, 13}, 1))), JD_ERR_BAD_DATA);
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xD8, table(0x01, {0, 2}, 12))), JD_ERR_BAD_DATA);
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xD8, table(0x10, {3}, 1))), JD_ERR_BAD_DATA);
    EXPECT_EQ(
        Status(InsertAfter(Colour420(), 0xD8, table(0x11, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 2}, 1))),
        JD_ERR_BAD_DATA);
    // A table of a class the decoder has no room for is skipped.
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xD8, table(0x14, {0, 1}, 1))), JD_END_OF_IMAGE);
}

// A frame that says fewer lines than its data hold delivers exactly that many
// rows, the first ones, never an empty block; a line count (DNL) may shorten
// the image, never lengthen it past the frame's lines.
TEST(BaselineJpegStreams, AtMostTheFramesRowsAreDelivered)
{
    JdOutcome const whole = FeedJdWhole(Colour420());
    std::vector<Segment> segs = SplitSegments(Colour420());
    std::vector<uint8_t>& sof = FindSegment(segs, 0xC0).bytes;
    sof[5] = 0;
    sof[6] = 9;
    std::vector<uint8_t> const nine = JoinSegments(segs);
    std::vector<uint8_t> const dnlNine = InsertAfter(Colour420(), 0xC0, {0xFF, 0xDC, 0x00, 0x04, 0x00, 0x09});
    for (std::vector<uint8_t> const& jpeg : {nine, dnlNine}) {
        JdOutcome const cut = FeedJdWhole(jpeg);
        EXPECT_EQ(cut.status, JD_END_OF_IMAGE);
        EXPECT_TRUE(cut.contractKept);
        EXPECT_EQ(cut.rowCount, 9u);
        EXPECT_TRUE(std::equal(cut.rows.begin(), cut.rows.end(), whole.rows.begin()));
    }
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xC0, {0xFF, 0xDC, 0x00, 0x04, 0x01, 0x05})), JD_ERR_BAD_DATA);
    EXPECT_EQ(Status(InsertAfter(Colour420(), 0xC0, {0xFF, 0xDC, 0x00, 0x04, 0x00, 0x00})), JD_ERR_BAD_DATA);
}

// Mode 3 converts YCbCr, mode 0 never, 0xFF only 3-component frames; an
// Adobe segment's transform flag overrides the mode.
TEST(BaselineJpegStreams, ColourModes)
{
    std::vector<uint8_t> const& ycc = Colour420();
    JdOutcome const rgb = FeedJdWhole(ycc, 3);
    JdOutcome const stored = FeedJdWhole(ycc, 0);
    EXPECT_NE(rgb.rows, stored.rows);
    EXPECT_EQ(FeedJdWhole(ycc, 0xFF).rows, rgb.rows);
    std::vector<uint8_t> adobe{'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0};
    EXPECT_EQ(FeedJdWhole(InsertAfter(ycc, 0xD8, MakeSegment(0xEE, adobe)), 3).rows, stored.rows);
    adobe[11] = 1;
    EXPECT_EQ(FeedJdWhole(InsertAfter(ycc, 0xD8, MakeSegment(0xEE, adobe)), 0).rows, rgb.rows);
    // Collected across calls: one byte at a time.
    EXPECT_EQ(FeedJd(
                  InsertAfter(ycc, 0xD8, MakeSegment(0xEE, adobe)), [](size_t) { return 1; }, 0)
                  .rows,
              rgb.rows);
}

// Progressive and arithmetic frames, scans over single components and SOF1
// with 16-bit quantisation tables are refused.
TEST(BaselineJpegStreams, UnsupportedCodingIsRefused)
{
    jpeg_pages::Raster const page = jpeg_pages::MakePage(jpeg_pages::PageKind::TextAndPhoto, 64, 48, 3, 3);
    std::string const pnm = jpeg_pages::ToPnm(page);
    std::vector<uint8_t> const sof1 = jpeg_pages::Cjpeg(page, "-quality 5");
    EXPECT_EQ(SplitSegments(sof1)[0].marker, 0xD8);
    EXPECT_NO_THROW(FindSegment(SplitSegments(sof1), 0xC1));
    struct Case {
        char const* what;
        std::vector<uint8_t> jpeg;
    } const cases[] = {
        {"progressive", jpeg_pages::Cjpeg(page, "-progressive")},
        {"arithmetic", jpeg_pages::Cjpeg(page, "-arithmetic")},
        {"sequential scans",
         jpeg_pages::RunTool(pnm, "printf '0;\\n1;\\n2;\\n' > scans && cjpeg -scans scans -outfile out in")},
        {"SOF1 16-bit tables", sof1},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Status(c.jpeg), JD_ERR_UNSUPPORTED);
    }
}

// After an error every call repeats it; after EOI calls do nothing.
TEST(BaselineJpegStreams, AfterTheEndOnlyCloseHelps)
{
    std::vector<uint8_t> bad = InsertAfter(Colour420(), 0xD8, {0xFF, 0x02});
    jpeg_decode_param* ctx = JD_Open(3);
    EXPECT_EQ(JD_Exec(ctx, bad.data(), static_cast<long>(bad.size())).status, JD_ERR_MARKER_ORDER);
    EXPECT_EQ(JD_Exec(ctx, bad.data(), static_cast<long>(bad.size())).status, JD_ERR_MARKER_ORDER);
    JD_Close(ctx);
    EXPECT_EQ(JD_Exec(nullptr, bad.data(), 1).status, JD_ERR_NO_MEMORY);
    JD_Close(nullptr);

    std::vector<uint8_t> good = Colour420();
    good.insert(good.end(), {1, 2, 3});
    ctx = JD_Open(3);
    jpeg_decode_result r = JD_Exec(ctx, good.data(), static_cast<long>(good.size()));
    while (r.status == JD_OUTPUT_READY || r.status == JD_NO_ERROR) {
        std::free(r.status == JD_OUTPUT_READY ? r.data : nullptr);
        r = JD_Exec(ctx, nullptr, 0);
    }
    ASSERT_EQ(r.status, JD_END_OF_IMAGE);
    EXPECT_EQ(r.length, 3);  // the bytes after EOI
    EXPECT_EQ(JD_Exec(ctx, nullptr, 0).status, JD_NO_ERROR);
    JD_Close(ctx);
}

namespace {

baseline_jpeg::CoefficientBlock RandomBlock(std::mt19937& rng, int magnitude, double density)
{
    baseline_jpeg::CoefficientBlock blk{};
    std::uniform_int_distribution<int> value(-magnitude, magnitude);
    std::bernoulli_distribution used(density);
    for (int n = 0; n < 64; ++n) {
        if (n == 0 || used(rng)) {
            blk.c[n] = static_cast<int16_t>(value(rng));
            blk.rows |=
                1u << (n >> 3) | (n & 7 ? 1u << (8 + (n >> 3)) : 0) | ((n & 7) >= 4 ? 1u << (16 + (n >> 3)) : 0);
        }
    }
    return blk;
}

}  // namespace

// The vector transform gives the 64-bit reference's samples exactly, also
// for values that force it back to the reference.
TEST(BaselineJpegIdct, VectorPathEqualsReference)
{
    std::mt19937 rng(11);
    for (int magnitude : {1, 60, 1024, 4096, 6000, 32767}) {
        for (double density : {0.05, 0.3, 1.0}) {
            for (int i = 0; i < 300; ++i) {
                baseline_jpeg::CoefficientBlock const blk = RandomBlock(rng, magnitude, density);
                uint8_t fast[64];
                uint8_t reference[64];
                baseline_jpeg::InverseDct(blk, fast, 8);
                baseline_jpeg::InverseDctScalar(blk, reference, 8);
                ASSERT_EQ(0, std::memcmp(fast, reference, 64)) << "magnitude " << magnitude;
            }
        }
    }
}

// Against a floating-point inverse DCT the samples are unbiased (rounding
// ties to even) and stay within the transform's own error plus the rounding.
TEST(BaselineJpegIdct, RoundsToTheNearestSample)
{
    std::mt19937 rng(5);
    double sum = 0;
    int count = 0;
    double worst = 0;
    for (int i = 0; i < 400; ++i) {
        baseline_jpeg::CoefficientBlock const blk = RandomBlock(rng, 200, 0.2);
        uint8_t ours[64];
        baseline_jpeg::InverseDctScalar(blk, ours, 8);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                double s = 0;
                for (int v = 0; v < 8; ++v) {
                    for (int u = 0; u < 8; ++u) {
                        double const cu = u ? 1 : std::sqrt(0.5);
                        double const cv = v ? 1 : std::sqrt(0.5);
                        s += cu * cv * blk.c[v * 8 + u] * std::cos((2 * x + 1) * u * M_PI / 16) *
                             std::cos((2 * y + 1) * v * M_PI / 16);
                    }
                }
                s = s / 4 + 128;
                if (s < 1 || s > 254) {
                    continue;
                }
                double const d = ours[y * 8 + x] - s;
                sum += d;
                ++count;
                worst = std::max(worst, std::fabs(d));
            }
        }
    }
    EXPECT_LT(std::fabs(sum / count), 0.05);
    EXPECT_LT(worst, 1.3);
}

// The vector colour step gives the table-driven step's samples for every
// Y, Cb, Cr combination.
TEST(BaselineJpegColour, VectorPathEqualsReference)
{
    unsigned const width = 256 * 256;
    std::vector<unsigned char> lines(3 * width);
    for (unsigned i = 0; i < width; ++i) {
        lines[width + i] = static_cast<unsigned char>(i >> 8);
        lines[2 * width + i] = static_cast<unsigned char>(i);
    }
    std::vector<unsigned char> fast(3 * width);
    std::vector<unsigned char> reference(3 * width);
    for (unsigned y = 0; y < 256; y += 5) {
        std::fill(lines.begin(), lines.begin() + width, static_cast<unsigned char>(y));
        baseline_jpeg::ConvertRow(lines.data(), width, width - 3, false, fast.data());
        baseline_jpeg::ConvertRowScalar(lines.data(), width, 0, width - 3, false, reference.data());
        ASSERT_EQ(fast, reference) << "Y " << y;
    }
}
