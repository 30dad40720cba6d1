// Texts of the engine interface's enumerations and small records.
#include "diagnostics/VdCommonDefDescriptor.h"

#include <algorithm>
#include <cstddef>

#include "VexmorApi/Utilities/Formatter.h"
#include "diagnostics/CodeTypeTransformer.h"
#include "diagnostics/DescriptorText.h"

namespace vscore {

using descriptor::DenseName;
using descriptor::Flag;
using descriptor::InlineRecord;
using descriptor::JoinItems;
using descriptor::Number;
using descriptor::SparseName;
using descriptor::ValueName;

namespace {

const char* const kCapSupport[] = {"UNKNOWN", "UNSUPPORT", "SUPPORT"};
const char* const kUnitType[] = {"INCH", "MM", "PIXEL"};
const char* const kColorType[] = {"AUTOCOLOR", "BLACKWHITE", "ERRDIFFUSION", "TRUEGRAY",
                                  "COLOR256",  "COLOR24BIT", "COLORTYPENUM"};
const char* const kLineDirection[] = {"LINE_VERTICAL", "LINE_HORIZONTAL", "LINE_VERTICAL_HORIZONAL"};
const char* const kDeviceCategory[] = {"LASER", "INK", "DOCUMENTSCANNER", "HERON"};
const char* const kPosition[] = {"LEFT", "CENTER", "RIGHT", "TOP", "BOTTOM"};
const char* const kDuplexScanType[] = {"SWITCHBACK", "WCIS"};
const char* const kCardModeType[] = {"NoCardMode", "AutoSize600dpiInADF", "AutoSizeInADF", "AutoSizeInSlot",
                                     "CardSize"};
const char* const kBlankRemovalSystem[] = {"DETECTONLY", "DETECTANDREMOVE"};
const char* const kXferCountSystem[] = {"NOXFERCOUNT", "ONESHEETXFERCOUNTONLY", "MULTISHEETXFERCOUNT"};
const char* const kAutoContinuousScanDeviceSupport[] = {"UNSUPPORT_WITH_DEVICE", "WAIT_AT_DEVICE",
                                                        "DISPLAY_WAITING_AT_DEVICE"};
const char* const kBarcodeDirection[] = {"BARCODE_AUTO", "BARCODE_VERTICAL", "BARCODE_HORIZONTAL"};
const char* const kDuplexType[] = {"SIMPLEX", "DUPLEX_LONG", "DUPLEX_SHORT"};
const char* const kPaperSourceSelect[] = {"SOURCEAUTO", "FLATBED", "ADF", "CARDSLOT"};
const char* const kImageOrientation[] = {"ROT0", "ROT90", "ROT180", "ROT270"};
const char* const kSelectColor[] = {"WHITE", "GRAY", "BLACK", "RED", "GREEN", "BLUE", "NEARBYCOLOR"};
const char* const kImageMergeType[] = {"MERGE_NONE", "MERGE_FRONTPAGEONLEFT", "MERGE_FRONTPAGEONTOP",
                                       "MERGE_FRONTPAGEONRIGHT", "MERGE_FRONTPAGEONBOTTOM"};
const char* const kImageDivideType[] = {"DIVIDE_NONE", "DIVIDE_LEFTRIGHT", "DIVIDE_TOPBOTTOM"};
const ValueName kIfType[] = {{1, "USB"}, {2, "NETWORK"}, {3, "WINSTI"}};
const ValueName kIdType[] = {
    {1, "DeviceName"}, {2, "USB ID"}, {3, "NodeName or IP-Address"}, {4, "Location ID"}, {5, "USB Port Name"},
};
const ValueName kBootMethod[] = {{0, "AUTO"}, {3, "DHCP"}, {7, "STATIC"}};
const char* const kPaperType[] = {
    "AUTOSIZE",       "A4",         "LETTER",     "LEGAL",        "A3",         "LEDGER",
    "JISB4",          "JISB5",      "A5",         "JISB6",        "A6",         "EXECUTIVE",
    "PHOTO",          "INDEXCARD",  "PHOTOL",     "PHOTO2L",      "POSTCARD",   "POSTCARD2",
    "BCARD90X60",     "BCARD60X90", "FOLIO",      "MEXICANLEGAL", "INDIALEGAL", "LONGPAPER_NARROW",
    "LONGPAPER_WIDE", "DEVICEMAX",  "CUSTOMSIZE", "PAPERTYPENUM",
};
const ValueName kCommandVersion[] = {
    {0, "CommandVersion_1999"},     {1, "CommandVersion_2000"},    {2, "CommandVersion_2001"},
    {3, "CommandVersion_2003"},     {4, "CommandVersion_2005"},    {5, "CommandVersion_2008"},
    {6, "CommandVersion_2009"},     {7, "CommandVersion_2010"},    {8, "CommandVersion_2011"},
    {9, "CommandVersion_2012"},     {10, "CommandVersion_2013"},   {11, "CommandVersion_2014"},
    {12, "CommandVersion_2014_2"},  {13, "CommandVersion_2017"},   {16, "CommandVersion_OLD_TARN"},
    {257, "CommandVersion_TARN"},   {258, "CommandVersion_KELP2"}, {259, "CommandVersion_MOSSA"},
    {260, "CommandVersion_MOSSB"},  {261, "CommandVersion_MOSSC"}, {262, "CommandVersion_FERN4"},
    {263, "CommandVersion_SPRIG"},  {264, "CommandVersion_OSIER"}, {266, "CommandVersion_RUSH"},
    {267, "CommandVersion_SEDGE2"},
};

// Names of the first `count` entries joined by ", ".
template <class Kind, class Namer>
std::string NameList(const Kind* types, std::size_t count, Namer name)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) {
            text += ", ";
        }
        text += name(types[i]);
    }
    return text;
}

