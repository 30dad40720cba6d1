// JPEG page decoding: the band decoder against the whole-page path (libjpeg),
// the choice between them at 0xC800000 bytes, resolutions, short pages, gray
// conversion and the buffered decoder front.
#include <gtest/gtest.h>

#include <cstring>

#include "JdFeeder.h"
#include "JpegCorpus.h"
#include "JpegPages.h"
#include "VexmorApi/JpegDecoder/JpegBandDecoder.h"
#include "VexmorApi/JpegDecoder/JpegDecoder.h"
#include "VexmorApi/JpegDecoder/JpegPageDecoder.h"
#include "VexmorApi/JpegDecoder/VdJpegDecode.h"
#include "VexmorApi/Utilities/Exception.h"

using jpeg_pages::Cjpeg;
using jpeg_pages::MakePage;
using jpeg_pages::PageKind;

namespace {

std::unique_ptr<DeviceImageJpeg> MakeJpegImage(std::vector<uint8_t> const& jpeg, uint32_t width,
                                               DeviceImageInfo::ColorType colour, uint16_t resolution = 300)
{
    auto image = std::make_unique<DeviceImageJpeg>(resolution, resolution, colour, width, 0);
    image->AppendBlock(static_cast<uint32_t>(jpeg.size()), jpeg.data());
    return image;
}

// The first bytes bytes of every line, one after another.
std::vector<uint8_t> Rows(DeviceImageLines& lines, size_t bytes)
{
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < lines.GetHeight(); ++i) {
        unsigned char const* p = lines.GetLineHeadPointer(i);
        out.insert(out.end(), p, p + std::min<size_t>(bytes, lines.GetLineLength(i)));
    }
    return out;
}

std::string DecodeFailure(std::function<void()> const& decode)
{
    try {
        decode();
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::FailedToAllocateMemory);
        return e.GetMessage();
    }
    return "no exception";
}

}  // namespace

// On gray and 4:4:4 pages the band decoder gives the page path's geometry
// and line kinds, and its samples within the decoder's tolerance.
TEST(JpegBandDecoder, AgreesWithThePagePath)
{
    struct Case {
        unsigned components;
        char const* options;
    } const cases[] = {{1, "-quality 85"}, {3, "-quality 85 -sample 1x1"}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.options);
        std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::TextAndPhoto, 301, 203, c.components, 4), c.options);
        DeviceImageInfo::ColorType const colour =
            c.components == 1 ? DeviceImageInfo::TrueGray : DeviceImageInfo::Color;
        std::unique_ptr<DeviceImageLines> page = JpegPageDecoder::Decode(MakeJpegImage(jpeg, 301, colour));
        std::unique_ptr<DeviceImageLines> band =
            JpegBandDecoder().DecodeJpegImage_Band(MakeJpegImage(jpeg, 301, colour));
        ASSERT_TRUE(page && band);
        EXPECT_EQ(band->GetHeight(), 203u);
        EXPECT_EQ(page->GetHeight(), band->GetHeight());
        EXPECT_EQ(band->GetWidth(), 301u);
        EXPECT_EQ(band->GetColorType(), page->GetColorType());
        EXPECT_EQ(band->GetColorType(), colour);
        EXPECT_EQ(band->GetLineColorType(0), page->GetLineColorType(0));
        EXPECT_EQ(band->GetLineLength(0), 301u * c.components);
        EXPECT_EQ(band->GetCompressionType(0), DeviceImageLines::CompressionNone);
        std::vector<uint8_t> const a = Rows(*band, 301u * c.components);
        std::vector<uint8_t> const b = Rows(*page, 301u * c.components);
        ASSERT_EQ(a.size(), b.size());
        size_t within = 0;
        int worst = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            int const d = std::abs(int{a[i]} - int{b[i]});
            worst = std::max(worst, d);
            within += d <= 1;
        }
        EXPECT_LE(worst, c.components == 1 ? 1 : 3);
        EXPECT_GE(static_cast<double>(within) / a.size(), 0.95);
    }
}

// A decoded size of exactly 0xC800000 bytes goes to the page path, one byte
// more to the band path: a 17-pixel gray row comes out 20 bytes long (rows
// padded to 4) from the one and 17 from the other.
TEST(JpegDecoder, ChoosesThePathByDecodedSize)
{
    std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::Gradient, 17, 1, 1, 2), "-quality 90");
    for (uint32_t width : {0xC800000u, 0xC800001u}) {
        std::unique_ptr<DeviceImageJpeg> image = MakeJpegImage(jpeg, width, DeviceImageInfo::TrueGray);
        EXPECT_EQ(image->GetRequiredByteSize(), uint64_t{width});
        std::unique_ptr<DeviceImageLines> lines = JpegDecoder().Decode(std::move(image), false);
        ASSERT_TRUE(lines);
        EXPECT_EQ(lines->GetHeight(), 1u);
        EXPECT_EQ(lines->GetWidth(), 17u);
        EXPECT_EQ(lines->GetLineLength(0), width == 0xC800000u ? 20u : 17u);
    }
}

