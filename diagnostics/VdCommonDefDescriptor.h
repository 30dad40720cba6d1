// Readable texts of the engine interface's enumerations and small records for
// the engine's logs: an enumeration prints as its enumerator name, a record as
// "{ label: value, ... }" (a few as indented multi-line blocks).
#pragma once

#include <string>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Static operations only, stateless (any thread); each returns a new string
// and never fails.
class VdCommonDefDescriptor {
public:
    // Enumerations; a value without a name prints "Unknown" unless noted.
    static std::string GetCapSupportString(CAPSUPPORT value);
    static std::string GetUnitTypeString(UNITTYPE value);
    static std::string GetColorTypeString(COLORTYPE value);
    static std::string GetLineDirectionString(LINEDIRECTION value);
    static std::string GetDeviceCategoryString(DEVICECATEGORY value);
    static std::string GetPositionString(POSITION value);
    static std::string GetDuplexScanTypeString(DUPLEXSCANTYPE value);
    static std::string GetCardModeTypeString(CardModeType value);
    static std::string GetBlankRemovalSystemString(BLANKREMOVALSYSTEM value);
    static std::string GetXferCountSystemString(XFERCOUNTSYSTEM value);
    static std::string GetAutoContinuousScanDeviceSupportString(AUTOCONTINUOUSSCANDEVICESUPPORT value);
    static std::string GetBarcodeDirectionString(BARCODE_DIRECTION value);
    static std::string GetDuplexTypeString(DUPLEXTYPE value);
    static std::string GetPaperSourceSelectString(PAPERSOURCESELECT value);
    static std::string GetImageOrientationString(IMAGEORIENTATION value);
    static std::string GetSelectColorString(SELECTCOLOR value);
    static std::string GetImageMergeTypeString(IMAGEMERGETYPE value);
    // An empty text for a value without a name.
    static std::string GetImageDivideTypeString(IMAGEDIVIDETYPE value);
    // "UNKNOWN" for a value without a name, 0 included.
    static std::string GetIFTypeString(devif_type value);
    static std::string GetIDTypeString(devid_type value);
    // "OTHER" for a value without a name.
    static std::string GetBootMethodTypeString(bootmethod_type value);
    static std::string GetBarcodeTypeString(BARCODE_TYPE value);
    static std::string GetPatchcodeTypeString(PATCHCODE_TYPE value);
    static std::string GetPaperTypeString(PAPERTYPE value);
    // The name and the code, as in "CommandVersion_2017 (0x000d)".
    static std::string GetCommandVersion(CommandVersion value);