// One line of three numbers, each label padded to `labelWidth` and each value
// right-aligned in `valueWidth` columns (0: unpadded).
template <class Integer>
std::string LevelLine(const char* const labels[3], const Integer values[3], std::size_t labelWidth,
                      std::size_t valueWidth)
{
    std::string line = "        ";
    for (int i = 0; i < 3; ++i) {
        if (i != 0) {
            line += ", ";
        }
        std::string label = std::string(labels[i]) + ": ";
        line += label + std::string(labelWidth > label.size() ? labelWidth - label.size() : 0, ' ');
        line += descriptor::RightAligned(Number(values[i]), valueWidth);
    }
    return line + "\n";
}

}  // namespace

// ---- enumerations ----

std::string VdCommonDefDescriptor::GetCapSupportString(CAPSUPPORT value)
{
    return DenseName(value, kCapSupport, "Unknown");
}

std::string VdCommonDefDescriptor::GetUnitTypeString(UNITTYPE value) { return DenseName(value, kUnitType, "Unknown"); }

std::string VdCommonDefDescriptor::GetColorTypeString(COLORTYPE value)
{
    return DenseName(value, kColorType, "Unknown");
}

std::string VdCommonDefDescriptor::GetLineDirectionString(LINEDIRECTION value)
{
    return DenseName(value, kLineDirection, "Unknown");
}

std::string VdCommonDefDescriptor::GetDeviceCategoryString(DEVICECATEGORY value)
{
    return DenseName(value, kDeviceCategory, "Unknown");
}

std::string VdCommonDefDescriptor::GetPositionString(POSITION value) { return DenseName(value, kPosition, "Unknown"); }

std::string VdCommonDefDescriptor::GetDuplexScanTypeString(DUPLEXSCANTYPE value)
{
    return DenseName(value, kDuplexScanType, "Unknown");
}

std::string VdCommonDefDescriptor::GetCardModeTypeString(CardModeType value)
{
    return DenseName(value, kCardModeType, "Unknown");
}

std::string VdCommonDefDescriptor::GetBlankRemovalSystemString(BLANKREMOVALSYSTEM value)
{
    return DenseName(value, kBlankRemovalSystem, "Unknown");
}

std::string VdCommonDefDescriptor::GetXferCountSystemString(XFERCOUNTSYSTEM value)
{
    return DenseName(value, kXferCountSystem, "Unknown");
}

std::string VdCommonDefDescriptor::GetAutoContinuousScanDeviceSupportString(AUTOCONTINUOUSSCANDEVICESUPPORT value)
{
    return DenseName(value, kAutoContinuousScanDeviceSupport, "Unknown");
}

std::string VdCommonDefDescriptor::GetBarcodeDirectionString(BARCODE_DIRECTION value)
{
    return DenseName(value, kBarcodeDirection, "Unknown");
}

std::string VdCommonDefDescriptor::GetDuplexTypeString(DUPLEXTYPE value)
{
    return DenseName(value, kDuplexType, "Unknown");
}

std::string VdCommonDefDescriptor::GetPaperSourceSelectString(PAPERSOURCESELECT value)
{
    return DenseName(value, kPaperSourceSelect, "Unknown");
}

std::string VdCommonDefDescriptor::GetImageOrientationString(IMAGEORIENTATION value)
{
    return DenseName(value, kImageOrientation, "Unknown");
}

std::string VdCommonDefDescriptor::GetSelectColorString(SELECTCOLOR value)
{
    return DenseName(value, kSelectColor, "Unknown");
}

