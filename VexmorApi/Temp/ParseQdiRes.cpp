// The QDI answer: a generation-2 device's description of itself, walked
// record by record into the QDI record by the tag table of its items (the
// conversion on into the capability record is QdiToCapability.cpp).
#include <string>

#include "VexmorApi/Temp/ParseCmdRes_v2.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr int kQdiLogLevel = 3;

char const* const kSources[4] = {"Fb", "Simplex", "Duplex", "Cardslot"};
char const* const kMarginSides[4] = {"LeftX", "RightX", "TopY", "BottomY"};
char const* const kAdjustSides[8] = {"LeftMaxX", "LeftMinX", "RightMaxX",  "RightMinX",
                                     "TopMaxY",  "TopMinY",  "BottomMaxY", "BottomMinY"};
char const* const kPseudoNames[4] = {"pseudoBackgroundAdfFrontColor", "pseudoBackgroundAdfBackColor",
                                     "pseudoBackgroundAdfFrontGray", "pseudoBackgroundAdfBackGray"};
char const* const kPseudoItems[9] = {"Red",     "Green",  "Blue",     "RedMin", "GreenMin",
                                     "BlueMin", "RedMax", "GreenMax", "BlueMax"};
char const* const kRemovalItems[5] = {"BlackWhite", "ErrorDiffusion", "TrueGray", "256Color", "ColorTypeReserved"};

// Six words of flatbed, simplex and duplex X and Y, then the card-slot pair
// when the value has 16 bytes or more. firstLength 1 skips a value of no
// bytes altogether.
void AddSourcePairs(TagTable& table, std::string const& prefix, std::string const& suffix,
                    uint16_t const (&fields)[4][2], uint16_t firstLength)
{
    char const* const sources[4] = {"Fb", "Simplex", "Duplex", "CardSlot"};
    for (int s = 0; s < 4; ++s) {
        uint16_t minLength = s == 3 ? 16 : firstLength;
        table.Item(prefix + sources[s] + suffix + "X", &fields[s][0], TagLogFormat::Dec, minLength);
        table.Item(prefix + sources[s] + suffix + "Y", &fields[s][1], TagLogFormat::Dec, minLength);
    }
}

