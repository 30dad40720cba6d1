// The line stage: PackBits goldens, white lines, 1-bit inversion, level
// correction, mirroring and the in-place use of whole uncompressed lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "VexmorApi/ScanDecoder/VdLineDecode.h"

namespace {

using Bytes = std::vector<unsigned char>;
using vscore::CVdLineDecode;

// A line stage set up for one page of the colour word and width.
class Stage {
public:
    Stage(int32_t color, uint64_t width, bool levelAdjust = false)
    {
        SCANDEC_OPEN open = {};
        open.nColorType = color;
        open.dwInLinePixCnt = width;
        open.bLevelAdjust = levelAdjust;
        EXPECT_TRUE(decoder_.LineDecodeOpen(&open));
        EXPECT_TRUE(decoder_.LineDecodeWriteStart());
    }
    ~Stage()
    {
        decoder_.LineDecodeWriteEnd();
        decoder_.LineDecodeClose();
    }

    // Decodes one line; the returned row's bytes, and whether a row came.
    Bytes Write(int32_t comp, Bytes line, int32_t kind = kScanDecKindRow, bool mirror = false, bool* gotRow = nullptr)
    {
        line_ = std::move(line);
        SCANDEC_WRITE write = {};
        write.nInDataComp = comp;
        write.nInDataKind = kind;
        write.pLineData = line_.empty() ? nullptr : line_.data();
        write.dwLineDataSize = line_.size();
        write.bMirror = mirror;
        unsigned long size = 0;
        last_ = decoder_.LineDecodeWrite(&write, &size);
        if (gotRow != nullptr) {
            *gotRow = last_ != nullptr;
        }
        return last_ == nullptr ? Bytes{} : Bytes(last_, last_ + size);
    }
    unsigned char const* LastRow() const { return last_; }
    unsigned char const* LineData() const { return line_.data(); }

private:
    CVdLineDecode decoder_;
    Bytes line_;
    unsigned char* last_ = nullptr;
};

TEST(LineDecode, PackBitsExpandsRunsAndLiteralsAndStopsAtTheInputsEnd)
{
    struct Case {
        char const* name;
        Bytes packed;
        Bytes row;  // a 6-byte 8-bit row, 0xFF before the first line
    };
    Case const cases[] = {
        {"run then literal", {0xFE, 0xAA, 0x02, 0x11, 0x22, 0x33}, {0xAA, 0xAA, 0xAA, 0x11, 0x22, 0x33}},
        {"last control byte not run", {0x01, 0x11, 0x22, 0xFE}, {0x11, 0x22, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"0x80 skipped", {0x80, 0x00, 0x44, 0xFF, 0x55}, {0x44, 0x55, 0x55, 0xFF, 0xFF, 0xFF}},
        {"run cut at the row end", {0x81, 0x77}, {0x77, 0x77, 0x77, 0x77, 0x77, 0x77}},
        {"literal cut at the input end", {0x05, 0x11, 0x22}, {0x11, 0x22, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"run without its byte", {0x00, 0x11, 0xFD}, {0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"no data", {}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (Case const& c : cases) {
        Stage stage(kScanDecColorTrueGray, 6);
        EXPECT_EQ(stage.Write(kScanDecCompPackBits, c.packed), c.row) << c.name;
    }
}

TEST(LineDecode, RowBytesKeepTheirContentWhereALineDoesNotReach)
{
    Stage stage(kScanDecColorTrueGray, 6);
    stage.Write(kScanDecCompPackBits, {0xFB, 0x10});
    EXPECT_EQ(stage.Write(kScanDecCompPackBits, {0x01, 0x21, 0x22}), (Bytes{0x21, 0x22, 0x10, 0x10, 0x10, 0x10}));
    // A short uncompressed line is copied over the previous row as far as
    // it goes; nothing is read behind it.
    Bytes const row = stage.Write(kScanDecCompNone, {0x31, 0x32, 0x33});
    EXPECT_EQ(row, (Bytes{0x31, 0x32, 0x33, 0x10, 0x10, 0x10}));
    EXPECT_NE(stage.LastRow(), stage.LineData());
}

TEST(LineDecode, WhiteLinesAreAllOnesInEveryMode)
{
    struct Case {
        int32_t color;
        bool levelAdjust;
    };
    Case const cases[] = {{kScanDecColorTrueGray, false},
                          {kScanDecColorBlackAndWhite, false},
                          {kScanDecColorTrueGray, true},
                          {kScanDecColorBlackAndWhite, true}};
    for (Case const& c : cases) {
        Stage stage(c.color, 16, c.levelAdjust);
        for (int i = 0; c.levelAdjust && i < CVdLineDecode::kCalibrationLines; ++i) {
            stage.Write(kScanDecCompNone, Bytes(16, static_cast<unsigned char>(i < 8 ? 200 : 20)));
        }
        stage.Write(kScanDecCompNone, Bytes(16, 0x35));
        Bytes const row = stage.Write(kScanDecCompWhite, {});
        EXPECT_FALSE(row.empty());
        EXPECT_TRUE(std::all_of(row.begin(), row.end(), [](unsigned char b) { return b == 0xFF; }))
            << "colour " << c.color << " level " << c.levelAdjust;
    }
}

TEST(LineDecode, OneBitLinesAreComplemented)
{
    // 32 pixels: a 4-byte row. The line holds 3 bytes; the fourth keeps
    // the previous row's byte.
    Stage stage(kScanDecColorBlackAndWhite, 32);
    EXPECT_EQ(stage.Write(kScanDecCompNone, {0x00, 0x00, 0x00, 0x5A}), (Bytes{0xFF, 0xFF, 0xFF, 0xA5}));
    EXPECT_EQ(stage.Write(kScanDecCompNone, {0x0F, 0xF0, 0x81}), (Bytes{0xF0, 0x0F, 0x7E, 0xA5}));
    EXPECT_EQ(stage.Write(kScanDecCompPackBits, {0xFE, 0x00, 0x00, 0x3C}), (Bytes{0xFF, 0xFF, 0xFF, 0xC3}));
}

TEST(LineDecode, LevelAdjustmentLearnsFromTheFirstSixteenLines)
{
    // Column 0: white 200, black 40 (one outlier each end of every eight);
    // column 1: white equals black, so its range is 1.
    Stage stage(kScanDecColorTrueGray, 2, true);
    for (int i = 0; i < CVdLineDecode::kCalibrationLines; ++i) {
        unsigned char white = i == 0 ? 255 : i == 1 ? 0 : 200;
        unsigned char black = i == 8 ? 255 : i == 9 ? 0 : 40;
        bool got = true;
        stage.Write(kScanDecCompNone, {i < 8 ? white : black, 90}, kScanDecKindRow, false, &got);
        EXPECT_FALSE(got) << "calibration line " << i;
    }
    struct Case {
        Bytes in;
        Bytes out;
    };
    Case const cases[] = {
        {{120, 90}, {80 * 255 / 160, 0}},  // at or below black: 0
        {{40, 91}, {0, 0xFF}},
        {{10, 200}, {0, 0xFF}},
        {{200, 0}, {0xFF, 0}},  // range reached: white
        {{239, 90}, {0xFF, 0}},
    };
    for (Case const& c : cases) {
        bool got = false;
        EXPECT_EQ(stage.Write(kScanDecCompNone, c.in, kScanDecKindRow, false, &got), c.out);
        EXPECT_TRUE(got);
    }
    // PackBits values are corrected column by column too.
    EXPECT_EQ(stage.Write(kScanDecCompPackBits, {0xFF, 120}), (Bytes{127, 0xFF}));
}

TEST(LineDecode, InvertedLevelAdjustmentComplementsTheCorrectedValue)
{
    Stage stage(kScanDecColorBlackAndWhite, 8, true);
    for (int i = 0; i < CVdLineDecode::kCalibrationLines; ++i) {
        stage.Write(kScanDecCompNone, {static_cast<unsigned char>(i < 8 ? 200 : 40)});
    }
    EXPECT_EQ(stage.Write(kScanDecCompNone, {120}), (Bytes{static_cast<unsigned char>(127 ^ 0xFF)}));
    EXPECT_EQ(stage.Write(kScanDecCompNone, {220}), (Bytes{0xFF}));
    EXPECT_EQ(stage.Write(kScanDecCompNone, {30}), (Bytes{0xFF}));
}

TEST(LineDecode, WholeUncompressedLinesAreUsedWhereTheyLie)
{
    struct Case {
        int32_t color;
        int32_t kind;
        uint64_t width;
        size_t bytes;
    };
    Case const cases[] = {
        {kScanDecColorTrueGray, kScanDecKindRow, 10, 10},
        {kScanDecColorColor, kScanDecKindRow, 10, 30},
        {kScanDecColorColor, kScanDecKindRowRGB, 10, 31},
        {kScanDecColorColor, kScanDecKindGreen, 10, 10},
    };
    for (Case const& c : cases) {
        Stage stage(c.color, c.width);
        Bytes line(c.bytes);
        for (size_t i = 0; i < line.size(); ++i) {
            line[i] = static_cast<unsigned char>(i * 7);
        }
        Bytes const row = stage.Write(kScanDecCompNone, line, c.kind);
        EXPECT_EQ(stage.LastRow(), stage.LineData()) << "kind " << c.kind;
        EXPECT_EQ(row, Bytes(line.begin(), line.begin() + static_cast<long>(row.size())));
    }
}

// The pixels of a 1-bit row, one per entry.
std::vector<int> Pixels(Bytes const& row, size_t width)
{
    std::vector<int> pixels;
    for (size_t p = 0; p < width; ++p) {
        pixels.push_back((row[p / 8] >> (7 - p % 8)) & 1);
    }
    return pixels;
}

TEST(LineDecode, MirroringOneBitRowsReversesPixelsAndKeepsPadBitsAtTheEnd)
{
    // Ten pixels: 1011001110 then pad bits.
    Stage stage(kScanDecColorBlackAndWhite, 10);
    Bytes const row =
        stage.Write(kScanDecCompNone, {static_cast<unsigned char>(~0xB3), static_cast<unsigned char>(~0x80)},
                    kScanDecKindRow, true);
    ASSERT_EQ(row.size(), 2u);
    EXPECT_EQ(Pixels(row, 10), (std::vector<int>{0, 1, 1, 1, 0, 0, 1, 1, 0, 1}));
    EXPECT_EQ(row[1] & 0x3F, 0x3F);

    for (uint64_t width = 1; width <= 17; ++width) {
        Stage twice(kScanDecColorBlackAndWhite, width);
        Bytes line((width + 7) / 8);
        for (size_t i = 0; i < line.size(); ++i) {
            line[i] = static_cast<unsigned char>(0x9D + 0x35 * i);
        }
        Bytes const once = twice.Write(kScanDecCompNone, line, kScanDecKindRow, true);
        Bytes const back = twice.Write(kScanDecCompNone, Bytes(), kScanDecKindRow, true);  // mirrors the row again
        Bytes plain = line;
        for (unsigned char& b : plain) {
            b = static_cast<unsigned char>(~b);
        }
        std::vector<int> expected = Pixels(plain, width);
        EXPECT_EQ(Pixels(back, width), expected) << "width " << width;
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(Pixels(once, width), expected) << "width " << width;
        unsigned const pad = static_cast<unsigned>(8 * line.size() - width);
        unsigned const mask = (1u << pad) - 1;
        EXPECT_EQ(once.back() & mask, mask) << "width " << width;
        EXPECT_EQ(back.back() & mask, mask) << "width " << width;
    }
}

TEST(LineDecode, MirroringTwiceGivesTheRowBack)
{
    struct Case {
        int32_t color;
        int32_t kind;
    };
    Case const cases[] = {{kScanDecColorTrueGray, kScanDecKindRow}, {kScanDecColorColor, kScanDecKindRow},
                          {kScanDecColorColor, kScanDecKindRowRGB}, {kScanDecColorColor, kScanDecKindRowBGR},
                          {kScanDecColorColor, kScanDecKindRed},    {kScanDecColorColor, kScanDecKindBlue}};
    for (Case const& c : cases) {
        Stage stage(c.color, 7);
        size_t const bytes =
            c.color == kScanDecColorTrueGray || c.kind == kScanDecKindRed || c.kind == kScanDecKindBlue ? 7 : 21;
        Bytes line(bytes);
        for (size_t i = 0; i < bytes; ++i) {
            line[i] = static_cast<unsigned char>(3 + 11 * i);
        }
        // PackBits literals decode into the row buffer, which the next
        // (empty) line mirrors once more.
        Bytes packed{static_cast<unsigned char>(bytes - 1)};
        packed.insert(packed.end(), line.begin(), line.end());
        Bytes const once = stage.Write(kScanDecCompPackBits, packed, c.kind, true);
        Bytes const back = stage.Write(kScanDecCompPackBits, {}, c.kind, true);
        EXPECT_EQ(back, line) << "kind " << c.kind;
        EXPECT_NE(once, line) << "kind " << c.kind;
    }
}

TEST(LineDecode, MirroredColourRowsMoveWholePixels)
{
    // Blue-green-red pixels stay blue-green-red: only their order turns.
    Stage stage(kScanDecColorColor, 3);
    Bytes const row = stage.Write(kScanDecCompNone, {1, 2, 3, 4, 5, 6, 7, 8, 9}, kScanDecKindRow, true);
    EXPECT_EQ(row, (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(stage.Write(kScanDecCompNone, {1, 2, 3}, kScanDecKindGreen, true), (Bytes{3, 2, 1}));
}

}  // namespace
