// The detection entry point: results on typical pages, argument checks,
// the blank-cell ratio and isolated cells at their limits, monotony in the
// blank sensitivity, and the entry points without work behind them.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/imagelib/DetectionSupport.h"

namespace {

using detection::Detect;
using detection::Setting;
using sippages::Page;

Page WhiteColour() { return sippages::Colour(800, 1000, 255, 255, 255); }

Page TextColour(int bytesPerPixel = 3)
{
    Page page = sippages::Colour(800, 1000, 255, 255, 255, bytesPerPixel);
    sippages::TextBlocks(page, 300, 7);
    return page;
}

Page TextWithRedPatch(uint32_t side, int bytesPerPixel = 3)
{
    Page page = TextColour(bytesPerPixel);
    sippages::Fill(page, 300, 400, 300 + side, 400 + side, 0, 0, 255);  // blue, green, red
    return page;
}

TEST(BlankColorDetection, TypicalPagesGiveTheirKind)
{
    struct Case {
        const char* what;
        Page page;
        uint8_t mode;
        uint32_t colorIndex;
        int32_t code, result;
    };
    Case cases[] = {
        {"white, blank then colour", WhiteColour(), 2, 0, 0, 4},
        {"white, blank only", WhiteColour(), 0, 0, 0, 4},
        {"white, colour only", WhiteColour(), 1, 0, 0, 1},
        {"white, mode above 2 counts as 2", WhiteColour(), 9, 0, 0, 4},
        {"black text", TextColour(), 2, 0, 0, 1},
        {"black text, blank only", TextColour(), 0, 0, 0, 3},
        {"text with a red patch", TextWithRedPatch(200), 2, 0, 0, 3},
        {"text with a red patch, 4 bytes per pixel", TextWithRedPatch(200, 4), 2, 0, 0, 3},
        {"small red patch", TextWithRedPatch(40), 2, 0, 0, 1},
        {"small red patch, sensitive", TextWithRedPatch(40), 2, 10, 0, 3},
        {"flat level 128, colour only", sippages::Colour(600, 600, 128, 128, 128), 1, 0, 0, 2},
        {"8-bit page, colour only", sippages::Gray(600, 600, 255), 1, 0, 4, 0},
        {"8-bit white, blank only", sippages::Gray(600, 600, 255), 0, 0, 0, 4},
    };
    for (Case& c : cases) {
        Setting s;
        s.mode = c.mode;
        s.color = c.colorIndex;
        EXPECT_EQ(Detect(c.page, s), std::make_pair(c.code, c.result)) << c.what;
    }
}

TEST(BlankColorDetection, RefusesBadArgumentsAndLeavesTheResultZero)
{
    Page page = sippages::Colour(400, 400, 255, 255, 255);
    Page gray = sippages::Gray(400, 400, 255);
    const tagVDIP_INPUT_IMAGE_DATA good = detection::Input(page);
    struct Case {
        const char* what;
        tagVDIP_INPUT_IMAGE_DATA input;
        Setting setting;
        int32_t code, result;
    };
    auto with = [&](auto change) {
        tagVDIP_INPUT_IMAGE_DATA in = good;
        change(in);
        return in;
    };
    auto setting = [](auto change) {
        Setting s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"valid", good, {}, 0, 4},
        {"null pixels", with([](auto& in) { in.pixels = nullptr; }), {}, 5, 0},
        {"width 0", with([](auto& in) { in.width = 0; }), {}, 5, 0},
        {"height 0", with([](auto& in) { in.height = 0; }), {}, 5, 0},
        {"bytes per pixel 0", with([](auto& in) { in.bytesPerPixel = 0; }), {}, 5, 0},
        {"bytes per pixel 5", with([](auto& in) { in.bytesPerPixel = 5; }), {}, 5, 0},
        {"stride short", with([](auto& in) { in.stride = 1199; }), {}, 5, 0},
        {"colour type 1 at 1 byte per pixel", with([](auto& in) { in.bytesPerPixel = 1; }), {}, 5, 0},
        {"colour type 6 at 3 bytes per pixel", with([](auto& in) { in.colorType = 6; }), {}, 5, 0},
        {"colour type 2", with([&](auto& in) { in = detection::Input(gray), in.colorType = 2; }), {}, 5, 0},
        {"colour type 7", with([](auto& in) { in.colorType = 7; }), {}, 4, 0},
        {"colour type 0", with([](auto& in) { in.colorType = 0; }), {}, 4, 0},
        {"dpi 0", good, setting([](auto& s) { s.dpi = 0; }), 5, 0},
        {"dpi 2401", good, setting([](auto& s) { s.dpi = 2401; }), 5, 0},
        {"dpi 2400", good, setting([](auto& s) { s.dpi = 2400; }), 6, 0},
        {"dpi 1", good, setting([](auto& s) { s.dpi = 1; }), 0, 4},
        {"blank index 11", good, setting([](auto& s) { s.blank = 11; }), 5, 0},
        {"colour index 11", good, setting([](auto& s) { s.color = 11; }), 5, 0},
        {"gray index 11", good, setting([](auto& s) { s.gray = 11; }), 5, 0},
        {"indices 10", good, setting([](auto& s) { s.blank = s.color = s.gray = 10; }), 0, 4},
        {"area under one cell", with([](auto& in) { in.width = 240; }), {}, 6, 0},
        {"margins wider than the page", good, setting([](auto& s) { s.margin = 4000000000u; }), 6, 0},
    };
    for (const Case& c : cases) {
        const tagVDIP_BLANKCOLOR_DETECTION_SETTING record = detection::ToRecord(c.setting);
        auto result = static_cast<tagVDIP_BLANKCOLOR_DETECTION_RESULT>(99);
        EXPECT_EQ(VdIPBlankColorDetectionBinMode(&c.input, &record, &result), c.code) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
    }
    const tagVDIP_BLANKCOLOR_DETECTION_SETTING record = detection::ToRecord({});
    tagVDIP_BLANKCOLOR_DETECTION_RESULT result;
    EXPECT_EQ(VdIPBlankColorDetectionBinMode(nullptr, &record, &result), 5);
    EXPECT_EQ(VdIPBlankColorDetectionBinMode(&good, nullptr, &result), 5);
    EXPECT_EQ(VdIPBlankColorDetectionBinMode(&good, &record, nullptr), 5);
}

