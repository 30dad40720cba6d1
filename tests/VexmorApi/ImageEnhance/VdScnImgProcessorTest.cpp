// The image-library bridge: conversions through the real library (depths,
// colour types, BT.601 gray levels, rows kept upright), and through a
// scripted processing object the codes, the records handed over, the kept
// input pages, and an empty temporary folder after every case.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "EnhancePages.h"
#include "FakeScnImgProc.h"
#include "VexmorApi/ImageEnhance/VdScnImgProcessor.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

namespace {

using enhance_pages::Bytes;
using enhance_pages::FlatPage;
using enhance_pages::PixelAt;
using enhance_pages::SetPixel;
using fake_scn_img_proc::Installed;
using fake_scn_img_proc::Output;
using fake_scn_img_proc::Script;
using vscore::COLOR_CONVERT_PARAMETER;
using vscore::VdScnImgProcessor;

std::string TemporaryFolder() { return Singleton<FileManager>::GetInstance()->GetTemporaryDirectoryPath(); }

class Bridge : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(TemporaryFilesLeft().empty()) << "temporary files left behind"; }
};

// A 24-bit page whose top half is black and whose bottom half is white.
std::unique_ptr<BitmapImage> HalfBlackPage(uint32_t width, uint32_t height)
{
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, width, height), 0xFF);
    for (uint32_t y = 0; y < height / 2; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            SetPixel(*page, x, y, {0, 0, 0});
        }
    }
    return page;
}

TEST_F(Bridge, BinarisingGivesAOneBitPageOfTheSameSizeWithItsRowsUpright)
{
    unsigned int result = 1;
    std::unique_ptr<BitmapImage> page =
        VdScnImgProcessor().ColorConvert(HalfBlackPage(61, 40), {vscore::BLACKWHITE, 128}, result);
    ASSERT_EQ(result, 0u);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::BlackAndWhite, 61, 40)));
    for (uint32_t y = 0; y < 40; ++y) {
        for (uint32_t x = 0; x < 61; ++x) {
            // White is a set bit, as in every page.
            ASSERT_EQ(PixelAt(*page, x, y), Bytes{static_cast<unsigned char>(y < 20 ? 0 : 1)}) << x << "," << y;
        }
    }
}

TEST_F(Bridge, ErrorDiffusionGivesAOneBitGrayPage)
{
    unsigned int result = 1;
    std::unique_ptr<BitmapImage> page = VdScnImgProcessor().ColorConvert(
        FlatPage(ImageInfo(300, ImageInfo::Color, 64, 48), 0x80), {vscore::ERRDIFFUSION, -1}, result);
    ASSERT_EQ(result, 0u);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::Gray, 64, 48)));
    // Mid gray diffuses into both levels.
    int white = 0;
    for (uint32_t y = 0; y < 48; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            white += PixelAt(*page, x, y)[0];
        }
    }
    EXPECT_GT(white, 64 * 48 / 4);
    EXPECT_LT(white, 64 * 48 * 3 / 4);
}

TEST_F(Bridge, TrueGrayWeighsRedAndBlueAsBt601)
{
    struct Level {
        Bytes rgb;
        unsigned char gray;
    };
    Level const kLevels[] = {{{0xFF, 0, 0}, 76}, {{0, 0, 0xFF}, 29}, {{0xFF, 0xFF, 0xFF}, 255}};
    for (Level const& l : kLevels) {
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 9, 5), 0);
        for (uint32_t y = 0; y < 5; ++y) {
            for (uint32_t x = 0; x < 9; ++x) {
                SetPixel(*page, x, y, l.rgb);
            }
        }
        unsigned int result = 1;
        page = VdScnImgProcessor().ColorConvert(std::move(page), {vscore::TRUEGRAY, -1}, result);
        ASSERT_EQ(result, 0u);
        ASSERT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::TrueGray, 9, 5)));
        EXPECT_EQ(PixelAt(*page, 4, 2), Bytes{l.gray}) << int{l.rgb[0]} << "," << int{l.rgb[1]} << "," << int{l.rgb[2]};
    }
}

TEST_F(Bridge, AnAnswerOfNoChangeKeepsTheInputPageWithSuccess)
{
    Script script;
    script.execCode = 11;
    Installed const fake(script);
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::TrueGray, 10, 10), 0x33);
    BitmapImage const* same = page.get();
    unsigned int result = 1;
    EXPECT_EQ(VdScnImgProcessor().ColorConvert(std::move(page), {vscore::BLACKWHITE, 128}, result).get(), same);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(fake.Runs(), 1);
}

