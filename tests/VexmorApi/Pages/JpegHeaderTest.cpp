// JPEG header access against the host's libjpeg tools: frame sizes and
// depths equal what djpeg reports, also after patching the height; the
// density conversion; the limits of the segment walk; and every truncation
// of a real stream read without leaving the buffer.
#include "VexmorApi/Pages/JpegHeader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "PageImages.h"
#include "ScratchDir.h"

namespace {

using Buffer = std::vector<unsigned char>;

struct DjpegFrame {
    unsigned width = 0, height = 0, components = 0;
    unsigned densityX = 0, densityY = 0, unit = 0;
};

// What djpeg -verbose reports of a stream's headers (a patched height may
// make it warn about the data, which does not matter here).
DjpegFrame RunDjpeg(ScratchDir const& dir, Buffer const& jpeg)
{
    std::string const path = dir / "probe.jpg";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const*>(jpeg.data()), jpeg.size());
    std::string const log = dir / "djpeg.log";
    RunCommand("djpeg -verbose -outfile /dev/null '" + path + "' 2>'" + log + "'");
    std::string const text = ScratchDir::Read(log);
    DjpegFrame frame;
    std::smatch m;
    if (std::regex_search(text, m, std::regex("Start Of Frame 0xc0: width=(\\d+), height=(\\d+), components=(\\d+)"))) {
        frame.width = std::stoul(m[1]);
        frame.height = std::stoul(m[2]);
        frame.components = std::stoul(m[3]);
    }
    if (std::regex_search(text, m, std::regex("density (\\d+)x(\\d+)  (\\d+)"))) {
        frame.densityX = std::stoul(m[1]);
        frame.densityY = std::stoul(m[2]);
        frame.unit = std::stoul(m[3]);
    }
    return frame;
}

Buffer Encode(ScratchDir const& dir, unsigned width, unsigned height, unsigned components)
{
    Buffer jpeg = EncodeWithCjpeg(dir, width, height, components);
    EXPECT_FALSE(jpeg.empty()) << "cjpeg failed (libjpeg-turbo-progs, installed by scripts/setup)";
    return jpeg;
}

TEST(JpegHeader, FrameFieldsEqualDjpegAlsoAfterPatchingTheHeight)
{
    ScratchDir dir;
    struct Case {
        unsigned width, height, components;
    } const cases[] = {{37, 21, 1}, {19, 11, 3}, {640, 3, 3}};
    for (Case const& c : cases) {
        Buffer jpeg = Encode(dir, c.width, c.height, c.components);
        ASSERT_FALSE(jpeg.empty());
        DjpegFrame const frame = RunDjpeg(dir, jpeg);
        EXPECT_EQ(CJpegHeader::GetWidthPix(jpeg.data(), jpeg.size()), frame.width);
        EXPECT_EQ(CJpegHeader::GetHeightPix(jpeg.data(), jpeg.size()), frame.height);
        EXPECT_EQ(CJpegHeader::GetBitPerPixel(jpeg.data(), jpeg.size()), 8 * frame.components);
        EXPECT_EQ(frame.width, c.width);

        EXPECT_EQ(CJpegHeader::SetHeightPix(jpeg.data(), jpeg.size(), 2 * c.height + 1), 1);
        EXPECT_EQ(RunDjpeg(dir, jpeg).height, 2 * c.height + 1);
        EXPECT_EQ(CJpegHeader::GetHeightPix(jpeg.data(), jpeg.size()), 2 * c.height + 1);
        EXPECT_EQ(CJpegHeader::SetWidthPix(jpeg.data(), jpeg.size(), c.width - 1), 1);
        EXPECT_EQ(RunDjpeg(dir, jpeg).width, c.width - 1);
    }
}

TEST(JpegHeader, DensityInDotsPerCmIsReportedInDotsPerInch)
{
    ScratchDir dir;
    Buffer jpeg = Encode(dir, 8, 8, 1);
    ASSERT_FALSE(jpeg.empty());
    unsigned char* app0 = CJpegHeader::GetSegment(CJpegHeader::kAPP0, jpeg.data(), jpeg.size());
    ASSERT_EQ(app0, jpeg.data() + 2);
    struct Case {
        unsigned char unit;
        uint16_t density;
        unsigned dpi;
    } const cases[] = {{2, 118, 299}, {1, 300, 300}, {0, 1, 1}};
    for (Case const& c : cases) {
        app0[11] = c.unit;
        app0[12] = static_cast<unsigned char>(c.density >> 8);
        app0[13] = static_cast<unsigned char>(c.density);
        app0[14] = app0[12];
        app0[15] = app0[13];
        DjpegFrame const frame = RunDjpeg(dir, jpeg);
        EXPECT_EQ(frame.unit, c.unit);
        EXPECT_EQ(frame.densityX, c.density);
        EXPECT_EQ(CJpegHeader::GetResolutionX(jpeg.data(), jpeg.size()), c.dpi);
        EXPECT_EQ(CJpegHeader::GetResolutionY(jpeg.data(), jpeg.size()), c.dpi);
    }
    // Writing converts dots per inch to dots per cm; reading the record back is raw.
    JPEG_APP0 fields = CJpegHeader::GetAPP0Segment(app0);
    fields.densityUnit = 2;
    fields.densityX = 300;
    fields.densityY = 600;
    EXPECT_EQ(CJpegHeader::SetAPP0Segment(fields, app0), 1);
    EXPECT_EQ(CJpegHeader::GetAPP0Segment(app0).densityX, 118);
    EXPECT_EQ(CJpegHeader::GetAPP0Segment(app0).densityY, 236);
    EXPECT_EQ(RunDjpeg(dir, jpeg).densityX, 118u);
}

