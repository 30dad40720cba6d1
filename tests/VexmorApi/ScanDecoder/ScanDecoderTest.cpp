// The page-level scan decoder: output widths, the half turn against the
// toolbox rotation, selected areas and height limits, plane lines, empty and
// white pages, its failures and a request to stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "PageImages.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"
#include "VexmorApi/Utilities/Exception.h"
#include "vdtcl/CTRotImage.h"

namespace {

using Bytes = std::vector<unsigned char>;
using vscore::ScanDecoder;
using Area = DecodeParameter::Area;

// A lines image whose lines are the rows, all of one line colour and compression.
std::unique_ptr<DeviceImageLines> MakeLines(
    DeviceImageInfo::ColorType type, uint16_t resolution, uint32_t width, std::vector<Bytes> const& rows,
    DeviceImageLines::LineColorType color = DeviceImageLines::LineWholeRow,
    DeviceImageLines::CompressionType compression = DeviceImageLines::CompressionNone)
{
    auto lines = std::make_unique<DeviceImageLines>(resolution, resolution, type, width, 0);
    for (Bytes const& row : rows) {
        lines->AppendLine(color, compression, static_cast<uint32_t>(row.size()), row.data());
    }
    return lines;
}

// height rows of pattern bytes, rowBytes each.
std::vector<Bytes> PatternRows(size_t rowBytes, size_t height, unsigned seed)
{
    std::vector<Bytes> rows;
    for (size_t y = 0; y < height; ++y) {
        rows.push_back(Pattern(rowBytes, seed + static_cast<unsigned>(y)));
    }
    return rows;
}

std::unique_ptr<BitmapImage> Decode(std::unique_ptr<DeviceImageLines> lines, uint16_t resolution,
                                    uint32_t maxHeight = 100000, vscore::InvertDirection invert = vscore::InvertNormal,
                                    std::shared_ptr<Area> const& area = nullptr, uint32_t reservedHeight = 0)
{
    return ScanDecoder().Proc(std::move(lines), resolution, maxHeight, invert, reservedHeight, area);
}

// Runs action and checks the TraceException it throws.
void ExpectFailure(std::function<void()> const& action, Exception::Type type, std::string const& message,
                   std::string const& function)
{
    try {
        action();
        ADD_FAILURE() << "no exception for " << message;
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetType(), type);
        EXPECT_EQ(e.GetMessage(), message);
        EXPECT_EQ(e.GetFileName(), "VexmorApi/ScanDecoder/ScanDecoder");
        EXPECT_EQ(e.GetFunctionName(), function);
    }
}

TEST(ScanDecoder, OutputWidthFollowsTheResolutionRatio)
{
    struct Case {
        uint16_t in, out;
        uint32_t width, expected;
    };
    Case const cases[] = {{300, 600, 1000, 2000}, {300, 300, 1000, 1000}, {200, 300, 1000, 1500},
                          {200, 300, 1001, 1501}, {300, 400, 7, 9},       {600, 300, 1001, 500}};
    for (Case const& c : cases) {
        EXPECT_EQ(ScanDecoder::CalculateOutWidth(c.out, c.in, c.width), c.expected);
        std::unique_ptr<BitmapImage> const image =
            Decode(MakeLines(DeviceImageInfo::TrueGray, c.in, c.width, PatternRows(c.width, 4, 1)), c.out);
        ImageInfo const info = image->GetImageInfo();
        EXPECT_EQ(info.GetWidth(), c.expected) << c.in << " -> " << c.out;
        EXPECT_EQ(info.GetResolution(), c.out);
        EXPECT_EQ(image->GetBytesPerRow(), info.GetBytesPerRowFor4BytesAlignment());
        // A last group of lines that the ratio does not fill still gives its rows.
        EXPECT_EQ(info.GetHeight(), (4u * c.out + c.in - 1) / c.in);
    }
    ExpectFailure([] { ScanDecoder::CalculateOutWidth(600, 0, 10); }, Exception::InvalidArgument,
                  "Invalid resolution. - outResolution: 600, inResolution: 0", "CalculateOutWidth");
}

