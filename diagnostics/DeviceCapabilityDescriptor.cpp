// The capability record as multi-line text for the engine log
// ("Internal Scanner Capability = %s"), and its enumeration names.
#include "diagnostics/DeviceCapabilityDescriptor.h"

#include <initializer_list>

#include "VexmorApi/Utilities/Formatter.h"
#include "diagnostics/DescriptorText.h"
#include "diagnostics/VdCommonDefDescriptor.h"

namespace vscore {

using descriptor::DenseName;
using descriptor::Flag;
using descriptor::InlineRecord;
using descriptor::Item;
using descriptor::Number;
using descriptor::RightAligned;
using descriptor::Section;
using D = VdCommonDefDescriptor;
using E = DeviceCapabilityEnumDescriptor;

namespace {

const char* const kScanCmdGeneration[] = {"SCANCMD_GENERATION_UNKNOWN", "SCANCMD_1ST_GENERATION",
                                          "SCANCMD_2ND_GENERATION"};
const char* const kMarginAdjustmentDirection[] = {"OUTWARD_POSITIVE", "INWARD_POSITIV"};
const char* const kDocumentRotate[] = {"AUTOROTATE", "VERTICAL",  "HORIZONTAL", "NOROTATE",
                                       "DEGREE90",   "DEGREE180", "DEGREE270"};
const char* const kTapeColor[] = {"WHITE_TAPE", "GRAY_TAPE", "BLACK_TAPE"};
const char* const kDocumentOrientation[] = {"NOT_ORIENTATION", "D_VERTICAL", "D_HORIZONTAL", "FREE"};
const char* const kCornerInfoProtocolSystem[] = {"ONBOTHSIDE", "ONONESIDE"};
const char* const kAutoCropType[] = {"UNSUPPORT", "CROP_1PASS", "CROP_2PASS"};
const char* const kCarrierSheetOffsetSystem[] = {"MANUALSKIP", "AUTOSKIP"};

// "{", one line per item, then the closing line (its own line end is added
// by the enclosing line).
std::string Block(std::initializer_list<Item> lines, const char* closing)
{
    return "{\n" + descriptor::Lines(lines) + closing;
}

// A flag right-aligned in five columns: " true" or "false".
std::string Flag5(bool value) { return RightAligned(Flag(value), 5); }

std::string ExclusionBlock(const EXCLUSIONFUNCTIONS& e)
{
    return "{\n"
           "            detectDocSize:         " +
           Flag5(e.detectDocSize) + ", detectMultifeed:        " + Flag5(e.detectMultifeed) +
           ", removeBackgroundByDevice: " + Flag5(e.removeBackgroundByDevice) +
           "\n"
           "            deskewByDevice:        " +
           Flag5(e.deskewByDevice) + ", autoColorByDevice:      " + Flag5(e.autoColorByDevice) +
           ", blankRemovalByDevice:     " + Flag5(e.blankRemovalByDevice) +
           "\n"
           "            detectDocSizeByDevice: " +
           Flag5(e.detectDocSizeByDevice) + ", autoResolutionByDevice: " + Flag5(e.autoResolutionByDevice) +
           ", autoRotateByDevice:       " + Flag5(e.autoRotateByDevice) +
           "\n"
           "        }";
}

std::string MarginBlock(const MARGINSIZES& m)
{
    return Block({{"        flatbed:    ", D::GetMarginSizeString(m.flatbed)},
                  {"        adfSimplex: ", D::GetMarginSizeString(m.adfSimplex)},
                  {"        adfDuplex:  ", D::GetMarginSizeString(m.adfDuplex)},
                  {"        cardslot:   ", D::GetMarginSizeString(m.cardslot)}},
                 "    }");
}

std::string MarginAdjustBlock(const MARGINADJUSTSIZES& m)
{
    return Block({{"        flatbed_plus:     ", D::GetMarginSizeString(m.flatbed_plus)},
                  {"        flatbed_minus:    ", D::GetMarginSizeString(m.flatbed_minus)},
                  {"        adfSimplex_plus:  ", D::GetMarginSizeString(m.adfSimplex_plus)},
                  {"        adfSimplex_minus: ", D::GetMarginSizeString(m.adfSimplex_minus)},
                  {"        adfDuplex_plus:   ", D::GetMarginSizeString(m.adfDuplex_plus)},
                  {"        adfDuplex_minus:  ", D::GetMarginSizeString(m.adfDuplex_minus)},
                  {"        cardslot_plus:    ", D::GetMarginSizeString(m.cardslot_plus)},
                  {"        cardslot_minus:   ", D::GetMarginSizeString(m.cardslot_minus)}},
                 "    }");
}

std::string OrientationBlock(const RECOMMENDEDORIENTATION& o)
{
    struct Pair {
        const char* firstLabel;
        DOCUMENTORIENTATION first;
        const char* secondLabel;
        DOCUMENTORIENTATION second;
    };
    const Pair pairs[] = {
        {"standerdOrientFb:  ", o.standerdOrientFb, "standerdOrientAdf: ", o.standerdOrientAdf},
        {"orientA4Fb:        ", o.orientA4Fb, "orientLetterFb:    ", o.orientLetterFb},
        {"orientB5Fb:        ", o.orientB5Fb, "orientExectiveFb:  ", o.orientExectiveFb},
        {"orientA5Fb:        ", o.orientA5Fb, "orientA4Adf:       ", o.orientA4Adf},
        {"orientLetterAdf:   ", o.orientLetterAdf, "orientB5Adf:       ", o.orientB5Adf},
        {"orientExectiveAdf: ", o.orientExectiveAdf, "orientA5Adf:       ", o.orientA5Adf},
    };
    std::string text = "{\n";
    for (const Pair& pair : pairs) {
        text += std::string("        ") + pair.firstLabel +
                RightAligned(E::GetDocumentOrientationString(pair.first), 12) + ", " + pair.secondLabel +
                RightAligned(E::GetDocumentOrientationString(pair.second), 12) + "\n";
    }
    return text + "    }";
}

std::string PseudoBackground(const PSEUDOBACKGROUNDCOLOR& p)
{
    return InlineRecord({{"red: ", Number(p.red)},
                         {"green: ", Number(p.green)},
                         {"blue: ", Number(p.blue)},
                         {"redMin: ", Number(p.redMin)},
                         {"greenMin: ", Number(p.greenMin)},
                         {"blueMin: ", Number(p.blueMin)},
                         {"redMax: ", Number(p.redMax)},
                         {"greenMax: ", Number(p.greenMax)},
                         {"blueMax: ", Number(p.blueMax)}});
}

std::string Compression(const COMPRESSIONTYPES& c)
{
    return InlineRecord({{"noCompress: ", Flag5(c.noCompress)},
                         {"packbits: ", Flag5(c.packbits)},
                         {"mh: ", Flag5(c.mh)},
                         {"jpeg: ", Flag5(c.jpeg)}});
}

std::string ErrorStop(const ERRORSTOPSYSTEM& e)
{
    return InlineRecord({{"cap: ", D::GetCapSupportString(e.cap)},
                         {"scanStop: ", Flag(e.scanStop)},
                         {"cancelError: ", Flag(e.cancelError)}});
}

std::string PushPull(const PUSHPULLSCAN& p)
{
    return InlineRecord({{"pushScan: ", Flag(p.pushScan)}, {"pullScan: ", Flag(p.pullScan)}});
}

std::string HardwareSpec(const VS_SCANNER_CAPABILITY& c)
{
    const DEVICEPANELCAPS& panel = c.devicePanelCaps;
    return Section(
        "    <Hardware Spec>",
        {
            {"    supportPushScanEvent: ", D::GetSupportScanEvent(c.supportPushScanEvent)},
            {"    devicePanelCaps: ", Block({{"        continuousScan:       ",
                                              InlineRecord({{"cap: ", D::GetCapSupportString(panel.continuousScan.cap)},
                                                            {"fb: ", PushPull(panel.continuousScan.fb)},
                                                            {"adf: ", PushPull(panel.continuousScan.adf)}})},
                                             {"        paramSetting:         ",
                                              InlineRecord({{"cap: ", D::GetCapSupportString(panel.paramSetting.cap)},
                                                            {"dupScanOnly: ", Flag(panel.paramSetting.dupScanOnly)}})},
                                             {"        autoCoutinuousScan:   ",
                                              D::GetAutoContinuousScanDeviceSupportString(panel.autoCoutinuousScan)},
                                             {"        marginAdjustmentDirection: ",
                                              E::GetMarginAdjustmentDirectionString(panel.marginAdjustmentDirection)}},
                                            "    }")},
            {"    deviceSupportScanFunc: ",
             InlineRecord({{"officeDocCreator: ", Flag(c.deviceSupportScanFunc.officeDocCreator)}})},
            {"    qciCommandSup: ", D::GetCapSupportString(c.qciCommandSup)},
            {"    preScaningSup: ", D::GetCapSupportString(c.preScaningSup)},
            {"    devicePanelFunctions: ", c.devicePanelFunctions.GetDescription()},
            {"    barcodeUtilitySolution: ", Flag(c.barcodeUtilitySolution)},
            {"    supportPowerSource: ", D::GetSupportPowerSource(c.supportPowerSource)},
        });
}

std::string BasicSpec(const VS_SCANNER_CAPABILITY& c)
{
    const LONGPAPERLENGTHMAX& longPaper = c.longPaperLengthMax;
    const ERRORSYSTEM& errors = c.errorSystem;
    const COLORTAPE& tape = c.colorTape;
    const TRANSFERPIXELUNIT& unit = c.transferPixelUnit;
    return Section(
        "    <Basic Spec>",
        {
            {"    colorType:   ", D::GetSupportColorTypesString(c.colorType)},
            {"    paperSource: ", D::GetPaperSourceSpecString(c.paperSource)},
            {"    resolutionOptical:  ", D::GetOpticalResolutionsString(c.resolutionOptical)},
            {"    deviceScanSizeMax:  ", D::GetDeviceScanSizesString(c.deviceScanSizeMax)},
            {"    longPaperLengthMax: ", InlineRecord({{"cap: ", D::GetCapSupportString(longPaper.cap)},
                                                       {"simplexMaxLength: ", Number(longPaper.simplexMaxLength)},
                                                       {"duplexMaxLength: ", Number(longPaper.duplexMaxLength)},
                                                       {"maxResolutionX: ", Number(longPaper.maxResolutionX)},
                                                       {"maxResolutionY: ", Number(longPaper.maxResolutionY)},
                                                       {"unit: ", D::GetUnitTypeString(longPaper.unit)}})},
            {"    deviceScanSizeMin:  ", D::GetDeviceScanSizesString(c.deviceScanSizeMin)},
            {"    supportDocSizeMax:  ", D::GetDeviceScanSizesString(c.supportDocSizeMax)},
            {"    marginSize:         ", MarginBlock(c.marginSize)},
            {"    marginSizeForAuto:  ", MarginBlock(c.marginSizeForAuto)},
            {"    isMarginAutoEnabled: ", Flag(c.isMarginAutoEnabled)},
            {"    marginAdjust:        ", MarginAdjustBlock(c.marginAdjust)},
            {"    marginAdjustForAuto: ", MarginAdjustBlock(c.marginAdjustForAuto)},
            {"    isMarginAdjustAutoEnabled:  ", Flag(c.isMarginAdjustAutoEnabled)},
            {"    paperPosition: ", D::GetPaperSettingPositionsString(c.paperPosition)},
            {"    cardSizeOrientation: ",
             InlineRecord({{"capFlatbed: ", D::GetCapSupportString(c.cardSizeOrientation.capFlatbed)},
                           {"orientFlatbed: ", E::GetDocumentRotateString(c.cardSizeOrientation.orientFlatbed)},
                           {"capAdf: ", D::GetCapSupportString(c.cardSizeOrientation.capAdf)},
                           {"orientAdf: ", E::GetDocumentRotateString(c.cardSizeOrientation.orientAdf)}})},
            {"    multipageScanSystem: ",
             InlineRecord({{"scan1Paper: ", Flag(c.multipageScanSystem.scan1Paper)},
                           {"definingPageNums: ", Flag(c.multipageScanSystem.definingPageNums)}})},
            {"    overScanSystem: ",
             Block({{"        cap: ", D::GetCapSupportString(c.overScanSystem.cap)},
                    {"        supportColorType: ", D::GetSupportColorTypesString(c.overScanSystem.supportColorType)},
                    {"        exclusion: ", ExclusionBlock(c.overScanSystem.exclusion)}},
                   "    }")},
            {"    cancelSystem:   ",
             InlineRecord(
                 {{"cap: ", D::GetCapSupportString(c.cancelSystem.cap)},
                  {"cancelAction: ", InlineRecord({{"allEjection: ", Flag(c.cancelSystem.cancelAction.allEjection)},
                                                   {"stopEjection: ", Flag(c.cancelSystem.cancelAction.stopEjection)},
                                                   {"stopFeed: ", Flag(c.cancelSystem.cancelAction.stopFeed)}})}})},
            {"    errorSystem:    ",
             Block({{"        errorJam:        ", ErrorStop(errors.errorJam)},
                    {"        errorDoublefeed: ",
                     InlineRecord({{"cap: ", D::GetCapSupportString(errors.errorDoublefeed.cap)},
                                   {"scanStop: ", Flag(errors.errorDoublefeed.scanStop)},
                                   {"cancelError: ", Flag(errors.errorDoublefeed.cancelError)},
                                   {"continuousScan: ", Flag(errors.errorDoublefeed.continuousScan)}})},
                    {"        coverOpen:       ", ErrorStop(errors.coverOpen)}},
                   "    }")},
            {"    colorTape:  ",
             InlineRecord(
                 {{"tapeColor: ", E::GetTapeColorString(tape.tapeColor)},
                  {"tapeData: ", InlineRecord({{"tapeColorRed: ", Number(tape.tapeData.tapeColorRed)},
                                               {"tapeColorGreen: ", Number(tape.tapeData.tapeColorGreen)},
                                               {"tapeColorBlue: ", Number(tape.tapeData.tapeColorBlue)}})},
                  {"tapeRange: ", InlineRecord({{"tapeColorRangeMax: ", Number(tape.tapeRange.tapeColorRangeMax)},
                                                {"tapeColorRangeMin: ", Number(tape.tapeRange.tapeColorRangeMin)}})}})},
            {"    recommendedOrientation: ", OrientationBlock(c.recommendedOrientation)},
            {"    transferPixelUnit:      ", InlineRecord({{"blackAndWhite: ", Number(unit.blackAndWhite)},
                                                           {"errorDiffusion: ", Number(unit.errorDiffusion)},
                                                           {"trueGray: ", Number(unit.trueGray)},
                                                           {"color256: ", Number(unit.color256)},
                                                           {"color24bit: ", Number(unit.color24bit)}})},
            {"    pseudoBackgoundAdfFrontColor: ", PseudoBackground(c.pseudoBackgoundAdfFrontColor)},
            {"    pseudoBackgoundAdfBackColor: ", PseudoBackground(c.pseudoBackgoundAdfBackColor)},
            {"    pseudoBackgoundAdfFrontGray: ", PseudoBackground(c.pseudoBackgoundAdfFrontGray)},
            {"    pseudoBackgoundAdfBackGray: ", PseudoBackground(c.pseudoBackgoundAdfBackGray)},
        });
}

std::string ImageProcessingSpec(const VS_SCANNER_CAPABILITY& c)
{
    const SUPPORTCOMPRESSIONTYPE& compression = c.supportCompressionType;
    const JPEGSAMPLINGFACTOR& sampling = compression.jpegCompression.jpegSamplingFactor;
    return Section(
        "    <Image Processing Spec>",
        {
            {"    supportCompressionType: ",
             Block(
                 {{"        blackAndWhite:   ", Compression(compression.blackAndWhite)},
                  {"        errorDiffusion:  ", Compression(compression.errorDiffusion)},
                  {"        trueGray:        ", Compression(compression.trueGray)},
                  {"        color256:        ", Compression(compression.color256)},
                  {"        color24bit:      ", Compression(compression.color24bit)},
                  {"        jpegCompression: ",
                   InlineRecord({{"compressLevel: ", Number(compression.jpegCompression.compressLevel)},
                                 {"jpegSamplingFactor: ", InlineRecord({{"ycbcr444: ", Flag(sampling.ycbcr444)},
                                                                        {"ycbcr422: ", Flag(sampling.ycbcr422)},
                                                                        {"ycbcr411: ", Flag(sampling.ycbcr411)},
                                                                        {"ycbcr420: ", Flag(sampling.ycbcr420)},
                                                                        {"ycbcr400: ", Flag(sampling.ycbcr400)}})}})}},
                 "    }")},
            {"    monoThreshold: ", D::GetMonoThresholdSupportString(c.monoThreshold)},
            {"    specialDocumentImageProcs: ",
             InlineRecord({{"ocr: ", Flag(c.specialDocumentImageProcs.ocr)},
                           {"photo: ", Flag(c.specialDocumentImageProcs.photo)},
                           {"textandgraph: ", Flag(c.specialDocumentImageProcs.textandgraph)},
                           {"copy: ", Flag(c.specialDocumentImageProcs.copy)}})},
            {"    colorProfileOutput: ", D::GetCapSupportString(c.colorProfileOutput)},
            {"    gammaRange:         ", Number(c.gammaRange)},
            {"    moireRemoval:       ",
             InlineRecord({{"moireCap: ", D::GetCapSupportString(c.moireRemoval.moireCap)},
                           {"moireMaxResolution: ", D::GetAxisString(c.moireRemoval.moireMaxResolution)}})},
            {"    toneAdjust:         ", D::GetCapSupportString(c.toneAdjust)},
        });
}

std::string AdvancedSpec(const VS_SCANNER_CAPABILITY& c)
{
    const PAPERWIDTHDETECT& width = c.paperWidthDetect;
    const CARRIERSHEETSUPPORT& carrier = c.carrierSheet;
    const PLASTICCARDSUPPORT& card = c.plasticCard;
    std::string paperWidth =
        "{\n"
        "            cap: " +
        D::GetCapSupportString(width.cap) +
        "\n"
        "            supportPaperSource: " +
        D::GetSupportPaperSourcesString(width.supportPaperSource) +
        "\n"
        "            fb2CornerData:  " +
        D::GetCapSupportString(width.fb2CornerData) +
        ", fbStanderdSize:  " + D::GetCapSupportString(width.fbStanderdSize) +
        ", fbPaperOrientation : " + D::GetCapSupportString(width.fbPaperOrientation) +
        "\n"
        "            adf2CornerData: " +
        D::GetCapSupportString(width.adf2CornerData) +
        ", adfStanderdSize: " + D::GetCapSupportString(width.adfStanderdSize) +
        ", adfPaperOrientation: " + D::GetCapSupportString(width.adfPaperOrientation) +
        "\n"
        "            fbDetectSensorNum: " +
        Number(width.fbDetectSensorNum) + ", adfDetectSensorNum: " + Number(width.adfDetectSensorNum) +
        "\n"
        "        }";
    return Section(
        "    <Advanced Spec>",
        {
            {"    paperWidthDetect: ", paperWidth},
            {"    autoCrop2Pass: ",
             Block({{"            cap: ", D::GetCapSupportString(c.autoCrop2Pass.cap)},
                    {"            supportColorType: ", D::GetSupportColorTypesString(c.autoCrop2Pass.supportColorType)},
                    {"            AutoCropResolutionDpi: ", D::GetAxisString(c.autoCrop2Pass.AutoCropResolutionDpi)},
                    {"            AutoCropPixel: ", D::GetAxisString(c.autoCrop2Pass.AutoCropPixel)}},
                   "        }")},
            {"    cornerDetect: ",
             Block({{"            cap: ", D::GetCapSupportString(c.cornerDetect.cap)},
                    {"            supportColorType: ", D::GetSupportColorTypesString(c.cornerDetect.supportColorType)},
                    {"            supportPaperSource: ",
                     D::GetSupportPaperSourcesString(c.cornerDetect.supportPaperSource)},
                    {"            cornerInfoOutputSystem: ",
                     E::GetCornerInfoProtocolSystemString(c.cornerDetect.cornerInfoOutputSystem)},
                    {"            resolutionDpiMin: ", D::GetAxisString(c.cornerDetect.resolutionDpiMin)},
                    {"            resolutionDpiMax: ", D::GetAxisString(c.cornerDetect.resolutionDpiMax)}},
                   "        }")},
            {"    idCardMode: ",
             InlineRecord({{"cap: ", D::GetCapSupportString(c.idCardMode.cap)},
                           {"deviceFunc: ",
                            InlineRecord({{"scanFromFlatbed: ", Flag(c.idCardMode.deviceFunc.scanFromFlatbed)},
                                          {"showGuidsOnPanel: ", Flag(c.idCardMode.deviceFunc.showGuidsOnPanel)}})}})},
            {"    landscape:  ",
             InlineRecord({{"cap: ", D::GetCapSupportString(c.landscape.cap)},
                           {"ladscapeCapablePaperSource: ",
                            D::GetSupportPaperSourcesString(c.landscape.ladscapeCapablePaperSource)}})},
            {"    adfOnlyBackScan: ", D::GetCapSupportString(c.adfOnlyBackScan)},
            {"    carrierSheet: ",
             Block({{"        cap: ", D::GetCapSupportString(carrier.cap)},
                    {"        skipOffsetSystem: ", E::GetCarrierSheetOffsetSystemString(carrier.skipOffsetSystem)},
                    {"        supportColorType: ", D::GetSupportColorTypesString(carrier.supportColorType)},
                    {"        offsetSizeMm: ", InlineRecord({{"top: ", Number(carrier.offsetSizeMm.top)},
                                                             {"bottom: ", Number(carrier.offsetSizeMm.bottom)}})},
                    {"        resolutionDpiMax: ", D::GetAxisString(carrier.resolutionDpiMax)},
                    {"        resolutionDpiMin: ", D::GetAxisString(carrier.resolutionDpiMin)},
                    {"        exclusion: ", ExclusionBlock(carrier.exclusion)}},
                   "    }")},
            {"    plasticCard: ",
             Block({{"        cap: ", D::GetCapSupportString(card.cap)},
                    {"        supportColorType: ", D::GetSupportColorTypesString(card.supportColorType)},
                    {"        resolutionDpiMin: ", D::GetAxisString(card.resolutionDpiMin)},
                    {"        resolutionDpiMax: ", D::GetAxisString(card.resolutionDpiMax)},
                    {"        exclusion: ", ExclusionBlock(card.exclusion)}},
                   "    }")},
            {"    multifeedDetect:     ",
             InlineRecord({{"cap: ", D::GetCapSupportString(c.multifeedDetect.cap)},
                           {"detectionLevel: ",
                            InlineRecord({{"cap: ", D::GetCapSupportString(c.multifeedDetect.detectionLevel.cap)},
                                          {"level: ", Number(c.multifeedDetect.detectionLevel.level)}})}})},
            {"    backgroundRemove:    ", D::GetBackgroundRemovalSupportString(c.backgroundRemove)},
            {"    breedthroughRemoval: ", D::GetBleedThroughRemovalSupportString(c.breedthroughRemoval)},
            {"    deviceDetectSize: ",
             Block({{"            cap: ", D::GetCapSupportString(c.deviceDetectSize.cap)},
                    {"            supportPaperSource: ",
                     D::GetSupportPaperSourcesString(c.deviceDetectSize.supportPaperSource)},
                    {"            interlock: ",
                     InlineRecord({{"isNotSingleUsed: ", Flag(c.deviceDetectSize.interlock.isNotSingleUsed)},
                                   {"isAutoDeskew: ", Flag(c.deviceDetectSize.interlock.isAutoDeskew)}})},
                    {"            resolutionLimit: ", D::GetAxisString(c.deviceDetectSize.resolutionLimit)}},
                   "        }")},
            {"    deskew: ",
             Block({{"        cap: ", D::GetCapSupportString(c.deskew.cap)},
                    {"        supportPaperSource: ", D::GetSupportPaperSourcesString(c.deskew.supportPaperSource)},
                    {"        interlock: ",
                     InlineRecord({{"isNotSingleUsed: ", Flag(c.deskew.interlock.isNotSingleUsed)},
                                   {"isAutoDocument: ", Flag(c.deskew.interlock.isAutoDocument)}})},
                    {"        resolutionLimit: ", D::GetAxisString(c.deskew.resolutionLimit)}},
                   "    }")},
            {"    blankRemoval:     ", D::GetBlankRemovalSupportString(c.blankRemoval)},
            {"    autoColor:        ", D::GetAutoColorLevelSupportString(c.autoColor)},
            {"    detectResolution: ", D::GetCapSupportString(c.detectResolution)},
            {"    quietMode:        ", InlineRecord({{"cap: ", D::GetCapSupportString(c.quietMode.cap)},
                                                     {"resoMax: ", Number(c.quietMode.resoMax)},
                                                     {"resoMin: ", Number(c.quietMode.resoMin)}})},
            {"    autoCropType:     ", E::GetAutoCropTypeString(c.autoCropType)},
        });
}

}  // namespace

// ---- enumeration names ----

std::string DeviceCapabilityEnumDescriptor::GetScanCmdGenerationString(SCANCMD_GENERATION value)
{
    return DenseName(value, kScanCmdGeneration, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetMarginAdjustmentDirectionString(MARGINADJUSTMENTDIRECTION value)
{
    return DenseName(value, kMarginAdjustmentDirection, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetDocumentRotateString(DOCUMENTROTATE value)
{
    return DenseName(value, kDocumentRotate, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetTapeColorString(TAPECOLOR value)
{
    return DenseName(value, kTapeColor, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetDocumentOrientationString(DOCUMENTORIENTATION value)
{
    return DenseName(value, kDocumentOrientation, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetCornerInfoProtocolSystemString(CORNERINFO_PROTOCOLSYSTEM value)
{
    return DenseName(value, kCornerInfoProtocolSystem, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetAutoCropTypeString(AUTOCROPTYPE value)
{
    return DenseName(static_cast<int32_t>(value), kAutoCropType, "Unknown");
}

std::string DeviceCapabilityEnumDescriptor::GetCarrierSheetOffsetSystemString(CARRIERSHEETOFFSETSYSTEM value)
{
    return DenseName(value, kCarrierSheetOffsetSystem, "Unknown");
}

// ---- record texts ----

std::string DEVICEPANELFUNCTIONS::GetDescription() const
{
    return "{ \n"
           "        duplex:                " +
           Flag(duplex) +
           "\n"
           "        scanType:              " +
           Flag(scanType) +
           "\n"
           "        resolution:            " +
           Flag(resolution) +
           "\n"
           "        fileType:              " +
           Flag(fileType) +
           "\n"
           "        documentSize:          " +
           Flag(documentSize) +
           "\n"
           "        brightness:            " +
           Flag(brightness) +
           "\n"
           "        contrast:              " +
           Flag(contrast) +
           "\n"
           "        autoDeskew:            " +
           Flag(autoDeskew) +
           "\n"
           "        skipBlankPage:         " +
           Flag(skipBlankPage) +
           "\n"
           "        removeBackgroundColor: " +
           Flag(removeBackgroundColor) +
           "\n"
           "        reduceMoire:           " +
           Flag(reduceMoire) +
           "\n"
           "        adjustMargin:          " +
           Flag(adjustMargin) +
           "\n"
           "    }";
}

std::string VS_SCANNER_CAPABILITY::GetDescription() const
{
    std::string text = "{\n";
    text += Section("    <Generation>",
                    {{"    cmdGeneration:  ", E::GetScanCmdGenerationString(cmdGeneration)},
                     {"    commandVersion: ", Formatter::ToHexString(static_cast<unsigned>(commandVersion), 4)}});
    text += "\n";
    text += Section("    <Model Info>", {{"    category:  ", D::GetDeviceCategoryString(category)},
                                         {"    modelName: ", descriptor::FixedText(modelName)},
                                         {"    updateNum: ", Number(updateNum)}});
    text += "\n";
    text += HardwareSpec(*this);
    text += "\n";
    text += BasicSpec(*this);
    text += "\n";
    text += ImageProcessingSpec(*this);
    text += "\n";
    text += AdvancedSpec(*this);
    return text + "}";
}

}  // namespace vscore
