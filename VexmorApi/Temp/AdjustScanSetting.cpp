// Adjustment of the user's scan request to the device's fixed behaviour.
#include "VexmorApi/Temp/AdjustScanSetting.h"

namespace vscore {

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting(const VS_SCANNER_PARAMETERS& request,
                                                             const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = ConvertUserSetting_AutoCrop(request, capability);
    adjusted = ConvertUserSetting_LongPaper(adjusted, capability);
    adjusted = ConvertUserSetting_CarrierSheet(adjusted, capability);
    adjusted = ConvertUserSetting_PlasticCard(adjusted, capability);
    ConvertUserSetting_2in1(adjusted);
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_AutoCrop(const VS_SCANNER_PARAMETERS& request,
                                                                      const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = request;
    if (adjusted.enhanced.autocrop) {
        if (capability.paperSource.supportPaperSource.flatbed) {
            adjusted.paperSource = FLATBED;
        }
        adjusted.duplextype = SIMPLEX;
        adjusted.scanAreaInfo.papertype = DEVICEMAX;
        adjusted.enhanced.blankRemoval.remove = false;
    }
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_LongPaper(const VS_SCANNER_PARAMETERS& request,
                                                                       const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = request;
    PAPERTYPE const paper = adjusted.scanAreaInfo.papertype;
    if ((paper == LONGPAPER_NARROW || paper == LONGPAPER_WIDE) && capability.longPaperLengthMax.cap == SUPPORT) {
        tagVS_ADVANCEDSCAN& advanced = adjusted.enhanced;
        advanced.deskew = false;
        advanced.autoRotate = false;
        advanced.monoThreshold.autoThreshold = false;
        advanced.dustRemoval.reduce = false;
        advanced.edgeEnhance.enhance = false;
        advanced.lineRemove.lineRemove = false;
        advanced.carriersheet = false;
        advanced.plasticCard.execute = false;
    }
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_CarrierSheet(const VS_SCANNER_PARAMETERS& request,
                                                                          const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = request;
    tagVS_ADVANCEDSCAN& advanced = adjusted.enhanced;
    if (!advanced.carriersheet) {
        return adjusted;
    }
    if (capability.carrierSheet.cap == SUPPORT) {
        advanced.deskew = false;
        advanced.multifeedDetect = false;
        if (adjusted.scanAreaInfo.papertype == AUTOSIZE) {
            advanced.carriersheet = false;
        }
    } else {
        advanced.carriersheet = false;
    }
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_PlasticCard(const VS_SCANNER_PARAMETERS& request,
                                                                         const VS_SCANNER_CAPABILITY& capability)
{
    if (!request.enhanced.plasticCard.execute) {
        return request;
    }
    VS_SCANNER_PARAMETERS adjusted = capability.plasticCard.cap == SUPPORT
                                         ? ConvertUserSetting_PlasticCard_Auto600dpi(request, capability)
                                         : ConvertUserSetting_PlasticCard_Auto(request, capability);
    tagVS_ADVANCEDSCAN& advanced = adjusted.enhanced;
    adjusted.scanAreaInfo.papertype = AUTOSIZE;
    advanced.deskew = false;
    advanced.multifeedDetect = false;
    advanced.autoRotate = false;
    advanced.detectBarcode.execute = false;
    advanced.detectPatchcode.execute = false;
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_PlasticCard_Auto600dpi(
    const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = request;
    adjusted.resolutionX = 600;
    adjusted.resolutionY = 600;
    adjusted.duplextype = capability.cardSizeOrientation.orientAdf == HORIZONTAL ? DUPLEX_LONG : DUPLEX_SHORT;
    return adjusted;
}

VS_SCANNER_PARAMETERS CAdjustScanSetting::ConvertUserSetting_PlasticCard_Auto(const VS_SCANNER_PARAMETERS& request,
                                                                              const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS adjusted = request;
    const CARDMODEPARAM& card = adjusted.enhanced.plasticCard;
    bool const upright =
        capability.paperSource.supportPaperSource.cardslot || capability.cardSizeOrientation.orientAdf == VERTICAL;
    if (upright) {
        adjusted.duplextype = card.invertBack ? DUPLEX_LONG : DUPLEX_SHORT;
    } else {
        adjusted.duplextype = card.invertBack ? DUPLEX_SHORT : DUPLEX_LONG;
    }
    adjusted.enhanced.rotateImageAngle = card.rotationAngle;
    return adjusted;
}

void CAdjustScanSetting::ConvertUserSetting_2in1(VS_SCANNER_PARAMETERS& request)
{
    if (request.enhanced.imageMerge != MERGE_NONE) {
        request.enhanced.detectBarcode.execute = false;
        request.enhanced.detectPatchcode.execute = false;
    }
}

}  // namespace vscore
