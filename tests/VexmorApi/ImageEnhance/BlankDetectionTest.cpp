// Blank and colour detection: the detector's records, answers computed once
// and pages too small to analyse, through a seam that counts and answers the
// library's runs; and the 1-bit counter's limit, inset and byte rule.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EnhancePages.h"
#include "VexmorApi/ImageEnhance/BlankColorDetection.h"
#include "VexmorApi/ImageEnhance/BlankDetectionForMono.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

using enhance_pages::FlatPage;
using enhance_pages::SetPixel;
using vscore::BlankColorDetection;

// Answers every run with a chosen code and result, and keeps what it saw.
class ScriptedDetection : public BlankColorDetection {
public:
    using BlankColorDetection::BlankColorDetection;

    int32_t code = 0;
    tagVDIP_BLANKCOLOR_DETECTION_RESULT answer = VDIP_DETECTED_BLANK;
    int runs = 0;
    tagVDIP_INPUT_IMAGE_DATA input{};
    tagVDIP_BLANKCOLOR_DETECTION_SETTING setting{};

protected:
    int32_t RunAnalysis(tagVDIP_INPUT_IMAGE_DATA const& in, tagVDIP_BLANKCOLOR_DETECTION_SETTING const& s,
                        tagVDIP_BLANKCOLOR_DETECTION_RESULT* result) override
    {
        ++runs;
        input = in;
        setting = s;
        *result = answer;
        return code;
    }
};

std::vector<unsigned char> Pixels(uint32_t width, uint32_t height, unsigned bits)
{
    return std::vector<unsigned char>(ImageInfo::GetBytesPerRowFor4BytesAlignment(width, bits) * height, 0xFF);
}

vscore::IMAGEPROC_PARAMETER_ONLY_LEVEL const kBlank{1, 4};
vscore::IMAGEPROC_PARAMETER_ONLY_LEVEL const kNoBlank{0, 0};
BlankColorDetection::COLOR_PARAMETER const kColour{1, 2, 3};
BlankColorDetection::COLOR_PARAMETER const kNoColour{0, 0, 0};

TEST(BlankColorDetection, HandsThePageAndItsClampedSettingsToTheLibrary)
{
    std::vector<unsigned char> pixels = Pixels(301, 250, 24);
    ScriptedDetection d(pixels.data(), 301, 250, 24, 300, kBlank, kColour);
    EXPECT_EQ(d.GetMode(), 2);
    d.DetectBlank();
    EXPECT_EQ(d.input.pixels, pixels.data());
    EXPECT_EQ(d.input.width, 301u);
    EXPECT_EQ(d.input.stride, 904u);
    EXPECT_EQ(d.input.height, 250u);
    EXPECT_EQ(d.input.colorType, 1);
    EXPECT_EQ(d.input.bytesPerPixel, 3);
    tagVDIP_BLANKCOLOR_DETECTION_SETTING const& s = d.setting;
    EXPECT_EQ(s.mode, 2);
    EXPECT_EQ(s.xResolution, 300u);
    EXPECT_EQ(s.yResolution, 300u);
    EXPECT_EQ(s.blankIndex, 4u);
    EXPECT_EQ(s.colorIndex, 2u);
    EXPECT_EQ(s.grayIndex, 3u);
    for (uint32_t margin : {s.marginTop, s.marginRight, s.marginLeft, s.marginBottom}) {
        EXPECT_EQ(margin, 100u);
    }

    std::vector<unsigned char> gray = Pixels(250, 250, 8);
    ScriptedDetection g(gray.data(), 250, 250, 8, 300, kNoBlank, kColour);
    EXPECT_EQ(g.GetMode(), 1);
    g.DetectColor();
    EXPECT_EQ(g.input.stride, 252u);
    EXPECT_EQ(g.input.colorType, 6);
    EXPECT_EQ(g.input.bytesPerPixel, 1);
    ScriptedDetection b(gray.data(), 250, 250, 8, 300, kBlank, kNoColour);
    EXPECT_EQ(b.GetMode(), 0);

    // Levels beyond the library's tables (0 to 10) are clamped.
    ScriptedDetection clamped(gray.data(), 250, 250, 8, 300, {1, 11}, {1, 10, 255});
    clamped.DetectBlank();
    EXPECT_EQ(clamped.setting.blankIndex, 10u);
    EXPECT_EQ(clamped.setting.colorIndex, 10u);
    EXPECT_EQ(clamped.setting.grayIndex, 10u);
}

