// The options a device carries out itself, end to end through scanimage,
// the backend and the real engine against the scanner simulator of both
// protocol generations: size detection, deskew, multifeed detection and
// blank-page skipping, with the pages measured by an independent script.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/backend_source/RealEngineFixture.h"

namespace {

using namespace realengine;

constexpr int kDpi = 200;
constexpr double kSizeToleranceMm = 2.5;
constexpr double kJpegMinPsnr = 30.0;

using Settings = std::vector<std::pair<std::string, std::string>>;

// A page as measured by measure_page.py.
struct Measured {
    bool ok = false;
    double widthMm = 0;
    double heightMm = 0;
    double psnr = 0;  // infinite for equal pixels; NaN without a sent page
};

// Runs the script on a written page, against the page sent when one is
// named.
Measured Measure(const std::string& page, const std::string& sent)
{
    Measured m;
    std::string const command = std::string("/usr/bin/python3 ") + MEASURE_PAGE_SCRIPT + " " + std::to_string(kDpi) +
                                " '" + page + "'" + (sent.empty() ? "" : " '" + sent + "'") + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return m;
    }
    char line[256] = {};
    bool const read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    char psnr[32] = {};
    if (!read || std::sscanf(line, "%lf %lf %31s", &m.widthMm, &m.heightMm, psnr) != 3) {
        ADD_FAILURE() << command << ": " << line;
        return m;
    }
    std::string const p = psnr;
    m.psnr = p == "inf" ? INFINITY : p == "-" || p == "size" ? NAN : std::atof(psnr);
    m.ok = true;
    return m;
}