// An A4 page with a restart marker after every MCU gives all its rows on the
// band path, the same rows as the decoder fed the whole stream at once.
TEST(JpegBandDecoder, DecodesAnA4PageWithRestartsAfterEveryMcu)
{
    std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::Text, 2480, 3508, 3, 8), "-quality 75 -restart 1B");
    std::unique_ptr<DeviceImageLines> band =
        JpegBandDecoder().DecodeJpegImage_Band(MakeJpegImage(jpeg, 2480, DeviceImageInfo::Color));
    ASSERT_TRUE(band);
    ASSERT_EQ(band->GetHeight(), 3508u);
    EXPECT_EQ(Rows(*band, 2480 * 3), FeedJdWhole(jpeg).rows);
}

// The band path reads the resolution from the header only when its density
// is in dots per inch or per cm; cjpeg's default (unit 0) and a file without
// JFIF header (-rgb) keep the device image's. 118 dots per cm are 299 dpi.
TEST(JpegBandDecoder, ResolutionComesFromTheHeaderOnlyWithADensityUnit)
{
    std::vector<uint8_t> const plain = SmallJpeg("-quality 80");
    auto withDensity = [&](uint8_t unit, uint16_t x, uint16_t y) {
        std::vector<Segment> segs = SplitSegments(plain);
        std::vector<uint8_t>& app0 = FindSegment(segs, 0xE0).bytes;
        app0[11] = unit;
        app0[12] = static_cast<uint8_t>(x >> 8);
        app0[13] = static_cast<uint8_t>(x);
        app0[14] = static_cast<uint8_t>(y >> 8);
        app0[15] = static_cast<uint8_t>(y);
        return JoinSegments(segs);
    };
    struct Case {
        char const* what;
        std::vector<uint8_t> jpeg;
        uint16_t x;
        uint16_t y;
    } const cases[] = {
        {"unit 0", plain, 150, 150},
        {"no JFIF header", SmallJpeg("-rgb"), 150, 150},
        {"unit 1", withDensity(1, 300, 600), 300, 600},
        {"unit 2", withDensity(2, 118, 236), 299, 599},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<DeviceImageLines> lines =
            JpegBandDecoder().DecodeJpegImage_Band(MakeJpegImage(c.jpeg, 40, DeviceImageInfo::Color, 150));
        ASSERT_TRUE(lines);
        EXPECT_EQ(lines->GetHeight(), 24u);
        EXPECT_EQ(lines->GetResolutionX(), c.x);
        EXPECT_EQ(lines->GetResolutionY(), c.y);
    }
}

// A frame wider than the device image gives lines of the device width, each
// keeping its decoded length, on both paths.
TEST(JpegDecoder, DeviceWidthBoundsTheLineSet)
{
    std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::Gradient, 150, 20, 3, 1), "-quality 80");
    std::unique_ptr<DeviceImageLines> page = JpegPageDecoder::Decode(MakeJpegImage(jpeg, 100, DeviceImageInfo::Color));
    std::unique_ptr<DeviceImageLines> band =
        JpegBandDecoder().DecodeJpegImage_Band(MakeJpegImage(jpeg, 100, DeviceImageInfo::Color));
    ASSERT_TRUE(page && band);
    EXPECT_EQ(page->GetWidth(), 100u);
    EXPECT_EQ(band->GetWidth(), 100u);
    EXPECT_EQ(page->GetLineLength(0), 452u);  // 450 padded to 4
    EXPECT_EQ(band->GetLineLength(0), 450u);
    EXPECT_EQ(page->GetLineColorType(0), DeviceImageLines::LineRgbRow);
}