TEST(BlankColorDetection, EachAnswerRunsTheAnalysisOnce)
{
    std::vector<unsigned char> pixels = Pixels(248, 248, 24);
    ScriptedDetection both(pixels.data(), 248, 248, 24, 300, kBlank, kColour);
    both.answer = VDIP_DETECTED_GRAY;
    EXPECT_FALSE(both.DetectBlank());
    EXPECT_EQ(both.DetectColor(), vscore::DETECTED_COLOR_GRAY);
    EXPECT_EQ(both.runs, 2);
    both.answer = VDIP_DETECTED_BLANK;
    EXPECT_FALSE(both.DetectBlank());
    EXPECT_EQ(both.DetectColor(), vscore::DETECTED_COLOR_GRAY);
    EXPECT_EQ(both.runs, 2);

    // An answer the mode does not ask for is given without a run.
    ScriptedDetection blankOnly(pixels.data(), 248, 248, 24, 300, kBlank, kNoColour);
    EXPECT_EQ(blankOnly.DetectColor(), vscore::DETECTED_COLOR_NONE);
    EXPECT_TRUE(blankOnly.DetectBlank());
    ScriptedDetection colourOnly(pixels.data(), 248, 248, 24, 300, kNoBlank, kColour);
    EXPECT_FALSE(colourOnly.DetectBlank());
    EXPECT_EQ(blankOnly.runs + colourOnly.runs, 1);

    // Results outside the colour kinds are none.
    for (auto const& [answer, colour] : {std::pair{VDIP_DETECTED_BLANK, vscore::DETECTED_COLOR_NONE},
                                         {VDIP_DETECTED_NONE, vscore::DETECTED_COLOR_NONE},
                                         {VDIP_DETECTED_MONO, vscore::DETECTED_COLOR_BLACKWHITE},
                                         {VDIP_DETECTED_COLOR, vscore::DETECTED_COLOR_COLOR}}) {
        ScriptedDetection d(pixels.data(), 248, 248, 24, 300, kNoBlank, kColour);
        d.answer = answer;
        EXPECT_EQ(d.DetectColor(), colour) << answer;
    }
}

TEST(BlankColorDetection, PagesBelowTheLeastSizeAreColourAndNeverBlankWithoutARun)
{
    // At 300 dpi with margins of 100: 18 + 2 + 2 x 114 = 248 pixels per axis.
    struct Size {
        uint32_t width;
        uint32_t height;
        unsigned short dpi;
        bool analysed;
    };
    Size const kSizes[] = {{247, 600, 300, false},  {600, 247, 300, false}, {248, 248, 300, true},
                           {495, 2000, 600, false}, {496, 496, 600, true},  {81, 81, 100, false},
                           {82, 82, 100, true}};
    for (Size const& s : kSizes) {
        std::vector<unsigned char> pixels = Pixels(s.width, s.height, 8);
        ScriptedDetection d(pixels.data(), s.width, s.height, 8, s.dpi, kBlank, kColour);
        bool const blank = d.DetectBlank();
        vscore::DETECTED_COLOR const colour = d.DetectColor();
        EXPECT_EQ(d.runs, s.analysed ? 2 : 0) << s.width << "x" << s.height << " at " << s.dpi;
        if (!s.analysed) {
            EXPECT_FALSE(blank);
            EXPECT_EQ(colour, vscore::DETECTED_COLOR_COLOR);
        }
    }
}

void ExpectThrow(std::function<void()> const& action, Exception::Type type, std::string const& message,
                 std::string const& function)
{
    enhance_pages::ExpectTrace(action, type, message, "VexmorApi/ImageEnhance/BlankColorDetection", function);
}

TEST(BlankColorDetection, FailuresThrowWithTheirTexts)
{
    std::vector<unsigned char> pixels = Pixels(300, 300, 24);
    for (auto const& [code, type] : {std::pair{3, Exception::FailedToAllocateMemory},
                                     {4, Exception::Other},
                                     {5, Exception::Other},
                                     {6, Exception::Other},
                                     {-1, Exception::Other}}) {
        ExpectThrow(
            [&, code = code] {
                ScriptedDetection d(pixels.data(), 300, 300, 24, 300, kBlank, kColour);
                d.code = code;
                d.DetectBlank();
            },
            type, "Failed to BlankColorDetection", "Perform");
    }
    ExpectThrow([&] { BlankColorDetection(nullptr, 300, 300, 24, 300, kBlank, kColour); }, Exception::InvalidArgument,
                "image is nullptr.", "BlankColorDetection");
    for (unsigned char bits : {1, 16, 32}) {
        ExpectThrow([&] { BlankColorDetection(pixels.data(), 300, 300, bits, 300, kBlank, kColour); },
                    Exception::InvalidArgument, "color type is not 24bit color or true gray.", "BlankColorDetection");
    }
    ExpectThrow([&] { BlankColorDetection(pixels.data(), 300, 300, 24, 300, kNoBlank, kNoColour); },
                Exception::InvalidArgument, "invalid detection mode.", "CreateParameters");
}

