// The tone table, gray table conversion, and 24-bit rows assembled from
// planes or whole rows into the output byte order, through the colour stage
// and through the whole line decoder with and without it.
#include <gtest/gtest.h>

#include <vector>

#include "VexmorApi/ChangeResolution/VdChangeReso.h"
#include "VexmorApi/ScanDecoder/VdColorConvert.h"
#include "VexmorApi/ScanDecoder/VdScanDec.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(ColorConvert, ToneTableFollowsBrightnessAndContrast)
{
    struct Case {
        int32_t brightness, contrast;
        int in, out;
    };
    Case const cases[] = {
        {0, 0, 0, 0},      {0, 0, 255, 255}, {0, 0, 77, 77},     {10, 0, 0, 20},     {10, 0, 240, 255},
        {10, 0, 100, 120}, {-10, 0, 15, 0},  {0, 10, 0, 0},      {0, 10, 255, 255},  {0, 10, 128, 128},
        {0, 10, 100, 95},  {0, -10, 0, 21},  {0, -10, 255, 235}, {0, -10, 128, 128}, {0, 63, 129, 213},
        {0, 63, 130, 255}, {0, 64, 129, 0},  {200, 0, 0, 255},
    };
    for (Case const& c : cases) {
        unsigned char table[256];
        CVdColorConvert::SetupGammaTbl(table, nullptr, c.brightness, c.contrast);
        EXPECT_EQ(table[c.in], c.out) << "brightness " << c.brightness << " contrast " << c.contrast << " at " << c.in;
    }
}

TEST(ColorConvert, GrayRowsGoThroughTheTableAndOneBitPagesSkipTheStage)
{
    CVdColorConvert stage;
    COLORCONV_OPEN open = {kScanDecColorTrueGray, 4, kScanDecOrderRGB, 10, 0, nullptr, ""};
    ASSERT_TRUE(stage.ColorConvertOpen(&open));
    ASSERT_TRUE(stage.ColorConvertWriteStart());
    Bytes const in{0, 100, 240, 7};
    COLORCONV_WRITE write = {kScanDecKindRow, in.data(), in.size()};
    unsigned long size = 0;
    int kind = 0;
    unsigned char const* out = stage.ColorConvertWrite(&write, &size, &kind);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(out, out + size), (Bytes{20, 120, 255, 27}));
    EXPECT_EQ(kind, kScanDecKindRow);
    stage.ColorConvertClose();
    stage.ColorConvertClose();

    for (int32_t word :
         {int32_t{kScanDecColorBlackAndWhite}, int32_t{kScanDecColorGray}, int32_t{kScanDecSimple}, 0x210}) {
        COLORCONV_OPEN skipped = {word, 4, kScanDecOrderRGB, 0, 0, nullptr, nullptr};
        EXPECT_FALSE(CVdColorConvert().ColorConvertOpen(&skipped)) << word;
    }
}

// Three pixels (1,2,3), (4,5,6), (7,8,9) as red, green, blue.
Bytes const kRed{1, 4, 7}, kGreen{2, 5, 8}, kBlue{3, 6, 9};
Bytes const kRgbRow{1, 2, 3, 4, 5, 6, 7, 8, 9};
Bytes const kBgrRow{3, 2, 1, 6, 5, 4, 9, 8, 7};

struct Line {
    int32_t kind;
    Bytes const* data;
};

// The ways one row can arrive.
std::vector<std::vector<Line>> const kArrivals = {
    {{kScanDecKindRed, &kRed}, {kScanDecKindGreen, &kGreen}, {kScanDecKindBlue, &kBlue}},
    {{kScanDecKindBlue, &kBlue}, {kScanDecKindGreen, &kGreen}, {kScanDecKindRed, &kRed}},
    {{kScanDecKindRowRGB, &kRgbRow}},
    {{kScanDecKindRow, &kBgrRow}},
    {{kScanDecKindRowBGR, &kBgrRow}},
};

TEST(ColorConvert, PlanesAndWholeRowsGiveTheSameRowInEachOrder)
{
    for (int32_t order : {int32_t{kScanDecOrderRGB}, int32_t{kScanDecOrderBGR}}) {
        Bytes const expected = order == kScanDecOrderRGB ? kRgbRow : kBgrRow;
        for (size_t a = 0; a < kArrivals.size(); ++a) {
            CVdColorConvert stage;
            COLORCONV_OPEN open = {kScanDecColorColor, 3, order, 0, 0, nullptr, ""};
            ASSERT_TRUE(stage.ColorConvertOpen(&open));
            stage.ColorConvertWriteStart();
            std::vector<Line> const& lines = kArrivals[a];
            for (size_t i = 0; i < lines.size(); ++i) {
                COLORCONV_WRITE write = {lines[i].kind, lines[i].data->data(), lines[i].data->size()};
                unsigned long size = 1;
                int kind = 0;
                unsigned char const* out = stage.ColorConvertWrite(&write, &size, &kind);
                if (i + 1 < lines.size()) {
                    EXPECT_EQ(out, nullptr);
                    EXPECT_EQ(size, 0u);
                    continue;
                }
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(Bytes(out, out + size), expected) << "order " << order << " arrival " << a;
                EXPECT_EQ(kind, order == kScanDecOrderRGB ? kScanDecKindRowRGB : kScanDecKindRowBGR);
            }
        }
    }
}

