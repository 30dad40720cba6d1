// The enhancement of whole pages: the colour decisions with their log lines,
// fitting and lengthening against per-pixel references, turns, failures
// and their exception types, and synthetic 300 dpi pages through the real
// image-processing library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "EnhancePages.h"
#include "FakeScnImgProc.h"
#include "ScratchDir.h"
#include "VexmorApi/ImageEnhance/ImageEnhance.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

using enhance_pages::ExpectTrace;
using enhance_pages::FlatPage;
using enhance_pages::MakePage;
using enhance_pages::PixelAt;
using enhance_pages::SetPixel;
using enhance_pages::White;
using vscore::_IMAGEPROC_PARAM;
using vscore::CImageEnhance;

// The engine's logs on at their most detailed level, in a private home
// folder set before the first line is written.
class LogOn : public ::testing::Environment {
public:
    void SetUp() override
    {
        home_ = std::make_unique<ScratchDir>();
        home_->Write("VdSetupLog.txt", "LogLevel=3\n");
        setenv("HOME", home_->Path().c_str(), 1);
    }
    void TearDown() override { home_.reset(); }
    static std::string EnhanceLog() { return *home_ / "VdOutLog/ImageEnhanceLog.kmy"; }

private:
    static std::unique_ptr<ScratchDir> home_;
};
std::unique_ptr<ScratchDir> LogOn::home_;
::testing::Environment* const kLogOn = ::testing::AddGlobalTestEnvironment(new LogOn);

// The enhancement log's lines written since construction.
class LogTail {
public:
    LogTail() : start_(ScratchDir::Read(LogOn::EnhanceLog()).size()) {}
    std::string Text() const { return ScratchDir::Read(LogOn::EnhanceLog()).substr(start_); }

private:
    size_t start_;
};

// clang-format off
struct ColourCase {
    vscore::IMAGEPROC_USER_COLORTYPE user;
    vscore::DETECTED_COLOR detected;
    unsigned char bits;
    vscore::IMAGEPROC_THRESHOLD_MODE thresholdMode;
    bool convert;
    vscore::COLORTYPE target;
    int32_t value;
    char const* message;  // "" for none
};
ColourCase const kColourCases[] = {
    {vscore::IMAGEPROC_USER_AUTOCOLOR, vscore::DETECTED_COLOR_BLACKWHITE, 24, vscore::IMAGEPROC_THRESHOLD_USER, true, vscore::BLACKWHITE, 128,
     "Convert to blackwhtie in auto color ( binarythreshold [static] = 128 )"},
    {vscore::IMAGEPROC_USER_AUTOCOLOR, vscore::DETECTED_COLOR_GRAY, 8, vscore::IMAGEPROC_THRESHOLD_STATIC, true, vscore::TRUEGRAY, -1,
     "Convert to truegray in auto color ( value [static] = -1 )"},
    {vscore::IMAGEPROC_USER_AUTOCOLOR, vscore::DETECTED_COLOR_COLOR, 24, vscore::IMAGEPROC_THRESHOLD_STATIC, false, vscore::AUTOCOLOR, 0, ""},
    {vscore::IMAGEPROC_USER_AUTOCOLOR, vscore::DETECTED_COLOR_NONE, 24, vscore::IMAGEPROC_THRESHOLD_STATIC, false, vscore::AUTOCOLOR, 0, ""},
    {vscore::IMAGEPROC_USER_BLACKWHITE, vscore::DETECTED_COLOR_NONE, 24, vscore::IMAGEPROC_THRESHOLD_USER, true, vscore::BLACKWHITE, 77,
     "Convert to blackwhtie in user select color ( binarythreshold [UI] = 77 )"},
    {vscore::IMAGEPROC_USER_BLACKWHITE, vscore::DETECTED_COLOR_GRAY, 8, vscore::IMAGEPROC_THRESHOLD_STATIC, true, vscore::BLACKWHITE, 128,
     "Convert to blackwhtie in user select color ( binarythreshold [static] = 128 )"},
    {vscore::IMAGEPROC_USER_BLACKWHITE, vscore::DETECTED_COLOR_NONE, 1, static_cast<vscore::IMAGEPROC_THRESHOLD_MODE>(1), false, vscore::BLACKWHITE, 0, ""},
    {vscore::IMAGEPROC_USER_ERRDIFFUSION, vscore::DETECTED_COLOR_NONE, 8, vscore::IMAGEPROC_THRESHOLD_USER, true, vscore::ERRDIFFUSION, -1,
     "Convert to errordifusion in user select color ( value [static] = -1 )"},
    {vscore::IMAGEPROC_USER_ERRDIFFUSION, vscore::DETECTED_COLOR_NONE, 1, vscore::IMAGEPROC_THRESHOLD_USER, false, vscore::ERRDIFFUSION, -1,
     "Convert to errordifusion in user select color ( value [static] = -1 )"},
    {vscore::IMAGEPROC_USER_TRUEGRAY, vscore::DETECTED_COLOR_NONE, 24, vscore::IMAGEPROC_THRESHOLD_USER, true, vscore::TRUEGRAY, -1,
     "Convert to truegray in user select color ( value [static] = -1 )"},
    {vscore::IMAGEPROC_USER_TRUEGRAY, vscore::DETECTED_COLOR_COLOR, 8, vscore::IMAGEPROC_THRESHOLD_USER, false, vscore::TRUEGRAY, -1,
     "Convert to truegray in user select color ( value [static] = -1 )"},
    {vscore::IMAGEPROC_USER_COLOR24BIT, vscore::DETECTED_COLOR_GRAY, 24, vscore::IMAGEPROC_THRESHOLD_USER, false, vscore::AUTOCOLOR, 0,
     "Not convert color"},
};
// clang-format on