TEST(BlankColorDetection, TheLibraryFindsAWhitePageBlankAndARedPatchColour)
{
    std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::Color, 600, 600), 0xFF);
    EXPECT_TRUE(BlankColorDetection(page->GetPixelsPointer(), 600, 600, 24, 300, kBlank, kColour).DetectBlank());
    for (uint32_t y = 150; y < 450; ++y) {
        for (uint32_t x = 150; x < 450; ++x) {
            SetPixel(*page, x, y, {0xFF, 0x00, 0x00});
        }
    }
    BlankColorDetection patched(page->GetPixelsPointer(), 600, 600, 24, 300, kBlank, kColour);
    EXPECT_FALSE(patched.DetectBlank());
    EXPECT_EQ(patched.DetectColor(), vscore::DETECTED_COLOR_COLOR);
}

// ---- 1-bit pages

std::unique_ptr<BitmapImage> MonoPage(unsigned short dpi, uint32_t width, uint32_t height)
{
    return FlatPage(ImageInfo(dpi, ImageInfo::BlackAndWhite, width, height), 0xFF);
}

// Makes count pixels dark, row by row from (x0, y0) on, each row holding the
// columns x0 .. x1 - 1.
void Darken(BitmapImage& page, uint32_t count, uint32_t x0, uint32_t y0, uint32_t x1)
{
    for (uint32_t i = 0, x = x0, y = y0; i < count; ++i) {
        SetPixel(page, x, y, {0});
        if (++x == x1) {
            x = x0;
            ++y;
        }
    }
}

TEST(BlankDetectionForMono, CountsDarkPixelsInsideTheInsetAgainstTheLimit)
{
    // 300 dpi: limit 450, inset 48; the area is rows and columns 48 .. size - 49.
    for (auto const& [dark, blank] : {std::pair{450u, true}, {451u, false}}) {
        std::unique_ptr<BitmapImage> page = MonoPage(300, 400, 300);
        Darken(*page, dark, 48, 48, 352);
        EXPECT_EQ(BlankDetectionForMono::Detect(page), blank) << dark;
    }
    // The same amount at the far edges of the area counts too.
    std::unique_ptr<BitmapImage> corner = MonoPage(300, 400, 300);
    Darken(*corner, 451, 344, 195, 352);
    EXPECT_FALSE(BlankDetectionForMono::Detect(corner));

    // Dark borders outside the area are ignored, all round.
    std::unique_ptr<BitmapImage> border = MonoPage(300, 400, 300);
    for (uint32_t y = 0; y < 300; ++y) {
        for (uint32_t x = 0; x < 400; ++x) {
            if (y < 48 || y >= 252 || x < 48 || x >= 352) {
                SetPixel(*border, x, y, {0});
            }
        }
    }
    EXPECT_TRUE(BlankDetectionForMono::Detect(border));
}

TEST(BlankDetectionForMono, ADarkByteCountsByItsFirstColumn)
{
    // 240 dpi: inset 38 (not a byte boundary), limit 288.
    std::unique_ptr<BitmapImage> page = MonoPage(240, 300, 300);
    // Columns 38 and 39 lie in the area but their byte starts at column 32.
    for (uint32_t y = 38; y < 262; ++y) {
        SetPixel(*page, 38, y, {0});
        SetPixel(*page, 39, y, {0});
    }
    EXPECT_TRUE(BlankDetectionForMono::Detect(page));
    // A byte starting at column 40 counts all its dark bits.
    Darken(*page, 289, 40, 38, 48);
    EXPECT_FALSE(BlankDetectionForMono::Detect(page));
}

TEST(BlankDetectionForMono, APageWithoutCountedAreaIsNotBlank)
{
    for (auto const& [width, height] : {std::pair{96u, 400u}, {400u, 96u}, {1u, 1u}}) {
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, ImageInfo::BlackAndWhite, width, height), 0x00);
        EXPECT_FALSE(BlankDetectionForMono::Detect(page)) << width << "x" << height;
    }
    std::unique_ptr<BitmapImage> white = MonoPage(300, 97, 97);
    EXPECT_TRUE(BlankDetectionForMono::Detect(white));
}

TEST(BlankDetectionForMono, RefusesOtherDepths)
{
    for (ImageInfo::ColorType type : {ImageInfo::TrueGray, ImageInfo::Color}) {
        std::unique_ptr<BitmapImage> page = FlatPage(ImageInfo(300, type, 300, 300), 0xFF);
        enhance_pages::ExpectTrace([&] { BlankDetectionForMono::Detect(page); }, Exception::InvalidArgument,
                                   "Cannot detect non-monochrome image", "VexmorApi/ImageEnhance/BlankDetectionForMono",
                                   "Detect");
    }
}

}  // namespace