// A page cut short is an error on both paths, with the page path's message;
// one that lacks only its EOI decodes whole on both. A header without width
// gives the band path nothing, which is the same error.
TEST(JpegDecoder, AShortPageFailsOnBothPaths)
{
    std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::TextAndPhoto, 64, 96, 1, 9), "-quality 80");
    std::vector<uint8_t> const cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() * 2 / 3));
    std::vector<uint8_t> const noEoi(jpeg.begin(), jpeg.end() - 2);
    std::vector<Segment> segs = SplitSegments(jpeg);
    FindSegment(segs, 0xC0).bytes[7] = 0;
    FindSegment(segs, 0xC0).bytes[8] = 0;
    std::vector<uint8_t> const noWidth = JoinSegments(segs);
    // Page path: decoded size 64 x 96; band path: a device width that makes
    // the decoded size pass the limit.
    uint32_t const bandWidth = static_cast<uint32_t>(JpegDecoder::kPageDecodeLimit / 96 + 1);
    for (uint32_t width : {64u, bandWidth}) {
        SCOPED_TRACE(width);
        std::string const message =
            DecodeFailure([&] { JpegDecoder().Decode(MakeJpegImage(cut, width, DeviceImageInfo::TrueGray), false); });
        EXPECT_EQ(message.rfind("failed to decode jpeg image: { resolutionX: 300\n", 0), 0u) << message;
        EXPECT_EQ(message.substr(message.size() - 2), " }");
        std::unique_ptr<DeviceImageLines> whole =
            JpegDecoder().Decode(MakeJpegImage(noEoi, width, DeviceImageInfo::TrueGray), false);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->GetHeight(), 96u);
    }
    EXPECT_EQ(JpegBandDecoder().DecodeJpegImage_Band(MakeJpegImage(noWidth, 64, DeviceImageInfo::TrueGray)), nullptr);
    EXPECT_NE(DecodeFailure([&] {
                  JpegDecoder().Decode(MakeJpegImage(noWidth, 64, DeviceImageInfo::TrueGray), false);
              }).find("failed to decode jpeg image: { "),
              std::string::npos);
}

// A page with 16-bit quantisation tables (SOF1) has no SOF0 height: its
// decoded size counts as 0, it takes the page path and decodes there.
TEST(JpegDecoder, ASof1PageDecodesOnThePagePath)
{
    std::vector<uint8_t> const jpeg = Cjpeg(MakePage(PageKind::Gradient, 48, 40, 3, 3), "-quality 5");
    std::unique_ptr<DeviceImageJpeg> image = MakeJpegImage(jpeg, 48, DeviceImageInfo::Color);
    EXPECT_EQ(image->GetRequiredByteSize(), 0u);
    std::unique_ptr<DeviceImageLines> lines = JpegDecoder().Decode(std::move(image), false);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->GetHeight(), 40u);
}

// With the flag a colour page comes out TrueGray, gray = (R + G + B) / 3
// truncated; a gray page stays as it is; 0 lines give an empty TrueGray image.
TEST(JpegDecoder, ColourToGray)
{
    std::vector<uint8_t> const colourJpeg = Cjpeg(MakePage(PageKind::TextAndPhoto, 37, 21, 3, 6), "-quality 90");
    std::unique_ptr<DeviceImageLines> colour =
        JpegDecoder().Decode(MakeJpegImage(colourJpeg, 37, DeviceImageInfo::Color), false);
    std::unique_ptr<DeviceImageLines> gray =
        JpegDecoder().Decode(MakeJpegImage(colourJpeg, 37, DeviceImageInfo::Color), true);
    ASSERT_TRUE(colour && gray);
    EXPECT_EQ(gray->GetColorType(), DeviceImageInfo::TrueGray);
    ASSERT_EQ(gray->GetHeight(), 21u);
    EXPECT_EQ(gray->GetWidth(), 37u);
    for (uint32_t y = 0; y < 21; ++y) {
        EXPECT_EQ(gray->GetLineColorType(y), DeviceImageLines::LineTrueGray);
        EXPECT_EQ(gray->GetLineLength(y), colour->GetLineLength(0) / 3);
        unsigned char const* rgb = colour->GetLineHeadPointer(y);
        unsigned char const* g = gray->GetLineHeadPointer(y);
        for (uint32_t x = 0; x < 37; ++x) {
            ASSERT_EQ(g[x], (rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2]) / 3) << x << "," << y;
        }
    }

    std::vector<uint8_t> const grayJpeg = Cjpeg(MakePage(PageKind::Text, 37, 21, 1, 6), "-quality 90");
    std::unique_ptr<DeviceImageLines> asIs =
        JpegDecoder().Decode(MakeJpegImage(grayJpeg, 37, DeviceImageInfo::TrueGray), false);
    std::unique_ptr<DeviceImageLines> flagged =
        JpegDecoder().Decode(MakeJpegImage(grayJpeg, 37, DeviceImageInfo::TrueGray), true);
    EXPECT_EQ(Rows(*flagged, 64), Rows(*asIs, 64));

    std::unique_ptr<DeviceImageLines> empty = JpegDecoder().Convert24BitColorToTrueGrayImageDataStore(
        std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::Color, 10, 0));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->GetHeight(), 0u);
    EXPECT_EQ(empty->GetColorType(), DeviceImageInfo::TrueGray);
    try {
        JpegDecoder().Convert24BitColorToTrueGrayImageDataStore(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
        EXPECT_EQ(e.GetMessage(), "image24bit is nullptr.");
        EXPECT_EQ(e.GetFileName(), "VexmorApi/JpegDecoder/JpegDecoder");
        EXPECT_EQ(e.GetLineNumber(), 48u);
    }
}