TEST(JpegHeader, WithoutFrameHeaderGettersAndSettersDoNothing)
{
    ScratchDir dir;
    Buffer progressive;
    {
        // cjpeg -progressive writes SOF2, not SOF0.
        Buffer baseline = Encode(dir, 16, 16, 3);
        ASSERT_FALSE(baseline.empty());
        std::string const pnm = dir / "in.pnm";
        ASSERT_EQ(RunCommand("cjpeg -progressive -outfile '" + dir / "p.jpg" + "' '" + pnm + "'"), 0);
        std::string const bytes = ScratchDir::Read(dir / "p.jpg");
        progressive.assign(bytes.begin(), bytes.end());
    }
    Buffer const jfifOnly = FromHex("FFD8 FFE0 0010 4A46494600 0101 01 0048 0048 00 00 FFD9");
    for (Buffer const& original : {progressive, jfifOnly}) {
        Buffer block = original;
        EXPECT_EQ(CJpegHeader::GetWidthPix(block.data(), block.size()), 0u);
        EXPECT_EQ(CJpegHeader::GetHeightPix(block.data(), block.size()), 0u);
        EXPECT_EQ(CJpegHeader::GetBitPerPixel(block.data(), block.size()), 0u);
        EXPECT_EQ(CJpegHeader::SetHeightPix(block.data(), block.size(), 7), 0);
        EXPECT_EQ(CJpegHeader::SetWidthPix(block.data(), block.size(), 7), 0);
        EXPECT_EQ(block, original);
    }
    EXPECT_EQ(CJpegHeader::GetResolutionX(jfifOnly.data(), jfifOnly.size()), 72u);
    EXPECT_EQ(CJpegHeader::SetHeightPix(nullptr, 10, 7), 0);
}

TEST(JpegHeader, SegmentWalkLimits)
{
    // SOI, one 4-byte APP1 segment, then SOF0 with its 8 field bytes and one more.
    std::string const sof0 = "FFC0 000B 08 0010 0020 01 110000";
    struct Case {
        char const* what;
        std::string hex;
        unsigned width;
    } const cases[] = {
        {"found behind another segment", "FFD8 FFE1 0004 AAAA" + sof0, 32},
        {"segment length 0", "FFD8 FFE1 0000 AAAA" + sof0, 0},
        {"segment reaching past the end", "FFD8 FFE1 00FF AAAA" + sof0, 0},
        {"frame header too short for its fields", "FFD8 FFC0 0006 08 0010 00", 0},
        {"frame header cut by the end of the block", "FFD8 FFC0 000B 08 0010 0020 01 11", 0},
        {"fill instead of a marker", "FFD8 00 FFC0 000B 08 0010 0020 01 110000", 0},
        {"frame header behind start of scan", "FFD8 FFDA 0004 0000" + sof0, 0},
        {"frame header behind end of image", "FFD8 FFD9" + sof0, 0},
        {"three bytes", "FFD8 FF", 0},
    };
    for (Case const& c : cases) {
        Buffer const block = FromHex(c.hex);
        EXPECT_EQ(CJpegHeader::GetWidthPix(block.data(), block.size()), c.width) << c.what;
    }
    unsigned char const segment[] = {0xFF, 0xC0, 0x00, 0x11};
    EXPECT_EQ(CJpegHeader::GetSegmentDataLength(segment, 3), 0u);
    EXPECT_EQ(CJpegHeader::GetSegmentDataLength(segment, 4), 17u);
    unsigned char bytes[] = {1, 2, 3};
    CJpegHeader::InvertEndian(bytes, 3);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[2], 1);
}

TEST(JpegHeader, EveryTruncationOfARealStreamStaysInTheBuffer)
{
    ScratchDir dir;
    Buffer const jpeg = Encode(dir, 48, 48, 3);
    ASSERT_GT(jpeg.size(), 1900u);
    unsigned char const* sof =
        CJpegHeader::GetSegment(CJpegHeader::kSOF0, const_cast<unsigned char*>(jpeg.data()), jpeg.size());
    ASSERT_NE(sof, nullptr);
    size_t const sofEnd = static_cast<size_t>(sof - jpeg.data()) + 2 + 17;  // 3 components
    for (size_t length = 0; length <= jpeg.size(); ++length) {
        Buffer cut(jpeg.begin(), jpeg.begin() + length);  // exact heap block, checked by ASan
        bool const whole = length >= sofEnd;
        EXPECT_EQ(CJpegHeader::GetWidthPix(cut.data(), length), whole ? 48u : 0u) << length;
        EXPECT_EQ(CJpegHeader::GetHeightPix(cut.data(), length), whole ? 48u : 0u) << length;
        EXPECT_EQ(CJpegHeader::GetBitPerPixel(cut.data(), length), whole ? 24u : 0u) << length;
        EXPECT_EQ(CJpegHeader::GetResolutionX(cut.data(), length), length >= 20 ? 1u : 0u) << length;
        EXPECT_EQ(CJpegHeader::SetHeightPix(cut.data(), length, 99), whole ? 1 : 0) << length;
    }
}

}  // namespace
