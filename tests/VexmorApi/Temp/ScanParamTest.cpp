// The scan request as device parameters, read back from the SSP text the
// generation-2 builder writes for them, and the adjustment of the user's
// request that comes before.
#include "VexmorApi/Temp/ScanParam.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "VexmorApi/Temp/AdjustScanSetting.h"
#include "VexmorApi/Temp/ScanCmdText_v2.h"
#include "VexmorApi/Utilities/Exception.h"
#include "tests/support/gen2_param_reader/Gen2ParamReader.h"

using namespace vscore;

namespace {

VS_SCANNER_PARAMETERS Request()
{
    VS_SCANNER_PARAMETERS r;
    ClearRecord(&r);
    r.resolutionX = 300;
    r.resolutionY = 300;
    r.colortype = COLOR24BIT;
    r.scanAreaInfo.papertype = A4;
    r.paperSource = ADF;
    return r;
}

VS_SCANNER_CAPABILITY Capability()
{
    VS_SCANNER_CAPABILITY c;
    ClearRecord(&c);
    c.cmdGeneration = SCANCMD_2ND_GENERATION;
    c.commandVersion = CommandVersion_MOSSA;
    c.category = DOCUMENTSCANNER;
    c.blankRemoval.cap = SUPPORT;
    return c;
}

// The SSP lines, by key, of the parameters made for request.
std::map<std::string, std::string> SspLines(const VS_SCANNER_PARAMETERS& request,
                                            const VS_SCANNER_CAPABILITY& capability)
{
    _SCANCMD_SCANPARAM const param =
        CScanParam().ConvertScanParameterToSend(request, CDeviceCapsForPreparation(capability));
    gen2_param_reader::Gen2Frame frame;
    std::string error;
    EXPECT_TRUE(gen2_param_reader::SplitFrame(CCmdString_v2().MakeSSPcmdString(&param, false), frame, &error)) << error;
    std::map<std::string, std::string> lines;
    for (const auto& [key, value] : frame.lines) {
        lines[key] = value;
    }
    return lines;
}

}  // namespace