TEST_F(Bridge, FailedRunsKeepTheInputPageAndReportTheirCode)
{
    struct Failure {
        Script script;
        VSRSLT result;
    };
    auto const scripted = [](int open, int exec, int analysis, Output output, bool noObject) {
        Script s;
        s.openCode = open;
        s.execCode = exec;
        s.resultCode = analysis;
        s.output = output;
        s.noObject = noObject;
        return s;
    };
    Failure const kFailures[] = {
        {scripted(0, 5, 0, Output::WhitePage, false), 0x10702005},
        {scripted(0, 2, 0, Output::WhitePage, false), 0x30702002},
        {scripted(0, 0, 0, Output::NotBmp, false), 0x10702001},     // the output does not read as a BMP
        {scripted(0, 0, 0, Output::Nothing, false), 0x10702001},    // no output at all
        {scripted(0, 0, 8, Output::WhitePage, false), 0x10702001},  // the analysis cannot be read
        {scripted(9, 0, 0, Output::WhitePage, false), 0x10702009},  // opening failed
        {scripted(0, 0, 0, Output::WhitePage, true), 0x2070200D},   // no processing object
    };
    for (Failure const& f : kFailures) {
        Installed const fake(f.script);
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 10, 10), 0x33);
        BitmapImage const* same = page.get();
        unsigned int result = 0;
        EXPECT_EQ(VdScnImgProcessor().ColorConvert(std::move(page), {vscore::TRUEGRAY, -1}, result).get(), same);
        EXPECT_EQ(result, f.result) << std::hex << f.result;
        EXPECT_TRUE(TemporaryFilesLeft().empty());
    }
}

TEST_F(Bridge, LibraryCodesBecomeImageProcessingResults)
{
    // clang-format off
    std::pair<int, VSRSLT> const kCodes[] = {
        {0, 0}, {11, 0}, {1, 0x10702001}, {2, 0x30702002}, {3, 0xB0702003}, {4, 0x10702004}, {5, 0x10702005},
        {6, 0xA0702006}, {7, 0x80702007}, {8, 0x10702008}, {9, 0x10702009}, {10, 0x8070200A}, {12, 0x1070200C},
        {0x2070200D, 0x2070200D}, {0x10702001, 0x10702001},
    };
    // clang-format on
    for (auto const& [code, result] : kCodes) {
        EXPECT_EQ(VdScnImgProcessor::ToResult(code), result) << code;
    }
}

TEST_F(Bridge, AnInputThatCannotBeWrittenIsReportedAndKept)
{
    // The next temporary name is taken by a folder, so writing the input fails.
    std::string const probe = Singleton<FileManager>::GetInstance()->CreateTemporaryFilePath();
    unsigned number = 0;
    ASSERT_EQ(std::sscanf(std::filesystem::path(probe).filename().c_str(), "%u.tmp", &number), 1);
    char name[32];
    std::snprintf(name, sizeof name, "%010u.tmp", number + 1);
    std::filesystem::path const blocked = std::filesystem::path(TemporaryFolder()) / name;
    std::filesystem::create_directory(blocked);
    Installed const fake(Script{});
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 10, 10), 0x33);
    BitmapImage const* same = page.get();
    unsigned int result = 0;
    EXPECT_EQ(VdScnImgProcessor().ColorConvert(std::move(page), {vscore::TRUEGRAY, -1}, result).get(), same);
    EXPECT_EQ(result, 0xA070200Cu);
    EXPECT_EQ(fake.Runs(), 0);
    std::filesystem::remove(blocked);
}

TEST_F(Bridge, ConversionsHandTheLibraryTheirScanTypeSizeAndThreshold)
{
    struct Request {
        COLOR_CONVERT_PARAMETER parameter;
        int32_t scanType;
        int32_t threshold;
    };
    Request const kRequests[] = {{{vscore::BLACKWHITE, 77}, 1, 77},
                                 {{vscore::ERRDIFFUSION, -1}, 2, 0},
                                 {{vscore::TRUEGRAY, -1}, 3, 0},
                                 {{vscore::COLOR24BIT, 5}, 5, 0},
                                 {{vscore::AUTOCOLOR, 5}, 6, 0}};
    for (Request const& r : kRequests) {
        Installed const fake(Script{});
        unsigned int result = 0;
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 13, 7), 0x33);
        SetPixel(*page, 0, 0, {0x11, 0x22, 0x33});
        VdScnImgProcessor().ColorConvert(std::move(page), r.parameter, result);
        fake_scn_img_proc::Seen const seen = fake.Last();
        EXPECT_EQ(seen.parameters.scanType, r.scanType);
        EXPECT_EQ(seen.parameters.width, 13);
        EXPECT_EQ(seen.parameters.height, 7);
        EXPECT_EQ(seen.parameters.threshold, r.threshold);
        EXPECT_EQ(seen.parameters.cornerFit + seen.parameters.deskew + seen.parameters.orientationReport, 0);
        EXPECT_FALSE(seen.cornersGiven);
        // The input file: the page's top row stored first, its pixels blue, green, red.
        ASSERT_GE(seen.input.size(), 57u);
        EXPECT_EQ(Bytes(seen.input.begin() + 54, seen.input.begin() + 57), (Bytes{0x33, 0x22, 0x11}));
    }
    // The scan type of a page's depth.
    EXPECT_EQ(VdScnImgProcessor::GetSipScTp(static_cast<unsigned char>(1)), kSipScanMono);
    EXPECT_EQ(VdScnImgProcessor::GetSipScTp(static_cast<unsigned char>(8)), kSipScanTrueGray);
    EXPECT_EQ(VdScnImgProcessor::GetSipScTp(static_cast<unsigned char>(24)), kSipScanColor);
    EXPECT_EQ(VdScnImgProcessor::GetSipScTp(vscore::COLOR256), kSipScanColor);
}

