// Multi-line log texts of the version-1 capability view and the scan request.
#include "diagnostics/VdSdkScanStructsDescriptor.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>

#include "diagnostics/DescriptorText.h"
#include "diagnostics/VdCommonDefDescriptor.h"

namespace vscore {

using descriptor::Flag;
using descriptor::Item;
using descriptor::Number;
using descriptor::Section;
using D = VdCommonDefDescriptor;

namespace {

// "{ " and the texts of the first count entries, closed by " }" when there
// is at least one.
template <class Entry, class Namer>
std::string ListText(const Entry* list, uint8_t count, Namer name)
{
    std::string text = "{ ";
    if (list == nullptr) {
        return text;
    }
    for (unsigned i = 0; i < count; ++i) {
        text += name(list[i]);
        text += i + 1 < count ? ", " : " }";
    }
    return text;
}

}  // namespace

std::string VdSdkScanStructsDescriptor::GetResolutionListString(const uint32_t* list, uint8_t count)
{
    return ListText(list, count, [](uint32_t value) { return Number(value); });
}

std::string VdSdkScanStructsDescriptor::GetPaperTypeListString(const PAPERTYPE* list, uint8_t count)
{
    return ListText(list, count, D::GetPaperTypeString);
}

std::string VdSdkScanStructsDescriptor::GetDescription(const tagVS_SCANNER_CAPABILITY_VER1& c)
{
    const std::size_t resolutions = sizeof c.resolutionList / sizeof c.resolutionList[0];
    const std::size_t paperCapacity = sizeof c.paperTypeList / sizeof c.paperTypeList[0];
    // paperNum comes from the engine's conversion; never walk past the list.
    const auto paperCount = static_cast<uint8_t>(std::min<std::size_t>(c.paperNum, paperCapacity));

    std::string text = "{\n";
    text += Section("    <Version>", {
                                         {"    commandVersion: ", D::GetCommandVersion(c.commandVersion)},
                                         {"    updateVersion:  ", Number(c.updateVersion)},
                                     });
    text += "\n";
    text += Section("    <Device>", {
                                        {"    modelName:      ", descriptor::FixedText(c.modelName)},
                                        {"    deviceCategory: ", D::GetDeviceCategoryString(c.deviceCategory)},
                                        {"    powerSource:    ", D::GetSupportPowerSource(c.powerSource)},
                                        {"    pushEvent:      ", D::GetSupportScanEvent(c.pushEvent)},
                                    });
    text += "\n";
    text +=
        Section("    <Basic>", {
                                   {"    resolutionOptical:     ", D::GetOpticalResolutionsString(c.resolutionOptical)},
                                   {"    resolutionList:        ",
                                    GetResolutionListString(c.resolutionList, static_cast<uint8_t>(resolutions))},
                                   {"    colorType:             ", D::GetSupportColorTypesString(c.colorType)},
                                   {"    supportDocSizeMax:     ", D::GetDeviceScanSizesString(c.supportDocSizeMax)},
                                   {"    deviceScanSizeMin:     ", D::GetDeviceScanSizesString(c.deviceScanSizeMin)},
                                   {"    paperTypeList:         ", GetPaperTypeListString(c.paperTypeList, paperCount)},
                                   {"    paperNum:              ", Number(c.paperNum)},
                                   {"    longPaper:             ", D::GetLongPaperSupportString(c.longPaper)},
                                   {"    autoSizeMaxResolution: ", Number(c.autoSizeMaxResolution)},
                                   {"    paperSourceSpec:       ", D::GetPaperSourceSpecString(c.paperSourceSpec)},
                                   {"    paperPosition:         ", D::GetPaperSettingPositionsString(c.paperPosition)},
                                   {"    marginSize:            ", D::GetMarginSizeString(c.marginSize)},
                               });
    text += "\n";
    text += Section("    <Paper Detection>", {
                                                 {"    autoCrop:        ", D::GetCapSupportString(c.autoCrop)},
                                                 {"    deskew:          ", D::GetAutoDeskewSupportString(c.deskew)},
                                                 {"    autoRotate:      ", D::GetCapSupportString(c.autoRotate)},
                                                 {"    detectEndOfPage: ", D::GetCapSupportString(c.detectEndOfPage)},
                                                 {"    rotateImage:     ", D::GetCapSupportString(c.rotateImage)},
                                             });
    text += "\n";
    text += Section("    <Image Quality>    ",
                    {
                        {"    monoThreshold:     ", D::GetMonoThresholdSupportString(c.monoThreshold)},
                        {"    grayTone:          ", D::GetCapSupportString(c.grayTone)},
                        {"    colorTone:         ", D::GetColorToneSupportString(c.colorTone)},
                        {"    autoColorLevel:    ", D::GetAutoColorLevelSupportString(c.autoColorLevel)},
                        {"    backgroundRemoval: ", D::GetBackgroundRemovalSupportString(c.backgroundRemoval)},
                        {"    smoothing:         ", D::GetSmoothingSupportString(c.smoothing)},
                        {"    colorDrop:         ", D::GetColorDropSupportString(c.colorDrop)},
                        {"    thickText:         ", D::GetThickTextSupportString(c.thickText)},
                        {"    dotTextCombine:    ", D::GetCapSupportString(c.dotTextCombine)},
                        {"    edgeEnhance:       ", D::GetEdgeEnhanceSupportString(c.edgeEnhance)},
                        {"    reduceNoise:       ", D::GetCapSupportString(c.reduceNoise)},
                        {"    moireRemoval:      ", D::GetMoireRemovalSupportString(c.moireRemoval)},
                        {"    dustRemoval:       ", D::GetDustRemovalSupportString(c.dustRemoval)},
                        {"    lineRemove:        ", D::GetRemoveLineSupportString(c.lineRemove)},
                        {"    punchHoleRemove:   ", D::GetPunchHoleSupportString(c.punchHoleRemove)},
                    });
    text += "\n";
    text += Section("    <Page Control>",
                    {
                        {"    imageMerge:          ", D::GetCapSupportString(c.imageMerge)},
                        {"    imageDevide:         ", D::GetCapSupportString(c.imageDevide)},
                        {"    combineImages:       ", D::GetCapSupportString(c.combineImages)},
                        {"    carrierSheet:        ", D::GetCapSupportString(c.carrierSheet)},
                        {"    plasticCard:         ", D::GetCardModeTypeString(c.plasticCard)},
                        {"    edgeCut:             ", D::GetEdgeCutSupportString(c.edgeCut)},
                        {"    edgeFill:            ", D::GetEdgeFillSupportString(c.edgeFill)},
                        {"    blankRemoval:        ", D::GetBlankRemovalSupportString(c.blankRemoval)},
                        {"    xferCount:           ", D::GetXferCountSystemString(c.xferCount)},
                        {"    autoContinuousScan:  ", D::GetAutoContinuousScanSupportString(c.autoContinuousScan)},
                        {"    multifeedDetect:     ", D::GetCapSupportString(c.multifeedDetect)},
                        {"    quietMode:           ", D::GetCapSupportString(c.quietMode)},
                    });
    text += "\n";
    text +=
        Section("    <Recognition>    ", {
                                             {"    detectBarcode:   ", D::GetBarcodeSupportString(c.detectBarcode)},
                                             {"    detectPatchcode: ", D::GetPatchcodeSupportString(c.detectPatchcode)},
                                         });
    text += "\n";
    text += Section("    <Other>                 ",
                    {
                        {"    colorProfile:           ", D::GetCapSupportString(c.colorProfile)},
                        {"    barcodeUtilitySolution: ", Flag(c.barcodeUtilitySolution)},
                    });
    return text + "}";
}

std::string VdSdkScanStructsDescriptor::GetDescription(const VS_SCANNER_PARAMETERS& p)
{
    std::string text = "{\n";
    text += Section("    <Basic>        ", {
                                               {"    resolutionX:   ", Number(p.resolutionX)},
                                               {"    resolutionY:   ", Number(p.resolutionY)},
                                               {"    colortype:     ", D::GetColorTypeString(p.colortype)},
                                               {"    scanAreaInfo:  ", D::GetScanAreaInfoString(p.scanAreaInfo)},
                                               {"    brightness:    ", Number(p.brightness)},
                                               {"    contrast:      ", Number(p.contrast)},
                                               {"    duplextype:    ", D::GetDuplexTypeString(p.duplextype)},
                                               {"    paperSource:   ", D::GetPaperSourceSelectString(p.paperSource)},
                                               {"    landscapeMode: ", Flag(p.landscapeMode)},
                                           });
    text += "\n";
    text += GetAdvancedSettingsString(p.enhanced);
    return text + "}";
}

std::string VdSdkScanStructsDescriptor::GetAdvancedSettingsString(const tagVS_ADVANCEDSCAN& a)
{
    std::string text;
    text += Section("    <Paper Detection> ",
                    {
                        {"    autocrop:         ", Flag(a.autocrop)},
                        {"    deskew:           ", Flag(a.deskew)},
                        {"    autoRotate:       ", Flag(a.autoRotate)},
                        {"    autoRotateLangId: ", Number(a.autoRotateLangId)},
                        {"    detectEndOfPage:  ", Flag(a.detectEndOfPage)},
                        {"    rotateImageAngle: ", D::GetImageOrientationString(a.rotateImageAngle)},
                    });
    text += "\n";
    text += Section("    <Image Quality>    ",
                    {
                        {"    monoThreshold:     ", D::GetMonoThresholdParamString(a.monoThreshold)},
                        {"    colorTone:         ", D::GetColorToneParamString(a.colorTone)},
                        {"    autoColorLevel:    ", D::GetAutoColorLevelParamString(a.autoColorLevel)},
                        {"    backgroundRemoval: ", D::GetBackgroundRemovalParamString(a.backgroundRemoval)},
                        {"    smoothing:         ", D::GetSmoothingParamString(a.smoothing)},
                        {"    colorDrop:         ", D::GetColorDropParamString(a.colorDrop)},
                        {"    thickText:         ", D::GetThickTextParamString(a.thickText)},
                        {"    dotTextCombine:    ", Flag(a.dotTextCombine)},
                        {"    edgeEnhance:       ", D::GetEdgeEnhanceParamString(a.edgeEnhance)},
                        {"    reduceNoise:       ", Flag(a.reduceNoise)},
                        {"    moireRemoval:      ", Flag(a.moireRemoval)},
                        {"    dustRemoval:       ", D::GetDustRemovalParamString(a.dustRemoval)},
                        {"    lineRemove:        ", D::GetRemoveLineParamString(a.lineRemove)},
                        {"    punchHoleRemove:   ", D::GetPunchHoleParamString(a.punchHoleRemove)},
                    });
    text += "\n";
    text += Section("    <Page Control>      ",
                    {
                        {"    imageMerge:         ", D::GetImageMergeTypeString(a.imageMerge)},
                        {"    imageDivide:        ", D::GetImageDivideTypeString(a.imageDivide)},
                        {"    combineImages:      ", D::GetCombineImagesTypeString(a.combineImages)},
                        {"    carriersheet:       ", Flag(a.carriersheet)},
                        {"    plasticCard:        ", D::GetCardModeParamString(a.plasticCard)},
                        {"    edgeCut:            ", D::GetEdgeCutParamString(a.edgeCut)},
                        {"    edgeFill:           ", D::GetEdgeFillParamString(a.edgeFill)},
                        {"    blankRemoval:       ", D::GetBlankRemoveParamString(a.blankRemoval)},
                        {"    xferCount:          ", Number(a.xferCount)},
                        {"    quietMode:          ", Flag(a.quietMode)},
                        {"    autoContinuousScan: ", D::GetAutocontinuousScanParamString(a.autoContinuousScan)},
                        {"    multifeedDetect:    ", Flag(a.multifeedDetect)},
                    });
    text += "\n";
    text += Section("    <Recognition>    ",
                    {
                        {"    detectBarcode:   ", D::GetBarcodeParameterString(a.detectBarcode)},
                        {"    detectPatchcode: ", D::GetPatchcodeParameterString(a.detectPatchcode)},
                    });
    text += "\n";
    text += Section("    <Other>     ", {
                                            {"    iccProfile: ", Flag(a.iccProfile)},
                                        });
    return text;
}

}  // namespace vscore