// Pixel (x, y) of a page bitmap: the bit of a 1-bit page, else the pixel's bytes.
Bytes PixelAt(unsigned char const* pixels, uint64_t stride, unsigned bits, uint32_t x, uint32_t y)
{
    unsigned char const* row = pixels + y * stride;
    if (bits == 1) {
        return {static_cast<unsigned char>((row[x / 8] >> (7 - x % 8)) & 1)};
    }
    unsigned const n = bits / 8;
    return Bytes(row + x * n, row + x * n + n);
}

TEST(ScanDecoder, TheInvertedDecodeIsTheNormalOneTurnedHalfATurn)
{
    struct Case {
        DeviceImageInfo::ColorType type;
        DeviceImageLines::LineColorType color;
        uint32_t width;
        uint64_t rowBytes;
        vdtcl::CTImgDataInfo::imgclr_t box;
    };
    Case const cases[] = {
        {DeviceImageInfo::BlackAndWhite, DeviceImageLines::LineWholeRow, 13, 2, vdtcl::CTImgDataInfo::kColorBW},
        {DeviceImageInfo::Gray, DeviceImageLines::LineWholeRow, 17, 3, vdtcl::CTImgDataInfo::kColorBW1},
        {DeviceImageInfo::TrueGray, DeviceImageLines::LineTrueGray, 7, 7, vdtcl::CTImgDataInfo::kColorGray},
        {DeviceImageInfo::Color, DeviceImageLines::LineColor, 5, 15, vdtcl::CTImgDataInfo::kColorRGB24},
        {DeviceImageInfo::Color, DeviceImageLines::LineRgbRow, 6, 18, vdtcl::CTImgDataInfo::kColorRGB24},
    };
    for (Case const& c : cases) {
        std::vector<Bytes> const rows = PatternRows(c.rowBytes, 6, c.width);
        std::unique_ptr<BitmapImage> normal = Decode(MakeLines(c.type, 300, c.width, rows, c.color), 300);
        std::unique_ptr<BitmapImage> inverted =
            Decode(MakeLines(c.type, 300, c.width, rows, c.color), 300, 100000, vscore::InvertReversal);
        ImageInfo const info = normal->GetImageInfo();
        ASSERT_TRUE(info.IsEqual(inverted->GetImageInfo()));
        vdtcl::CTImgDataBox source, turned;
        ASSERT_TRUE(
            source.SetImageDataMemory(normal->GetPixelsPointer(), normal->GetPixelSize(), c.width, 6, c.box, 0));
        ASSERT_TRUE(vdtcl::CTRotImage().RotateImage(source, vdtcl::CTRotImage::kRotHalf, &turned, false));
        unsigned const bits = info.GetBitsPerPixel();
        for (uint32_t y = 0; y < 6; ++y) {
            for (uint32_t x = 0; x < c.width; ++x) {
                ASSERT_EQ(PixelAt(inverted->GetPixelsPointer(), inverted->GetBytesPerRow(), bits, x, y),
                          PixelAt(turned.GetPtrToImageData(), normal->GetBytesPerRow(), bits, x, y))
                    << "colour " << c.type << " line colour " << c.color << " at " << x << "," << y;
            }
        }
    }
}

