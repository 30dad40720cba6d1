// The analysis class: its row-by-row path gives its in-memory answers and
// reads each row once per pass in file order; where it differs from the
// in-memory functions; its failure codes.
#include <gtest/gtest.h>

#include "imagelib/VdScnImgAna.h"
#include "tests/imagelib/DetectionSupport.h"
#include "tests/support/sip_images/FakeSipImgData.h"

namespace {

using sippages::FakeSipImgData;
using sippages::Page;

// The settings the detection entry point builds at sensitivity 0.
const tagSIPDETECTBLANKSETTING kBlank{300, 18, 18, 2, 9000, 9999, 9970, 9000, 9999, 9970, 48};
const tagSIPDETECTCOLORTYPESETTING kColor{300, 18,  18, 2,   9700, 9700, 116,  139,
                                          116, 139, 90, 180, 4000, 1600, 1600, 12};

// The corners the entry point derives from margins of 100/1000 mm at 300 dpi.
tagSIPPAPERCORNERS Corners(const Page& page)
{
    const int32_t right = int32_t(page.width) - 2, bottom = int32_t(page.height) - 2;
    return {{1, 1}, {right, 1}, {1, bottom}, {right, bottom}};
}

int32_t Bits(const Page& page) { return page.bytesPerPixel == 0 ? 1 : page.bytesPerPixel * 8; }

struct Answer {
    int32_t code;
    int32_t result;
    bool operator==(const Answer& o) const { return code == o.code && result == o.result; }
};

Answer RunClass(FakeSipImgData& image, const Page& page, int32_t mode)
{
    CVdScnImgAna analysis;
    const tagSIPPAPERCORNERS corners = Corners(page);
    int32_t result = 99;
    const int32_t code = analysis.AnalyzeComponent(&image, mode, &result, &corners, &kBlank, &kColor);
    return {code, result};
}

FakeSipImgData Image(const Page& page, bool pageAccess, int32_t zeroIsWhite = 0)
{
    const tagSIPIMAGEINFO info{int32_t(page.width), int32_t(page.height), Bits(page), 11811, 11811, 0, zeroIsWhite};
    return FakeSipImgData(info, page.pixels, pageAccess);
}

std::vector<std::pair<const char*, Page>> SymmetricPages()
{
    std::vector<std::pair<const char*, Page>> pages;
    pages.emplace_back("white", sippages::Colour(700, 900, 255, 255, 255));
    Page text = sippages::Colour(700, 900, 255, 255, 255);
    sippages::TextBlocks(text, 300, 3);
    pages.emplace_back("text", text);
    Page red = text;
    sippages::Fill(red, 100, 150, 600, 750, 0, 0, 255);
    pages.emplace_back("text and a large red patch", red);
    pages.emplace_back("flat gray", sippages::Colour(700, 900, 128, 128, 128));
    pages.emplace_back("light blue background", sippages::Colour(700, 900, 255, 200, 160));
    Page gray = sippages::Gray(700, 900, 255);
    sippages::TextBlocks(gray, 300, 5);
    pages.emplace_back("8-bit text", gray);
    Page mono = sippages::Mono(700, 900, true);
    sippages::TextBlocks(mono, 300, 9);
    pages.emplace_back("1-bit text", mono);
    return pages;
}

TEST(ImageAnalysisClass, RowByRowGivesTheInMemoryAnswersReadingEachRowOncePerPass)
{
    for (auto& [what, page] : SymmetricPages()) {
        for (int32_t mode : {0, 1, 2}) {
            FakeSipImgData memory = Image(page, true);
            FakeSipImgData file = Image(page, false);
            const Answer inMemory = RunClass(memory, page, mode);
            const Answer rowByRow = RunClass(file, page, mode);
            EXPECT_TRUE(inMemory == rowByRow)
                << what << " mode " << mode << ": " << inMemory.result << " vs " << rowByRow.result;
            EXPECT_EQ(memory.Opens(), 0);
            EXPECT_EQ(file.Opens(), file.Closes()) << what;
            // The last pass read rows from the bottom up, each once.
            const std::vector<int64_t>& rows = file.RowsOfLastPass();
            for (size_t i = 0; i < rows.size(); ++i)
                ASSERT_EQ(rows[i], int64_t(page.height) - 1 - int64_t(i)) << what;
        }
    }
}

TEST(ImageAnalysisClass, AnswersTheInMemoryFunctionsOnSymmetricPages)
{
    for (auto& [what, page] : SymmetricPages()) {
        if (page.bytesPerPixel == 0)
            continue;  // the entry point takes no 1-bit pages
        for (uint8_t mode : {0, 1, 2}) {
            FakeSipImgData image = Image(page, true);
            const Answer byClass = RunClass(image, page, mode);
            detection::Setting s;
            s.mode = mode;
            const auto [code, result] = detection::Detect(page, s);
            EXPECT_EQ(byClass.result, result) << what << " mode " << int(mode);
            // An 8-bit page in a colour mode: 4 from both.
            EXPECT_EQ(byClass.code, code) << what << " mode " << int(mode);
        }
    }
}

// A small red patch among few text cells: in memory the colour ratio counts
// the classified cells only, the class every cell of the grid.
TEST(ImageAnalysisClass, ColourRatioCountsEveryCellOfTheGrid)
{
    Page page = sippages::Colour(700, 900, 255, 255, 255);
    sippages::Fill(page, 300, 300, 360, 360, 0, 0, 255);
    for (uint32_t x : {150u, 450u})
        sippages::Checker(page, x, 500, x + 60, 560);
    detection::Setting s;
    EXPECT_EQ(detection::Detect(page, s), std::make_pair(0, 3));
    FakeSipImgData image = Image(page, true);
    EXPECT_TRUE(RunClass(image, page, 2) == (Answer{0, 1}));
}

TEST(ImageAnalysisClass, ReportsFailuresAndClosesTheFile)
{
    Page page = sippages::Colour(400, 400, 255, 255, 255);
    {
        FakeSipImgData file = Image(page, false);
        file.FailReadsAfter(150);
        EXPECT_TRUE(RunClass(file, page, 0) == (Answer{1, 0}));
        EXPECT_EQ(file.Opens(), 1);
        EXPECT_EQ(file.Closes(), 1);
    }
    {
        FakeSipImgData file = Image(page, false);
        file.FailOpen(6);
        EXPECT_TRUE(RunClass(file, page, 2) == (Answer{6, 0}));
    }
    Page gray = sippages::Gray(400, 400, 255);
    FakeSipImgData grayImage = Image(gray, true);
    EXPECT_TRUE(RunClass(grayImage, gray, 1) == (Answer{4, 0})) << "colour needs 24 bits";
    FakeSipImgData deep({400, 400, 32, 11811, 11811, 0, 0}, {}, true);
    EXPECT_TRUE(RunClass(deep, page, 0) == (Answer{4, 0}));
    FakeSipImgData image = Image(page, true);
    EXPECT_TRUE(RunClass(image, page, 3) == (Answer{5, 0}));
    CVdScnImgAna analysis;
    int32_t result;
    const tagSIPPAPERCORNERS corners = Corners(page);
    EXPECT_EQ(analysis.AnalyzeComponent(nullptr, 0, &result, &corners, &kBlank, &kColor), 5);
    EXPECT_EQ(analysis.AnalyzeComponent(&image, 0, &result, nullptr, &kBlank, &kColor), 5);
}

// Pages narrower than two skip distances and a cell have no analysis area:
// the in-memory functions say 6, the class 1; both leave the result 0.
TEST(ImageAnalysisClass, SkipBeyondHalfThePageLeavesNoArea)
{
    Page page = sippages::Colour(245, 600, 255, 255, 255);
    EXPECT_EQ(detection::Detect(page, {}), std::make_pair(6, 0));
    for (bool pageAccess : {true, false}) {
        FakeSipImgData image = Image(page, pageAccess);
        EXPECT_TRUE(RunClass(image, page, 2) == (Answer{1, 0}));
    }
}

}  // namespace