TEST(CImageEnhance, ColourDecisionsAndTheirLogLines)
{
    for (ColourCase const& c : kColourCases) {
        _IMAGEPROC_PARAM p;
        p.userColorType = c.user;
        p.detectedColorType = c.detected;
        p.monoThresholdMode = c.thresholdMode;
        p.monoThresholdLevel = 77;
        EXPECT_EQ(CImageEnhance::ShouldConvertColor(c.user, c.detected, c.bits), c.convert)
            << c.user << "/" << c.detected << "/" << int{c.bits};
        LogTail const log;
        vscore::COLOR_CONVERT_PARAMETER const convert = CImageEnhance::CreateColorConvertParameter(p);
        EXPECT_EQ(convert.colorType, c.target) << c.user << "/" << c.detected;
        EXPECT_EQ(convert.value, c.value) << c.user << "/" << c.detected;
        std::string const text = log.Text();
        if (*c.message != '\0') {
            EXPECT_NE(text.find(std::string(c.message) + "\n"), std::string::npos) << text;
        } else {
            EXPECT_EQ(text.find("onvert"), std::string::npos) << text;
        }
    }
}

// Parameters that leave colour alone and detect nothing.
_IMAGEPROC_PARAM KeepColour()
{
    _IMAGEPROC_PARAM p;
    p.userColorType = vscore::IMAGEPROC_USER_COLOR24BIT;
    return p;
}

