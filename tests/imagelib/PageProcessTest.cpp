// The page processing object on BMP files in a scratch folder: blank pages,
// pages that need no change, error diffusion read back by bmptopnm and
// Pillow, trimming and deskewing from paper corners, the depth of automatic
// colour, the open state, the orientation and show-through adapters (with
// the stand-ins and with doubles of the components), row-by-row images with
// their temporary file, and the two-to-one and one-to-two operations.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "imagelib/VdScnImgConv.h"
#include "imagelib/VdScnImgProc.h"
#include "imagelib/VdSipErrorDiffusion.h"
#include "tests/imagelib/ConversionSupport.h"
#include "tests/support/sip_images/SipBmpFiles.h"
#include "tests/support/sip_images/SipPages.h"

namespace {

using conversion::Bytes;
using conversion::Info;
using conversion::Stride;
using sippages::LoadBmp;
using sippages::SaveBmp;

tagSIPSCNPARADT Params(int32_t scanType, int32_t width, int32_t height)
{
    tagSIPSCNPARADT p{};
    p.scanType = scanType;
    p.width = width;
    p.height = height;
    p.threshold = -1;
    return p;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> found;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                found.push_back(name);
        }
        closedir(dir);
    }
    return found;
}

Bytes FlipRows(const Bytes& pixels, uint64_t stride)
{
    Bytes flipped(pixels.size());
    const size_t rows = pixels.size() / stride;
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(flipped.data() + y * stride, pixels.data() + (rows - 1 - y) * stride, stride);
    return flipped;
}

class PageProcess : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(FilesEndingIn(dir_.Path(), ".tmp").empty()) << "a temporary file is left"; }

    std::string Input(const tagSIPIMAGEINFO& info, const Bytes& pixels, const std::string& name = "in.bmp")
    {
        EXPECT_EQ(SaveBmp(dir_ / name, info, pixels), 0);
        return dir_ / name;
    }

    struct Run {
        int32_t code = -1;
        tagSIPRESULT result{};
    };
    Run Process(IVdScnImgProc& proc, tagSIPSCNPARADT params, const std::string& in,
                tagSIPPAPERCORNERS* corners = nullptr)
    {
        Run run;
        EXPECT_EQ(proc.OpenScnImgProc(&params, nullptr, nullptr, nullptr), 0);
        run.code = proc.ExecScnImgProc(in.c_str(), Out().c_str(), corners, nullptr);
        EXPECT_EQ(proc.GetLastResult(), run.code);
        EXPECT_EQ(proc.GetScnImgProcResult(&run.result), 0);
        EXPECT_EQ(proc.CloseScnImgProc(), 0);
        return run;
    }
    Run Process(tagSIPSCNPARADT params, const std::string& in, tagSIPPAPERCORNERS* corners = nullptr)
    {
        CVdScnImgProc proc;
        return Process(proc, params, in, corners);
    }
    std::string Out() const { return dir_ / "out.bmp"; }

    ScratchDir dir_;
};

TEST_F(PageProcess, BlankPageEndsWithoutAFile)
{
    const sippages::Page white = sippages::Colour(600, 800, 255, 255, 255);
    tagSIPSCNPARADT params = Params(kSipScanColor, 600, 800);
    params.componentAnalysis = 1;
    const Run run = Process(params, Input(Info(600, 800, 24), white.pixels));
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.result.component, kSipComponentBlank);
    EXPECT_FALSE(ScratchDir::Exists(Out()));
}

TEST_F(PageProcess, PageThatNeedsNoChangeGivesElevenAndNoFile)
{
    const Bytes pixels = sippages::PatternPixels(400, 300, 8, 1);
    for (const bool analyse : {false, true}) {
        tagSIPSCNPARADT params = Params(kSipScanTrueGray, 400, 300);
        params.componentAnalysis = analyse;
        params.orientationReport = 1;  // the stand-in finds nothing
        params.showThrough = 1;        // the stand-in removes nothing
        const Run run = Process(params, Input(Info(400, 300, 8), pixels));
        EXPECT_EQ(run.code, 11);
        EXPECT_EQ(run.result.orientation, kSipOrientationUndetermined);
        EXPECT_EQ(run.result.showThroughRemoved, 0);
        EXPECT_FALSE(ScratchDir::Exists(Out()));
    }
}

