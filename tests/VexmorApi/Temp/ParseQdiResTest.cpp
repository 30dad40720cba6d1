// The QDI answer from encoded device profiles: every conversion row of the
// capability record, the defaults, the optional value lengths and the model
// name. The whole program runs with the engine log on at its most detailed
// level, so every log line of the parsers is formatted from real answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Gen2AnswerBuffer.h"
#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "VexmorApi/Utilities/Exception.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"

using namespace vscore;
using answer_encoders::AnswerKind;
using answer_encoders::AnswerProfile;

namespace {

// Points HOME at a private folder whose log settings switch every log line
// on, before the first line is written.
class LogOnEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        home_ = std::filesystem::temp_directory_path() / ("gen2-answers-" + std::to_string(getpid()));
        std::filesystem::create_directories(home_);
        std::ofstream(home_ / "VdSetupLog.txt") << "LogLevel=3\n";
        setenv("HOME", home_.c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
    static std::string LogText()
    {
        std::ifstream in(home_ / "VdOutLog" / "CoreMainLog.kmy");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static std::filesystem::path home_;
};
std::filesystem::path LogOnEnvironment::home_;
::testing::Environment* const kLogOn = ::testing::AddGlobalTestEnvironment(new LogOnEnvironment);

VS_SCANNER_CAPABILITY ParseQdi(AnswerProfile const& profile, bool* complete = nullptr)
{
    AnswerBuffer answer(profile.Encode());
    _SCANCMD_DEVICECAP_INFO info = answer.DeviceCap(SCANCMD_2ND_GENERATION);
    CScanCmdRes front;
    VS_SCANNER_CAPABILITY capability = front.ParseDeviceInfoData(&info, nullptr);
    if (complete != nullptr) {
        *complete = front.IsAnswerComplete();
    }
    return capability;
}

// A device with every source and distinct values in every item.
AnswerProfile RichDevice()
{
    AnswerProfile p(AnswerKind::Qdi);
    p.Set("commandVersion", 267).Set("deviceCategory", 3).SetText("modelName", "SCN-5").Set("updateNum", 7);
    p.Set("pushScanEventInfo", 0x0B).Set("continuousFbScan", 0x05).Set("pushScanSetting", 1);
    p.Set("autoContinuousScan", 2).Set("marginAdjustmentDisplay", 1).Set("deviceSupport", 0x0001);
    p.Set("qciSupport", 1).Set("pushScanStartTiming", 0).Set("pushScanDevicePanelList", 0x0A55);
    p.Set("solutionSwitchList", 0x0001).Set("supportPowerSource", 0x06).Set("colorType", 0x35);
    p.Set("paperSource", 0x07).Set("duplexScan", 2).Set("adfStackCapacity", 50);
    p.Set("resolutionOpticalFbX", 600).Set("resolutionOpticalFbY", 1200).Set("resolutionOpticalSimplexX", 300);
    p.Set("resolutionOpticalSimplexY", 600).Set("resolutionOpticalDuplexX", 301).Set("resolutionOpticalDuplexY", 601);
    p.Set("resolutionOpticalCardSlotX", 302).Set("resolutionOpticalCardSlotY", 602);
    p.Set("scanSizeFbMaxX", 2159).Set("scanSizeSimplexMaxY", 3556).Set("scanSizeDuplexMaxX", 2000);
    p.Set("scanSizeDuplexMaxY", 3000);
    p.Set("longPaperSizeSimplexMax", 5000).Set("longPaperSizeDuplexMax", 4000);
    p.Set("longPaperMaxResolutionX", 300).Set("longPaperMaxResolutionY", 200);
    p.Set("scanSizeFbMinX", 50).Set("scanSizeCardSlotMinY", 60);
    p.Set("supportDocSizeFbMaxY", 2970).Set("supportDocSizeSimplexMaxX", 2100);
    p.Set("marginSizeFbLeftX", 30).Set("marginSizeFbRightX", 20).Set("marginSizeFbTopY", -5);
    p.Set("marginSizeSimplexBottomY", 7).Set("marginSizeAutoDuplexLeftX", 4);
    p.Set("marginAdjustFbLeftMaxX", 10).Set("marginAdjustFbLeftMinX", -10).Set("marginAdjustCardslotBottomMinY", -3);
    p.Length(0x030A, 64);
    p.Set("scanPositionFbX", 2).Set("scanPositionFbY", 3).Set("scanPositionX", 3).Set("scanPositionY", 1);
    p.Set("scanPositionCardslotX", 9).Set("scanPositionCardslotY", 2);
    p.Set("CardOrientFb", 1).Set("CardOrient", 3).Set("scanPages", 0x02);
    p.Set("overScan", 1).Set("overScanColorType", 0x18).Set("overScanExclusionSetting", 0x1A5);
    p.Set("afterCancelAction", 0x05).Set("errorDpubleFeedAction", 0x07).Set("errorCoverOpenAction", 0x02);
    p.Set("tapeColor", 2).Set("tapeColorRed", 10).Set("tapeColorGreen", 20).Set("tapeColorBlue", 30);
    p.Set("tapeColorRangeMax", 200).Set("tapeColorRangeMin", 100);
    p.Set("standerdOrientationFb", 2).Set("particularOrientationFb", 0x11).Set("particularOrientationAdf", 0x02);
    p.Set("transferPixelBlackWhite", 8).Set("transferPixel24bitColor", 32);
    char const* const pseudo[9] = {"Red",     "Green",  "Blue",     "RedMin", "GreenMin",
                                   "BlueMin", "RedMax", "GreenMax", "BlueMax"};
    for (int i = 0; i < 9; ++i) {
        p.Set(std::string("pseudoBackgroundAdfBackGray:") + pseudo[i], 11 + i);
    }
    p.Set("CompressBlackWhite", 0x07).Set("Compress24bitColor", 0x04).Set("jpegCompressionRate", 80);
    p.Set("jpegSamplingFactor", 0x12).Set("changeThreshold", 0x02).Set("lowerLimitThreshold", 10);
    p.Set("upperLimitThreshold", 250).Set("specialImageProccesing", 0x0005).Set("colorProfile", 1);
    p.Set("gammaAdjust", 22).Set("moireRemoval", 1).Set("moireRemovalMaxResolutionX", 600);
    p.Set("moireRemovalMaxResolutionY", 400);
    p.Set("paperSizeDetected", 0x05).Set("paperSizeDetectedContentFb", 0x03).Set("paperSizeDetectedContentAdf", 0x04);
    p.Set("paperDetectSensorNumFb", 3).Set("paperDetectSensorNumAdf", 5);
    p.Set("autoCrop", 1).Set("autoCropColorType", 0x10).Set("autoCropResolutionX", 300);
    p.Set("autoCropResolutionY", 301).Set("autoCropPixelX", 2550).Set("autoCropPixelY", 3300);
    p.Set("vertexEdgeDetection", 2).Set("vertexEdgeColorType", 0x07).Set("vertexEdgeResolutionMinX", 100);
    p.Set("vertexEdgeResolutionMinY", 150).Set("vertexEdgeResolutionMaxX", 600).Set("vertexEdgeResolutionMaxY", 650);
    p.Set("idCardMode", 0x03).Set("landscanpeMode", 0x06).Set("adfOnlyBackScan", 1);
    p.Set("carrierSheetMode", 1).Set("carrierSheetColorType", 0x01).Set("carrierSheetSkipTop", 5);
    p.Set("carrierSheetSkipBottom", 6).Set("carrierSheetResolutionMinX", 100).Set("carrierSheetResolutionMinY", 110);
    p.Set("carrierSheetResolutionMaxX", 600).Set("carrierSheetResolutionMaxY", 610);
    p.Set("carrierSheetLimitedSetting", 0x042);
    p.Set("plasticCardColorType", 0x1F).Set("plasticCardResolutionMaxX", 600);
    p.Set("multiFeedDetect", 0x03).Set("multiFeedDetectLevel", 4);
    p.Set("groundRemovalBlackWhite", 1).Set("groundRemovalTrueGray", 3).Set("groundRemoval256Color", 4);
    p.Set("groundRemovalColorTypeReserved", 5).Set("breedthroughRemovalErrorDiffusion", 9);
    p.Set("autoDocumentSize", 0x0F).Set("autoDocumentSizeInterlocking", 0x02);
    p.Set("autoDocumentSizeResolutionLimitX", 300).Set("autoDocumentSizeResolutionLimitY", 600);
    p.Set("deskew", 0x03).Set("deskewInterlocking", 0x01).Set("deskewResolutionLimitX", 200);
    p.Set("deskewResolutionLimitY", 400);
    p.Set("blankRemoval", 0x07).Set("blankPageRemovalLevel", 5);
    p.Set("autoColorType", 0x01).Set("colorTypeLevel", 5).Set("multipleTypeLevel", 1);
    p.Set("detectResolution", 1).Set("quietScanMode", 1).Set("quietScanModeResoMinX", 300);
    p.Set("quietScanModeResoMinY", 200).Set("quietScanModeResoMaxX", 600).Set("quietScanModeResoMaxY", 400);
    return p;
}

TEST(QdiAnswer, RichDeviceFillsEveryCapabilityRow)
{
    bool complete = false;
    VS_SCANNER_CAPABILITY c = ParseQdi(RichDevice(), &complete);
    EXPECT_TRUE(complete);

    EXPECT_EQ(c.cmdGeneration, SCANCMD_2ND_GENERATION);
    EXPECT_EQ(c.commandVersion, 267);
    EXPECT_EQ(c.category, DOCUMENTSCANNER);
    EXPECT_STREQ(c.modelName, "SCN-5");
    EXPECT_EQ(c.updateNum, 7);
    // Hardware.
    EXPECT_TRUE(c.supportPushScanEvent.scanToImage && c.supportPushScanEvent.scanToOCR);
    EXPECT_TRUE(!c.supportPushScanEvent.scanToEmail && c.supportPushScanEvent.scanToFile);
    auto const& panel = c.devicePanelCaps;
    EXPECT_EQ(panel.continuousScan.cap, SUPPORT);
    EXPECT_TRUE(panel.continuousScan.fb.pushScan && !panel.continuousScan.fb.pullScan);
    EXPECT_TRUE(!panel.continuousScan.adf.pushScan && panel.continuousScan.adf.pullScan);
    EXPECT_EQ(panel.paramSetting.cap, SUPPORT);
    EXPECT_TRUE(panel.paramSetting.dupScanOnly);
    EXPECT_EQ(panel.autoCoutinuousScan, DISPLAY_WAITING_AT_DEVICE);
    EXPECT_EQ(panel.marginAdjustmentDirection, OUTWARD_POSITIVE);  // the display byte is never taken
    EXPECT_TRUE(c.deviceSupportScanFunc.officeDocCreator);
    EXPECT_TRUE(c.barcodeUtilitySolution);
    EXPECT_EQ(c.qciCommandSup, SUPPORT);
    EXPECT_EQ(c.preScaningSup, UNSUPPORT);
    auto const& f = c.devicePanelFunctions;  // 0x0A55: bits 0, 2, 4, 6, 9, 11
    EXPECT_TRUE(f.duplex && !f.scanType && f.resolution && !f.fileType && f.documentSize && !f.brightness);
    EXPECT_TRUE(f.contrast && !f.autoDeskew && !f.skipBlankPage && f.removeBackgroundColor && !f.reduceMoire);
    EXPECT_TRUE(f.adjustMargin);
    EXPECT_TRUE(!c.supportPowerSource.ac && c.supportPowerSource.usb && c.supportPowerSource.usbWithCapacitor);
    EXPECT_FALSE(c.supportPowerSource.battery);
    // Sources, resolutions and sizes.
    EXPECT_TRUE(c.colorType.blackAndWhite && !c.colorType.errorDiffusion && c.colorType.trueGray);
    EXPECT_TRUE(!c.colorType.color256 && c.colorType.color24bit && c.colorType.color256table && !c.colorType.autoColor);
    auto const& src = c.paperSource.supportPaperSource;
    EXPECT_TRUE(src.flatbed && src.adfSimplex && src.adfDuplex && src.cardslot);
    EXPECT_EQ(c.paperSource.duplexScanSystem, WCIS);
    EXPECT_EQ(c.paperSource.adfStackCapacity, 50u);
    EXPECT_EQ(c.resolutionOptical.flatbed.y, 1200u);
    EXPECT_EQ(c.resolutionOptical.adfDuplex.x, 301u);
    EXPECT_EQ(c.resolutionOptical.cardSlot.y, 602u);
    EXPECT_EQ(c.deviceScanSizeMax.flatbed.x, 21590u);
    EXPECT_EQ(c.deviceScanSizeMax.flatbed.y, 29700u);  // default for a zero
    EXPECT_EQ(c.deviceScanSizeMax.simplex.x, 21000u);
    EXPECT_EQ(c.deviceScanSizeMax.simplex.y, 35560u);
    EXPECT_EQ(c.deviceScanSizeMax.duplex.x, 20000u);
    EXPECT_EQ(c.deviceScanSizeMax.cardSlot.y, 35560u);
    EXPECT_EQ(c.deviceScanSizeMax.unit, MM);
    EXPECT_EQ(c.longPaperLengthMax.cap, SUPPORT);
    EXPECT_EQ(c.longPaperLengthMax.simplexMaxLength, 50000u);
    EXPECT_EQ(c.longPaperLengthMax.duplexMaxLength, 40000u);
    EXPECT_EQ(c.longPaperLengthMax.maxResolutionX, 300u);
    EXPECT_EQ(c.longPaperLengthMax.maxResolutionY, 200u);
    EXPECT_EQ(c.deviceScanSizeMin.flatbed.x, 500u);
    EXPECT_EQ(c.deviceScanSizeMin.flatbed.y, 1u);
    EXPECT_EQ(c.deviceScanSizeMin.cardSlot.y, 600u);
    // Document sizes: given, or the scan size less both margins.
    EXPECT_EQ(c.supportDocSizeMax.flatbed.x, 21590u - 300 - 200);
    EXPECT_EQ(c.supportDocSizeMax.flatbed.y, 29700u);
    EXPECT_EQ(c.supportDocSizeMax.simplex.x, 21000u);
    EXPECT_EQ(c.supportDocSizeMax.simplex.y, 35560u - 70);
    // Margins are negated, adjustments are not.
    EXPECT_EQ(c.marginSize.flatbed.left, -300);
    EXPECT_EQ(c.marginSize.flatbed.right, -200);
    EXPECT_EQ(c.marginSize.flatbed.top, 50);
    EXPECT_EQ(c.marginSize.adfSimplex.bottom, -70);
    EXPECT_EQ(c.marginSize.cardslot.unit, MM);
    EXPECT_TRUE(c.isMarginAutoEnabled);
    EXPECT_EQ(c.marginSizeForAuto.adfDuplex.left, -40);
    EXPECT_EQ(c.marginAdjust.flatbed_plus.left, 100);
    EXPECT_EQ(c.marginAdjust.flatbed_minus.left, -100);
    EXPECT_EQ(c.marginAdjust.cardslot_minus.bottom, -30);
    EXPECT_EQ(c.marginAdjust.adfDuplex_plus.unit, MM);
    EXPECT_FALSE(c.isMarginAdjustAutoEnabled);
    EXPECT_EQ(c.marginAdjustForAuto.flatbed_plus.unit, MM);
    // Positions, cards, pages, over-scan, cancel and errors.
    EXPECT_EQ(c.paperPosition.flatbedX, CENTER);
    EXPECT_EQ(c.paperPosition.flatbedY, BOTTOM);
    EXPECT_EQ(c.paperPosition.adfX, RIGHT);
    EXPECT_EQ(c.paperPosition.adfY, TOP);
    EXPECT_EQ(c.paperPosition.cardslotX, LEFT);
    EXPECT_EQ(c.paperPosition.cardslotY, CENTER);
    EXPECT_EQ(c.cardSizeOrientation.capFlatbed, SUPPORT);
    EXPECT_EQ(c.cardSizeOrientation.orientFlatbed, HORIZONTAL);
    EXPECT_EQ(c.cardSizeOrientation.capAdf, SUPPORT);
    EXPECT_EQ(c.cardSizeOrientation.orientAdf, VERTICAL);
    EXPECT_TRUE(!c.multipageScanSystem.scan1Paper && c.multipageScanSystem.definingPageNums);
    EXPECT_EQ(c.overScanSystem.cap, SUPPORT);
    EXPECT_TRUE(c.overScanSystem.supportColorType.color256 && c.overScanSystem.supportColorType.color24bit);
    EXPECT_FALSE(c.overScanSystem.supportColorType.trueGray);
    auto const& ex = c.overScanSystem.exclusion;  // 0x1A5
    EXPECT_TRUE(ex.detectDocSize && !ex.detectMultifeed && ex.blankRemovalByDevice && !ex.deskewByDevice);
    EXPECT_TRUE(!ex.autoColorByDevice && ex.removeBackgroundByDevice && !ex.detectDocSizeByDevice);
    EXPECT_TRUE(ex.autoResolutionByDevice && ex.autoRotateByDevice);
    EXPECT_EQ(c.cancelSystem.cap, SUPPORT);
    EXPECT_TRUE(c.cancelSystem.cancelAction.allEjection && !c.cancelSystem.cancelAction.stopEjection);
    EXPECT_TRUE(c.cancelSystem.cancelAction.stopFeed);
    EXPECT_EQ(c.errorSystem.errorJam.cap, UNSUPPORT);
    EXPECT_EQ(c.errorSystem.errorDoublefeed.cap, SUPPORT);
    EXPECT_TRUE(c.errorSystem.errorDoublefeed.scanStop && c.errorSystem.errorDoublefeed.cancelError);
    EXPECT_TRUE(c.errorSystem.errorDoublefeed.continuousScan);
    EXPECT_TRUE(!c.errorSystem.coverOpen.scanStop && c.errorSystem.coverOpen.cancelError);
    EXPECT_EQ(c.colorTape.tapeColor, BLACK_TAPE);
    EXPECT_EQ(c.colorTape.tapeData.tapeColorGreen, 20);
    EXPECT_EQ(c.colorTape.tapeRange.tapeColorRangeMax, 200);
    EXPECT_EQ(c.colorTape.tapeRange.tapeColorRangeMin, 100);
    auto const& o = c.recommendedOrientation;
    EXPECT_EQ(o.standerdOrientFb, FREE);
    EXPECT_EQ(o.standerdOrientAdf, D_VERTICAL);
    EXPECT_EQ(o.orientA4Fb, D_HORIZONTAL);
    EXPECT_EQ(o.orientLetterFb, D_VERTICAL);
    EXPECT_EQ(o.orientA5Fb, D_HORIZONTAL);
    EXPECT_EQ(o.orientLetterAdf, D_HORIZONTAL);
    EXPECT_EQ(o.orientA5Adf, D_VERTICAL);
    EXPECT_EQ(c.transferPixelUnit.blackAndWhite, 8);
    EXPECT_EQ(c.transferPixelUnit.trueGray, 16);  // 0 means 16
    EXPECT_EQ(c.transferPixelUnit.color24bit, 32);
    EXPECT_EQ(c.pseudoBackgoundAdfBackGray.red, 11);
    EXPECT_EQ(c.pseudoBackgoundAdfBackGray.blueMin, 16);
    EXPECT_EQ(c.pseudoBackgoundAdfBackGray.blueMax, 19);
    EXPECT_EQ(c.pseudoBackgoundAdfFrontColor.red, 0);
    // Image processing.
    auto const& comp = c.supportCompressionType;
    EXPECT_TRUE(comp.blackAndWhite.noCompress && comp.blackAndWhite.packbits && comp.blackAndWhite.jpeg);
    EXPECT_FALSE(comp.blackAndWhite.mh);
    EXPECT_TRUE(!comp.color24bit.noCompress && comp.color24bit.jpeg);
    EXPECT_EQ(comp.jpegCompression.compressLevel, 80u);
    EXPECT_TRUE(comp.jpegCompression.jpegSamplingFactor.ycbcr422 && comp.jpegCompression.jpegSamplingFactor.ycbcr400);
    EXPECT_FALSE(comp.jpegCompression.jpegSamplingFactor.ycbcr444);
    EXPECT_EQ(c.monoThreshold.autoThresholdCap, SUPPORT);
    EXPECT_EQ(c.monoThreshold.manuanThresholdCap, UNSUPPORT);
    EXPECT_EQ(c.monoThreshold.manualThresholdLevelMax, 250u);
    EXPECT_EQ(c.monoThreshold.manualThresholdLevelMin, 10u);
    EXPECT_TRUE(c.specialDocumentImageProcs.copy && c.specialDocumentImageProcs.photo);
    EXPECT_FALSE(c.specialDocumentImageProcs.ocr);
    EXPECT_EQ(c.colorProfileOutput, SUPPORT);
    EXPECT_EQ(c.gammaRange, 22u);
    EXPECT_EQ(c.moireRemoval.moireCap, SUPPORT);
    EXPECT_EQ(c.moireRemoval.moireMaxResolution.y, 400u);
    EXPECT_EQ(c.toneAdjust, UNSUPPORT);
    // Advanced.
    auto const& w = c.paperWidthDetect;
    EXPECT_EQ(w.cap, SUPPORT);
    EXPECT_TRUE(w.supportPaperSource.flatbed && !w.supportPaperSource.adfSimplex && w.supportPaperSource.adfDuplex);
    EXPECT_EQ(w.fb2CornerData, SUPPORT);
    EXPECT_EQ(w.fbStanderdSize, SUPPORT);
    EXPECT_EQ(w.adfPaperOrientation, SUPPORT);
    EXPECT_EQ(w.adf2CornerData, UNKNOWN);
    EXPECT_EQ(w.adfDetectSensorNum, 5u);
    EXPECT_EQ(c.autoCrop2Pass.cap, SUPPORT);
    EXPECT_TRUE(c.autoCrop2Pass.supportColorType.color24bit);
    EXPECT_EQ(c.autoCrop2Pass.AutoCropResolutionDpi.y, 301u);
    EXPECT_EQ(c.autoCrop2Pass.AutoCropPixel.x, 2550u);
    EXPECT_EQ(c.cornerDetect.cap, SUPPORT);
    EXPECT_TRUE(!c.cornerDetect.supportPaperSource.flatbed && c.cornerDetect.supportPaperSource.adfSimplex);
    EXPECT_TRUE(c.cornerDetect.supportColorType.trueGray && !c.cornerDetect.supportColorType.color256);
    EXPECT_EQ(c.cornerDetect.resolutionDpiMin.y, 150u);
    EXPECT_EQ(c.cornerDetect.resolutionDpiMax.x, 600u);
    EXPECT_EQ(c.idCardMode.cap, SUPPORT);
    EXPECT_TRUE(c.idCardMode.deviceFunc.scanFromFlatbed && c.idCardMode.deviceFunc.showGuidsOnPanel);
    EXPECT_EQ(c.landscape.cap, SUPPORT);
    EXPECT_TRUE(!c.landscape.ladscapeCapablePaperSource.flatbed && c.landscape.ladscapeCapablePaperSource.adfDuplex);
    EXPECT_EQ(c.adfOnlyBackScan, SUPPORT);
    EXPECT_EQ(c.carrierSheet.cap, SUPPORT);
    EXPECT_TRUE(c.carrierSheet.supportColorType.blackAndWhite);
    EXPECT_EQ(c.carrierSheet.offsetSizeMm.top, 50u);
    EXPECT_EQ(c.carrierSheet.offsetSizeMm.bottom, 60u);
    EXPECT_EQ(c.carrierSheet.resolutionDpiMax.y, 610u);
    EXPECT_EQ(c.carrierSheet.resolutionDpiMin.x, 100u);
    EXPECT_TRUE(c.carrierSheet.exclusion.detectMultifeed && c.carrierSheet.exclusion.detectDocSizeByDevice);
    EXPECT_EQ(c.plasticCard.cap, UNSUPPORT);  // mode 0: the other plastic-card items are ignored
    EXPECT_FALSE(c.plasticCard.supportColorType.blackAndWhite);
    EXPECT_EQ(c.plasticCard.resolutionDpiMax.x, 0u);
    EXPECT_EQ(c.multifeedDetect.cap, SUPPORT);
    EXPECT_EQ(c.multifeedDetect.detectionLevel.cap, SUPPORT);
    EXPECT_EQ(c.multifeedDetect.detectionLevel.level, 4);
    EXPECT_EQ(c.backgroundRemove.blackAndWhite.cap, SUPPORT);
    EXPECT_EQ(c.backgroundRemove.errorDiffusion.cap, UNSUPPORT);
    EXPECT_EQ(c.backgroundRemove.trueGray.level, 3);
    EXPECT_EQ(c.backgroundRemove.color24bit.level, 5);  // the fifth byte, not the 256-colour one
    EXPECT_EQ(c.breedthroughRemoval.errorDiffusion.level, 9);
    EXPECT_EQ(c.breedthroughRemoval.color24bit.cap, UNSUPPORT);
    // Size detection and deskew: the record's interlock names, the answer's
    // bits; the size-detection limit comes with X and Y exchanged.
    auto const& size = c.deviceDetectSize;
    EXPECT_EQ(size.cap, SUPPORT);
    EXPECT_TRUE(size.supportPaperSource.flatbed && size.supportPaperSource.cardslot);
    EXPECT_TRUE(!size.interlock.isNotSingleUsed && size.interlock.isAutoDeskew);
    EXPECT_EQ(size.resolutionLimit.x, 600u);
    EXPECT_EQ(size.resolutionLimit.y, 300u);
    EXPECT_EQ(c.deskew.cap, SUPPORT);
    EXPECT_TRUE(c.deskew.supportPaperSource.adfSimplex && !c.deskew.supportPaperSource.adfDuplex);
    EXPECT_TRUE(c.deskew.interlock.isNotSingleUsed && !c.deskew.interlock.isAutoDocument);
    EXPECT_EQ(c.deskew.resolutionLimit.x, 200u);
    EXPECT_EQ(c.deskew.resolutionLimit.y, 400u);
    EXPECT_EQ(c.blankRemoval.cap, SUPPORT);
    EXPECT_EQ(c.blankRemoval.systemType, DETECTANDREMOVE);
    EXPECT_EQ(c.blankRemoval.blankLevel.cap, SUPPORT);
    EXPECT_EQ(c.blankRemoval.blankLevel.levelMax, 4);
    EXPECT_EQ(c.autoColor.cap, SUPPORT);
    EXPECT_EQ(c.autoColor.monoColorDetectLevelMax, 4);
    EXPECT_EQ(c.autoColor.monoGrayDetectLevelMax, 0);
    EXPECT_EQ(c.detectResolution, SUPPORT);
    EXPECT_EQ(c.quietMode.cap, SUPPORT);
    EXPECT_EQ(c.quietMode.resoMax, 400);
    EXPECT_EQ(c.quietMode.resoMin, 200);
    EXPECT_EQ(c.autoCropType, AUTOCROPTYPE::CROP_2PASS);
}

// Single items whose code tables are easy to get wrong: each case sets a few
// items on top of a flatbed-and-feeder device and checks one field.
struct RowCase {
    char const* name;
    std::function<void(AnswerProfile&)> set;
    std::function<void(VS_SCANNER_CAPABILITY const&)> check;
};

class QdiRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(QdiRows, ConvertsAsTheDeviceMeans)
{
    AnswerProfile profile(AnswerKind::Qdi);
    profile.Set("paperSource", 0x03);
    GetParam().set(profile);
    GetParam().check(ParseQdi(profile));
}

std::vector<RowCase> const kRows = {
    {"Category1IsLaser", [](AnswerProfile& p) { p.Set("deviceCategory", 1); },
     [](auto const& c) { EXPECT_EQ(c.category, LASER); }},
    {"Category4IsHeron", [](AnswerProfile& p) { p.Set("deviceCategory", 4); },
     [](auto const& c) { EXPECT_EQ(c.category, HERON); }},
    {"Version258IsAlwaysDocumentScanner",
     [](AnswerProfile& p) { p.Set("deviceCategory", 1).Set("commandVersion", 258); },
     [](auto const& c) { EXPECT_EQ(c.category, DOCUMENTSCANNER); }},
    {"FlatbedAloneHasNoStackCapacity", [](AnswerProfile& p) { p.Set("paperSource", 0x02).Set("adfStackCapacity", 30); },
     [](auto const& c) {
         EXPECT_TRUE(c.paperSource.supportPaperSource.flatbed && !c.paperSource.supportPaperSource.adfSimplex);
         EXPECT_EQ(c.paperSource.adfStackCapacity, 0u);
     }},
    {"AbsentSourcesKeepZeroSizes", [](AnswerProfile& p) { p.Set("scanSizeCardSlotMaxX", 900); },
     [](auto const& c) {
         EXPECT_EQ(c.deviceScanSizeMax.cardSlot.x, 0u);
         EXPECT_EQ(c.deviceScanSizeMax.duplex.y, 0u);
         EXPECT_EQ(c.deviceScanSizeMin.simplex.x, 1u);
     }},
    {"AutoCropColourIsAnExactCode", [](AnswerProfile& p) { p.Set("autoCrop", 1).Set("autoCropColorType", 0x03); },
     [](auto const& c) {
         EXPECT_EQ(c.autoCrop2Pass.cap, SUPPORT);
         EXPECT_FALSE(c.autoCrop2Pass.supportColorType.blackAndWhite ||
                      c.autoCrop2Pass.supportColorType.errorDiffusion);
     }},
    {"BlankLevelCountZeroClampsAtZero", [](AnswerProfile& p) { p.Set("blankRemoval", 0x05); },
     [](auto const& c) {
         EXPECT_EQ(c.blankRemoval.systemType, DETECTONLY);
         EXPECT_EQ(c.blankRemoval.blankLevel.cap, SUPPORT);
         EXPECT_EQ(c.blankRemoval.blankLevel.levelMax, 0);
     }},
    {"BlankRemovalWithoutLevelBit",
     [](AnswerProfile& p) { p.Set("blankRemoval", 0x03).Set("blankPageRemovalLevel", 9); },
     [](auto const& c) {
         EXPECT_EQ(c.blankRemoval.blankLevel.cap, UNSUPPORT);
         EXPECT_EQ(c.blankRemoval.blankLevel.levelMax, 0);
     }},
    {"MultifeedWithoutLevelBit",
     [](AnswerProfile& p) { p.Set("multiFeedDetect", 0x01).Set("multiFeedDetectLevel", 3); },
     [](auto const& c) {
         EXPECT_EQ(c.multifeedDetect.cap, SUPPORT);
         EXPECT_EQ(c.multifeedDetect.detectionLevel.cap, UNSUPPORT);
         EXPECT_EQ(c.multifeedDetect.detectionLevel.level, 0);
     }},
    {"PlasticCardSupported",
     [](AnswerProfile& p) {
         p.Set("plasticCardMode", 2).Set("plasticCardColorType", 0x04).Set("plasticCardResolutionMinY", 75);
         p.Set("plasticCardLimitedSetting", 0x008);
     },
     [](auto const& c) {
         EXPECT_EQ(c.plasticCard.cap, SUPPORT);
         EXPECT_TRUE(c.plasticCard.supportColorType.trueGray);
         EXPECT_EQ(c.plasticCard.resolutionDpiMin.y, 75u);
         EXPECT_TRUE(c.plasticCard.exclusion.deskewByDevice);
     }},
    {"NoSizeDetectionIgnoresLimits",
     [](AnswerProfile& p) { p.Set("autoDocumentSizeInterlocking", 3).Set("autoDocumentSizeResolutionLimitX", 9); },
     [](auto const& c) {
         EXPECT_EQ(c.deviceDetectSize.cap, UNSUPPORT);
         EXPECT_EQ(c.deviceDetectSize.resolutionLimit.y, 0u);
         EXPECT_FALSE(c.deviceDetectSize.interlock.isAutoDeskew);
     }},
    {"MarginsLargerThanTheScanClampAtZero",
     [](AnswerProfile& p) { p.Set("marginSizeFbLeftX", 30000).Set("marginSizeFbTopY", 20000); },
     [](auto const& c) {
         EXPECT_EQ(c.supportDocSizeMax.flatbed.x, 0u);
         EXPECT_EQ(c.supportDocSizeMax.flatbed.y, 0u);
     }},
};

INSTANTIATE_TEST_SUITE_P(Rows, QdiRows, ::testing::ValuesIn(kRows),
                         [](::testing::TestParamInfo<RowCase> const& info) { return info.param.name; });

TEST(QdiAnswer, NoSourceRecordLeavesEveryPerSourceFieldZeroWithUnits)
{
    AnswerProfile profile = RichDevice();
    profile.Omit(0x0302);
    VS_SCANNER_CAPABILITY c = ParseQdi(profile);
    EXPECT_FALSE(c.paperSource.supportPaperSource.flatbed || c.paperSource.supportPaperSource.adfSimplex);
    EXPECT_EQ(c.resolutionOptical.flatbed.x, 0u);
    EXPECT_EQ(c.deviceScanSizeMax.flatbed.x, 0u);
    EXPECT_EQ(c.supportDocSizeMax.flatbed.y, 0u);
    EXPECT_EQ(c.marginSize.flatbed.left, 0);
    EXPECT_EQ(c.marginAdjust.flatbed_minus.left, 0);
    EXPECT_EQ(c.paperPosition.flatbedY, LEFT);
    EXPECT_EQ(c.longPaperLengthMax.simplexMaxLength, 0u);
    EXPECT_EQ(c.longPaperLengthMax.cap, SUPPORT);
    for (UNITTYPE unit : {c.deviceScanSizeMax.unit, c.deviceScanSizeMin.unit, c.supportDocSizeMax.unit,
                          c.longPaperLengthMax.unit, c.marginSize.flatbed.unit, c.marginSizeForAuto.cardslot.unit,
                          c.marginAdjust.cardslot_minus.unit, c.marginAdjustForAuto.flatbed_plus.unit}) {
        EXPECT_EQ(unit, MM);
    }
}

// Records with optional tails: the shorter form fills only its own fields.
TEST(QdiAnswer, OptionalValueLengths)
{
    AnswerProfile profile = RichDevice();
    profile.Set("marginSizeAutoFbLeftX", 12).Set("marginAdjustAutoFbLeftMaxX", 8);
    struct Case {
        uint16_t tag;
        size_t length;
        std::function<void(VS_SCANNER_CAPABILITY const&)> check;
    };
    Case const cases[] = {
        {0x0304, 12,
         [](auto const& c) {
             EXPECT_EQ(c.resolutionOptical.adfDuplex.y, 601u);
             EXPECT_EQ(c.resolutionOptical.cardSlot.x, 0u);
         }},
        {0x0304, 16, [](auto const& c) { EXPECT_EQ(c.resolutionOptical.cardSlot.x, 302u); }},
        {0x0309, 32,
         [](auto const& c) {
             EXPECT_EQ(c.marginSize.flatbed.left, -300);
             EXPECT_FALSE(c.isMarginAutoEnabled);
             EXPECT_EQ(c.marginSizeForAuto.flatbed.left, 0);
         }},
        {0x0309, 64,
         [](auto const& c) {
             EXPECT_TRUE(c.isMarginAutoEnabled);
             EXPECT_EQ(c.marginSizeForAuto.flatbed.left, -120);
         }},
        {0x030A, 64,
         [](auto const& c) {
             EXPECT_FALSE(c.isMarginAdjustAutoEnabled);
             EXPECT_EQ(c.marginAdjustForAuto.flatbed_plus.left, 0);
         }},
        {0x030A, 128,
         [](auto const& c) {
             EXPECT_TRUE(c.isMarginAdjustAutoEnabled);
             EXPECT_EQ(c.marginAdjustForAuto.flatbed_plus.left, 80);
         }},
        {0x0306, 4, [](auto const& c) { EXPECT_EQ(c.longPaperLengthMax.maxResolutionX, 0u); }},
        {0x050A, 2, [](auto const& c) { EXPECT_EQ(c.deviceDetectSize.resolutionLimit.x, 0u); }},
        {0x0314 + 3, 9, [](auto const& c) { EXPECT_EQ(c.pseudoBackgoundAdfBackGray.red, 0); }},
        {0x0202, 2, [](auto const& c) { EXPECT_EQ(c.devicePanelCaps.autoCoutinuousScan, UNSUPPORT_WITH_DEVICE); }},
    };
    for (Case const& test : cases) {
        SCOPED_TRACE(testing::Message() << "tag 0x" << std::hex << test.tag << " length " << std::dec << test.length);
        AnswerProfile shortened = profile;
        shortened.Length(test.tag, test.length);
        test.check(ParseQdi(shortened));
    }
}

TEST(QdiAnswer, ModelNameKeepsAtMost128Bytes)
{
    for (size_t length : {5u, 127u, 128u, 200u}) {
        SCOPED_TRACE(length);
        std::string name;
        for (size_t i = 0; i < length; ++i) {
            name.push_back(static_cast<char>('A' + i % 26));
        }
        AnswerProfile profile(AnswerKind::Qdi);
        profile.SetText("modelName", name);
        VS_SCANNER_CAPABILITY c = ParseQdi(profile);
        size_t kept = std::min<size_t>(length, 128);
        EXPECT_EQ(std::string(c.modelName, strnlen(c.modelName, sizeof c.modelName)), name.substr(0, kept));
        for (size_t i = kept; i < sizeof c.modelName; ++i) {
            EXPECT_EQ(c.modelName[i], 0);
        }
    }
    // The log line of a name that fills the field ends with the field.
    std::string log = LogOnEnvironment::LogText();
    std::string full;
    for (size_t i = 0; i < 128; ++i) {
        full.push_back(static_cast<char>('A' + i % 26));
    }
    EXPECT_NE(log.find("modelName = " + full + "\n"), std::string::npos);
}

TEST(QdiAnswer, PseudoBackgroundSelectorOutsideFourThrows)
{
    _QDICMDRESPONSE qdi{};
    qdi.pseudoBackground[3][0] = 42;
    EXPECT_EQ(CParseCmdRes_v2::GetPseudBackgroundColor(&qdi, 3).red, 42);
    for (int selector : {-1, 4}) {
        try {
            CParseCmdRes_v2::GetPseudBackgroundColor(&qdi, selector);
            ADD_FAILURE() << "no exception for " << selector;
        } catch (Exception const& e) {
            EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
            EXPECT_EQ(e.GetMessage(), "Invalid source and color: " + std::to_string(selector));
        }
    }
}

TEST(QdiAnswer, EveryItemIsLoggedByItsName)
{
    ParseQdi(RichDevice());
    std::string log = LogOnEnvironment::LogText();
    for (std::string const& name : AnswerProfile::ItemNames(AnswerKind::Qdi)) {
        EXPECT_NE(log.find(name + " = "), std::string::npos) << name;
    }
    EXPECT_NE(log.find("QDI command response"), std::string::npos);
    EXPECT_NE(log.find("tagID [0x0510]"), std::string::npos);
}

}  // namespace