TagTable BuildQdiTable()
{
    static _QDICMDRESPONSE const p{};
    TagTable t(&p, sizeof p);
    using F = TagLogFormat;
    t.Tag(0x0001).Item("commandVersion", &p.commandVersion, F::Dec);
    t.Tag(0x0002).Item("commandDeviceSupport", &p.commandDeviceSupport);
    t.Tag(0x0101).Item("deviceCategory", &p.deviceCategory);
    t.Tag(0x0102).Text("modelName", p.modelName, sizeof p.modelName);
    t.Tag(0x0103).Item("updateNum", &p.updateNum, F::Dec).Skip();
    t.Tag(0x0201).Item("pushScanEventInfo", &p.pushScanEventInfo).Kept(&p.pushScanEventInfoReserved);
    t.Tag(0x0202)
        .Item("continuousFbScan", &p.continuousFbScan)
        .Item("pushScanSetting", &p.pushScanSetting)
        .Item("autoContinuousScan", &p.autoContinuousScan, F::Hex2, 3)
        .LogOnly("marginAdjustmentDisplay", 4);
    t.Tag(0x0203).Item("deviceSupport", &p.deviceSupport);
    t.Tag(0x0204).Item("qciSupport", &p.qciSupport).Kept(&p.qciSupportReserved);
    t.Tag(0x0205).Item("pushScanStartTiming", &p.pushScanStartTiming).Kept(&p.pushScanStartTimingReserved);
    t.Tag(0x0206).Item("pushScanDevicePanelList", &p.pushScanDevicePanelList);
    t.Tag(0x0207).Item("solutionSwitchList", &p.solutionSwitchList);
    t.Tag(0x0208).Item("supportPowerSource", &p.supportPowerSource).Kept(&p.supportPowerSourceReserved);
    t.Tag(0x0301).Item("colorType", &p.colorType).Kept(&p.colorTypeReserved);
    t.Tag(0x0302).Item("paperSource", &p.paperSource).Item("duplexScan", &p.duplexScan);
    t.Tag(0x0303).Item("adfStackCapacity", &p.adfStackCapacity, F::Dec);
    AddSourcePairs(t.Tag(0x0304), "resolutionOptical", "", p.resolutionOptical, 0);
    AddSourcePairs(t.Tag(0x0305), "scanSize", "Max", p.scanSizeMax, 0);
    t.Tag(0x0306)
        .Item("longPaperSizeSimplexMax", &p.longPaperSizeSimplexMax, F::Dec)
        .Item("longPaperSizeDuplexMax", &p.longPaperSizeDuplexMax, F::Dec)
        .Item("longPaperSimplexLengthSpecificationMethod", &p.longPaperSimplexLengthSpecificationMethod, F::Hex2, 6)
        .Item("longPaperDuplexLengthSpecificationMethod", &p.longPaperDuplexLengthSpecificationMethod, F::Hex2, 6)
        .Item("longPaperMaxResolutionX", &p.longPaperMaxResolutionX, F::Dec, 10)
        .Item("longPaperMaxResolutionY", &p.longPaperMaxResolutionY, F::Dec, 10);
    AddSourcePairs(t.Tag(0x0307), "scanSize", "Min", p.scanSizeMin, 0);
    AddSourcePairs(t.Tag(0x0308), "supportDocSize", "Max", p.supportDocSizeMax, 1);
    t.Tag(0x0309);
    for (int set = 0; set < 2; ++set) {
        for (int s = 0; s < 4; ++s) {
            for (int k = 0; k < 4; ++k) {
                std::string name = std::string(set ? "marginSizeAuto" : "marginSize") + kSources[s] + kMarginSides[k];
                t.Item(name, set ? &p.marginSizeAuto[s][k] : &p.marginSize[s][k], set ? 64 : 0);
            }
        }
    }
    t.Present(&p.hasMarginSizeAuto, 64);
    t.Tag(0x030A);
    for (int set = 0; set < 2; ++set) {
        for (int s = 0; s < 4; ++s) {
            for (int k = 0; k < 8; ++k) {
                std::string name =
                    std::string(set ? "marginAdjustAuto" : "marginAdjust") + kSources[s] + kAdjustSides[k];
                t.Item(name, set ? &p.marginAdjustAuto[s][k] : &p.marginAdjust[s][k], set ? 128 : 0);
            }
        }
    }
    t.Present(&p.hasMarginAdjustAuto, 128);
    t.Tag(0x030B)
        .Item("scanPositionFbX", &p.scanPositionFbX)
        .Item("scanPositionFbY", &p.scanPositionFbY)
        .Item("scanPositionX", &p.scanPositionX)
        .Item("scanPositionY", &p.scanPositionY)
        .Item("scanPositionCardslotX", &p.scanPositionCardslotX)
        .Item("scanPositionCardslotY", &p.scanPositionCardslotY);
    t.Tag(0x030C).Item("CardOrientFb", &p.CardOrientFb).Item("CardOrient", &p.CardOrient);
    t.Tag(0x030D).Item("scanPages", &p.scanPages).Kept(&p.scanPagesReserved);
    t.Tag(0x030E)
        .Item("overScan", &p.overScan)
        .Item("overScanColorType", &p.overScanColorType)
        .Item("overScanExclusionSetting", &p.overScanExclusionSetting);
    t.Tag(0x030F).Item("afterCancelAction", &p.afterCancelAction).Kept(&p.afterCancelActionReserved);
    t.Tag(0x0310)
        .Item("errorJamAction", &p.errorJamAction)
        .Item("errorDpubleFeedAction", &p.errorDpubleFeedAction)
        .Item("errorCoverOpenAction", &p.errorCoverOpenAction)
        .Kept(&p.errorActionReserved);
    t.Tag(0x0311)
        .Item("tapeColor", &p.tapeColor)
        .Item("tapeColorRed", &p.tapeColorRed, F::Dec)
        .Item("tapeColorGreen", &p.tapeColorGreen, F::Dec)
        .Item("tapeColorBlue", &p.tapeColorBlue, F::Dec)
        .Item("tapeColorRangeMax", &p.tapeColorRangeMax, F::Dec)
        .Item("tapeColorRangeMin", &p.tapeColorRangeMin, F::Dec);
    t.Tag(0x0312)
        .Item("standerdOrientationFb", &p.standerdOrientationFb)
        .Item("standerdOrientationAdf", &p.standerdOrientationAdf)
        .Item("particularOrientationFb", &p.particularOrientationFb)
        .Item("particularOrientationAdf", &p.particularOrientationAdf);
    t.Tag(0x0313)
        .Item("transferPixelBlackWhite", &p.transferPixelBlackWhite, F::Dec)
        .Item("transferPixelErrorDiffusion", &p.transferPixelErrorDiffusion, F::Dec)
        .Item("transferPixelTrueGray", &p.transferPixelTrueGray, F::Dec)
        .Item("transferPixel256Color", &p.transferPixel256Color, F::Dec)
        .Item("transferPixel24bitColor", &p.transferPixel24bitColor, F::Dec)
        .Item("transferPixelColorTypeReserved", &p.transferPixelColorTypeReserved, F::Dec);
    for (int b = 0; b < 4; ++b) {
        t.Tag(static_cast<uint16_t>(0x0314 + b));
        for (int k = 0; k < 9; ++k) {
            t.Item(std::string(kPseudoNames[b]) + ":" + kPseudoItems[k], &p.pseudoBackground[b][k], F::Dec02, 10);
        }
        t.Kept(&p.pseudoBackground[b][9], 10);
    }
    t.Tag(0x0401)
        .Item("CompressBlackWhite", &p.CompressBlackWhite)
        .Item("CompressErrorDiffusion", &p.CompressErrorDiffusion)
        .Item("CompressTrueGray", &p.CompressTrueGray)
        .Item("Compress256Color", &p.Compress256Color)
        .Item("Compress24bitColor", &p.Compress24bitColor)
        .Kept(&p.CompressReserved);
    t.Tag(0x0402)
        .Item("jpegCompressionRate", &p.jpegCompressionRate, F::Dec)
        .Item("jpegSamplingFactor", &p.jpegSamplingFactor);
    t.Tag(0x0403)
        .Item("changeThreshold", &p.changeThreshold)
        .Item("lowerLimitThreshold", &p.lowerLimitThreshold, F::Dec)
        .Item("upperLimitThreshold", &p.upperLimitThreshold, F::Dec)
        .Kept(&p.thresholdReserved);
    t.Tag(0x0404).Item("specialImageProccesing", &p.specialImageProccesing);
    t.Tag(0x0405).Item("colorProfile", &p.colorProfile);
    t.Tag(0x0406).Item("gammaAdjust", &p.gammaAdjust, F::Dec).Kept(&p.gammaAdjustReserved);
    t.Tag(0x0407)
        .Item("moireRemoval", &p.moireRemoval)
        .Kept(&p.moireRemovalReserved)
        .Item("moireRemovalMaxResolutionX", &p.moireRemovalMaxResolutionX, F::Dec)
        .Item("moireRemovalMaxResolutionY", &p.moireRemovalMaxResolutionY, F::Dec);
    t.Tag(0x0408).Widened("toneAdjust", &p.toneAdjust).Kept(&p.toneAdjustReserved);
    t.Tag(0x0501)
        .Item("paperSizeDetected", &p.paperSizeDetected)
        .Item("paperSizeDetectedContentFb", &p.paperSizeDetectedContentFb, F::Hex2, 6)
        .Item("paperSizeDetectedContentAdf", &p.paperSizeDetectedContentAdf, F::Hex2, 6)
        .Item("paperDetectSensorNumFb", &p.paperDetectSensorNumFb, F::Dec, 6)
        .Item("paperDetectSensorNumAdf", &p.paperDetectSensorNumAdf, F::Dec, 6)
        .Kept(&p.paperSizeDetectedReserved);
    t.Tag(0x0502)
        .Item("autoCrop", &p.autoCrop)
        .Item("autoCropColorType", &p.autoCropColorType)
        .Item("autoCropResolutionX", &p.autoCropResolutionX, F::Dec)
        .Item("autoCropResolutionY", &p.autoCropResolutionY, F::Dec)
        .Item("autoCropPixelX", &p.autoCropPixelX, F::Dec)
        .Item("autoCropPixelY", &p.autoCropPixelY, F::Dec);
    t.Tag(0x0503)
        .Item("vertexEdgeDetection", &p.vertexEdgeDetection)
        .Item("vertexEdgeColorType", &p.vertexEdgeColorType)
        .Item("vertexEdgeResolutionMinX", &p.vertexEdgeResolutionMinX, F::Dec)
        .Item("vertexEdgeResolutionMinY", &p.vertexEdgeResolutionMinY, F::Dec)
        .Item("vertexEdgeResolutionMaxX", &p.vertexEdgeResolutionMaxX, F::Dec)
        .Item("vertexEdgeResolutionMaxY", &p.vertexEdgeResolutionMaxY, F::Dec);
    t.Tag(0x0504)
        .Item("idCardMode", &p.idCardMode)
        .Item("landscanpeMode", &p.landscanpeMode)
        .Item("adfOnlyBackScan", &p.adfOnlyBackScan);
    t.Tag(0x0505)
        .Item("carrierSheetMode", &p.carrierSheetMode)
        .Item("carrierSheetColorType", &p.carrierSheetColorType)
        .Item("carrierSheetSkipTop", &p.carrierSheetSkipTop, F::Dec)
        .Item("carrierSheetSkipBottom", &p.carrierSheetSkipBottom, F::Dec)
        .Item("carrierSheetResolutionMinX", &p.carrierSheetResolutionMinX, F::Dec)
        .Item("carrierSheetResolutionMinY", &p.carrierSheetResolutionMinY, F::Dec)
        .Item("carrierSheetResolutionMaxX", &p.carrierSheetResolutionMaxX, F::Dec)
        .Item("carrierSheetResolutionMaxY", &p.carrierSheetResolutionMaxY, F::Dec)
        .Item("carrierSheetLimitedSetting", &p.carrierSheetLimitedSetting);
    t.Tag(0x0506)
        .Item("plasticCardMode", &p.plasticCardMode)
        .Item("plasticCardColorType", &p.plasticCardColorType)
        .Item("plasticCardResolutionMinX", &p.plasticCardResolutionMinX, F::Dec)
        .Item("plasticCardResolutionMinY", &p.plasticCardResolutionMinY, F::Dec)
        .Item("plasticCardResolutionMaxX", &p.plasticCardResolutionMaxX, F::Dec)
        .Item("plasticCardResolutionMaxY", &p.plasticCardResolutionMaxY, F::Dec)
        .Item("plasticCardLimitedSetting", &p.plasticCardLimitedSetting);
    t.Tag(0x0507)
        .Item("multiFeedDetect", &p.multiFeedDetect)
        .Item("multiFeedDetectLevel", &p.multiFeedDetectLevel, F::Dec);
    for (int which = 0; which < 2; ++which) {
        t.Tag(static_cast<uint16_t>(0x0508 + which));
        uint8_t const* fields = which ? p.breedthroughRemoval : p.groundRemoval;
        for (int k = 0; k < 5; ++k) {
            t.Item(std::string(which ? "breedthroughRemoval" : "groundRemoval") + kRemovalItems[k], fields + k, F::Dec);
        }
        t.Kept(fields + 5);
    }
    t.Tag(0x050A)
        .Item("autoDocumentSize", &p.autoDocumentSize)
        .Item("autoDocumentSizeInterlocking", &p.autoDocumentSizeInterlocking)
        .Item("autoDocumentSizeResolutionLimitX", &p.autoDocumentSizeResolutionLimitX, F::Dec, 6)
        .Item("autoDocumentSizeResolutionLimitY", &p.autoDocumentSizeResolutionLimitY, F::Dec, 6);
    t.Tag(0x050B)
        .Item("deskew", &p.deskew)
        .Item("deskewInterlocking", &p.deskewInterlocking)
        .Item("deskewResolutionLimitX", &p.deskewResolutionLimitX, F::Dec, 6)
        .Item("deskewResolutionLimitY", &p.deskewResolutionLimitY, F::Dec, 6);
    t.Tag(0x050C).Item("blankRemoval", &p.blankRemoval).Item("blankPageRemovalLevel", &p.blankPageRemovalLevel, F::Dec);
    t.Tag(0x050D)
        .Item("autoColorType", &p.autoColorType)
        .Item("colorTypeLevel", &p.colorTypeLevel, F::Dec)
        .Item("multipleTypeLevel", &p.multipleTypeLevel, F::Dec)
        .Kept(&p.autoColorTypeReserved);
    t.Tag(0x050E).Item("detectResolution", &p.detectResolution).Kept(&p.detectResolutionReserved);
    t.Tag(0x050F)
        .Item("quietScanMode", &p.quietScanMode)
        .Kept(&p.quietScanModeReserved)
        .Item("quietScanModeResoMinX", &p.quietScanModeResoMinX, F::Dec)
        .Item("quietScanModeResoMinY", &p.quietScanModeResoMinY, F::Dec)
        .Item("quietScanModeResoMaxX", &p.quietScanModeResoMaxX, F::Dec)
        .Item("quietScanModeResoMaxY", &p.quietScanModeResoMaxY, F::Dec);
    t.Tag(0x0510).Item("autoCropType", &p.autoCropType).Kept(&p.autoCropTypeReserved);
    return t;
}

TagTable const& QdiTable()
{
    static TagTable const table = BuildQdiTable();
    return table;
}

}  // namespace

_QDICMDRESPONSE CParseCmdRes_v2::GetQDIcommandResponse(unsigned char* data, long length)
{
    _QDICMDRESPONSE qdi{};
    g_ScanDevApiLog.WriteLog(kQdiLogLevel, "QDI command response");
    completeQdi_ = WalkAnswer(data, length, kQdiLogLevel, [&qdi](uint16_t tag, TagValueReader& value) {
        return QdiTable().Read(tag, value, &qdi, kQdiLogLevel);
    });
    return qdi;
}

}  // namespace vscore
