// Log texts of the scan request and of the version-1 capability view.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/VdSdkScanStructsDescriptor.h"

namespace {

using namespace vscore;
using S = VdSdkScanStructsDescriptor;

// What the SANE backend sends for a duplex feeder scan of a selected area.
TEST(ScanStructsDescriptor, ScanRequestMatchesGolden)
{
    VS_SCANNER_PARAMETERS p{};
    p.resolutionX = 300;
    p.resolutionY = 300;
    p.colortype = COLOR24BIT;
    p.scanAreaInfo.papertype = CUSTOMSIZE;
    p.scanAreaInfo.customPaperSize = {{21000, 29700}, MM};
    p.scanAreaInfo.areaSelected = true;
    p.scanAreaInfo.selectArea = {0, 0, 21000, 29700, MM};
    p.brightness = -10;
    p.contrast = 20;
    p.duplextype = DUPLEX_LONG;
    p.paperSource = ADF;
    p.enhanced.autocrop = true;
    p.enhanced.deskew = true;
    p.enhanced.blankRemoval = {true, {}, 5};
    p.enhanced.xferCount = -1;
    p.enhanced.multifeedDetect = true;

    const char* const expected = R"TXT({
    <Basic>        
    resolutionX:   300
    resolutionY:   300
    colortype:     COLOR24BIT
    scanAreaInfo:  { papertype: CUSTOMSIZE, customPaperSize: { size: { x: 21000, y: 29700 }, unit: MM }, areaSelected: true, selectArea: { offsetX: 0, offsetY: 0, width: 21000, height: 29700, unit: MM } }
    brightness:    -10
    contrast:      20
    duplextype:    DUPLEX_LONG
    paperSource:   ADF
    landscapeMode: false

    <Paper Detection> 
    autocrop:         true
    deskew:           true
    autoRotate:       false
    autoRotateLangId: 0
    detectEndOfPage:  false
    rotateImageAngle: ROT0

    <Image Quality>    
    monoThreshold:     { autoThreshold: false, customThreshold: false, manualLevel: 0 }
    colorTone:         { autoTone: false, customTone: false, manualBrightness: 0, manualContrast: 0, manualShadow: 0, manualHighlight: 0, manualGamma: 0 }
    autoColorLevel:    { monoColorDetectLevel: 0, monoGrayDetectLevel: 0 }
    backgroundRemoval: { remove: false, level: 0 }
    smoothing:         { bleedThrough: false, backgroundRemoval: false, level: 0 }
    colorDrop:         { drop: false, chromaticColor: false, dropRed: false, dropGreen: false, dropBlue: false, custom: false, customColor: { redVal: 0, greenVal: 0, blueVal: 0, level: 0, keepDarkColor: false } }
    thickText:         { thickness: false, level: 0 }
    dotTextCombine:    false
    edgeEnhance:       { enhance: false, level: 0 }
    reduceNoise:       false
    moireRemoval:      false
    dustRemoval:       { reduce: false, level: 0 }
    lineRemove:        { lineRemove: false, direction: LINE_VERTICAL, minLength: 0, dashedLength: 0, unit: INCH }
    punchHoleRemove:   { remove: false, fillColor: WHITE }

    <Page Control>      
    imageMerge:         MERGE_NONE
    imageDivide:        DIVIDE_NONE
    combineImages:      {execute: false, width: 0, height: 0, space: 0, unit: INCH}
    carriersheet:       false
    plasticCard:        { execute: false, mergeType: MERGE_NONE, invertBack: false, rotationAngle: ROT0 }
    edgeCut:            { adjust: false, rect: { left: 0, top: 0, right: 0, bottom: 0 }, unit: INCH }
    edgeFill:           { automatic: false, specifiedArea: false, color: WHITE, margin: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH } }
    blankRemoval:       { remove: true, level: 5 }
    xferCount:          -1
    quietMode:          false
    autoContinuousScan: { execute: false, timeout: 0, feedDelay: 0 }
    multifeedDetect:    true

    <Recognition>    
    detectBarcode:   { execute: false, maxNum: 0, searchDirection: BARCODE_AUTO, retryNum: 0, specifyArea: false, area: { offsetX: 0, offsetY: 0, width: 0, height: 0, unit: INCH }, addStartStopToCodabar: false, typesNum: 0, types: {  } }
    detectPatchcode: { execute: false, typesNum: 0, types: {  } }

    <Other>     
    iccProfile: false
})TXT";
    EXPECT_EQ(expected, S::GetDescription(p));
}