std::string VdCommonDefDescriptor::GetImageMergeTypeString(IMAGEMERGETYPE value)
{
    return DenseName(value, kImageMergeType, "Unknown");
}

std::string VdCommonDefDescriptor::GetImageDivideTypeString(IMAGEDIVIDETYPE value)
{
    return DenseName(value, kImageDivideType, "");
}

std::string VdCommonDefDescriptor::GetIFTypeString(devif_type value) { return SparseName(value, kIfType, "UNKNOWN"); }

std::string VdCommonDefDescriptor::GetIDTypeString(devid_type value) { return SparseName(value, kIdType, "UNKNOWN"); }

std::string VdCommonDefDescriptor::GetBootMethodTypeString(bootmethod_type value)
{
    return SparseName(value, kBootMethod, "OTHER");
}

std::string VdCommonDefDescriptor::GetBarcodeTypeString(BARCODE_TYPE value)
{
    return BarcodeTypeTransformer::ToString(value);
}

std::string VdCommonDefDescriptor::GetPatchcodeTypeString(PATCHCODE_TYPE value)
{
    return PatchcodeTypeTransformer::ToString(value);
}

std::string VdCommonDefDescriptor::GetPaperTypeString(PAPERTYPE value)
{
    return DenseName(value, kPaperType, "Unknown");
}

std::string VdCommonDefDescriptor::GetCommandVersion(CommandVersion value)
{
    return SparseName(value, kCommandVersion, "Unknown") + " (" +
           Formatter::ToHexString(static_cast<unsigned>(value), 4) + ")";
}

// ---- records ----

std::string VdCommonDefDescriptor::GetAxisString(const AXIS& value)
{
    return InlineRecord({{"x: ", Number(value.x)}, {"y: ", Number(value.y)}});
}

std::string VdCommonDefDescriptor::GetAxisSignedString(const AXIS_SIGNED& value)
{
    return InlineRecord({{"x: ", Number(value.x)}, {"y: ", Number(value.y)}});
}

std::string VdCommonDefDescriptor::GetRectString(const tagRECT& value)
{
    return InlineRecord({{"left: ", Number(value.left)},
                         {"top: ", Number(value.top)},
                         {"right: ", Number(value.right)},
                         {"bottom: ", Number(value.bottom)}});
}