// 100 x 100 cells of 6 pixels at 100 dpi without margins: the grid starts
// at the skip distance, 38 pixels in.
TEST(BlankColorDetection, BlankRatioMustExceedTheThresholdAndIsolatedCellsCountAsBlank)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> cells;  // non-blank cells (column, row)
        uint32_t index;
        int32_t result;
    };
    const Case cases[] = {
        {"none", {}, 0, 4},
        {"one on the border: 9999 of 10000", {{0, 0}}, 0, 2},
        {"one on the border, index 1", {{0, 0}}, 1, 4},
        {"one isolated inside", {{1, 1}}, 0, 4},
        {"two neighbours inside: 9998", {{5, 5}, {6, 5}}, 0, 2},
        {"two neighbours inside, index 1", {{5, 5}, {6, 5}}, 1, 4},
        {"two diagonal neighbours inside", {{5, 5}, {6, 6}}, 0, 2},
        {"two apart inside", {{5, 5}, {7, 5}}, 0, 4},
    };
    for (const Case& c : cases) {
        Page page = sippages::Gray(675, 675, 255);
        for (auto [column, row] : c.cells)
            sippages::Checker(page, 38 + column * 6, 38 + row * 6, 44 + column * 6, 44 + row * 6);
        Setting s;
        s.mode = 0;
        s.dpi = 100;
        s.margin = 0;
        s.blank = c.index;
        EXPECT_EQ(Detect(page, s), std::make_pair(0, c.result)) << c.what;
    }
}

TEST(BlankColorDetection, APageBlankAtOneSensitivityIsBlankAtEveryHigherOne)
{
    int changes = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        Page page = sippages::Gray(600, 600, 250);
        sippages::Speckle(page, 400 + seed * 150, seed);
        bool blank = false;
        for (uint32_t index = 0; index <= 10; ++index) {
            Setting s;
            s.mode = 0;
            s.blank = index;
            const auto [code, result] = Detect(page, s);
            ASSERT_EQ(code, 0);
            if (blank) {
                EXPECT_EQ(result, 4) << "seed " << seed << " index " << index;
            }
            if (result == 4 && !blank && index > 0)
                ++changes;
            blank = blank || result == 4;
        }
    }
    EXPECT_GE(changes, 5) << "the pages should turn blank at different sensitivities";
}