TEST(CImageEnhance, FittingAddsOrCutsColumnsByThePaperPosition)
{
    struct Fit {
        vscore::IMAGEPROC_PAPER_POSITION position;
        int32_t widthChange;  // target - page width
        uint32_t left;        // columns added (or cut) on the left
    };
    Fit const kFits[] = {
        {vscore::IMAGEPROC_PAPER_CENTER, 101, 50}, {vscore::IMAGEPROC_PAPER_LEFT, 101, 0},
        {vscore::IMAGEPROC_PAPER_RIGHT, 101, 101}, {static_cast<vscore::IMAGEPROC_PAPER_POSITION>(7), 101, 50},
        {vscore::IMAGEPROC_PAPER_CENTER, -9, 4},   {vscore::IMAGEPROC_PAPER_LEFT, -9, 0},
        {vscore::IMAGEPROC_PAPER_RIGHT, -9, 9}};
    for (ImageInfo::ColorType type : {ImageInfo::Color, ImageInfo::BlackAndWhite}) {
        for (Fit const& f : kFits) {
            ImageInfo const info(300, type, 60, 8);
            std::unique_ptr<BitmapImage> original = MakePage(info, info.GetBytesPerRowFor4BytesAlignment(), 4);
            std::unique_ptr<BitmapImage> page = MakePage(info, info.GetBytesPerRowFor4BytesAlignment(), 4);
            _IMAGEPROC_PARAM p = KeepColour();
            p.outputSizeGiven = true;
            p.outputSize = {static_cast<uint32_t>(60 + f.widthChange), 8};
            p.paperPosition = f.position;
            CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
            ASSERT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, type, 60 + f.widthChange, 8)));
            for (uint32_t y = 0; y < 8; ++y) {
                for (uint32_t x = 0; x < page->GetImageInfo().GetWidth(); ++x) {
                    if (f.widthChange > 0) {
                        bool const inside = x >= f.left && x < f.left + 60;
                        ASSERT_EQ(PixelAt(*page, x, y),
                                  inside ? PixelAt(*original, x - f.left, y) : White(info.GetBitsPerPixel()))
                            << type << " position " << f.position << " at " << x << "," << y;
                    } else {
                        ASSERT_EQ(PixelAt(*page, x, y), PixelAt(*original, x + f.left, y))
                            << type << " position " << f.position << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(CImageEnhance, FittingCutsLongPagesAtTheBottomAndLengthensShortOnesOnlyWhenAsked)
{
    struct Length {
        uint32_t target;
        bool append;
        uint32_t rows;  // after the enhancement
    };
    Length const kLengths[] = {{30, false, 30}, {30, true, 30}, {60, false, 40}, {60, true, 60}, {40, false, 40}};
    for (Length const& l : kLengths) {
        ImageInfo const info(300, ImageInfo::TrueGray, 12, 40);
        std::unique_ptr<BitmapImage> original = MakePage(info, 12, 6);
        std::unique_ptr<BitmapImage> page = MakePage(info, 12, 6);
        _IMAGEPROC_PARAM p = KeepColour();
        p.outputSizeGiven = true;
        p.outputSize = {12, l.target};
        p.appendLength = l.append;
        p.lengthToAppend = l.target;
        CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
        ASSERT_EQ(page->GetImageInfo().GetHeight(), l.rows) << l.target << " append " << l.append;
        for (uint32_t y = 0; y < l.rows; ++y) {
            for (uint32_t x = 0; x < 12; ++x) {
                ASSERT_EQ(PixelAt(*page, x, y), y < 40 ? PixelAt(*original, x, y) : White(8)) << x << "," << y;
            }
        }
    }
}

TEST(CImageEnhance, TurnsByTheOrientationAndLeavesOthersUnturned)
{
    for (auto const& [orientation, turned] : {std::pair{vscore::IMAGEPROC_ORIENT_90, true},
                                              {vscore::IMAGEPROC_ORIENT_270, true},
                                              {vscore::IMAGEPROC_ORIENT_180, false},
                                              {vscore::IMAGEPROC_ORIENT_NONE, false},
                                              {vscore::IMAGEPROC_ORIENT_AUTO, false}}) {
        std::unique_ptr<BitmapImage> page = MakePage(ImageInfo(300, ImageInfo::Color, 30, 20), 92, 1);
        BitmapImage const* same = page.get();
        _IMAGEPROC_PARAM p = KeepColour();
        p.orientation = orientation;
        CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
        EXPECT_EQ(page->GetImageInfo().GetWidth(), turned ? 20u : 30u) << orientation;
        if (orientation == vscore::IMAGEPROC_ORIENT_NONE || orientation == vscore::IMAGEPROC_ORIENT_AUTO) {
            EXPECT_EQ(page.get(), same) << orientation;
        }
    }
}

TEST(CImageEnhance, EdgeFillRunsLastOnTheFinishedPage)
{
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 20, 10), 0x80);
    _IMAGEPROC_PARAM p = KeepColour();
    p.orientation = vscore::IMAGEPROC_ORIENT_90;  // 10 x 20 after the turn
    p.edgeFill = {true, true, {3, 0, 0, 0, vscore::PIXEL}};
    CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
    for (uint32_t y = 0; y < 20; ++y) {
        for (uint32_t x = 0; x < 10; ++x) {
            ASSERT_EQ(PixelAt(*page, x, y), enhance_pages::Bytes(3, x < 3 ? 0x00 : 0x80)) << x << "," << y;
        }
    }
}

TEST(CImageEnhance, FailedTurnsAndDetectionOfOneBitPagesThrow)
{
    // A page whose rows cannot be turned throws; it never comes back empty.
    _IMAGEPROC_PARAM turn = KeepColour();
    turn.orientation = vscore::IMAGEPROC_ORIENT_90;
    std::unique_ptr<BitmapImage> hollow = std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::Color, 30, 20));
    ExpectTrace([&] { CImageEnhance::EnhanceImageQualityFromScanImage(hollow, turn); }, Exception::Other,
                "Failed to rotate image.");

    _IMAGEPROC_PARAM blank = KeepColour();
    blank.blankRemove = {1, 5};
    std::unique_ptr<BitmapImage> mono = FlatPage(ImageInfo(300, ImageInfo::BlackAndWhite, 300, 300), 0xFF);
    ExpectTrace([&] { CImageEnhance::EnhanceImageQualityFromScanImage(mono, blank); }, Exception::InvalidArgument,
                "color type is not 24bit color or true gray.");
    std::unique_ptr<BitmapImage> none;
    EXPECT_THROW(CImageEnhance::EnhanceImageQualityFromScanImage(none, blank), TraceException);
}