std::string VdCommonDefDescriptor::GetSupportAdjustLevelString(const SUPPORTADJUSTLEVEL& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetSupportColorTypesString(const SUPPORTCOLORTYPES& value)
{
    return InlineRecord({{"blackAndWhite: ", Flag(value.blackAndWhite)},
                         {"errorDiffusion: ", Flag(value.errorDiffusion)},
                         {"trueGray: ", Flag(value.trueGray)},
                         {"color256: ", Flag(value.color256)},
                         {"color24bit: ", Flag(value.color24bit)},
                         {"color256table: ", Flag(value.color256table)},
                         {"autoColor: ", Flag(value.autoColor)}});
}

std::string VdCommonDefDescriptor::GetSupportPowerSource(SUPPORTPOWERSOURCE value)
{
    return InlineRecord({{"ac: ", Flag(value.ac)},
                         {"usb: ", Flag(value.usb)},
                         {"usbWithCapacitor: ", Flag(value.usbWithCapacitor)},
                         {"battery: ", Flag(value.battery)}});
}

std::string VdCommonDefDescriptor::GetSupportScanEvent(SUPPORTSCANEVENT value)
{
    return InlineRecord({{"scanToImage: ", Flag(value.scanToImage)},
                         {"scanToOCR: ", Flag(value.scanToOCR)},
                         {"scanToEmail: ", Flag(value.scanToEmail)},
                         {"scanToFile: ", Flag(value.scanToFile)}});
}

std::string VdCommonDefDescriptor::GetOpticalResolutionsString(const OPTICALRESOLUTIONS& value)
{
    return InlineRecord({{"flatbed: ", GetAxisString(value.flatbed)},
                         {"adfSimplex: ", GetAxisString(value.adfSimplex)},
                         {"adfDuplex: ", GetAxisString(value.adfDuplex)},
                         {"cardSlot: ", GetAxisString(value.cardSlot)}});
}

std::string VdCommonDefDescriptor::GetSupportPaperSourcesString(const SUPPORTPAPERSOURCES& value)
{
    return InlineRecord({{"flatbed: ", Flag(value.flatbed)},
                         {"adfSimplex: ", Flag(value.adfSimplex)},
                         {"adfDuplex: ", Flag(value.adfDuplex)},
                         {"cardslot: ", Flag(value.cardslot)}});
}

std::string VdCommonDefDescriptor::GetPaperSettingPositionsString(const PAPERSETTINGPOSITIONS& value)
{
    return InlineRecord({{"flatbedX: ", GetPositionString(value.flatbedX)},
                         {"flatbedY: ", GetPositionString(value.flatbedY)},
                         {"adfX: ", GetPositionString(value.adfX)},
                         {"adfY: ", GetPositionString(value.adfY)},
                         {"cardslotX: ", GetPositionString(value.cardslotX)},
                         {"cardslotY: ", GetPositionString(value.cardslotY)}});
}

std::string VdCommonDefDescriptor::GetPaperSourceSpecString(const PAPERSOURCESPEC& value)
{
    return InlineRecord({{"supportPaperSource: ", GetSupportPaperSourcesString(value.supportPaperSource)},
                         {"duplexScanSystem: ", GetDuplexScanTypeString(value.duplexScanSystem)},
                         {"adfStackCapacity: ", Number(value.adfStackCapacity)}});
}

std::string VdCommonDefDescriptor::GetPaperSizeString(const PAPERSIZE& value)
{
    return InlineRecord({{"size: ", GetAxisString(value.size)}, {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetDeviceScanSizesString(const DEVICESCANSIZES& value)
{
    return InlineRecord({{"flatbed: ", GetAxisString(value.flatbed)},
                         {"simplex: ", GetAxisString(value.simplex)},
                         {"duplex: ", GetAxisString(value.duplex)},
                         {"cardSlot: ", GetAxisString(value.cardSlot)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetMarginSizeString(const MARGINSIZE& value)
{
    return InlineRecord({{"left: ", Number(value.left)},
                         {"right: ", Number(value.right)},
                         {"top: ", Number(value.top)},
                         {"bottom: ", Number(value.bottom)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetLongPaperSupportString(const LONGPAPERSUPPORT& value)
{
    return InlineRecord({{"simplexMaxLength: ", Number(value.simplexMaxLength)},
                         {"duplexMaxLength: ", Number(value.duplexMaxLength)},
                         {"maxResolution: ", Number(value.maxResolution)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetAutoDeskewSupportString(const AUTODESKEWSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"supportPaperSource: ", GetSupportPaperSourcesString(value.supportPaperSource)},
                         {"maxResolution: ", Number(value.maxResolution)}});
}

std::string VdCommonDefDescriptor::GetMonoThresholdSupportString(const MONOTHRESHOLDSUPPORT& value)
{
    return InlineRecord({{"autoThresholdCap: ", GetCapSupportString(value.autoThresholdCap)},
                         {"autoThresholdDef: ", Flag(value.autoThresholdDef)},
                         {"manuanThresholdCap: ", GetCapSupportString(value.manuanThresholdCap)},
                         {"manualThresholdLevelMax: ", Number(value.manualThresholdLevelMax)},
                         {"manualThresholdLevelMin: ", Number(value.manualThresholdLevelMin)},
                         {"manualThresholdLevelDef: ", Number(value.manualThresholdLevelDef)}});
}

std::string VdCommonDefDescriptor::GetColorToneSupportString(const COLORTONESUPPORT& value)
{
    struct Tone {
        const char* labels[3];
        int32_t values[3];
    };
    const Tone tones[] = {
        {{"manualBrightnessLevelMax", "manualBrightnessLevelMin", "manualBrightnessLevelDef"},
         {value.manualBrightnessLevelMax, value.manualBrightnessLevelMin, value.manualBrightnessLevelDef}},
        {{"manualContrastLevelMax", "manualContrastLevelMin", "manualContrastLevelDef"},
         {value.manualContrastLevelMax, value.manualContrastLevelMin, value.manualContrastLevelDef}},
        {{"manualShadowLevelMax", "manualShadowLevelMin", "manualShadowLevelDef"},
         {value.manualShadowLevelMax, value.manualShadowLevelMin, value.manualShadowLevelDef}},
        {{"manualHighlightLevelMax", "manualHighlightLevelMin", "manualHighlightLevelDef"},
         {value.manualHighlightLevelMax, value.manualHighlightLevelMin, value.manualHighlightLevelDef}},
        {{"manualGammaLevelMax", "manualGammaLevelMin", "manualGammaLevelDef"},
         {value.manualGammaLevelMax, value.manualGammaLevelMin, value.manualGammaLevelDef}},
    };
    std::string text = "{\n";
    text += "        cap: " + GetCapSupportString(value.cap) + "\n";
    text += "        autoToneDef: " + Flag(value.autoToneDef) + "\n";
    for (const Tone& tone : tones) {
        text += LevelLine(tone.labels, tone.values, 26, 4);
    }
    return text + "    }";
}

std::string VdCommonDefDescriptor::GetAutoColorLevelSupportString(const AUTOCOLORLEVELSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"monoColorDetectLevelMax: ", Number(value.monoColorDetectLevelMax)},
                         {"monoColorDetectLevelMin: ", Number(value.monoColorDetectLevelMin)},
                         {"monoColorDetectLevelDef: ", Number(value.monoColorDetectLevelDef)},
                         {"monoGrayDetectLevelMax: ", Number(value.monoGrayDetectLevelMax)},
                         {"monoGrayDetectLevelMin: ", Number(value.monoGrayDetectLevelMin)},
                         {"monoGrayDetectLevelDef: ", Number(value.monoGrayDetectLevelDef)}});
}

std::string VdCommonDefDescriptor::GetBackgroundRemovalSupportString(const BACKGROUNDREMOVALSUPPORT& value)
{
    return InlineRecord({{"blackAndWhite: ", GetSupportAdjustLevelString(value.blackAndWhite)},
                         {"errorDiffusion: ", GetSupportAdjustLevelString(value.errorDiffusion)},
                         {"trueGray: ", GetSupportAdjustLevelString(value.trueGray)},
                         {"color24bit: ", GetSupportAdjustLevelString(value.color24bit)}});
}

std::string VdCommonDefDescriptor::GetBleedThroughRemovalSupportString(const BREEDTHROUGHREMOVALSUPPORT& value)
{
    return InlineRecord({{"blackAndWhite: ", GetSupportAdjustLevelString(value.blackAndWhite)},
                         {"errorDiffusion: ", GetSupportAdjustLevelString(value.errorDiffusion)},
                         {"trueGray: ", GetSupportAdjustLevelString(value.trueGray)},
                         {"color24bit: ", GetSupportAdjustLevelString(value.color24bit)}});
}

std::string VdCommonDefDescriptor::GetSmoothingSupportString(const SMOOTHINGSUPPORT& value)
{
    return InlineRecord({{"bleedThroughCap: ", GetCapSupportString(value.bleedThroughCap)},
                         {"bleedThroughDef: ", Flag(value.bleedThroughDef)},
                         {"removeBackgroundCap: ", GetCapSupportString(value.removeBackgroundCap)},
                         {"removeBackgroundDef: ", Flag(value.removeBackgroundDef)},
                         {"levelMax: ", Number(value.levelMax)},
                         {"levelMin: ", Number(value.levelMin)},
                         {"levelDef: ", Number(value.levelDef)}});
}

std::string VdCommonDefDescriptor::GetColorDropSupportString(const COLORDROPSUPPORT& value)
{
    return InlineRecord(
        {{"cap: ", GetCapSupportString(value.cap)}, {"colorType: ", GetSupportColorTypesString(value.colorType)}});
}

std::string VdCommonDefDescriptor::GetThickTextSupportString(const THICKTEXTSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"thicknessDef: ", Flag(value.thicknessDef)},
                         {"levelMax: ", Number(value.levelMax)},
                         {"levelMin: ", Number(value.levelMin)},
                         {"levelDef: ", Number(value.levelDef)}});
}

std::string VdCommonDefDescriptor::GetEdgeEnhanceSupportString(const EDGEENHANCESUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"edgeEnhanceDef: ", Flag(value.edgeEnhanceDef)},
                         {"levelMax: ", Number(value.levelMax)},
                         {"levelMin: ", Number(value.levelMin)},
                         {"levelDef: ", Number(value.levelDef)}});
}

std::string VdCommonDefDescriptor::GetMoireRemovalSupportString(const MOIREREMOVALSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)}, {"maxResolution: ", Number(value.maxResolution)}});
}

std::string VdCommonDefDescriptor::GetDustRemovalSupportString(const DUSTREMOVALSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"dustRemovDef: ", Flag(value.dustRemovDef)},
                         {"levelMax: ", Number(value.levelMax)},
                         {"levelMin: ", Number(value.levelMin)},
                         {"levelDef: ", Number(value.levelDef)}});
}