TEST(ImageProcessingEntryPoints, CopyFreeAndSizeWithinTheLimit)
{
    Page page = TextColour();
    const tagVDIP_INPUT_IMAGE_DATA input = detection::Input(page);
    const int options = 0;
    tagVDIP_OUTPUT_IMAGE_DATA output;
    std::memset(&output, 0x5A, sizeof output);
    ASSERT_EQ(VdIPDocumentDetectionBinMode(&input, &output, &options), 0);
    EXPECT_EQ(output.width, 800u);
    EXPECT_EQ(output.stride, page.stride);
    EXPECT_EQ(output.height, 1000u);
    EXPECT_EQ(output.colorType, 1);
    EXPECT_EQ(output.bytesPerPixel, 3);
    EXPECT_EQ(output.reserved, 0);
    EXPECT_EQ(std::memcmp(output.pixels, page.pixels.data(), page.pixels.size()), 0);
    EXPECT_EQ(VdIPFreeOutImgBuff(&output), 0);
    EXPECT_EQ(output.pixels, nullptr);
    EXPECT_EQ(output.width, 0u);
    EXPECT_EQ(VdIPFreeOutImgBuff(&output), 4);
    EXPECT_EQ(VdIPFreeOutImgBuff(nullptr), 4);
    EXPECT_EQ(VdIPDocumentDetectionBinMode(&input, &output, nullptr), 5);
    // Above 2 GiB counts as an allocation failure; nothing is read.
    tagVDIP_INPUT_IMAGE_DATA huge = input;
    huge.stride = 65536;
    huge.height = 32769;
    EXPECT_EQ(VdIPDocumentDetectionBinMode(&huge, &output, &options), 3);
    EXPECT_EQ(output.pixels, nullptr);

    tagVDIP_BARCODE_RESULT codes{7, &output};
    EXPECT_EQ(VdIPBarCodeDecodeBinMode(&input, &options, &codes), 3);
    EXPECT_EQ(codes.count, 0);
    EXPECT_EQ(codes.area, nullptr);
    VdIPBarCodeDecodeRelease(&codes);

    tagIPCMN_IMAGEINFO info;
    tagIPCMN_ERROR error{1, 2};
    ASSERT_EQ(IpCmnImgaeInfo_Create(&info, 5, 3, 3, 42, &error), 0);
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.reserved, 0);
    EXPECT_EQ(info.height, 3);
    EXPECT_EQ(info.depth, 3);
    EXPECT_EQ(info.extra, 42);
    for (int i = 0; i < 45; ++i)
        ASSERT_EQ(info.buffer[i], 0);
    IpCmnImgaeInfo_Destroy(&info);
    EXPECT_EQ(info.buffer, nullptr);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(IpCmnImgaeInfo_Create(&info, 65536, 65536, 1, 0, &error), 1);  // 4 GiB
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.detail, 0);
    tagVDIP_FILEINFO file;
    VdIPSetFileInfo(&file, 4, 2, 1, 9);
    EXPECT_EQ(file.width, 4);
    EXPECT_EQ(file.extra, 9);
    ASSERT_EQ(IpCmnImgaeInfo_Create_InfoT(&info, &file, &error), 0);
    EXPECT_EQ(info.extra, 9);
    IpCmnImgaeInfo_Destroy(&info);
    tagVDIP_FILEINFO32 file32;
    VdIPSetFileInfo32(&file32, 1, 2, 3, 4);
    static_assert(sizeof file32 == 16 && sizeof(tagIPCMN_IMAGEINFO) == 32, "record sizes");
    EXPECT_EQ(file32.value[3], 4u);

    tagVDIP_OUTPUT_IMAGE_DATA untouched{};
    EXPECT_EQ(VdIPColorDropoutBinMode(&input, &untouched, nullptr), 0);
    EXPECT_EQ(VdIPBinarizationBinMode(&input, &untouched, nullptr), 0);
    EXPECT_EQ(VdIPPatchCodeDecodeBinMode(&input, nullptr, nullptr), 0);
    EXPECT_EQ(untouched.pixels, nullptr);
    EXPECT_EQ(vdip_max(-3, 2), 2);
    EXPECT_EQ(vdip_min(-3, 2), -3);
    EXPECT_DOUBLE_EQ(VdIPCmnConvMilliToPixel(25.4, 300), 300.0);
    EXPECT_DOUBLE_EQ(VdIPCmnGetCoordinatesDistance(1, 1, 4, 5), 5.0);
}

}  // namespace