TEST(CScanParam, SspLinesOfTheConversionRules)
{
    using Edit = std::function<void(VS_SCANNER_PARAMETERS&, VS_SCANNER_CAPABILITY&)>;
    struct Case {
        const char* name;
        Edit edit;
        std::map<std::string, std::string> expected;  // "" for a line that must be absent
    };
    auto const corner = [](VS_SCANNER_CAPABILITY& c) {
        c.cornerDetect.cap = SUPPORT;
        c.cornerDetect.resolutionDpiMin = {100, 100};
        c.cornerDetect.resolutionDpiMax = {600, 600};
        c.cornerDetect.supportColorType.color24bit = true;
    };
    const Case cases[] = {
        {"256 colours with punch-hole removal go as 24-bit colour",
         [](auto& r, auto&) { r.colortype = COLOR256, r.enhanced.punchHoleRemove.remove = true; },
         {{"CLR", "C24BIT"}}},
        {"automatic colour keeps its type for punch-hole removal",
         [](auto& r, auto& c) {
             r.colortype = AUTOCOLOR, r.enhanced.punchHoleRemove.remove = true, c.autoColor.cap = SUPPORT;
         },
         {{"CLR", "AUTO"}}},
        {"black and white with blank pages found on the computer goes as gray, tone on, contrast 0",
         [](auto& r, auto& c) {
             r.colortype = BLACKWHITE, r.enhanced.blankRemoval.remove = true, c.blankRemoval.cap = UNSUPPORT;
             r.brightness = 10, r.contrast = 20;
         },
         {{"CLR", "GRAY256"}, {"RMBP", "OFF"}, {"TONE", "ON"}, {"BRIT", "60"}, {"CONT", "50"}}},
        {"corner detection picks the lowest supported colour, never 256 colours, and clamps the resolution",
         [&](auto& r, auto& c) {
             corner(c);
             c.cornerDetect.supportColorType = {false, false, true, true, false, false, false};
             r.scanAreaInfo.papertype = AUTOSIZE, r.resolutionX = 1200, r.resolutionY = 50;
         },
         {{"CLR", "GRAY256"}, {"RESO", "600,100"}, {"AREA", "NORMAL"}}},
        {"no corner detection for a fixed paper without deskew: resolution as asked",
         [&](auto& r, auto& c) { corner(c), r.resolutionX = r.resolutionY = 1200; },
         {{"RESO", "1200,1200"}}},
        {"device maximum is FULL whatever the detection capabilities",
         [&](auto& r, auto& c) { corner(c), c.deviceDetectSize.cap = SUPPORT, r.scanAreaInfo.papertype = DEVICEMAX; },
         {{"AREA", "FULL"}}},
        {"automatic size detected by the device alone",
         [](auto& r, auto& c) { c.deviceDetectSize.cap = SUPPORT, r.scanAreaInfo.papertype = AUTOSIZE; },
         {{"AREA", "AUTO"}}},
        {"automatic size detected together with deskew",
         [](auto& r, auto& c) {
             c.deviceDetectSize.cap = SUPPORT, c.deviceDetectSize.interlock = {true, true}, c.deskew.cap = SUPPORT;
             r.scanAreaInfo.papertype = AUTOSIZE;
         },
         {{"AREA", "ATDSKW"}, {"DSKW", "OFF"}}},
        {"ground level 200 of 5 device levels counts doublings of 51",
         [](auto& r, auto& c) {
             r.enhanced.backgroundRemoval = {true, {}, 200}, c.backgroundRemove.color24bit = {SUPPORT, 5};
         },
         {{"RMGC", "2"}}},
        {"ground level above more than 255 device levels doubles from a step of 1 (1 .. 128)",
         [](auto& r, auto& c) {
             r.enhanced.backgroundRemoval = {true, {}, 301}, c.backgroundRemove.color24bit = {SUPPORT, 300};
         },
         {{"RMGC", "8"}}},
        {"ground level within the device's levels goes as it is",
         [](auto& r, auto& c) {
             r.enhanced.backgroundRemoval = {true, {}, 3}, c.backgroundRemove.color24bit = {SUPPORT, 5};
         },
         {{"RMGC", "3"}}},
        {"ground removal with a single device level gives no level",
         [](auto& r, auto& c) {
             r.enhanced.backgroundRemoval = {true, {}, 3}, c.backgroundRemove.color24bit = {SUPPORT, 1};
         },
         {{"RMGC", "ON"}}},
        {"ground removal the colour type does not support stays off",
         [](auto& r, auto& c) {
             r.enhanced.backgroundRemoval = {true, {}, 3}, c.backgroundRemove.trueGray = {SUPPORT, 5};
         },
         {{"RMGC", "OFF"}}},
        {"card slot goes as source AUTO with plastic-card paper",
         [](auto& r, auto&) { r.paperSource = CARDSLOT; },
         {{"PSRC", "AUTO"}, {"PTYPE", "PCARD"}}},
        {"plastic card scans both sides",
         [](auto& r, auto&) { r.enhanced.plasticCard.execute = true; },
         {{"PTYPE", "PCARD"}, {"DPLX", "ON"}}},
        {"black and white sends brightness only",
         [](auto& r, auto&) { r.colortype = BLACKWHITE, r.brightness = 10, r.contrast = 20; },
         {{"BRIT", "60"}, {"CONT", "50"}, {"TONE", "OFF"}}},
        {"gray with the user's automatic tone sends neither",
         [](auto& r, auto&) {
             r.colortype = TRUEGRAY, r.brightness = 10, r.contrast = 20, r.enhanced.colorTone.autoTone = true;
         },
         {{"BRIT", "50"}, {"CONT", "50"}, {"TONE", "OFF"}}},
        {"gray on an old command version is always a tone adjustment",
         [](auto& r, auto& c) {
             r.colortype = TRUEGRAY, r.brightness = -10, r.contrast = 20, r.enhanced.colorTone.autoTone = true;
             c.commandVersion = CommandVersion_TARN;
         },
         {{"BRIT", "40"}, {"CONT", "70"}, {"TONE", "ON"}}},
        {"negated scan margins where margins are adjustable",
         [](auto& r, auto& c) {
             c.marginAdjust.cardslot_minus.bottom = 1;
             c.marginSize.adfSimplex = {150, 250, 300, 400, MM};
             r.paperSource = ADF;
         },
         {{"MRGN", "-15,-25,-30,-40"}}},
        {"edge cut in thousandths of an inch",
         [](auto& r, auto&) {
             r.enhanced.edgeCut = {true, {}, {1000, 0, 500, 0}, INCH};
         },
         {{"MRGN", "254,127,0,0"}}},
        {"JPEG with a rate",
         [](auto&, auto& c) { c.supportCompressionType.color24bit.jpeg = true; },
         {{"COMP", "JPEG"}, {"RATE", "50"}, {"JSF", "420"}}},
        {"JPEG without a rate above command version 266",
         [](auto&, auto& c) {
             c.supportCompressionType.color24bit.jpeg = true, c.commandVersion = CommandVersion_SEDGE2;
         },
         {{"COMP", "JPEG"}, {"RATE", ""}}},
        {"double feed detection stops the scan",
         [](auto& r, auto& c) {
             r.enhanced.multifeedDetect = true, c.multifeedDetect = {SUPPORT, {SUPPORT, 0}};
             c.errorSystem.errorDoublefeed = {SUPPORT, true, false, false};
         },
         {{"DTDF", "0"}, {"OPDF", "STOP"}}},
        {"moire removal above the device's limit stays off",
         [](auto& r, auto& c) {
             r.enhanced.moireRemoval = true, r.resolutionY = 600, c.moireRemoval = {SUPPORT, {600, 300}};
         },
         {{"RMMR", "OFF"}}},
    };
    for (const Case& c : cases) {
        VS_SCANNER_PARAMETERS request = Request();
        VS_SCANNER_CAPABILITY capability = Capability();
        c.edit(request, capability);
        auto const lines = SspLines(request, capability);
        for (const auto& [key, value] : c.expected) {
            auto const found = lines.find(key);
            if (value.empty()) {
                EXPECT_EQ(found, lines.end()) << c.name << ": " << key;
            } else {
                ASSERT_NE(found, lines.end()) << c.name << ": " << key;
                EXPECT_EQ(key + "=" + found->second, key + "=" + value) << c.name;
            }
        }
    }
}