std::string VdCommonDefDescriptor::GetRemoveLineSupportString(const REMOVELINESUPPORT& value)
{
    struct Lengths {
        const char* labels[3];
        uint32_t values[3];
    };
    const Lengths rows[] = {
        {{"minLengthMaxMm", "minLengthMinMm", "minLengthDefMm"},
         {value.minLengthMaxMm, value.minLengthMinMm, value.minLengthDefMm}},
        {{"dashedLengthMaxMm", "dashedLengthMinMm", "dashedLengthDefMm"},
         {value.dashedLengthMaxMm, value.dashedLengthMinMm, value.dashedLengthDefMm}},
        {{"minLengthMaxInch", "minLengthMinInch", "minLengthDefInch"},
         {value.minLengthMaxInch, value.minLengthMinInch, value.minLengthDefInch}},
        {{"dashedLengthMaxInch", "dashedLengthMinInch", "dashedLengthDefInch"},
         {value.dashedLengthMaxInch, value.dashedLengthMinInch, value.dashedLengthDefInch}},
    };
    std::string text = "{\n";
    text += "        cap: " + GetCapSupportString(value.cap) + "\n";
    text += "        directionDef: " + GetLineDirectionString(value.directionDef) + "\n";
    for (const Lengths& row : rows) {
        text += LevelLine(row.labels, row.values, 21, 0);
    }
    return text + "    }";
}