TEST(ScanDecoder, ASelectedAreaKeepsItsRowsAndColumns)
{
    // 8 x 5 gray, pixel (x, y) = 10 y + x.
    std::vector<Bytes> rows;
    for (unsigned char y = 0; y < 5; ++y) {
        Bytes row;
        for (unsigned char x = 0; x < 8; ++x) {
            row.push_back(static_cast<unsigned char>(10 * y + x));
        }
        rows.push_back(row);
    }
    auto area = std::make_shared<Area>(Area{2, 1, 4, 2});
    std::unique_ptr<BitmapImage> image =
        Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 5, vscore::InvertNormal, area);
    EXPECT_TRUE(image->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::TrueGray, 4, 2)));
    EXPECT_EQ(Bytes(image->GetPixelsPointer(), image->GetPixelsPointer() + image->GetPixelSize()),
              (Bytes{12, 13, 14, 15, 22, 23, 24, 25}));

    // The height limit counts the rows appended: rows above the area do not use it up.
    auto lower = std::make_shared<Area>(Area{0, 2, 8, 3});
    image = Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 2, vscore::InvertNormal, lower);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 2u);
    EXPECT_EQ(image->GetPixelsPointer()[0], 20);
    EXPECT_EQ(image->GetPixelsPointer()[8], 30);

    // A height limit of 0 gives no rows: without an area height 0, with one
    // the white area.
    image = Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 0);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 0u);
    EXPECT_EQ(image->GetPixelSize(), 0u);
    image = Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 0, vscore::InvertNormal, area);
    EXPECT_TRUE(image->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::TrueGray, 4, 2)));
    EXPECT_EQ(Bytes(image->GetPixelsPointer(), image->GetPixelsPointer() + image->GetPixelSize()), Bytes(8, 0xFF));

    auto wide = std::make_shared<Area>(Area{6, 0, 4, 2});
    ExpectFailure(
        [&] { Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 5, vscore::InvertNormal, wide); },
        Exception::InvalidArgument, "Invalid selected area.", "CreateWidthAdjustedImage");
    auto beyond = std::make_shared<Area>(Area{0xFFFFFFF0u, 0, 0x20, 2});
    ExpectFailure(
        [&] { Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 8, rows), 300, 5, vscore::InvertNormal, beyond); },
        Exception::InvalidArgument, "Invalid selected area.", "CreateWidthAdjustedImage");
}

// Pages whose lines are already the output's rows (red-green-blue or gray at
// the 4-byte row length, zero padding, same resolution) are handed on as
// they are; the result must equal the line decoder's, which a selected area
// of the whole page goes through.
TEST(ScanDecoder, RowsHandedOnAsTheyAreEqualTheLineDecodersRows)
{
    struct Case {
        DeviceImageInfo::ColorType type;
        DeviceImageLines::LineColorType color;
        uint32_t bytesPerPixel;
    };
    for (Case const c : {Case{DeviceImageInfo::Color, DeviceImageLines::LineRgbRow, 3},
                         Case{DeviceImageInfo::TrueGray, DeviceImageLines::LineTrueGray, 1}}) {
        for (uint32_t width : {1u, 7u, 64u, 333u}) {
            SCOPED_TRACE(std::to_string(c.bytesPerPixel) + " bytes a pixel, width " + std::to_string(width));
            uint32_t const height = 9;
            size_t const used = size_t{width} * c.bytesPerPixel;
            std::vector<Bytes> rows = PatternRows((used + 3) / 4 * 4, height, width);
            for (Bytes& row : rows) {
                std::fill(row.begin() + static_cast<long>(used), row.end(), 0);
            }
            for (uint32_t maxHeight : {height, height - 4}) {
                auto lines = MakeLines(c.type, 300, width, rows, c.color);
                unsigned char const* const block = lines->GetLineHeadPointer(0);
                std::unique_ptr<BitmapImage> const direct = Decode(std::move(lines), 300, maxHeight);
                EXPECT_EQ(direct->GetPixelsPointer(), block) << "the rows were copied";
                auto whole = std::make_shared<Area>(Area{0, 0, width, maxHeight});
                std::unique_ptr<BitmapImage> const decoded =
                    Decode(MakeLines(c.type, 300, width, rows, c.color), 300, maxHeight, vscore::InvertNormal, whole);
                EXPECT_TRUE(direct->GetImageInfo().IsEqual(decoded->GetImageInfo()));
                ASSERT_EQ(direct->GetPixelSize(), decoded->GetPixelSize());
                EXPECT_TRUE(std::equal(direct->GetPixelsPointer(), direct->GetPixelsPointer() + direct->GetPixelSize(),
                                       decoded->GetPixelsPointer()));
            }
        }
    }
}

TEST(ScanDecoder, ThreePlaneLinesGiveOneRow)
{
    std::vector<std::pair<DeviceImageLines::LineColorType, Bytes>> const planes = {
        {DeviceImageLines::LineRedPlane, {1, 4}},
        {DeviceImageLines::LineGreenPlane, {2, 5}},
        {DeviceImageLines::LineBluePlane, {3, 6}}};
    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::Color, 2, 0);
    for (int row = 0; row < 2; ++row) {
        for (auto const& [color, data] : planes) {
            lines->AppendLine(color, DeviceImageLines::CompressionNone, 2, data.data());
        }
    }
    std::unique_ptr<BitmapImage> image = Decode(std::move(lines), 300);
    EXPECT_TRUE(image->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::Color, 2, 2)));
    EXPECT_EQ(Bytes(image->GetPixelsPointer(), image->GetPixelsPointer() + 8), (Bytes{1, 2, 3, 4, 5, 6, 0, 0}));
}