TEST(CScanParam, CornerDetectionWithoutAnyUsableColourThrows)
{
    VS_SCANNER_PARAMETERS request = Request();
    request.scanAreaInfo.papertype = AUTOSIZE;
    VS_SCANNER_CAPABILITY capability = Capability();
    capability.cornerDetect.cap = SUPPORT;
    capability.cornerDetect.supportColorType.color256 = true;
    try {
        CScanParam().ConvertScanParameterToSend(request, CDeviceCapsForPreparation(capability));
        FAIL() << "no exception";
    } catch (const TraceException& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
        EXPECT_EQ(e.GetMessage(), "No supported color type.");
    }
}

TEST(CScanParam, RoundUpAndAreaUnits)
{
    EXPECT_EQ(CScanParam::RoundUpValue(2481, 16), 2496);
    EXPECT_EQ(CScanParam::RoundUpValue(2480, 16), 2480);
    EXPECT_EQ(CScanParam::RoundUpValue(-5, 16), 0);
    EXPECT_EQ(CScanParam::RoundUpValue(7, 0), 7);

    VS_SCANNER_PARAMETERS request = Request();
    request.resolutionX = 300;
    request.resolutionY = 600;
    request.scanAreaInfo.selectArea = {1000, 1000, 8500, 11000, INCH};
    SCANAREA const pixels = CScanParam::ConvertScanAreaValueUnit(request, PIXEL).scanAreaInfo.selectArea;
    EXPECT_EQ(pixels.offsetX, 300);
    EXPECT_EQ(pixels.offsetY, 600);
    EXPECT_EQ(pixels.width, 2550);
    EXPECT_EQ(pixels.height, 6600);
    EXPECT_EQ(pixels.unit, PIXEL);
    // Pixels at a zero resolution cannot be converted: the area stays as it was.
    request.resolutionX = 0;
    request.scanAreaInfo.selectArea = {10, 10, 10, 10, PIXEL};
    EXPECT_EQ(CScanParam::ConvertScanAreaValueUnit(request, INCH).scanAreaInfo.selectArea.unit, PIXEL);
}

