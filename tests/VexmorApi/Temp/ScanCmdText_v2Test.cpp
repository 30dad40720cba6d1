// Generation-2 command texts: whole frames byte for byte, the words for
// values outside the named ones, free-text user names, and a round trip of
// random scan parameters through the independent command reader.
#include "VexmorApi/Temp/ScanCmdText_v2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <sstream>

#include "tests/support/gen2_param_reader/Gen2ParamReader.h"

using vscore::_SCANCMD_SCANPARAM;
using vscore::CCmdString_v2;

namespace {

_SCANCMD_SCANPARAM Zeroed()
{
    _SCANCMD_SCANPARAM p;
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    return p;
}

// A typical request: every optional line left out.
_SCANCMD_SCANPARAM Typical()
{
    _SCANCMD_SCANPARAM p = Zeroed();
    p.osInfo = vscore::SCANCMD_OS_LNX;
    p.paperSource = vscore::SCANCMD_PAPERSOURCE_ADF;
    p.resolution = {300, 600, 0};
    p.colorType = vscore::SCANCMD_COLOR_C24BIT;
    p.scanArea = {vscore::SCANCMD_SCAN_AREA_NORMAL, 100, 200, 2000, 3000};
    p.margin = {-15, 99, 250, 0};  // left, top, right, bottom
    p.duplexScan = {true, true};
    p.brightness = -50;
    p.contrast = 50;
    p.compression = vscore::SCANCMD_COMPRESSION_JPEG;
    p.jpegRate = 0;
    p.jpegSamplingFactor = vscore::SCANCMD_JPEG_SAMPLING_420;
    p.imageProcessing = vscore::SCANCMD_IMAGE_PROCESSING_PHOTO;
    p.paperType = vscore::SCANCMD_PAPER_THOCK;
    p.scanPage = 0;
    p.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_NORMAL;
    p.carrierSheet = {true, true};
    p.groundColorRemoval = {true, true, -3};
    p.doubleFeedDetection = {true, false, 7};
    p.autoDeskew = true;
    p.blankPageRemoval = {false, true, 9};
    p.gammaAdjust = {1, 0};
    return p;
}

TEST(CCmdString_v2, SspFrameHasEveryLineInTheFixedOrder)
{
    CCmdString_v2 make;
    _SCANCMD_SCANPARAM const p = Typical();
    EXPECT_EQ(make.MakeSSPcmdString(&p, false),
              "\x1BSSP\nOS=LNX\nPSRC=ADF\nRESO=300,600\nCLR=C24BIT\nAREA=NORMAL\nMRGN=-1,25,9,0\nDPLX=BACK\n"
              "BRIT=0\nCONT=100\nCOMP=JPEG\nJSF=420\nIPRC=PHOTO\nPTYPE=THOCK\nPAGE=0\nLONG=OFF\nCARR=AUTO\n"
              "RMGC=-3\nDTDF=ON\nDT4V=OFF\nDSKW=ON\nLSMD=OFF\nRMBP=OFF\nRMMR=OFF\nGMMA=\nTONE=OFF\nQTFD=OFF\n"
              "ATCN=OFF\nATCRP=OFF\nUSER=\n\x80");

    // Every optional line present, each at its place.
    _SCANCMD_SCANPARAM q = p;
    q.autoColorLevel = true;
    q.monoColorDetectLevel = 0xFFFFFFFF;  // sent signed
    q.monoGrayDetectLevel = 12;
    q.monoThreshold = {128, false, true};
    q.jpegRate = 80;
    q.feedMotion = {true, false, true};
    q.gammaAdjust = {1, 22};
    q.autoContinuousScan = {true, 30, 4};
    q.resolution.autoResolution = 1;
    std::strcpy(q.userName, "scan=desk 1");
    EXPECT_EQ(make.MakeSSPcmdString(&q, false),
              "\x1BSSP\nOS=LNX\nPSRC=ADF\nRESO=AUTO\nCLR=C24BIT\nAREA=NORMAL\nMRGN=-1,25,9,0\nDPLX=BACK\n"
              "BRIT=0\nCONT=100\nATCL=-1,12\nTHRS=128\nCOMP=JPEG\nRATE=80\nJSF=420\nIPRC=PHOTO\nPTYPE=THOCK\n"
              "PAGE=0\nLONG=OFF\nCARR=AUTO\nRMGC=-3\nDTDF=ON\nOPDF=CONT\nDT4V=OFF\nDSKW=ON\nLSMD=OFF\nRMBP=OFF\n"
              "RMMR=OFF\nGMMA=22\nTONE=OFF\nQTFD=OFF\nATCN=ON\nATTO=30\nATFD=4\nATCRP=OFF\nUSER=scan=desk 1\n\x80");
}

TEST(CCmdString_v2, ShortFramesAndNullRecords)
{
    CCmdString_v2 make;
    _SCANCMD_SCANPARAM const p = Typical();
    EXPECT_EQ(make.MakeSSPcmdString(&p, true), std::string("\x1B\x53\x53\x50\x0A"
                                                           "OS=LNX\x0A\x80"));
    EXPECT_EQ(make.MakeXSCcmdString(&p, true), std::string("\x1B\x58\x53\x43\x0A\x80"));
    EXPECT_EQ(make.MakeXSCcmdString(&p, false), "\x1BXSC\nRESO=300,600\nAREA=100,200,2100,3200\nMODE=NORMAL\n\x80");
    EXPECT_EQ(make.MakeSSPcmdString(nullptr, false), "");
    EXPECT_EQ(make.MakeSSPcmdString(nullptr, true), "");
    EXPECT_EQ(make.MakeXSCcmdString(nullptr, false), "");
}

TEST(CCmdString_v2, XscAreaByType)
{
    struct Case {
        uint32_t type;
        const char* area;
    };
    const Case cases[] = {
        {0, "AREA=100,200,2100,3200"},
        {5, "AREA=100,200,2100,3200"},
        {9, "AREA=100,200,2100,3200"},
        {1, "AREA=FULL"},
        {2, "AREA=OVER"},
        {3, "AREA=AUTO"},
        {4, "AREA=ATDSKW"},
    };
    CCmdString_v2 make;
    for (const Case& c : cases) {
        _SCANCMD_SCANPARAM p = Typical();
        p.scanArea.type = static_cast<vscore::SCANCMD_SCAN_AREA_TYPE>(c.type);
        p.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_EDGEPRE;
        EXPECT_EQ(make.MakeXSCcmdString(&p, false),
                  std::string("\x1BXSC\nRESO=300,600\n") + c.area + "\nMODE=EDGEPRE\n\x80")
            << "type " << c.type;
        std::string const ssp = make.MakeSSPcmdString(&p, false);
        EXPECT_NE(ssp.find(c.type >= 1 && c.type <= 4 ? c.area : "AREA=NORMAL"), std::string::npos) << c.type;
    }
    // The corners wrap at 32 bits.
    _SCANCMD_SCANPARAM p = Typical();
    p.scanArea = {vscore::SCANCMD_SCAN_AREA_NORMAL, 0xFFFFFFF0u, 5, 0x20, 0xFFFFFFFFu};
    EXPECT_EQ(make.MakeLastScanAreaString(p.scanArea), "AREA=4294967280,5,16,4\n");
}

TEST(CCmdString_v2, CheckDocumentAndAbortFrames)
{
    CCmdString_v2 make;
    EXPECT_EQ(make.MakeCKDcmdString(vscore::SCANCMD_PAPERSOURCE_ADF, true, 0),
              "\x1B"
              "CKD\nPSRC=ADF\nCSIT=0\n\x80");
    EXPECT_EQ(make.MakeCKDcmdString(vscore::SCANCMD_PAPERSOURCE_FB, false, 30),
              "\x1B"
              "CKD\nPSRC=FB\n\x80");
    EXPECT_EQ(make.MakeCKDcmdString(vscore::SCANCMD_PAPERSOURCE_AUTO, true, 4294967295u),
              "\x1B"
              "CKD\nPSRC=AUTO\nCSIT=4294967295\n\x80");

    struct Case {
        uint32_t ejection;
        bool finish;
        const char* frame;
    };
    const Case cases[] = {
        {0, false,
         "\x1B"
         "ABT\n\x80"},
        {0, true,
         "\x1B"
         "ABT\nATCN=OFF\n\x80"},
        {1, false,
         "\x1B"
         "ABT\nEJCT=ALL\n\x80"},
        {2, false,
         "\x1B"
         "ABT\nEJCT=ONE\n\x80"},
        {3, true,
         "\x1B"
         "ABT\nEJCT=NO\nATCN=OFF\n\x80"},
        {9, false,
         "\x1B"
         "ABT\nEJCT=ONE\n\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(make.MakeABTcmdString(static_cast<vscore::SCANCMD_EJECTION_TYPE>(c.ejection), c.finish), c.frame)
            << c.ejection << " " << c.finish;
    }
}

// Values outside the named ones take the device's default word.
TEST(CCmdString_v2, UnnamedValuesTakeTheDefaultWord)
{
    CCmdString_v2 make;
    using namespace vscore;
    struct Case {
        std::string line;
        const char* expected;
    };
    const Case cases[] = {
        {make.MakeOSinfoString(static_cast<SCANCMD_OS_INFO>(0)), "OS=WIN\n"},
        {make.MakeOSinfoString(static_cast<SCANCMD_OS_INFO>(1)), "OS=WIN\n"},
        {make.MakeOSinfoString(static_cast<SCANCMD_OS_INFO>(6)), "OS=WPH\n"},
        {make.MakeOSinfoString(static_cast<SCANCMD_OS_INFO>(7)), "OS=WIN\n"},
        {make.MakePaperSourceString(static_cast<SCANCMD_PAPERSOURCE_TYPE>(3)), "PSRC=AUTO\n"},
        {make.MakeColorTypeString(static_cast<SCANCMD_COLOR_TYPE>(6)), "CLR=AUTO\n"},
        {make.MakeCompressionString(static_cast<SCANCMD_COMPRESSION_TYPE>(0)), "COMP=NONE\n"},
        {make.MakeCompressionString(static_cast<SCANCMD_COMPRESSION_TYPE>(4)), "COMP=RLENGTH\n"},
        {make.MakeCompressionString(static_cast<SCANCMD_COMPRESSION_TYPE>(5)), "COMP=JPEG\n"},
        {make.MakeCompressionString(static_cast<SCANCMD_COMPRESSION_TYPE>(6)), "COMP=NONE\n"},
        {make.MakeJpegSamplingFactorString(static_cast<SCANCMD_JPEG_SAMPLING_FACTOR_TYPE>(5)), "JSF=444\n"},
        {make.MakeImageProcessingString(static_cast<SCANCMD_IMAGE_PROCESSING_TYPE>(5)), "IPRC=NORMAL\n"},
        {make.MakePaperTypeString(static_cast<SCANCMD_PAPER_TYPE>(4)), "PTYPE=NORMAL\n"},
        {make.MakeSpecialModeString(static_cast<SCANCMD_SPECIAL_SCAN_TYPE>(0)), "MODE=NORMAL\n"},
        {make.MakeSpecialModeString(static_cast<SCANCMD_SPECIAL_SCAN_TYPE>(5)), "MODE=NORMAL\n"},
        {make.MakeGammaAdjustString({7, 0}), "GMMA=\n"},
        {make.MakeGammaAdjustString({0, 9}), "GMMA=OFF\n"},
        {make.MakeDoubleFeedDetectionString({true, true, 4294967295u}), "DTDF=4294967295\n"},
        {make.MakeBlankPageRemoval({true, true, std::numeric_limits<int32_t>::min()}), "RMBP=-2147483648\n"},
        {make.MakeBrightnessString(std::numeric_limits<int32_t>::max()), "BRIT=2147483697\n"},
        {make.MakeContrastString(std::numeric_limits<int32_t>::min()), "CONT=-2147483598\n"},
        {make.MakeMarginAreaString({-19, 0, 19, std::numeric_limits<int32_t>::min()}), "MRGN=-1,1,0,-214748364\n"},
        {make.MakeDuplexScanString({false, true}), "DPLX=OFF\n"},
        {make.MakeCarrierSheetModeSetring({false, true}), "CARR=OFF\n"},
        {make.MakeDoubleFeedMotionString({true, true, false}), "OPDF=STOP\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line, c.expected);
    }
}

// A user name is bounded to its field and loses every byte that could end
// the line or the frame.
TEST(CCmdString_v2, UserNameIsBoundedAndKeptInsideTheFrame)
{
    CCmdString_v2 make;
    _SCANCMD_SCANPARAM p = Typical();
    const char raw[] =
        "a\nb\x80"
        "c\x1B\xFF\td~\x7F"
        "e";
    std::memcpy(p.userName, raw, sizeof raw);
    std::string const frame = make.MakeSSPcmdString(&p, false);
    std::string const tail =
        "USER=abcd~\x7F"
        "e\n\x80";
    ASSERT_GE(frame.size(), tail.size());
    EXPECT_EQ(frame.substr(frame.size() - tail.size()), tail);
    EXPECT_EQ(frame.find('\x80'), frame.size() - 1);

    // A name filling the field without a NUL is read to the field's end only.
    std::string const longer(300, 'n');
    EXPECT_EQ(make.MakeUserName(longer.c_str(), sizeof p.userName),
              "USER=" + std::string(sizeof p.userName, 'n') + "\n");
    EXPECT_EQ(make.MakeUserName(nullptr, 10), "USER=\n");
}

// ---------------------------------------------------------------------------
// Round trip through the independent reader.

// Every field, as text, for readable differences.
std::string Describe(const _SCANCMD_SCANPARAM& p)
{
    std::ostringstream s;
    s << "os " << p.osInfo << " psrc " << p.paperSource << " reso " << p.resolution.x << "," << p.resolution.y << ","
      << p.resolution.autoResolution << " clr " << p.colorType << " area " << p.scanArea.type << ":" << p.scanArea.x
      << "," << p.scanArea.y << "," << p.scanArea.width << "," << p.scanArea.height << " mrgn " << p.margin.left << ","
      << p.margin.top << "," << p.margin.right << "," << p.margin.bottom << " dplx " << p.duplexScan.duplex
      << p.duplexScan.back << " brit " << p.brightness << " cont " << p.contrast << " atcl " << p.autoColorLevel << ":"
      << p.monoColorDetectLevel << "," << p.monoGrayDetectLevel << " thrs " << p.monoThreshold.level << ","
      << p.monoThreshold.autoThreshold << p.monoThreshold.manualThreshold << " comp " << p.compression << " rate "
      << p.jpegRate << " jsf " << p.jpegSamplingFactor << " iprc " << p.imageProcessing << " ptype " << p.paperType
      << " page " << p.scanPage << " user \"" << std::string(p.userName, strnlen(p.userName, sizeof p.userName))
      << "\" mode " << p.specialScanType << " long " << p.longPaper << " carr " << p.carrierSheet.on
      << p.carrierSheet.autoMode << " rmgc " << p.groundColorRemoval.on << p.groundColorRemoval.levelGiven
      << p.groundColorRemoval.level << " dtdf " << p.doubleFeedDetection.on << p.doubleFeedDetection.levelGiven
      << p.doubleFeedDetection.level << " opdf " << p.feedMotion.on << p.feedMotion.stop << p.feedMotion.continueFeed
      << " dt4v " << p.cornerDetection << " dskw " << p.autoDeskew << " lsmd " << p.landscapeMode << " rmbp "
      << p.blankPageRemoval.on << p.blankPageRemoval.levelGiven << p.blankPageRemoval.level << " rmmr "
      << p.moireRemoval << " gmma " << p.gammaAdjust.on << "," << p.gammaAdjust.value << " tone " << p.toneAdjust
      << " qtfd " << p.quietScan << " atcn " << p.autoContinuousScan.execute << "," << p.autoContinuousScan.timeout
      << "," << p.autoContinuousScan.feedDelay << " atcrp " << p.autoCrop;
    return s.str();
}

// A random record of values the texts can carry: the fields a text leaves
// out for a setting (levels of a feature that is off, coordinates of a
// special area, ...) are 0, margins are whole tenths of a millimetre.
_SCANCMD_SCANPARAM RandomRecord(std::mt19937& rng)
{
    auto u32 = [&] { return static_cast<uint32_t>(rng()); };
    auto i32 = [&] { return static_cast<int32_t>(rng()); };
    auto flag = [&] { return (rng() & 1) != 0; };
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    using namespace vscore;

    _SCANCMD_SCANPARAM p = Zeroed();
    const uint32_t oses[] = {0, 2, 3, 4, 5, 6};
    p.osInfo = static_cast<SCANCMD_OS_INFO>(oses[pick(6)]);
    p.paperSource = static_cast<SCANCMD_PAPERSOURCE_TYPE>(pick(3));
    if (flag()) {
        p.resolution = {u32(), u32(), 0};
    } else {
        p.resolution = {0, 0, 1};
    }
    p.colorType = static_cast<SCANCMD_COLOR_TYPE>(pick(6));
    p.scanArea.type = static_cast<SCANCMD_SCAN_AREA_TYPE>(pick(5));
    if (p.scanArea.type == SCANCMD_SCAN_AREA_NORMAL) {
        p.scanArea = {SCANCMD_SCAN_AREA_NORMAL, u32(), u32(), u32(), u32()};
    }
    p.margin = {i32() / 10 * 10, i32() / 10 * 10, i32() / 10 * 10, i32() / 10 * 10};
    p.duplexScan.duplex = flag();
    p.duplexScan.back = p.duplexScan.duplex && flag();
    p.brightness = flag() ? i32() : static_cast<int32_t>(pick(101)) - 50;
    p.contrast = flag() ? i32() : static_cast<int32_t>(pick(101)) - 50;
    p.autoColorLevel = flag();
    if (p.autoColorLevel) {
        p.monoColorDetectLevel = u32();
        p.monoGrayDetectLevel = u32();
    }
    if (flag()) {
        p.monoThreshold = {u32(), false, true};
    }
    p.compression = static_cast<SCANCMD_COMPRESSION_TYPE>(1 + pick(3));
    p.jpegRate = flag() ? u32() : 0;
    p.jpegSamplingFactor = static_cast<SCANCMD_JPEG_SAMPLING_FACTOR_TYPE>(pick(5));
    p.imageProcessing = static_cast<SCANCMD_IMAGE_PROCESSING_TYPE>(pick(5));
    p.paperType = static_cast<SCANCMD_PAPER_TYPE>(pick(4));
    p.scanPage = flag() ? u32() : pick(3);
    uint32_t const nameLength = flag() ? pick(sizeof p.userName) : pick(12);
    for (uint32_t i = 0; i < nameLength; ++i) {
        p.userName[i] = static_cast<char>(0x20 + pick(0x60));
    }
    p.specialScanType = static_cast<SCANCMD_SPECIAL_SCAN_TYPE>(1 + pick(4));
    p.longPaper = flag();
    p.carrierSheet.on = flag();
    p.carrierSheet.autoMode = p.carrierSheet.on && flag();
    p.groundColorRemoval.on = flag();
    p.groundColorRemoval.levelGiven = p.groundColorRemoval.on && flag();
    p.groundColorRemoval.level = p.groundColorRemoval.levelGiven ? i32() : 0;
    p.doubleFeedDetection.on = flag();
    p.doubleFeedDetection.levelGiven = p.doubleFeedDetection.on && flag();
    p.doubleFeedDetection.level = p.doubleFeedDetection.levelGiven ? u32() : 0;
    p.feedMotion.on = flag();
    p.feedMotion.continueFeed = p.feedMotion.on && flag();
    p.feedMotion.stop = p.feedMotion.on && !p.feedMotion.continueFeed;
    p.cornerDetection = flag();
    p.autoDeskew = flag();
    p.landscapeMode = flag();
    p.blankPageRemoval.on = flag();
    p.blankPageRemoval.levelGiven = p.blankPageRemoval.on && flag();
    p.blankPageRemoval.level = p.blankPageRemoval.levelGiven ? i32() : 0;
    p.moireRemoval = flag();
    p.gammaAdjust.on = flag() ? 1 : 0;
    p.gammaAdjust.value = p.gammaAdjust.on != 0 && flag() ? u32() : 0;
    p.toneAdjust = flag();
    p.quietScan = flag();
    p.autoContinuousScan.execute = flag();
    if (p.autoContinuousScan.execute) {
        p.autoContinuousScan.timeout = u32();
        p.autoContinuousScan.feedDelay = u32();
    }
    p.autoCrop = flag();
    return p;
}

TEST(CCmdString_v2, RandomRecordsComeBackThroughTheReader)
{
    std::mt19937 rng(20240612);
    CCmdString_v2 make;
    for (int i = 0; i < 1000; ++i) {
        _SCANCMD_SCANPARAM const sent = RandomRecord(rng);
        _SCANCMD_SCANPARAM read = Zeroed();
        for (const std::string& frame : {make.MakeSSPcmdString(&sent, false), make.MakeXSCcmdString(&sent, false)}) {
            gen2_param_reader::Gen2Frame split;
            std::string error;
            ASSERT_TRUE(gen2_param_reader::SplitFrame(frame, split, &error)) << error << "\n" << frame;
            ASSERT_TRUE(gen2_param_reader::ReadScanParam(split, read, &error)) << error << "\n" << frame;
        }
        ASSERT_EQ(Describe(read), Describe(sent)) << "record " << i;
    }
}

}  // namespace