TEST(ScanDecoder, EmptyAndWhitePagesGiveAnImage)
{
    std::unique_ptr<BitmapImage> image = Decode(MakeLines(DeviceImageInfo::Color, 300, 10, {}), 600);
    EXPECT_TRUE(image->GetImageInfo().IsEqual(ImageInfo(600, ImageInfo::Color, 20, 0)));
    image = Decode(MakeLines(DeviceImageInfo::Color, 300, 10, {}), 600, 100, vscore::InvertNormal,
                   std::make_shared<Area>(Area{0, 0, 3, 2}));
    EXPECT_EQ(image->GetPixelSize(), 2u * 12);

    struct Case {
        DeviceImageInfo::ColorType type;
        uint16_t out;
    };
    Case const cases[] = {{DeviceImageInfo::BlackAndWhite, 300},
                          {DeviceImageInfo::BlackAndWhite, 600},
                          {DeviceImageInfo::TrueGray, 400},
                          {DeviceImageInfo::Color, 300}};
    for (Case const& c : cases) {
        image = Decode(MakeLines(c.type, 300, 12, std::vector<Bytes>(5), DeviceImageLines::LineWholeRow,
                                 DeviceImageLines::CompressionNoData),
                       c.out);
        ImageInfo const info = image->GetImageInfo();
        EXPECT_EQ(info.GetHeight(), (5u * c.out + 299) / 300) << c.type << " at " << c.out;
        for (uint32_t y = 0; y < info.GetHeight(); ++y) {
            unsigned char const* row = image->GetPixelsPointer() + y * image->GetBytesPerRow();
            EXPECT_EQ(Bytes(row, row + info.GetBytesPerRow()), Bytes(info.GetBytesPerRow(), 0xFF)) << c.type;
        }
    }
}

TEST(ScanDecoder, ALineWithoutDataEndsThePage)
{
    std::vector<Bytes> rows = PatternRows(6, 4, 3);
    rows[2].clear();
    std::unique_ptr<BitmapImage> image = Decode(MakeLines(DeviceImageInfo::TrueGray, 300, 6, rows), 300);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 2u);
    EXPECT_EQ(Bytes(image->GetPixelsPointer(), image->GetPixelsPointer() + 6), rows[0]);
}

TEST(ScanDecoder, AHugeReservedHeightIsOnlyAHint)
{
    std::unique_ptr<BitmapImage> image = Decode(MakeLines(DeviceImageInfo::Color, 300, 2000, PatternRows(6000, 3, 5)),
                                                300, 100000, vscore::InvertNormal, nullptr, 0xFFFFFFFFu);
    EXPECT_EQ(image->GetImageInfo().GetHeight(), 3u);
}

TEST(ScanDecoder, AResolutionChangeTheStagesCannotDoFailsToStart)
{
    ExpectFailure([] { Decode(MakeLines(DeviceImageInfo::TrueGray, 600, 30, PatternRows(30, 3, 1)), 200); },
                  Exception::Other, "Failed to start scan decode.", "Proc");
    ExpectFailure([] { Decode(MakeLines(DeviceImageInfo::TrueGray, 0, 30, PatternRows(30, 3, 1)), 200); },
                  Exception::InvalidArgument, "Invalid resolution. - outResolution: 200, inResolution: 0",
                  "CalculateOutWidth");
}

// A request to stop (the page's task was cancelled) ends the decode before
// it feeds a line: nothing is made, and the lines are consumed.
TEST(ScanDecoder, ADecodeAskedToStopEndsCancelled)
{
    std::atomic<bool> const requested{true};
    EXPECT_THROW(ScanDecoder().Proc(MakeLines(DeviceImageInfo::TrueGray, 300, 30, PatternRows(30, 3, 1)), 150, 100000,
                                    vscore::InvertNormal, 0, nullptr, CancelCheck(requested)),
                 Cancelled);
}

}  // namespace