TEST(CAdjustScanSetting, StepsApplyInOrder)
{
    struct Case {
        const char* name;
        std::function<void(VS_SCANNER_PARAMETERS&, VS_SCANNER_CAPABILITY&)> edit;
        std::function<void(const VS_SCANNER_PARAMETERS&)> check;
    };
    const Case cases[] = {
        {"auto crop on a feeder-only device keeps the feeder, scans the maximum simplex",
         [](auto& r, auto&) {
             r.enhanced.autocrop = true, r.duplextype = DUPLEX_LONG, r.enhanced.blankRemoval.remove = true;
         },
         [](const auto& r) {
             EXPECT_EQ(r.paperSource, ADF);
             EXPECT_EQ(r.scanAreaInfo.papertype, DEVICEMAX);
             EXPECT_EQ(r.duplextype, SIMPLEX);
             EXPECT_FALSE(r.enhanced.blankRemoval.remove);
         }},
        {"auto crop moves to the flatbed where there is one",
         [](auto& r, auto& c) { r.enhanced.autocrop = true, c.paperSource.supportPaperSource.flatbed = true; },
         [](const auto& r) { EXPECT_EQ(r.paperSource, FLATBED); }},
        {"auto crop takes the long paper away before the long-paper step",
         [](auto& r, auto& c) {
             r.enhanced.autocrop = true, r.scanAreaInfo.papertype = LONGPAPER_WIDE, r.enhanced.deskew = true;
             c.longPaperLengthMax.cap = SUPPORT;
         },
         [](const auto& r) {
             EXPECT_EQ(r.scanAreaInfo.papertype, DEVICEMAX);
             EXPECT_TRUE(r.enhanced.deskew);
         }},
        {"long paper clears a plastic card before the card step",
         [](auto& r, auto& c) {
             r.scanAreaInfo.papertype = LONGPAPER_NARROW, r.enhanced.deskew = true;
             r.enhanced.plasticCard.execute = true, c.longPaperLengthMax.cap = SUPPORT, c.plasticCard.cap = SUPPORT;
         },
         [](const auto& r) {
             EXPECT_FALSE(r.enhanced.deskew);
             EXPECT_FALSE(r.enhanced.plasticCard.execute);
             EXPECT_EQ(r.resolutionX, 300u);
             EXPECT_EQ(r.scanAreaInfo.papertype, LONGPAPER_NARROW);
         }},
        {"carrier sheet with automatic size is switched off, deskew and multifeed too",
         [](auto& r, auto& c) {
             r.enhanced.carriersheet = r.enhanced.deskew = r.enhanced.multifeedDetect = true;
             r.scanAreaInfo.papertype = AUTOSIZE, c.carrierSheet.cap = SUPPORT;
         },
         [](const auto& r) {
             EXPECT_FALSE(r.enhanced.carriersheet);
             EXPECT_FALSE(r.enhanced.deskew);
             EXPECT_FALSE(r.enhanced.multifeedDetect);
         }},
        {"carrier sheet on a device without one: only the sheet goes",
         [](auto& r, auto&) { r.enhanced.carriersheet = r.enhanced.deskew = true; },
         [](const auto& r) {
             EXPECT_FALSE(r.enhanced.carriersheet);
             EXPECT_TRUE(r.enhanced.deskew);
         }},
        {"card mode of the device: 600 dpi, long edge for cards lying across",
         [](auto& r, auto& c) {
             r.enhanced.plasticCard.execute = true, r.enhanced.detectBarcode.execute = true;
             c.plasticCard.cap = SUPPORT, c.cardSizeOrientation.orientAdf = HORIZONTAL;
         },
         [](const auto& r) {
             EXPECT_EQ(r.resolutionX, 600u);
             EXPECT_EQ(r.resolutionY, 600u);
             EXPECT_EQ(r.duplextype, DUPLEX_LONG);
             EXPECT_EQ(r.scanAreaInfo.papertype, AUTOSIZE);
             EXPECT_FALSE(r.enhanced.detectBarcode.execute);
         }},
        {"card mode of the device for upright cards: short edge",
         [](auto& r, auto& c) { r.enhanced.plasticCard.execute = true, c.plasticCard.cap = SUPPORT; },
         [](const auto& r) { EXPECT_EQ(r.duplextype, DUPLEX_SHORT); }},
        {"inverted back through a card slot: long edge, rotation taken over",
         [](auto& r, auto& c) {
             r.enhanced.plasticCard = {true, {}, MERGE_NONE, true, {}, ROT180};
             c.paperSource.supportPaperSource.cardslot = true;
         },
         [](const auto& r) {
             EXPECT_EQ(r.duplextype, DUPLEX_LONG);
             EXPECT_EQ(r.enhanced.rotateImageAngle, ROT180);
         }},
        {"inverted back, no slot, cards lying across: short edge",
         [](auto& r, auto& c) {
             r.enhanced.plasticCard = {true, {}, MERGE_NONE, true, {}, ROT0};
             c.cardSizeOrientation.orientAdf = HORIZONTAL;
         },
         [](const auto& r) { EXPECT_EQ(r.duplextype, DUPLEX_SHORT); }},
        {"two pages in one carry no codes",
         [](auto& r, auto&) {
             r.enhanced.imageMerge = MERGE_FRONTPAGEONTOP;
             r.enhanced.detectBarcode.execute = r.enhanced.detectPatchcode.execute = true;
         },
         [](const auto& r) {
             EXPECT_FALSE(r.enhanced.detectBarcode.execute);
             EXPECT_FALSE(r.enhanced.detectPatchcode.execute);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VS_SCANNER_PARAMETERS request = Request();
        VS_SCANNER_CAPABILITY capability = Capability();
        c.edit(request, capability);
        c.check(CAdjustScanSetting::ConvertUserSetting(request, capability));
    }
}