// Scan type 2 diffuses the 8-bit page (or the 8 bits of a colour page) into
// a 1-bit file that netpbm and Pillow read as the bits the library wrote.
TEST_F(PageProcess, ErrorDiffusionWritesAOneBitFileOthersRead)
{
    const int32_t width = 123, height = 45;
    Bytes gray(Stride(Info(width, height, 8)) * height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            gray[y * Stride(Info(width, height, 8)) + x] = static_cast<uint8_t>((x * 2 + y) % 256);
    Bytes colour(Stride(Info(width, height, 24)) * height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            std::fill_n(&colour[y * Stride(Info(width, height, 24)) + 3 * x], 3,
                        gray[y * Stride(Info(width, height, 8)) + x]);
    const tagSIPIMAGEINFO outInfo = Info(width, height, 1);
    // The colour page diffuses from its luminance.
    conversion::MemImage colourImage(Info(width, height, 24), colour), luminance(Info(width, height, 8));
    CVdScnImgConv conv;
    ASSERT_EQ(conv.ConvertColorType(colourImage.get(), 0, luminance.get()), 0);
    Bytes expected;
    for (int32_t bits : {24, 8}) {
        const Bytes levels = bits == 8 ? gray : luminance.Pixels();
        expected.assign(Stride(outInfo) * height, 0xFF);
        CVdSipErrorDiffusion diffusion;
        ASSERT_EQ(
            diffusion.ExecTwoLevelErrorDiffusion(levels.data(), expected.data(), width, height,
                                                 int32_t(Stride(Info(width, height, 8))), int32_t(Stride(outInfo))),
            0);
        const Run run = Process(Params(kSipScanErrorDiffusion, width, height),
                                Input(Info(width, height, bits), bits == 8 ? gray : colour));
        ASSERT_EQ(run.code, 0) << bits;
        const sippages::LoadedBmp out = LoadBmp(Out());
        ASSERT_EQ(out.code, 0);
        EXPECT_EQ(out.info.bitsPerPixel, 1);
        EXPECT_EQ(out.pixels, expected) << "from " << bits << " bits";
    }
    // netpbm: black is a 1 in its bitmap, white a 1 in ours.
    FILE* pipe = popen(("bmptopnm " + Out() + " 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    Bytes netpbm;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;)
        netpbm.push_back(static_cast<uint8_t>(ch));
    ASSERT_EQ(pclose(pipe), 0) << "bmptopnm failed (netpbm installed?)";
    const std::string header = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    ASSERT_GE(netpbm.size(), header.size());
    ASSERT_EQ(std::string(netpbm.begin(), netpbm.begin() + header.size()), header);
    const size_t pbmRow = (width + 7) / 8;
    ASSERT_EQ(netpbm.size(), header.size() + pbmRow * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool black = conversion::Bit(netpbm.data() + header.size() + y * pbmRow, x);
            ASSERT_EQ(black, !conversion::Bit(expected.data() + y * Stride(outInfo), x)) << x << "," << y;
        }
    if (sippages::HavePython("PIL")) {
        const std::string read = sippages::RunTestScript("pil_bmp.py", "read " + Out() + " " + dir_ / "pil.raw");
        EXPECT_EQ(read, "1 " + std::to_string(width) + " " + std::to_string(height) + "\n");
        const Bytes levels = sippages::ReadFileBytes(dir_ / "pil.raw");
        ASSERT_EQ(levels.size(), size_t(width) * height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_EQ(levels[size_t(y) * width + x] == 255,
                          conversion::Bit(expected.data() + y * Stride(outInfo), x));
    }
}

// Corners skewed by 0.3 degree count as upright: squared up, the page is
// cut to their bounding rectangle, unrotated.
TEST_F(PageProcess, SlightlySkewedCornersTrimToTheirBoundingRectangle)
{
    const tagSIPIMAGEINFO in = Info(200, 150, 8);
    const Bytes pixels = sippages::PatternPixels(200, 150, 8, 6);
    tagSIPPAPERCORNERS corners{{20, 15}, {170, 16}, {19, 125}, {169, 126}};
    tagSIPSCNPARADT params = Params(kSipScanTrueGray, 200, 150);
    params.cornerFit = 1;
    params.deskew = 1;
    const Run run = Process(params, Input(in, pixels), &corners);
    ASSERT_EQ(run.code, 0);
    EXPECT_EQ(run.result.skew, 0);
    const sippages::LoadedBmp out = LoadBmp(Out());
    // Squared up: columns 19..170 and rows 15..126, measured as 151 x 111.
    ASSERT_EQ(out.info.width, 151);
    ASSERT_EQ(out.info.height, 111);
    for (int32_t y = 0; y < 111; ++y)
        for (int32_t x = 0; x < 151; ++x)
            ASSERT_EQ(out.pixels[y * Stride(out.info) + x], pixels[(y + 15) * Stride(in) + x + 19]) << x << "," << y;
}

// A paper turned by 2 degrees on a dark background comes out upright: the
// size of its measured edges, no background inside, a line across the paper
// on one row.
TEST_F(PageProcess, TurnedCornersWithCornerFitAndDeskewGiveAnUprightPage)
{
    const int32_t width = 500, height = 300;
    const double theta = 2.0 * 3.141592653589793 / 180, c = std::cos(theta), s = std::sin(theta);
    // 401 x sin(2 degrees) is 13.99: the rounded corners keep the angle.
    const double x0 = 60, y0 = 30, paperW = 401, paperH = 230;
    Bytes pixels(Stride(Info(width, height, 24)) * height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            // Paper coordinates of the pixel; a dark line across at v = 110.
            const double u = (x - x0) * c + (y - y0) * s, v = -(x - x0) * s + (y - y0) * c;
            uint8_t level = 0;
            if (u >= 0 && u <= paperW && v >= 0 && v <= paperH)
                level = std::abs(v - 110) < 1.5 && u > 40 && u < 360 ? 0 : 255;
            std::fill_n(&pixels[y * Stride(Info(width, height, 24)) + 3 * x], 3, level);
        }
    auto point = [&](double u, double v) {
        return tagSIPPOINT{int32_t(std::lround(x0 + u * c - v * s)), int32_t(std::lround(y0 + u * s + v * c))};
    };
    tagSIPPAPERCORNERS corners{point(0, 0), point(paperW, 0), point(0, paperH), point(paperW, paperH)};
    tagSIPSCNPARADT params = Params(kSipScanColor, width, height);
    params.cornerFit = 1;
    params.deskew = 1;
    const Run run = Process(params, Input(Info(width, height, 24), pixels), &corners);
    ASSERT_EQ(run.code, 0);
    EXPECT_EQ(run.result.skew, 200);
    const sippages::LoadedBmp out = LoadBmp(Out());
    const auto edge = [](tagSIPPOINT a, tagSIPPOINT b) { return std::hypot(double(b.x - a.x), double(b.y - a.y)); };
    EXPECT_EQ(out.info.width, int32_t(std::ceil(edge(corners.topLeft, corners.topRight))));
    EXPECT_EQ(out.info.height, int32_t(std::ceil(edge(corners.topLeft, corners.bottomLeft))));
    ASSERT_EQ(out.info.bitsPerPixel, 24);
    auto level = [&](int32_t x, int32_t y) { return out.pixels[y * Stride(out.info) + 3 * x + 1]; };
    for (int32_t y = 3; y < out.info.height - 3; ++y)
        for (int32_t x = 3; x < out.info.width - 3; ++x) {
            const bool nearLine = std::abs(y - 110) <= 2 && x > 37 && x < 363;
            if (!nearLine) {
                ASSERT_GE(level(x, y), 200) << "background or line off its row at " << x << "," << y;
            }
        }
    for (int32_t x = 45; x < 355; x += 10)
        EXPECT_LT(std::min({level(x, 109), level(x, 110), level(x, 111)}), 128) << "line at column " << x;
}

TEST_F(PageProcess, AutomaticColourTakesTheDepthOfTheContent)
{
    sippages::Page text = sippages::Colour(600, 800, 255, 255, 255);
    sippages::TextBlocks(text, 300, 7);
    sippages::Page colour = text;
    sippages::Fill(colour, 200, 300, 400, 500, 0, 0, 255);
    const sippages::Page gray = sippages::Colour(600, 800, 128, 128, 128);
    struct Case {
        const char* what;
        const sippages::Page* page;
        int32_t component, code, bits;
    };
    const Case cases[] = {
        {"black text", &text, kSipComponentMono, 0, 1},
        {"flat gray", &gray, kSipComponentGray, 0, 8},
        {"text with a red patch", &colour, kSipComponentColor, 11, 24},  // already 24 bits
    };
    for (const Case& c : cases) {
        const Run run = Process(Params(kSipScanAutoColor, 600, 800), Input(Info(600, 800, 24), c.page->pixels));
        EXPECT_EQ(run.code, c.code) << c.what;
        EXPECT_EQ(run.result.component, c.component) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(LoadBmp(Out()).info.bitsPerPixel, c.bits) << c.what;
            std::remove(Out().c_str());
        }
    }
}

TEST_F(PageProcess, OpenStateGuardsEveryStep)
{
    const std::string in = Input(Info(16, 16, 8), sippages::PatternPixels(16, 16, 8, 2));
    CVdScnImgProc proc;
    tagSIPRESULT result{};
    EXPECT_EQ(proc.ExecScnImgProc(in.c_str(), Out().c_str(), nullptr, nullptr), 8);
    EXPECT_EQ(proc.GetLastResult(), 8);
    EXPECT_EQ(proc.GetScnImgProcResult(&result), 8);
    EXPECT_EQ(proc.OpenScnImgProc(nullptr, nullptr, nullptr, nullptr), 5);
    tagSIPSCNPARADT params = Params(kSipScanTrueGray, 16, 16);
    EXPECT_EQ(proc.OpenScnImgProc(&params, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(proc.OpenScnImgProc(&params, nullptr, nullptr, nullptr), 9);
    EXPECT_EQ(proc.GetLastResult(), 9);
    EXPECT_EQ(proc.ExecScnImgProc(nullptr, Out().c_str(), nullptr, nullptr), 5);
    EXPECT_EQ(proc.ExecScnImgProc((dir_ / "missing.bmp").c_str(), Out().c_str(), nullptr, nullptr), 6);
    EXPECT_EQ(proc.GetScnImgProcResult(nullptr), 5);
    EXPECT_EQ(proc.CloseScnImgProc(), 0);
    EXPECT_EQ(proc.ExecScnImgProc(in.c_str(), Out().c_str(), nullptr, nullptr), 8);
    // Job sizes the output cannot have.
    for (const auto& size : {std::pair{0, 16}, std::pair{70000, 70000}}) {
        tagSIPSCNPARADT odd = Params(kSipScanColor, size.first, size.second);
        EXPECT_EQ(Process(proc, odd, in).code, size.first == 0 ? 5 : 2);
    }
    EXPECT_EQ(proc.IsAvailableDetectBlank() + proc.IsAvailableAutoColorType() + proc.IsAvailableDeskew() +
                  proc.IsAvailableAutoPaperSize() + proc.IsAvailableAutoRotate() +
                  proc.IsAvailableRemoveBacksideNoise() + proc.IsAvailableExec1BppErrorDiffusion(),
              7);
}

// A double of the orientation detector: records what it is given and
// answers as set.
struct Detector {
    static inline int32_t language = 0, languageAnswer = 0, textCalls = 0, orientationCalls = 0, found = -1;
    static inline const char* text = "unset";
    static int32_t SetLanguage(int32_t l)
    {
        language = l;
        return languageAnswer;
    }
    static int32_t SetText(const char* t)
    {
        ++textCalls;
        text = t;
        return 0;
    }
    static int32_t Orientation(const unsigned char*, uint16_t, uint16_t, uint16_t, uint16_t, int32_t* o, unsigned char*)
    {
        ++orientationCalls;
        if (found >= 0)
            *o = found;
        return 0;
    }
    static void Reset()
    {
        language = languageAnswer = textCalls = orientationCalls = 0;
        found = -1;
        text = "unset";
    }
    static constexpr NsOrientationCalls kCalls{SetLanguage, SetText, Orientation};
};

TEST(OrientationAdapter, LanguagesMapAndAnswersPassThrough)
{
    const std::pair<int32_t, int32_t> languages[] = {{17, 4}, {18, 8}, {1028, 1}, {2052, 2}, {0, 256}, {1029, 256}};
    for (const auto& [language, mapped] : languages) {
        Detector::Reset();
        CNsOrientationAccs adapter(&Detector::kCalls);
        EXPECT_EQ(adapter.InitNsOrientation(language), 0);
        EXPECT_EQ(Detector::language, mapped) << language;
        EXPECT_EQ(Detector::textCalls, 0);
    }
    Detector::Reset();
    Detector::languageAnswer = 3;  // refused: the normal text is cleared
    CNsOrientationAccs refusing(&Detector::kCalls);
    EXPECT_EQ(refusing.InitNsOrientation(17), 1);
    EXPECT_EQ(Detector::textCalls, 1);
    EXPECT_EQ(Detector::text, nullptr);

    CNsOrientationAccs standIn;
    EXPECT_EQ(standIn.InitNsOrientation(1028), 0);
    EXPECT_FALSE(standIn.IsAvailableOrientationDetection());
    EXPECT_EQ(standIn.TermNsOrientation(), 1);
    unsigned char pixels[8] = {}, flags[8] = {};
    int32_t orientation = -1;
    EXPECT_EQ(standIn.GetDocumentOrientation(pixels, 8, 2, 4, 300, &orientation, flags), 0);
    EXPECT_EQ(orientation, -1);
    EXPECT_EQ(standIn.GetDocumentOrientation(nullptr, 8, 2, 4, 300, &orientation, flags), 0);
    EXPECT_EQ(standIn.GetDocumentOrientation(pixels, 8, 2, 4, 300, nullptr, flags), 0);
    EXPECT_EQ(standIn.GetDocumentOrientation(pixels, 8, 2, 4, 300, &orientation, nullptr), 1);
    // Sizes beyond 16 bits are not handed over cut down.
    Detector::Reset();
    CNsOrientationAccs adapter(&Detector::kCalls);
    EXPECT_EQ(adapter.GetDocumentOrientation(pixels, 70000, 2, 4, 300, &orientation, flags), 0);
    EXPECT_EQ(adapter.GetDocumentOrientation(pixels, 8, 2, 65536, 300, &orientation, flags), 0);
    EXPECT_EQ(Detector::orientationCalls, 0);
    EXPECT_EQ(adapter.GetDocumentOrientation(pixels, 65535, 2, 4, 300, &orientation, flags), 0);
    EXPECT_EQ(Detector::orientationCalls, 1);
}

// A double of the show-through canceller: records its arguments, answers
// as set and writes a mark into the output.
struct Canceller {
    static inline tagRLSTC_IMAGE input{}, output{};
    static inline int32_t strength1 = 0, strength2 = 0, automatic = -1, manual[3] = {};
    static inline int32_t answer = 1;
    static int32_t Call(const tagRLSTC_IMAGE* in, tagRLSTC_IMAGE* out, int32_t s1, int32_t s2, int32_t a, int32_t m1,
                        int32_t m2, int32_t m3)
    {
        input = *in;
        output = *out;
        strength1 = s1;
        strength2 = s2;
        automatic = a;
        manual[0] = m1;
        manual[1] = m2;
        manual[2] = m3;
        if (answer == 1)
            std::memset(out->pixels, 0x55, size_t(out->stride) * out->height);
        return answer;
    }
    static constexpr RlStcCalls kCalls{Call};
};

TEST(ShowThroughAdapter, SettingsAndImagesReachTheCanceller)
{
    CRlStcAccs standIn;
    unsigned char a[16] = {}, b[16] = {};
    EXPECT_EQ(standIn.GetSTCImage(4, 1, 1, 1, 4, a, b), -999);
    EXPECT_EQ(standIn.GetLastResult(), -999);
    EXPECT_EQ(standIn.GetSTCImage(4, 1, 1, 1, 4, nullptr, b), -601);
    EXPECT_FALSE(standIn.IsAvailableShowThroughCancellation());

    CRlStcAccs adapter(&Canceller::kCalls);
    Canceller::answer = 7;
    EXPECT_EQ(adapter.GetSTCImage(4, 2, 0, 1, 12, a, b), 7);
    EXPECT_EQ(Canceller::strength1, 5000);
    EXPECT_EQ(Canceller::strength2, 1000);
    EXPECT_EQ(Canceller::automatic, 1);
    EXPECT_EQ(adapter.InitRlStc(false, 1, 2, 3, 40, 50), 1);
    adapter.GetSTCImage(4, 2, 0, 1, 12, a, b);
    EXPECT_EQ(Canceller::automatic, 0);
    EXPECT_EQ((std::vector<int32_t>{Canceller::manual[0], Canceller::manual[1], Canceller::manual[2]}),
              (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(Canceller::strength1, 40);
    EXPECT_EQ(Canceller::input.pixels, a);
    EXPECT_EQ(Canceller::output.pixels, b);
    EXPECT_EQ(Canceller::output.stride, 12);
    EXPECT_EQ(Canceller::input.order, 1);
    // Automatic again: the manual values stay as they were.
    adapter.InitRlStc(true, 7, 8, 9, 1, 2);
    adapter.GetSTCImage(4, 2, 0, 1, 12, a, b);
    EXPECT_EQ(Canceller::automatic, 1);
    EXPECT_EQ(Canceller::manual[0], 1);
}

// With a detector that finds the page upside down, the run reports it and,
// with auto-rotate, turns the page by 180 degrees.
TEST_F(PageProcess, DetectedOrientationIsReportedAndTurnedUpright)
{
    const tagSIPIMAGEINFO in = Info(40, 30, 8);
    const Bytes pixels = sippages::PatternPixels(40, 30, 8, 12);
    for (const bool rotate : {false, true}) {
        Detector::Reset();
        Detector::found = 1;
        CVdScnImgProc proc(&Detector::kCalls, nullptr);
        tagSIPSCNPARADT params = Params(kSipScanTrueGray, 40, 30);
        params.orientationReport = 1;
        params.autoRotate = rotate;
        params.language = 18;
        const Run run = Process(proc, params, Input(in, pixels));
        EXPECT_EQ(Detector::language, 8);
        EXPECT_EQ(Detector::orientationCalls, 1);
        EXPECT_EQ(run.result.orientation, kSipOrientation180);
        if (!rotate) {
            EXPECT_EQ(run.code, 11);
            continue;
        }
        ASSERT_EQ(run.code, 0);
        const sippages::LoadedBmp out = LoadBmp(Out());
        ASSERT_EQ(out.info.width, 40);
        ASSERT_EQ(out.info.height, 30);
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 40; ++x)
                ASSERT_EQ(out.pixels[y * Stride(out.info) + x], pixels[(29 - y) * Stride(in) + 39 - x])
                    << x << "," << y;
    }
}

// A canceller that removes the show-through: the flag is set and its image
// is written, though the page needs no other change.
TEST_F(PageProcess, RemovedShowThroughIsWrittenFromTheCanceller)
{
    const tagSIPIMAGEINFO in = Info(40, 30, 24);
    Canceller::answer = 1;
    CVdScnImgProc proc(nullptr, &Canceller::kCalls);
    tagSIPSCNPARADT params = Params(kSipScanColor, 40, 30);
    params.showThrough = 1;
    const Run run = Process(proc, params, Input(in, sippages::PatternPixels(40, 30, 24, 1)));
    ASSERT_EQ(run.code, 0);
    EXPECT_EQ(run.result.showThroughRemoved, 1);
    EXPECT_EQ(Canceller::input.gray, 0);
    EXPECT_EQ(Canceller::input.order, 1);
    EXPECT_EQ(Canceller::input.stride, 120);
    const sippages::LoadedBmp out = LoadBmp(Out());
    EXPECT_EQ(out.pixels, Bytes(120 * 30, 0x55));
}

// Images read and written row by row: the intermediate trimmed page moves to
// "out.bmp.tmp", the diffusion reads it in file order (bottom row first) and
// the temporary file is gone at the end.
class RowByRowBmp : public CVdSipImgDataWinBmp {
public:
    bool IsAvailablePageAccess() override { return false; }
};
class RowByRowProcessor : public CVdScnImgProc {
protected:
    IVdSipImgData* CreateSipImgData() override { return new RowByRowBmp; }
};

TEST_F(PageProcess, RowByRowImagesPassThroughATemporaryFile)
{
    const tagSIPIMAGEINFO in = Info(90, 60, 8);
    const Bytes pixels = sippages::PatternPixels(90, 60, 8, 21);
    RowByRowProcessor proc;
    const Run run = Process(proc, Params(kSipScanErrorDiffusion, 70, 40), Input(in, pixels));
    ASSERT_EQ(run.code, 0);
    // The trim: the middle 70 columns and the top 40 rows.
    const tagSIPIMAGEINFO trimmed = Info(70, 40, 8), out = Info(70, 40, 1);
    Bytes cut(Stride(trimmed) * 40, 0);
    for (int32_t y = 0; y < 40; ++y)
        std::memcpy(&cut[y * Stride(trimmed)], &pixels[y * Stride(in) + 10], 70);
    const Bytes bottomFirst = FlipRows(cut, Stride(trimmed));
    Bytes bits(Stride(out) * 40, 0xFF);
    CVdSipErrorDiffusion diffusion;
    ASSERT_EQ(diffusion.ExecTwoLevelErrorDiffusion(bottomFirst.data(), bits.data(), 70, 40, int32_t(Stride(trimmed)),
                                                   int32_t(Stride(out))),
              0);
    const sippages::LoadedBmp written = LoadBmp(Out());
    ASSERT_EQ(written.code, 0);
    EXPECT_EQ(written.pixels, FlipRows(bits, Stride(out)));
}

TEST_F(PageProcess, OnePageSplitsIntoItsUpperAndLowerPart)
{
    const tagSIPIMAGEINFO in = Info(30, 21, 8);
    const Bytes pixels = sippages::PatternPixels(30, 21, 8, 4);
    Input(in, pixels, "page.bmp");
    const char* inputNames[] = {"page.bmp"};
    const char* outputNames[] = {"upper.bmp", "lower.bmp"};
    tagSIPPROCFILELIST inputs{dir_.Path().c_str(), 1, inputNames}, outputs{dir_.Path().c_str(), 2, outputNames};
    CVdScnImgProc proc;
    ASSERT_EQ(proc.Exec1toNProc(&inputs, &outputs, 2), 0);
    const sippages::LoadedBmp upper = LoadBmp(dir_ / "upper.bmp"), lower = LoadBmp(dir_ / "lower.bmp");
    ASSERT_EQ(upper.info.height, 11);
    ASSERT_EQ(lower.info.height, 11);
    for (int32_t y = 0; y < 11; ++y) {
        EXPECT_EQ(0, std::memcmp(&upper.pixels[y * Stride(upper.info)], &pixels[y * Stride(in)], 30)) << y;
        EXPECT_EQ(0, std::memcmp(&lower.pixels[y * Stride(lower.info)], &pixels[(y + 10) * Stride(in)], 30)) << y;
    }
    outputs.count = 3;
    EXPECT_EQ(proc.Exec1toNProc(&inputs, &outputs, 2), 5);
    outputs.count = 2;
    EXPECT_EQ(proc.Exec1toNProc(&inputs, &outputs, 3), 5);
    outputs.count = -2;
    EXPECT_EQ(proc.Exec1toNProc(&inputs, &outputs, 2), 5);
    const char* missing[] = {"upper.bmp", nullptr};
    tagSIPPROCFILELIST holes{dir_.Path().c_str(), 2, missing};
    EXPECT_EQ(proc.Exec1toNProc(&inputs, &holes, 2), 5);
}

TEST_F(PageProcess, TwoPagesCombineIntoOneAtTheDeeperDepth)
{
    Input(Info(20, 10, 8), Bytes(Stride(Info(20, 10, 8)) * 10, 100), "a.bmp");
    Bytes bits(Stride(Info(16, 12, 1)) * 12, 0x0F);  // per byte: four black, four white pixels
    Input(Info(16, 12, 1), bits, "b.bmp");
    Input(Info(10, 10, 24), Bytes(Stride(Info(10, 10, 24)) * 10, 30), "c.bmp");
    const char* inputNames[] = {"a.bmp", "b.bmp", "c.bmp"};
    const char* outputNames[] = {"ab.bmp", "c-alone.bmp"};
    tagSIPPROCFILELIST inputs{dir_.Path().c_str(), 3, inputNames}, outputs{dir_.Path().c_str(), 2, outputNames};
    CVdScnImgProc proc;
    ASSERT_EQ(proc.ExecNin1Proc(&inputs, &outputs, 2, kSipCombineRows), 0);
    const sippages::LoadedBmp ab = LoadBmp(dir_ / "ab.bmp");
    ASSERT_EQ(ab.info.bitsPerPixel, 8);
    ASSERT_EQ(ab.info.width, 20);
    ASSERT_EQ(ab.info.height, 22);
    EXPECT_EQ(ab.pixels[5 * Stride(ab.info) + 7], 100);
    // b centred below a, its bits as levels 0 and 255; white beside it.
    const uint8_t* row = &ab.pixels[15 * Stride(ab.info)];
    EXPECT_EQ((Bytes{row[0], row[1], row[2], row[5], row[6], row[7], row[18]}), (Bytes{255, 255, 0, 0, 255, 255, 255}));
    // A missing second page is white.
    const sippages::LoadedBmp alone = LoadBmp(dir_ / "c-alone.bmp");
    ASSERT_EQ(alone.info.height, 20);
    EXPECT_EQ(alone.pixels[2 * Stride(alone.info)], 30);
    EXPECT_EQ(alone.pixels[15 * Stride(alone.info)], 255);

    inputs.count = 2;  // two outputs need at least three inputs
    EXPECT_EQ(proc.ExecNin1Proc(&inputs, &outputs, 2, kSipCombineRows), 5);
    inputs.count = 3;
    EXPECT_EQ(proc.ExecNin1Proc(&inputs, &outputs, 4, kSipCombineRows), 5);
    EXPECT_EQ(proc.ExecNin1Proc(nullptr, &outputs, 2, kSipCombineRows), 5);
}

}  // namespace