std::string VdCommonDefDescriptor::GetPunchHoleSupportString(const PUNCHHOLESUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"white: ", Flag(value.white)},
                         {"nearbyColor: ", Flag(value.nearbyColor)}});
}

std::string VdCommonDefDescriptor::GetEdgeCutSupportString(const EDGECUTSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"maxMm: ", GetMarginSizeString(value.maxMm)},
                         {"minMm: ", GetMarginSizeString(value.minMm)},
                         {"autoSizeOnly: ", Flag(value.autoSizeOnly)},
                         {"isReversedSignOfDevicePanel: ", Flag(value.isReversedSignOfDevicePanel)}});
}

std::string VdCommonDefDescriptor::GetFillCapabilityString(const FILLCAPABILITY& value)
{
    return InlineRecord(
        {{"cap: ", GetCapSupportString(value.cap)}, {"white: ", Flag(value.white)}, {"black: ", Flag(value.black)}});
}

std::string VdCommonDefDescriptor::GetEdgeFillSupportString(const EDGEFILLSUPPORT& value)
{
    return InlineRecord({{"automatic: ", GetCapSupportString(value.automatic)},
                         {"specifiedArea: ", GetFillCapabilityString(value.specifiedArea)}});
}

std::string VdCommonDefDescriptor::GetBlankRemovalLevelString(const BLANKREMOVALLEVEL& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"blankRemovDef: ", Flag(value.blankRemovDef)},
                         {"levelMax: ", Number(value.levelMax)},
                         {"levelMin: ", Number(value.levelMin)},
                         {"levelDef: ", Number(value.levelDef)}});
}

std::string VdCommonDefDescriptor::GetBlankRemovalSupportString(const BLANKREMOVALSUPPORT& value)
{
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"systemType: ", GetBlankRemovalSystemString(value.systemType)},
                         {"blankLevel: ", GetBlankRemovalLevelString(value.blankLevel)}});
}

std::string VdCommonDefDescriptor::GetAutoContinuousScanSupportString(AUTOCONTINUOUSSCANSUPPORT value)
{
    return InlineRecord({{"support: ", GetAutoContinuousScanDeviceSupportString(value.support)},
                         {"timeoutMin: ", Number(value.timeoutMin)},
                         {"timeoutMax: ", Number(value.timeoutMax)},
                         {"feedDelayMin: ", Number(value.feedDelayMin)},
                         {"feedDelayMax: ", Number(value.feedDelayMax)}});
}

std::string VdCommonDefDescriptor::GetBarcodeSupportString(const BARCODESUPPORT& value)
{
    const std::size_t count = sizeof value.types / sizeof value.types[0];
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"retryMax: ", Number(value.retryMax)},
                         {"maxNum: ", Number(value.maxNum)},
                         {"types: ", "{ " + NameList(value.types, count, GetBarcodeTypeString) + " }"}});
}

std::string VdCommonDefDescriptor::GetPatchcodeSupportString(const PATCHCODESUPPORT& value)
{
    const std::size_t count = sizeof value.types / sizeof value.types[0];
    return InlineRecord({{"cap: ", GetCapSupportString(value.cap)},
                         {"types: ", "{ " + NameList(value.types, count, GetPatchcodeTypeString) + " }"}});
}