// The transcript lines of the frames of one command.
std::vector<std::string> Frames(const Scanner& scanner, const std::string& command)
{
    std::vector<std::string> found;
    for (const std::string& line : scanner.Transcript()) {
        if (line.find("\"event\":\"frame\"") != std::string::npos &&
            line.find("\"command\":\"" + command + "\"") != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

bool Carries(const std::string& frame, const std::string& key, const std::string& value)
{
    return frame.find("\"" + key + "\":\"" + value + "\"") != std::string::npos;
}

// The setting of one option as scanimage -A lists it ("[inactive]" when
// it is).
std::string Listed(const std::string& listing, const std::string& option)
{
    size_t at = listing.find("--" + option + " ");
    if (at == std::string::npos) {
        at = listing.find("--" + option + "[");  // a boolean's "[=(yes|no)]"
    }
    if (at == std::string::npos) {
        return "";
    }
    size_t const end = listing.find('\n', at);
    return listing.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

class RealEngineOptions : public RealEngine {
protected:
    // A batch in True Gray at 200 dpi with the options given.
    Result Batch(const Scanner& scanner, const char* source, std::vector<std::string> options, int timeout = 60)
    {
        std::vector<std::string> argv = {"scanimage",    "-d",           scanner.Device(),    "--batch=out%d.pnm",
                                         "--format=pnm", "--mode",       "True Gray",         "--source",
                                         source,         "--resolution", std::to_string(kDpi)};
        argv.insert(argv.end(), options.begin(), options.end());
        return f_.Run(argv, timeout);
    }
    std::string Out(int page) const { return f_.Dir() / ("out" + std::to_string(page) + ".pnm"); }
    // The size of the page the simulator sent, for a message.
    std::string SentSize(int page) const
    {
        Measured const m = Measure(Sent(page), "");
        return "sent " + std::to_string(m.widthMm) + " x " + std::to_string(m.heightMm) + " mm";
    }
    std::string Sent(int page) const
    {
        char name[64];
        std::snprintf(name, sizeof name, "simdumps/scan001-page%03d.pnm", page);
        return f_.Dir() / name;
    }
};

// Sizes in millimetres of the sheets below.
struct Size {
    double width, height;
};
constexpr Size kA4{210, 297};
constexpr Size kA5{148, 210};

TEST_P(RealEngineOptions, OptionsTheDeviceCarriesOutAreActiveAndCoupledBrightnessAndContrastAreNot)
{
    for (const char* profile : {"gen2-adf-detect", "gen1-adf"}) {
        SCOPED_TRACE(profile);
        SimSetup setup;
        setup.profile = profile;
        Scanner scanner(f_, GetParam(), setup);
        Result const list = f_.Run({"scanimage", "-d", scanner.Device(), "-A"});
        ASSERT_EQ(list.exitCode, 0) << list.err;
        for (const char* option : {"AutoDocumentSize", "AutoDeskew", "MultifeedDetection", "SkipBlankPage"}) {
            std::string const line = Listed(list.out, option);
            EXPECT_NE(line, "") << option << "\n" << list.out;
            EXPECT_EQ(line.find("inactive"), std::string::npos) << line;
        }
        for (const char* option : {"brightness", "contrast"}) {
            EXPECT_NE(Listed(list.out, option).find("[inactive]"), std::string::npos) << list.out;
        }
        // AutoDeskew (option 9) switches AutoDocumentSize (8) on and tells
        // the front end to reload the options (SANE_INFO_RELOAD_OPTIONS 2).
        Result const coupled =
            f_.Run({FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init", "open:" + scanner.Device().substr(9),
                    "option:8", "set:9:1", "option:8", "close", "exit"});
        EXPECT_NE(coupled.out.find("option:8 AutoDocumentSize GOOD 0 "), std::string::npos) << coupled.out;
        size_t const set = coupled.out.find("set:9:1 GOOD info=");
        ASSERT_NE(set, std::string::npos) << coupled.out;
        EXPECT_NE(std::atoi(coupled.out.c_str() + set + 18) & 2, 0) << coupled.out;
        EXPECT_NE(coupled.out.find("option:8 AutoDocumentSize GOOD 1 "), std::string::npos) << coupled.out;
    }
}

// A5 and A4 sheets in a feeder that takes legal paper: the delivered page
// is the sheet, found by the device's own size detection, by the corners
// of the sheet's leading edge or by its standard size.
TEST_P(RealEngineOptions, AutoDocumentSizeDeliversTheSheetsSize)
{
    struct Case {
        const char* what;
        const char* profile;
        Settings settings;
        std::vector<std::string> sheets;
        std::vector<Size> sizes;
        const char* command;  // the frame that carries the area
        const char* key;
        const char* value;
    };
    Settings const corners = {{"qdi.autoDocumentSize", "0"}, {"qdi.paperSizeDetectedContentAdf", "1"}};
    Settings const standard = {{"qdi.autoDocumentSize", "0"}, {"qdi.paperSizeDetectedContentAdf", "2"}};
    const Case cases[] = {
        {"generation 2, the device's size", "gen2-adf-detect", {}, {"A5", "A4"}, {kA5, kA4}, "XSC", "AREA", "AUTO"},
        {"generation 2, A5 by its corners", "gen2-adf-detect", corners, {"A5"}, {kA5}, "GDS", "", ""},
        {"generation 2, A4 by its corners", "gen2-adf-detect", corners, {"A4"}, {kA4}, "GDS", "", ""},
        {"generation 2, A5 by its standard size", "gen2-adf-detect", standard, {"A5"}, {kA5}, "GDS", "", ""},
        {"generation 2, A4 by its standard size", "gen2-adf-detect", standard, {"A4"}, {kA4}, "GDS", "", ""},
        {"generation 1, A5 by its corners", "gen1-adf", {}, {"A5"}, {kA5}, "E", "", ""},
        {"generation 1, A4 by its corners", "gen1-adf", {}, {"A4"}, {kA4}, "E", "", ""},
        // A device that images the sheet 2.9 mm inside its edges delivers
        // the sheet less those margins.
        {"generation 1, 2.9 mm margins, A5 by its corners",
         "gen1-fb-adf",
         {},
         {"A5"},
         {{148 - 5.8, 210 - 5.8}},
         "E",
         "",
         ""},
        {"generation 1, the device's size",
         "gen1-adf",
         {{"command-version", "13"}},
         {"A5", "A4"},
         {kA5, kA4},
         "X",
         "S",
         "AUTO_SIZE_SCAN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveFiles(3);
        SimSetup setup;
        setup.profile = c.profile;
        setup.settings = c.settings;
        setup.sheetSpecs = c.sheets;
        Scanner scanner(f_, GetParam(), setup);
        Result const r = Batch(scanner, kSimplex, {"--AutoDocumentSize=yes"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(FilesWritten(), static_cast<int>(c.sizes.size())) << r.err;
        std::vector<std::string> const frames = Frames(scanner, c.command);
        ASSERT_FALSE(frames.empty()) << c.command;
        if (c.key[0] != '\0') {
            EXPECT_TRUE(Carries(frames.front(), c.key, c.value)) << frames.front();
        }
        // The inactive brightness and contrast go out as their defaults, 0
        // each, offset by 50; a gray scan has the device adjust its tone.
        bool const gen2 = c.profile[3] == '2';
        std::vector<std::string> const settings = Frames(scanner, gen2 ? "SSP" : "X");
        ASSERT_FALSE(settings.empty());
        for (const auto& [key, value] :
             gen2 ? std::vector<std::pair<const char*, const char*>>{{"BRIT", "50"}, {"CONT", "50"}, {"TONE", "ON"}}
                  : std::vector<std::pair<const char*, const char*>>{{"B", "50"}, {"N", "50"}}) {
            EXPECT_TRUE(Carries(settings.back(), key, value)) << key << " in " << settings.back();
        }
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            int const page = static_cast<int>(i + 1);
            SCOPED_TRACE("page " + std::to_string(page));
            Measured const m = Measure(Out(page), Sent(page));
            ASSERT_TRUE(m.ok);
            EXPECT_NEAR(m.widthMm, c.sizes[i].width, kSizeToleranceMm);
            EXPECT_NEAR(m.heightMm, c.sizes[i].height, kSizeToleranceMm);
            EXPECT_GE(m.psnr, kJpegMinPsnr) << SentSize(page);
        }
    }
}

// A sheet lying 2 degrees askew: with AutoDeskew the request asks the
// device to straighten it (DSKW=ON with the device's own size detection,
// AREA=AUTO; generation 1's S=SKEW_ADJUST over the area its corners give),
// and the delivered page is the page the device sent; without it the
// device finds the box the turned sheet covers, wider than the sheet.
TEST_P(RealEngineOptions, AutoDeskewAsksTheDeviceToStraightenTheSheet)
{
    struct Case {
        const char* what;
        const char* profile;
        bool deskew;
        const char* command;
        std::vector<std::pair<const char*, const char*>> keys;
        double widthMm;  // 0: not measured
    };
    // A5 turned by 2 degrees covers 148 cos 2 + 210 sin 2 = 155.2 mm.
    const Case cases[] = {
        {"generation 2", "gen2-adf-detect", true, "SSP", {{"DSKW", "ON"}, {"AREA", "AUTO"}}, 148},
        {"generation 2 without deskew", "gen2-adf-detect", false, "SSP", {{"DSKW", "OFF"}, {"AREA", "AUTO"}}, 155.2},
        {"generation 1", "gen1-adf", true, "X", {{"S", "SKEW_ADJUST"}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveFiles(1);
        SimSetup setup;
        setup.profile = c.profile;
        setup.sheetSpecs = {"A5:skew=2"};
        Scanner scanner(f_, GetParam(), setup);
        Result const r = Batch(scanner, kSimplex, {c.deskew ? "--AutoDeskew=yes" : "--AutoDocumentSize=yes"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(FilesWritten(), 1) << r.err;
        std::vector<std::string> const frames = Frames(scanner, c.command);
        ASSERT_FALSE(frames.empty()) << c.command;
        for (const auto& [key, value] : c.keys) {
            EXPECT_TRUE(Carries(frames.back(), key, value)) << frames.back();
        }
        Measured const m = Measure(Out(1), Sent(1));
        ASSERT_TRUE(m.ok);
        EXPECT_GE(m.psnr, kJpegMinPsnr) << SentSize(1);
        if (c.widthMm != 0) {
            EXPECT_NEAR(m.widthMm, c.widthMm, kSizeToleranceMm);
        }
    }
}

// Three sheets, the second fed double: with MultifeedDetection the batch
// ends there with an error (the request carries DTDF=ON, generation 1's
// E=1); without, the device feeds on and all three pages come.
TEST_P(RealEngineOptions, MultifeedDetectionEndsTheBatchAtTheDoubleFeed)
{
    for (const char* profile : {"gen2-adf-detect", "gen1-adf"}) {
        for (bool const detect : {true, false}) {
            SCOPED_TRACE(std::string(profile) + (detect ? ", detecting" : ", not detecting"));
            RemoveFiles(3);
            SimSetup setup;
            setup.profile = profile;
            setup.sheetSpecs = {"A6", "A6:fault=double-feed@line=20", "A6"};
            Scanner scanner(f_, GetParam(), setup);
            Result const r =
                Batch(scanner, kSimplex, {detect ? "--MultifeedDetection=yes" : "--MultifeedDetection=no"});
            EXPECT_FALSE(r.timedOut);
            bool const gen2 = profile[3] == '2';
            std::vector<std::string> const frames = Frames(scanner, gen2 ? "SSP" : "X");
            ASSERT_FALSE(frames.empty());
            EXPECT_TRUE(gen2 ? Carries(frames.back(), "DTDF", detect ? "ON" : "OFF")
                             : Carries(frames.back(), "E", detect ? "1" : "0"))
                << frames.back();
            if (detect) {
                EXPECT_NE(r.err.find("sane_start: Document feeder jammed"), std::string::npos) << r.err;
                EXPECT_NE(r.exitCode, 0) << r.err;
                EXPECT_EQ(FilesWritten(), 1) << r.err;
            } else {
                EXPECT_EQ(r.exitCode, 0) << r.err;
                EXPECT_EQ(FilesWritten(), 3) << r.err;
            }
        }
    }
}

// SkipBlankPage as before on the profiles that offer it: the blank middle
// sheet is not delivered.
TEST_P(RealEngineOptions, SkipBlankPageDropsTheBlankSheet)
{
    for (const char* profile : {"gen2-adf", "gen2-adf-detect", "gen1-adf"}) {
        SCOPED_TRACE(profile);
        RemoveFiles(3);
        SimSetup setup;
        setup.profile = profile;
        setup.sheetSpecs = {"A5", "A5:blank", "A5"};
        Scanner scanner(f_, GetParam(), setup);
        Result const r = Batch(scanner, kSimplex, {"--SkipBlankPage=yes"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(FilesWritten(), 2) << r.err;
        // The pages delivered are the first and the third sheet's.
        EXPECT_GE(Measure(Out(1), Sent(1)).psnr, kJpegMinPsnr);
        EXPECT_GE(Measure(Out(2), Sent(3)).psnr, kJpegMinPsnr);
    }
}

// Size detection for the feeder's simplex side only, a duplex scan with
// AutoDocumentSize: the engine asks for an empty area, which the device
// refuses with a device error at once; scanimage ends with an error within
// seconds, not after the engine's 90-second read time-out.
TEST_P(RealEngineOptions, AnEmptyAreaEndsWithAnErrorWithinSeconds)
{
    SimSetup setup;
    setup.profile = "gen2-adf-detect";
    setup.settings = {{"qdi.autoDocumentSize", "0"}, {"qdi.paperSizeDetected", "3"}};
    setup.sheetSpecs = {"A5"};
    Scanner scanner(f_, GetParam(), setup);
    auto const start = std::chrono::steady_clock::now();
    Result const r = Batch(scanner, kDuplex, {"--AutoDocumentSize=yes"}, 40);
    double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(r.timedOut);
    EXPECT_LT(seconds, 10.0);
    EXPECT_NE(r.exitCode, 0) << r.err;
    EXPECT_EQ(FilesWritten(), 0) << r.err;
    bool refused = false;
    for (const std::string& line : scanner.Transcript()) {
        refused = refused || line.find("\"reason\":\"empty scan area\"") != std::string::npos;
    }
    EXPECT_TRUE(refused);
}

INSTANTIATE_TEST_SUITE_P(Network, RealEngineOptions, testing::Values(Transport::kNetwork),
                         [](const testing::TestParamInfo<Transport>& info) { return Name(info.param); });

}  // namespace