TEST(ScanStructsDescriptor, ListFrames)
{
    const uint32_t resolutions[] = {100, 150, 4294967295u};
    const PAPERTYPE papers[] = {A4, PAPERTYPE(28), CUSTOMSIZE};
    struct Case {
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {S::GetResolutionListString(resolutions, 0), "{ "},
        {S::GetResolutionListString(resolutions, 1), "{ 100 }"},
        {S::GetResolutionListString(resolutions, 3), "{ 100, 150, 4294967295 }"},
        {S::GetResolutionListString(nullptr, 3), "{ "},
        {S::GetPaperTypeListString(papers, 0), "{ "},
        {S::GetPaperTypeListString(papers, 3), "{ A4, Unknown, CUSTOMSIZE }"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

// The lines of one section of a text, header included.
std::vector<std::string> SectionLines(const std::string& text, const std::string& header)
{
    std::vector<std::string> lines;
    std::size_t at = text.find(header + "\n");
    if (at == std::string::npos) {
        return lines;
    }
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.empty() || line == "}") {
            break;
        }
        lines.push_back(line);
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    return lines;
}

TEST(ScanStructsDescriptor, CapabilityViewSections)
{
    tagVS_SCANNER_CAPABILITY_VER1 c{};
    c.commandVersion = CommandVersion_TARN;
    c.updateVersion = 3;
    std::strcpy(c.modelName, "Model 7");
    c.deviceCategory = DOCUMENTSCANNER;
    const uint32_t list[] = {100, 150, 200, 300, 400, 600, 1200};
    std::memcpy(c.resolutionList, list, sizeof list);
    c.paperTypeList[0] = AUTOSIZE;
    c.paperTypeList[1] = A4;
    c.paperTypeList[2] = CUSTOMSIZE;
    c.paperNum = 3;
    c.plasticCard = NoCardMode;
    c.colorProfile = SUPPORT;
    c.barcodeUtilitySolution = true;

    const std::string text = S::GetDescription(c);
    EXPECT_EQ(0u, text.find("{\n    <Version>\n    commandVersion: CommandVersion_TARN (0x0101)\n"
                            "    updateVersion:  3\n\n    <Device>\n    modelName:      Model 7\n"
                            "    deviceCategory: DOCUMENTSCANNER\n"));
    const std::string tail =
        "\n\n    <Other>                 \n    colorProfile:           SUPPORT\n"
        "    barcodeUtilitySolution: true\n}";
    EXPECT_EQ(text.size() - tail.size(), text.rfind(tail));

    const std::vector<std::string> basic = SectionLines(text, "    <Basic>");
    ASSERT_EQ(13u, basic.size());
    EXPECT_EQ("    resolutionList:        { 100, 150, 200, 300, 400, 600, 1200, 0, 0, 0, 0 }", basic[2]);
    EXPECT_EQ("    paperTypeList:         { AUTOSIZE, A4, CUSTOMSIZE }", basic[6]);
    EXPECT_EQ("    paperNum:              3", basic[7]);

    const std::vector<std::string> headers = {"    <Paper Detection>", "    <Image Quality>    ", "    <Page Control>",
                                              "    <Recognition>    "};
    // Header and items; colour tone and line removal add their inner lines and closing line.
    const std::size_t lineCounts[] = {6, 1 + 15 + (7 + 1) + (6 + 1), 13, 3};
    for (std::size_t i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(lineCounts[i], SectionLines(text, headers[i]).size()) << headers[i];
    }
    EXPECT_NE(std::string::npos, text.find("\n    plasticCard:         NoCardMode\n"));
    EXPECT_NE(std::string::npos, text.find("\n    imageDevide:         UNKNOWN\n"));
}

// paperNum is a 32-bit count beside a 27-entry list: it must neither run past
// the list nor wrap when narrowed to the list printer's one-byte count.
TEST(ScanStructsDescriptor, PaperCountIsClampedToTheList)
{
    const struct {
        uint32_t paperNum;
        const char* expectedList;
    } cases[] = {
        {0, "{ "},      {1, "{ LETTER }"},
        {283, nullptr},  // 283 narrowed to a byte would be 27 by accident; 300 would be 44
        {300, nullptr}, {4294967295u, nullptr},
    };
    for (const auto& c : cases) {
        tagVS_SCANNER_CAPABILITY_VER1 record{};
        for (auto& type : record.paperTypeList) {
            type = LETTER;
        }
        record.paperNum = c.paperNum;
        const std::vector<std::string> basic = SectionLines(S::GetDescription(record), "    <Basic>");
        ASSERT_EQ(13u, basic.size());
        std::string expected = c.expectedList ? c.expectedList : "";
        if (!c.expectedList) {
            expected = "{ LETTER";
            for (int i = 1; i < 27; ++i) {
                expected += ", LETTER";
            }
            expected += " }";
        }
        EXPECT_EQ("    paperTypeList:         " + expected, basic[6]) << c.paperNum;
        EXPECT_EQ("    paperNum:              " + std::to_string(c.paperNum), basic[7]);
    }
}

}  // namespace