std::string VdCommonDefDescriptor::GetScanAreaString(const SCANAREA& value)
{
    return InlineRecord({{"offsetX: ", Number(value.offsetX)},
                         {"offsetY: ", Number(value.offsetY)},
                         {"width: ", Number(value.width)},
                         {"height: ", Number(value.height)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetScanAreaInfoString(const tagSCANAREAINFO& value)
{
    return InlineRecord({{"papertype: ", GetPaperTypeString(value.papertype)},
                         {"customPaperSize: ", GetPaperSizeString(value.customPaperSize)},
                         {"areaSelected: ", Flag(value.areaSelected)},
                         {"selectArea: ", GetScanAreaString(value.selectArea)}});
}

std::string VdCommonDefDescriptor::GetMonoThresholdParamString(const MONOTHRESHOLDPARAM& value)
{
    return InlineRecord({{"autoThreshold: ", Flag(value.autoThreshold)},
                         {"customThreshold: ", Flag(value.customThreshold)},
                         {"manualLevel: ", Number(value.manualLevel)}});
}

std::string VdCommonDefDescriptor::GetColorToneParamString(const COLORTONEPARAM& value)
{
    return InlineRecord({{"autoTone: ", Flag(value.autoTone)},
                         {"customTone: ", Flag(value.customTone)},
                         {"manualBrightness: ", Number(value.manualBrightness)},
                         {"manualContrast: ", Number(value.manualContrast)},
                         {"manualShadow: ", Number(value.manualShadow)},
                         {"manualHighlight: ", Number(value.manualHighlight)},
                         {"manualGamma: ", Number(value.manualGamma)}});
}

std::string VdCommonDefDescriptor::GetAutoColorLevelParamString(const AUTOCOLORLEVELPARAM& value)
{
    return InlineRecord({{"monoColorDetectLevel: ", Number(value.monoColorDetectLevel)},
                         {"monoGrayDetectLevel: ", Number(value.monoGrayDetectLevel)}});
}

std::string VdCommonDefDescriptor::GetBackgroundRemovalParamString(const BACKGROUNDREMOVALPARAM& value)
{
    return InlineRecord({{"remove: ", Flag(value.remove)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetSmoothingParamString(const SMOOTHINGPARAM& value)
{
    return InlineRecord({{"bleedThrough: ", Flag(value.bleedThrough)},
                         {"backgroundRemoval: ", Flag(value.backgroundRemoval)},
                         {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetColorDropCustomColorString(const tagCOLORDROP_CUSTOMCOLOR& value)
{
    return InlineRecord({{"redVal: ", Number(value.redVal)},
                         {"greenVal: ", Number(value.greenVal)},
                         {"blueVal: ", Number(value.blueVal)},
                         {"level: ", Number(value.level)},
                         {"keepDarkColor: ", Flag(value.keepDarkColor)}});
}

std::string VdCommonDefDescriptor::GetColorDropParamString(const COLORDROPPARAM& value)
{
    return InlineRecord({{"drop: ", Flag(value.drop)},
                         {"chromaticColor: ", Flag(value.chromaticColor)},
                         {"dropRed: ", Flag(value.dropRed)},
                         {"dropGreen: ", Flag(value.dropGreen)},
                         {"dropBlue: ", Flag(value.dropBlue)},
                         {"custom: ", Flag(value.custom)},
                         {"customColor: ", GetColorDropCustomColorString(value.customColor)}});
}

std::string VdCommonDefDescriptor::GetThickTextParamString(const THICKTEXTPARAM& value)
{
    return InlineRecord({{"thickness: ", Flag(value.thickness)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetEdgeEnhanceParamString(const EDGEENHANCEPARAM& value)
{
    return InlineRecord({{"enhance: ", Flag(value.enhance)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetDustRemovalParamString(const DUSTREMOVALPARAM& value)
{
    return InlineRecord({{"reduce: ", Flag(value.reduce)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetRemoveLineParamString(const REMOVELINEPARAM& value)
{
    return InlineRecord({{"lineRemove: ", Flag(value.lineRemove)},
                         {"direction: ", GetLineDirectionString(value.direction)},
                         {"minLength: ", Number(value.minLength)},
                         {"dashedLength: ", Number(value.dashedLength)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetPunchHoleParamString(const PUNCHHOLEPARAM& value)
{
    return InlineRecord({{"remove: ", Flag(value.remove)}, {"fillColor: ", GetSelectColorString(value.fillColor)}});
}

std::string VdCommonDefDescriptor::GetCombineImagesTypeString(const COMBINEIMAGESPARAM& value)
{
    return "{" +
           JoinItems({{"execute: ", Flag(value.execute)},
                      {"width: ", Number(value.width)},
                      {"height: ", Number(value.height)},
                      {"space: ", Number(value.space)},
                      {"unit: ", GetUnitTypeString(value.unit)}}) +
           "}";
}

std::string VdCommonDefDescriptor::GetCardModeParamString(const CARDMODEPARAM& value)
{
    return InlineRecord({{"execute: ", Flag(value.execute)},
                         {"mergeType: ", GetImageMergeTypeString(value.mergeType)},
                         {"invertBack: ", Flag(value.invertBack)},
                         {"rotationAngle: ", GetImageOrientationString(value.rotationAngle)}});
}

std::string VdCommonDefDescriptor::GetEdgeCutParamString(const EDGECUTPARAM& value)
{
    return InlineRecord({{"adjust: ", Flag(value.adjust)},
                         {"rect: ", GetRectString(value.rect)},
                         {"unit: ", GetUnitTypeString(value.unit)}});
}

std::string VdCommonDefDescriptor::GetEdgeFillParamString(const EDGEFILLPARAM& value)
{
    return InlineRecord({{"automatic: ", Flag(value.automatic)},
                         {"specifiedArea: ", Flag(value.specifiedArea)},
                         {"color: ", GetSelectColorString(value.color)},
                         {"margin: ", GetMarginSizeString(value.margin)}});
}

std::string VdCommonDefDescriptor::GetBlankRemoveParamString(const BLANKREMOVEPARAM& value)
{
    return InlineRecord({{"remove: ", Flag(value.remove)}, {"level: ", Number(value.level)}});
}

std::string VdCommonDefDescriptor::GetAutocontinuousScanParamString(const AUTOCONTINUOUSSCANPARAM& value)
{
    return InlineRecord({{"execute: ", Flag(value.execute)},
                         {"timeout: ", Number(value.timeout)},
                         {"feedDelay: ", Number(value.feedDelay)}});
}

std::string VdCommonDefDescriptor::GetBarcodeParameterString(const BARCODEPARAMETER& value)
{
    // typesNum comes from the caller's record; never walk past the array.
    const std::size_t capacity = sizeof value.types / sizeof value.types[0];
    const std::size_t count = std::min<std::size_t>(value.typesNum, capacity);
    return InlineRecord({{"execute: ", Flag(value.execute)},
                         {"maxNum: ", Number(value.maxNum)},
                         {"searchDirection: ", GetBarcodeDirectionString(value.searchDirection)},
                         {"retryNum: ", Number(value.retryNum)},
                         {"specifyArea: ", Flag(value.specifyArea)},
                         {"area: ", GetScanAreaString(value.area)},
                         {"addStartStopToCodabar: ", Flag(value.addStartStopToCodabar)},
                         {"typesNum: ", Number(value.typesNum)},
                         {"types: ", "{ " + NameList(value.types, count, GetBarcodeTypeString) + " }"}});
}

std::string VdCommonDefDescriptor::GetPatchcodeParameterString(const PATCHCODEPARAMETER& value)
{
    const std::size_t capacity = sizeof value.types / sizeof value.types[0];
    const std::size_t count = std::min<std::size_t>(value.typesNum, capacity);
    return InlineRecord({{"execute: ", Flag(value.execute)},
                         {"typesNum: ", Number(value.typesNum)},
                         {"types: ", "{ " + NameList(value.types, count, GetPatchcodeTypeString) + " }"}});
}

std::string VdCommonDefDescriptor::GetDeviceInfoString(const _VS_DEVICE_INFO& value)
{
    using descriptor::FixedText;
    std::string text = "{\n";
    text += "    nameDevice: " + FixedText(value.nameDevice) + "\n";
    text += "    ifType: " + GetIFTypeString(value.ifType) + "\n";
    text += "    usb: " +
            InlineRecord({{"idVender: ", Number(value.usb.idVender)},
                          {"idProduct: ", Number(value.usb.idProduct)},
                          {"nameUsbPort: ", FixedText(value.usb.nameUsbPort)},
                          {"idLocation: ", Number(value.usb.idLocation)}}) +
            "\n";
    text += "    net: " +
            InlineRecord({{"bootMethod: ", GetBootMethodTypeString(value.net.bootMethod)},
                          {"nameNode: ", FixedText(value.net.nameNode)},
                          {"ipAddress: ", FixedText(value.net.ipAddress)},
                          {"macAddress: ", FixedText(value.net.macAddress)}}) +
            "\n";
    return text + "}";
}

std::string VdCommonDefDescriptor::GetSelectDeviceInfoString(const _VS_SELECT_DEVICE_INFO& value)
{
    using descriptor::FixedText;
    std::string text = "{\n";
    text += "    typeDeviceIf: " + GetIFTypeString(value.typeDeviceIf) + "\n";
    text += "    typeDeviceId: " + GetIDTypeString(value.typeDeviceId) + "\n";
    text += "    nameDevice: " + FixedText(value.nameDevice) + "\n";
    text += "    addrNetwork: " + FixedText(value.addrNetwork) + "\n";
    text +=
        "    usbId: " +
        InlineRecord({{"idVendor: ", Number(value.usbId.idVendor)}, {"idProduct: ", Number(value.usbId.idProduct)}}) +
        "\n";
    text += "    idLocation: " + Number(value.idLocation) + "\n";
    return text + "}";
}

}  // namespace vscore