TEST(ColorConvert, ColourRowsGoThroughTheToneTableInEitherOrder)
{
    for (int32_t order : {int32_t{kScanDecOrderRGB}, int32_t{kScanDecOrderBGR}}) {
        for (Line const& line : {kArrivals[2][0], kArrivals[3][0]}) {
            CVdColorConvert stage;
            COLORCONV_OPEN open = {kScanDecColorColor, 3, order, 10, 0, nullptr, ""};
            ASSERT_TRUE(stage.ColorConvertOpen(&open));
            COLORCONV_WRITE write = {line.kind, line.data->data(), line.data->size()};
            unsigned long size = 0;
            int kind = 0;
            unsigned char const* out = stage.ColorConvertWrite(&write, &size, &kind);
            ASSERT_NE(out, nullptr);
            Bytes expected = order == kScanDecOrderRGB ? kRgbRow : kBgrRow;
            for (unsigned char& b : expected) {
                b = static_cast<unsigned char>(b + 20);
            }
            EXPECT_EQ(Bytes(out, out + size), expected) << "order " << order << " kind " << line.kind;
        }
    }
}

// The rows a line decoder object gives for the lines, at 300 -> out dpi.
Bytes DecodeRows(std::vector<Line> const& lines, int32_t order, int32_t out)
{
    vscore::CVdScanDec decoder;
    SCANDEC_OPEN open = {};
    open.nInResoX = open.nInResoY = 300;
    open.nOutResoX = open.nOutResoY = out;
    open.nColorType = kScanDecColorColor;
    open.dwInLinePixCnt = 3;
    open.nOutColorOrder = order;
    open.bAlignOutLine = true;
    EXPECT_TRUE(decoder.ScanDecPageStart(&open));
    Bytes buffer(open.dwWriteBuffSize);
    Bytes rows;
    std::vector<Bytes> copies;
    for (Line const& line : lines) {
        copies.push_back(*line.data);
        SCANDEC_WRITE write = {kScanDecCompNone,
                               line.kind,
                               copies.back().data(),
                               copies.back().size(),
                               buffer.data(),
                               buffer.size(),
                               false,
                               false};
        int count = 0;
        unsigned long bytes = 0;
        decoder.ScanDecWrite(&write, &count, &bytes);
        rows.insert(rows.end(), buffer.begin(), buffer.begin() + static_cast<long>(bytes));
    }
    SCANDEC_WRITE end = {kScanDecCompNone, kScanDecKindRow, nullptr, 0, buffer.data(), buffer.size(), false, false};
    int count = 0;
    unsigned long bytes = 0;
    decoder.ScanDecPageEnd(&end, &count, &bytes);
    rows.insert(rows.end(), buffer.begin(), buffer.begin() + static_cast<long>(bytes));
    return rows;
}

// The same rows from the resolution stage alone, as when the colour stage
// could not be set up.
Bytes ResolutionStageRows(std::vector<Line> const& lines, int32_t order, int32_t out)
{
    vscore::CVdChangeReso stage;
    vscore::CHRESO_OPEN open = {300, 300, out, out, kScanDecColorColor, 3, order, true, 0, 0, 0, 0, 0};
    EXPECT_TRUE(stage.ChangeResoInit(&open));
    EXPECT_TRUE(stage.ChangeResoWriteStart());
    Bytes buffer(open.dwWriteBuffSize);
    Bytes rows;
    for (Line const& line : lines) {
        vscore::CHRESO_WRITE write = {line.kind,     line.data->data(), line.data->size(),
                                      buffer.data(), buffer.size(),     false};
        int count = 0;
        uint64_t const bytes = stage.ChangeResoWrite(&write, &count);
        rows.insert(rows.end(), buffer.begin(), buffer.begin() + static_cast<long>(bytes));
    }
    vscore::CHRESO_WRITE end = {kScanDecKindRow, nullptr, 0, buffer.data(), buffer.size(), false};
    int count = 0;
    uint64_t const bytes = stage.ChangeResoWriteEnd(&end, &count);
    rows.insert(rows.end(), buffer.begin(), buffer.begin() + static_cast<long>(bytes));
    return rows;
}

TEST(ColorConvert, TheLineDecoderGivesOneRowPerThreePlanesWithOrWithoutTheColourStage)
{
    for (int32_t out : {300, 600}) {
        for (int32_t order : {int32_t{kScanDecOrderRGB}, int32_t{kScanDecOrderBGR}}) {
            Bytes const first = DecodeRows(kArrivals[2], order, out);
            ASSERT_FALSE(first.empty());
            if (out == 300) {
                Bytes expected = order == kScanDecOrderRGB ? kRgbRow : kBgrRow;
                expected.resize(12, 0);
                EXPECT_EQ(first, expected);
            }
            for (size_t a = 0; a < kArrivals.size(); ++a) {
                EXPECT_EQ(DecodeRows(kArrivals[a], order, out), first) << out << " order " << order << " " << a;
                EXPECT_EQ(ResolutionStageRows(kArrivals[a], order, out), first)
                    << out << " order " << order << " " << a;
            }
        }
    }
}

}  // namespace