TEST(CImageEnhance, ResultCodesGiveTheirExceptionTypes)
{
    // clang-format off
    std::pair<VSRSLT, Exception::Type> const kTable[] = {
        {0x10701002, Exception::FailedToAllocateMemory}, {0x30702002, Exception::FailedToAllocateMemory},
        {0x8070200A, Exception::FailedToAllocateMemory},
        {0x10701004, Exception::InvalidArgument}, {0x10702004, Exception::InvalidArgument},
        {0x10702005, Exception::InvalidArgument},
        {0x80702007, Exception::FailedToOperateFile}, {0xA0702006, Exception::FailedToOperateFile},
        {0xA070200C, Exception::FailedToOperateFile}, {0xA070200E, Exception::FailedToOperateFile},
        {0xB0702003, Exception::FailedToOperateFile},
        {0x10702001, Exception::Other}, {0x2070200D, Exception::Other}, {0x10702009, Exception::Other},
    };
    // clang-format on
    for (auto const& [code, type] : kTable) {
        EXPECT_EQ(CImageEnhance::ConvertToExceptionType(code), type) << std::hex << code;
    }
}

TEST(CImageEnhance, AFailedColourReductionThrowsFromItsFixedSite)
{
    // The library's code, and the type that the page's failure carries.
    std::pair<int, Exception::Type> const kAnswers[] = {
        {2, Exception::FailedToAllocateMemory},
        {3, Exception::FailedToOperateFile},
        {4, Exception::InvalidArgument},
        {5, Exception::InvalidArgument},
        {6, Exception::FailedToOperateFile},
        {7, Exception::FailedToOperateFile},
        {8, Exception::Other},
        {10, Exception::FailedToAllocateMemory},
    };
    for (auto const& [code, type] : kAnswers) {
        fake_scn_img_proc::Script script;
        script.execCode = code;
        fake_scn_img_proc::Installed const fake(script);
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 40, 30), 0x40);
        _IMAGEPROC_PARAM p;
        p.userColorType = vscore::IMAGEPROC_USER_TRUEGRAY;
        p.orientation = vscore::IMAGEPROC_ORIENT_90;
        try {
            CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
            ADD_FAILURE() << "no exception for " << code;
        } catch (TraceException const& e) {
            EXPECT_EQ(e.GetType(), type) << code;
            EXPECT_EQ(e.GetMessage(), "Failed to Image Enhance.");
            EXPECT_EQ(e.GetFileName(), "VexmorApi/ImageEnhance/ImageEnhance");
            EXPECT_EQ(e.GetFunctionName(), "EnhanceImageQualityFromScanImage");
            EXPECT_EQ(e.GetLineNumber(), 152u);
        }
        // Neither fitted nor turned: the input page is all that is left.
        ASSERT_TRUE(page);
        EXPECT_EQ(page->GetImageInfo().GetWidth(), 40u);
    }
}