// The buffered front: whole blocks hand over the same rows as lines; writes
// are refused while rows wait, and past the buffer; the bytes after EOI are
// counted at close.
TEST(CVdJpegDecode, BlocksLinesWritesAndClose)
{
    std::vector<uint8_t> jpeg = SmallJpeg("-sample 2x2 -quality 80", 40, 24);
    std::vector<uint8_t> const rows = FeedJdWhole(jpeg).rows;
    jpeg.insert(jpeg.end(), {7, 7, 7, 7, 7});

    vscore::CVdJpegDecode decoder;
    ASSERT_EQ(decoder.JpegDecOpen(40), 1);
    EXPECT_FALSE(decoder.JpegDecDataWrite(nullptr, 4));
    std::vector<uint8_t> tooMuch(102401);
    EXPECT_FALSE(decoder.JpegDecDataWrite(tooMuch.data(), tooMuch.size()));
    ASSERT_TRUE(decoder.JpegDecDataWrite(jpeg.data(), jpeg.size()));
    EXPECT_FALSE(decoder.JpegDecDataWrite(jpeg.data(), 1));  // not waiting for input
    std::vector<uint8_t> fromBlocks;
    int rc = 0;
    unsigned char* block = nullptr;
    unsigned long size = 0;
    while ((rc = decoder.JpegDecBlockDataRead(&block, &size)) == 0) {
        fromBlocks.insert(fromBlocks.end(), block, block + size);
        std::free(block);
    }
    EXPECT_EQ(rc, 2);
    EXPECT_EQ(fromBlocks, rows);
    vscore::JPEGDATA_INFO info{};
    decoder.JpegDecInfoRead(&info);
    EXPECT_EQ(info.totalSize, rows.size());
    EXPECT_EQ(info.width, 40u);
    EXPECT_EQ(info.height, 24u);
    EXPECT_EQ(info.components, 3u);
    unsigned long remaining = 0;
    decoder.JpegDecClose(&remaining);
    EXPECT_EQ(remaining, 5u);

    // Closed with a row block half handed out: it drains up to 32 more lines
    // (here to the end) and leaves nothing behind.
    ASSERT_EQ(decoder.JpegDecOpen(0), 1);
    ASSERT_TRUE(decoder.JpegDecDataWrite(jpeg.data(), jpeg.size()));
    unsigned char* line = nullptr;
    ASSERT_EQ(decoder.JpegDecLineDataRead(&line, &size), 0);
    EXPECT_EQ(size, 120u);
    EXPECT_EQ(0, std::memcmp(line, rows.data(), 120));
    decoder.JpegDecClose(&remaining);
    EXPECT_EQ(remaining, 5u);
    EXPECT_EQ(decoder.GetJpegDecWriteCnt(), 1u);

    unsigned char pixels[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(vscore::CVdJpegDecode::InvertRgb(2, 1, pixels), 1);
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

// Status mapping and the depth rules.
TEST(JpegBandDecoder, StatusesAndDepths)
{
    EXPECT_EQ(JpegBandDecoder::ConvertJpegDecErrToVSRSLT(JPEGDEC_WRITE_BAND_FAILED), 0x1040300Au);
    EXPECT_EQ(JpegBandDecoder::ConvertJpegDecErrToVSRSLT(JPEGDEC_INVALID_PARAMETER), 0x70403004u);
    EXPECT_EQ(JpegBandDecoder::ConvertJpegDecErrToVSRSLT(JPEGDEC_MORE_INPUT), 0u);
    EXPECT_EQ(JpegBandDecoder::GetColorType(8), DeviceImageInfo::TrueGray);
    EXPECT_EQ(JpegBandDecoder::GetLineColorType(24), DeviceImageLines::LineRgbRow);
    try {
        JpegBandDecoder::GetLineColorType(32);
        ADD_FAILURE() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
        EXPECT_EQ(e.GetMessage(), "Invalid bpp: 32");
        EXPECT_EQ(e.GetLineNumber(), 195u);
    }
    JpegBandDecoder band;
    JPGBANDDECODEINFO info{};
    EXPECT_EQ(band.BandJpegDecOpen(nullptr, 10, &info), JPEGDEC_INVALID_PARAMETER);
    void* line = nullptr;
    EXPECT_EQ(band.ReadBandLineData(&line, nullptr), JPEGDEC_INVALID_PARAMETER);
}