TEST_F(Bridge, CornerFittingHandsOverTheCornersCountedFromTheBottom)
{
    Installed const fake(Script{});
    vscore::IMAGEPROC_4CORNERS const corners{true, true, {{10, 20}, {90, 21}, {11, 80}, {91, 81}}};
    unsigned int result = 1;
    std::unique_ptr<BitmapImage> page = VdScnImgProcessor().FitToCorners(
        FlatPage(ImageInfo(300, ImageInfo::TrueGray, 100, 100), 0x80), corners, result);
    EXPECT_EQ(result, 0u);
    ASSERT_TRUE(page);
    fake_scn_img_proc::Seen const seen = fake.Last();
    EXPECT_EQ(seen.parameters.scanType, kSipScanTrueGray);
    EXPECT_EQ(seen.parameters.cornerFit, 1);
    EXPECT_EQ(seen.parameters.deskew, 1);
    ASSERT_TRUE(seen.cornersGiven);
    EXPECT_EQ(seen.corners.topLeft.x, 11);
    EXPECT_EQ(seen.corners.topLeft.y, 20);
    EXPECT_EQ(seen.corners.topRight.x, 91);
    EXPECT_EQ(seen.corners.topRight.y, 19);
    EXPECT_EQ(seen.corners.bottomLeft.x, 10);
    EXPECT_EQ(seen.corners.bottomLeft.y, 80);
    EXPECT_EQ(seen.corners.bottomRight.x, 90);
    EXPECT_EQ(seen.corners.bottomRight.y, 79);

    // Without a fourth corner there is nothing to fit.
    std::unique_ptr<BitmapImage> unfitted = FlatPage(ImageInfo(300, ImageInfo::TrueGray, 100, 100), 0x80);
    BitmapImage const* same = unfitted.get();
    vscore::IMAGEPROC_4CORNERS const none{true, false, {{10, 20}, {90, 21}, {11, 80}, {0, 0}}};
    EXPECT_EQ(VdScnImgProcessor().FitToCorners(std::move(unfitted), none, result).get(), same);
    EXPECT_EQ(fake.Runs(), 1);
}

TEST_F(Bridge, OrientationDetectionReportsTheLibrarysFindingOnTheUprightPage)
{
    Script script;
    script.execCode = 11;
    script.orientation = kSipOrientation270;
    Installed const fake(script);
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 8, 6), 0xFF);
    SetPixel(*page, 0, 5, {0x01, 0x02, 0x03});
    BitmapImage const* same = page.get();
    unsigned int result = 1;
    EXPECT_EQ(VdScnImgProcessor().DetectOrientation(page, 9, result), vscore::IMAGEPROC_ORIENT_90);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(page.get(), same);
    fake_scn_img_proc::Seen const seen = fake.Last();
    EXPECT_EQ(seen.parameters.orientationReport, 1);
    EXPECT_EQ(seen.parameters.language, 9);
    EXPECT_EQ(seen.parameters.threshold, -1);
    // Written upright: the page's bottom row is the file's first.
    ASSERT_GE(seen.input.size(), 57u);
    EXPECT_EQ(Bytes(seen.input.begin() + 54, seen.input.begin() + 57), (Bytes{0x03, 0x02, 0x01}));

    for (auto const& [library, orientation] : {std::pair{kSipOrientationUndetermined, vscore::IMAGEPROC_ORIENT_NONE},
                                               {kSipOrientationUpright, vscore::IMAGEPROC_ORIENT_NONE},
                                               {kSipOrientation90, vscore::IMAGEPROC_ORIENT_270},
                                               {kSipOrientation180, vscore::IMAGEPROC_ORIENT_180},
                                               {kSipOrientation270, vscore::IMAGEPROC_ORIENT_90}}) {
        EXPECT_EQ(VdScnImgProcessor::ConvertOrientation(library), orientation) << library;
    }
}

TEST_F(Bridge, AFailedOrientationRunIsReported)
{
    Script script;
    script.execCode = 4;
    script.orientation = kSipOrientation180;
    Installed const fake(script);
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::TrueGray, 8, 6), 0xFF);
    unsigned int result = 0;
    VdScnImgProcessor().DetectOrientation(page, 0, result);
    EXPECT_EQ(result, 0x10702004u);
    ASSERT_TRUE(page);
}

}  // namespace