// ---- end to end through the image-processing library

// A 300 dpi letter-width strip (600 x 600 keeps the runs short).
std::unique_ptr<BitmapImage> Page300(unsigned char level)
{
    return FlatPage(ImageInfo(300, ImageInfo::Color, 600, 600), level);
}

TEST(CImageEnhance, AutomaticColourOfAGrayPageGivesAnEightBitPage)
{
    std::unique_ptr<BitmapImage> page = Page300(0x80);
    _IMAGEPROC_PARAM p;  // automatic colour, nothing detected by the device
    CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(300, ImageInfo::TrueGray, 600, 600)));
    EXPECT_EQ(PixelAt(*page, 300, 300), enhance_pages::Bytes{0x80});
}

TEST(CImageEnhance, ABlankPageLeavesAnEmptyPointer)
{
    std::unique_ptr<BitmapImage> page = Page300(0xFF);
    _IMAGEPROC_PARAM p;
    p.blankRemove = {1, 5};
    CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
    EXPECT_FALSE(page);
}

// Light gray text lines on white: the library sees marks, binarisation at
// 128 does not.
std::unique_ptr<BitmapImage> LightlyMarkedPage()
{
    std::unique_ptr<BitmapImage> page = Page300(0xFF);
    for (uint32_t y = 100; y < 500; y += 60) {
        for (uint32_t row = y; row < y + 24; ++row) {
            for (uint32_t x = 100; x < 500; ++x) {
                SetPixel(*page, x, row, {0xC8, 0xC8, 0xC8});
            }
        }
    }
    return page;
}

TEST(CImageEnhance, LightMarksThatBinariseToWhiteMakeTheMonoCheckDropThePage)
{
    std::unique_ptr<BitmapImage> page = LightlyMarkedPage();
    _IMAGEPROC_PARAM p;
    p.userColorType = vscore::IMAGEPROC_USER_BLACKWHITE;
    p.blankRemove = {1, 5};
    {
        // Without blank detection the same page comes back binarised.
        std::unique_ptr<BitmapImage> kept = LightlyMarkedPage();
        _IMAGEPROC_PARAM keep = p;
        keep.blankRemove = {0, 0};
        CImageEnhance::EnhanceImageQualityFromScanImage(kept, keep);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->GetBitsPerPixel(), 1u);
        EXPECT_EQ(PixelAt(*kept, 300, 110), enhance_pages::Bytes{1});
    }
    LogTail const log;
    CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
    EXPECT_FALSE(page);
    std::string const text = log.Text();
    // Not blank to the library's analysis; blank once binarised.
    EXPECT_NE(text.find("color convert result: 0x00000000"), std::string::npos) << text;
    EXPECT_NE(text.find("This page is blank"), std::string::npos) << text;
}

}  // namespace