    // Records.
    static std::string GetAxisString(const AXIS& value);
    static std::string GetAxisSignedString(const AXIS_SIGNED& value);
    static std::string GetRectString(const tagRECT& value);
    static std::string GetSupportAdjustLevelString(const SUPPORTADJUSTLEVEL& value);
    static std::string GetSupportColorTypesString(const SUPPORTCOLORTYPES& value);
    static std::string GetSupportPowerSource(SUPPORTPOWERSOURCE value);
    static std::string GetSupportScanEvent(SUPPORTSCANEVENT value);
    static std::string GetOpticalResolutionsString(const OPTICALRESOLUTIONS& value);
    static std::string GetSupportPaperSourcesString(const SUPPORTPAPERSOURCES& value);
    static std::string GetPaperSettingPositionsString(const PAPERSETTINGPOSITIONS& value);
    static std::string GetPaperSourceSpecString(const PAPERSOURCESPEC& value);
    static std::string GetPaperSizeString(const PAPERSIZE& value);
    static std::string GetDeviceScanSizesString(const DEVICESCANSIZES& value);
    static std::string GetMarginSizeString(const MARGINSIZE& value);
    static std::string GetLongPaperSupportString(const LONGPAPERSUPPORT& value);
    static std::string GetAutoDeskewSupportString(const AUTODESKEWSUPPORT& value);
    static std::string GetMonoThresholdSupportString(const MONOTHRESHOLDSUPPORT& value);
    // Multi-line, from "{" to "    }".
    static std::string GetColorToneSupportString(const COLORTONESUPPORT& value);
    static std::string GetAutoColorLevelSupportString(const AUTOCOLORLEVELSUPPORT& value);
    static std::string GetBackgroundRemovalSupportString(const BACKGROUNDREMOVALSUPPORT& value);
    static std::string GetBleedThroughRemovalSupportString(const BREEDTHROUGHREMOVALSUPPORT& value);
    static std::string GetSmoothingSupportString(const SMOOTHINGSUPPORT& value);
    static std::string GetColorDropSupportString(const COLORDROPSUPPORT& value);
    static std::string GetThickTextSupportString(const THICKTEXTSUPPORT& value);
    static std::string GetEdgeEnhanceSupportString(const EDGEENHANCESUPPORT& value);
    static std::string GetMoireRemovalSupportString(const MOIREREMOVALSUPPORT& value);
    static std::string GetDustRemovalSupportString(const DUSTREMOVALSUPPORT& value);
    // Multi-line, from "{" to "    }".
    static std::string GetRemoveLineSupportString(const REMOVELINESUPPORT& value);
    static std::string GetPunchHoleSupportString(const PUNCHHOLESUPPORT& value);
    static std::string GetEdgeCutSupportString(const EDGECUTSUPPORT& value);
    static std::string GetFillCapabilityString(const FILLCAPABILITY& value);
    static std::string GetEdgeFillSupportString(const EDGEFILLSUPPORT& value);
    static std::string GetBlankRemovalLevelString(const BLANKREMOVALLEVEL& value);
    static std::string GetBlankRemovalSupportString(const BLANKREMOVALSUPPORT& value);
    static std::string GetAutoContinuousScanSupportString(AUTOCONTINUOUSSCANSUPPORT value);
    static std::string GetBarcodeSupportString(const BARCODESUPPORT& value);
    static std::string GetPatchcodeSupportString(const PATCHCODESUPPORT& value);
    static std::string GetScanAreaString(const SCANAREA& value);
    static std::string GetScanAreaInfoString(const tagSCANAREAINFO& value);
    static std::string GetMonoThresholdParamString(const MONOTHRESHOLDPARAM& value);
    static std::string GetColorToneParamString(const COLORTONEPARAM& value);
    static std::string GetAutoColorLevelParamString(const AUTOCOLORLEVELPARAM& value);
    static std::string GetBackgroundRemovalParamString(const BACKGROUNDREMOVALPARAM& value);
    static std::string GetSmoothingParamString(const SMOOTHINGPARAM& value);
    static std::string GetColorDropCustomColorString(const tagCOLORDROP_CUSTOMCOLOR& value);
    static std::string GetColorDropParamString(const COLORDROPPARAM& value);
    static std::string GetThickTextParamString(const THICKTEXTPARAM& value);
    static std::string GetEdgeEnhanceParamString(const EDGEENHANCEPARAM& value);
    static std::string GetDustRemovalParamString(const DUSTREMOVALPARAM& value);
    static std::string GetRemoveLineParamString(const REMOVELINEPARAM& value);
    static std::string GetPunchHoleParamString(const PUNCHHOLEPARAM& value);
    // "{execute: ..., unit: ...}" without the inner blanks.
    static std::string GetCombineImagesTypeString(const COMBINEIMAGESPARAM& value);
    static std::string GetCardModeParamString(const CARDMODEPARAM& value);
    static std::string GetEdgeCutParamString(const EDGECUTPARAM& value);
    static std::string GetEdgeFillParamString(const EDGEFILLPARAM& value);
    static std::string GetBlankRemoveParamString(const BLANKREMOVEPARAM& value);
    static std::string GetAutocontinuousScanParamString(const AUTOCONTINUOUSSCANPARAM& value);
    // Lists the first typesNum entries, never more than the array holds.
    static std::string GetBarcodeParameterString(const BARCODEPARAMETER& value);
    static std::string GetPatchcodeParameterString(const PATCHCODEPARAMETER& value);
    // Multi-line, from "{" to "}".
    static std::string GetDeviceInfoString(const _VS_DEVICE_INFO& value);
    static std::string GetSelectDeviceInfoString(const _VS_SELECT_DEVICE_INFO& value);
};

}  // namespace vscore
