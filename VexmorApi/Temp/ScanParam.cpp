// The scan request as device scan parameters.
#include "VexmorApi/Temp/ScanParam.h"

#include <algorithm>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/ScanParam";

// The device finds the paper's four corners itself.
bool IsFourCornerDetection(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    return capability.cornerDetect.cap == SUPPORT &&
           (request.scanAreaInfo.papertype == AUTOSIZE || request.enhanced.deskew);
}

// A fixed paper that the device deskews together with its size detection.
bool ShouldDeskewWithAutoSize(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    return CPaperSize::IsFixedPaperType(request.scanAreaInfo.papertype) && request.enhanced.deskew &&
           capability.deskew.interlock.isNotSingleUsed;
}

// The device scans beyond the paper so that the page can be fitted later.
bool IsOverScanForFitting(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    return request.scanAreaInfo.papertype == AUTOSIZE && !request.scanAreaInfo.areaSelected &&
           capability.IsSupportedFittingAutoSize() && !request.enhanced.combineImages.execute;
}

bool ShouldConvertToColor(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    COLORTYPE const type = request.colortype;
    if (IsOverScanForFitting(request, capability) && type == AUTOCOLOR) {
        return true;
    }
    const tagVS_ADVANCEDSCAN& advanced = request.enhanced;
    bool const needsColour =
        advanced.smoothing.bleedThrough || advanced.colorDrop.drop || advanced.punchHoleRemove.remove;
    return needsColour && type != COLOR24BIT && type != AUTOCOLOR;
}

bool ShouldConvertToTrueGray(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    if (request.colortype != BLACKWHITE && request.colortype != ERRDIFFUSION) {
        return false;
    }
    return (request.enhanced.blankRemoval.remove && capability.IsDetectedBlankOnPC()) ||
           (request.scanAreaInfo.papertype == AUTOSIZE && capability.IsSupportedFittingAutoSize());
}

bool IsCornerColorSupported(COLORTYPE type, const SUPPORTCOLORTYPES& supported)
{
    switch (type) {
    case AUTOCOLOR:
        return supported.autoColor;
    case BLACKWHITE:
        return supported.blackAndWhite;
    case ERRDIFFUSION:
        return supported.errorDiffusion;
    case TRUEGRAY:
        return supported.trueGray;
    case COLOR256:
        return supported.color256;
    default:
        return supported.color24bit;
    }
}

// The lowest bit depth the device detects corners in; 256 colours are never
// chosen.
COLORTYPE GetSupportedLowestBitDepthColorType(const SUPPORTCOLORTYPES& supported)
{
    if (supported.blackAndWhite) {
        return BLACKWHITE;
    }
    if (supported.errorDiffusion) {
        return ERRDIFFUSION;
    }
    if (supported.trueGray) {
        return TRUEGRAY;
    }
    if (supported.color24bit) {
        return COLOR24BIT;
    }
    VEXMOR_THROW(kOrigin, "GetSupportedLowestBitDepthColorType", Exception::InvalidArgument,
                 "No supported color type.");
}

COLORTYPE DecideColorType(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    if (ShouldConvertToColor(request, capability)) {
        return COLOR24BIT;
    }
    if (ShouldConvertToTrueGray(request, capability)) {
        return TRUEGRAY;
    }
    if (IsFourCornerDetection(request, capability) &&
        !IsCornerColorSupported(request.colortype, capability.cornerDetect.supportColorType)) {
        return GetSupportedLowestBitDepthColorType(capability.cornerDetect.supportColorType);
    }
    return request.colortype;
}

SCANCMD_COLOR_TYPE ToDeviceColorType(COLORTYPE type, const VS_SCANNER_CAPABILITY& capability)
{
    switch (type) {
    case AUTOCOLOR:
        return capability.autoColor.cap == SUPPORT ? SCANCMD_COLOR_AUTO : SCANCMD_COLOR_C24BIT;
    case BLACKWHITE:
        return SCANCMD_COLOR_TEXT;
    case ERRDIFFUSION:
        return SCANCMD_COLOR_ERRDIF;
    case TRUEGRAY:
        return SCANCMD_COLOR_GRAY256;
    case COLOR256:
        return SCANCMD_COLOR_C256;
    default:
        return SCANCMD_COLOR_C24BIT;
    }
}

uint32_t ClampResolution(uint32_t value, uint32_t minimum, uint32_t maximum)
{
    if (value > maximum) {
        return maximum;
    }
    if (value < minimum) {
        return minimum;
    }
    return value;
}

SCANCMD_SCAN_AREA_TYPE DecideAreaType(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    SCANCMD_SCAN_AREA_TYPE type = SCANCMD_SCAN_AREA_NORMAL;
    const DEVICEDETECTSIZESUPPORT& detect = capability.deviceDetectSize;
    if (detect.cap == SUPPORT) {
        if (request.scanAreaInfo.papertype == AUTOSIZE) {
            if (!detect.interlock.isNotSingleUsed) {
                type = SCANCMD_SCAN_AREA_AUTO;
            } else if (capability.deskew.cap == SUPPORT && detect.interlock.isAutoDeskew) {
                type = SCANCMD_SCAN_AREA_ATDSKW;
            }
        } else if (ShouldDeskewWithAutoSize(request, capability)) {
            type = detect.interlock.isNotSingleUsed ? SCANCMD_SCAN_AREA_ATDSKW : SCANCMD_SCAN_AREA_AUTO;
        }
    } else if (IsFourCornerDetection(request, capability)) {
        type = SCANCMD_SCAN_AREA_CORNER;
    }
    if (IsOverScanForFitting(request, capability)) {
        type = SCANCMD_SCAN_AREA_OVER;
    }
    if (request.scanAreaInfo.papertype == DEVICEMAX) {
        type = SCANCMD_SCAN_AREA_FULL;
    }
    return type;
}

// Margins in 1/100 mm; negative values widen the area.
tagRECT DecideMargin(const VS_SCANNER_PARAMETERS& request, const CDeviceCapsForPreparation& caps,
                     const VS_SCANNER_CAPABILITY& capability)
{
    PAPERTYPE const paper = request.scanAreaInfo.papertype;
    if (IsOverScanForFitting(request, capability)) {
        return tagRECT{};
    }
    if (capability.isMarginAdjustAutoEnabled && paper != AUTOSIZE) {
        int32_t const side = ShouldDeskewWithAutoSize(request, capability) ? 100 : 0;
        return tagRECT{side, side, side, side};
    }
    const EDGECUTPARAM& edgeCut = request.enhanced.edgeCut;
    if (edgeCut.adjust && edgeCut.unit != PIXEL) {
        tagRECT converted{};
        return CConvertUnit::ConvertUnit(edgeCut.rect, edgeCut.unit, &converted, MM) ? converted : tagRECT{};
    }
    if (caps.IsSupportedMarginAdjustment(paper) && !request.scanAreaInfo.areaSelected &&
        !capability.isMarginAdjustAutoEnabled) {
        MARGINSIZE const margin = caps.GetScanMargin(request.paperSource, request.duplextype == SIMPLEX);
        auto const negate = [](int32_t side) { return SaturateTo<int32_t>(-int64_t{side}); };
        tagRECT const negated{negate(margin.left), negate(margin.top), negate(margin.right), negate(margin.bottom)};
        tagRECT converted{};
        return CConvertUnit::ConvertUnit(negated, margin.unit, &converted, MM) ? converted : tagRECT{};
    }
    return tagRECT{};
}

const COMPRESSIONTYPES& CompressionEntry(COLORTYPE type, const SUPPORTCOMPRESSIONTYPE& supported)
{
    switch (type) {
    case BLACKWHITE:
        return supported.blackAndWhite;
    case ERRDIFFUSION:
        return supported.errorDiffusion;
    case TRUEGRAY:
        return supported.trueGray;
    case COLOR256:
        return supported.color256;
    default:
        return supported.color24bit;
    }
}

// The background-removal support of a device colour type; none for 256
// colours.
const SUPPORTADJUSTLEVEL* GroundRemovalEntry(SCANCMD_COLOR_TYPE type, const BACKGROUNDREMOVALSUPPORT& supported)
{
    switch (type) {
    case SCANCMD_COLOR_TEXT:
        return &supported.blackAndWhite;
    case SCANCMD_COLOR_ERRDIF:
        return &supported.errorDiffusion;
    case SCANCMD_COLOR_GRAY256:
        return &supported.trueGray;
    case SCANCMD_COLOR_C24BIT:
    case SCANCMD_COLOR_AUTO:
        return &supported.color24bit;
    default:
        return nullptr;
    }
}

// The device counts ground-removal levels 0..n-1 where the user counts up
// to 255: a higher user level counts how often 255 / n must be doubled to
// reach it. With more than 255 device levels 255 / n is 0, which doubling
// never moves; the step then starts at 1.
_SCANCMD_GROUNDCOLORREMOVAL DecideGroundColorRemoval(const VS_SCANNER_PARAMETERS& request,
                                                     SCANCMD_COLOR_TYPE deviceColor,
                                                     const VS_SCANNER_CAPABILITY& capability)
{
    _SCANCMD_GROUNDCOLORREMOVAL removal{};
    if (!request.enhanced.backgroundRemoval.remove) {
        return removal;
    }
    const SUPPORTADJUSTLEVEL* entry = GroundRemovalEntry(deviceColor, capability.backgroundRemove);
    if (entry == nullptr || entry->cap != SUPPORT) {
        return removal;
    }
    removal.on = true;
    int64_t const wanted = request.enhanced.backgroundRemoval.level;
    if (capability.cmdGeneration == SCANCMD_1ST_GENERATION) {
        removal.levelGiven = true;
        removal.level = SaturateTo<int32_t>(wanted);
        return removal;
    }
    int64_t const count = entry->level;
    if (count <= 1) {
        return removal;
    }
    removal.levelGiven = true;
    if (wanted <= count) {
        removal.level = SaturateTo<int32_t>(wanted);
        return removal;
    }
    int32_t level = 0;
    for (int64_t step = std::max<int64_t>(1, 255 / count); wanted > step && step <= 254; step *= 2) {
        ++level;
    }
    removal.level = level;
    return removal;
}

// Where the paper is taken from; a card slot scan asks for plastic cards
// from the automatic source.
void SetPaperSource(const VS_SCANNER_PARAMETERS& request, _SCANCMD_SCANPARAM& param)
{
    switch (request.paperSource) {
    case FLATBED:
        param.paperSource = SCANCMD_PAPERSOURCE_FB;
        break;
    case ADF:
        param.paperSource = SCANCMD_PAPERSOURCE_ADF;
        break;
    case CARDSLOT:
        param.paperSource = SCANCMD_PAPERSOURCE_AUTO;
        param.paperType = SCANCMD_PAPER_PCARD;
        break;
    default:
        param.paperSource = SCANCMD_PAPERSOURCE_AUTO;
        break;
    }
}

// The request's resolution, held within the device's range for four-corner
// detection.
void SetResolution(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                   _SCANCMD_SCANPARAM& param)
{
    param.resolution = {request.resolutionX, request.resolutionY, 0};
    if (IsFourCornerDetection(request, capability)) {
        const CORNERDETECT& corner = capability.cornerDetect;
        param.resolution.x = ClampResolution(request.resolutionX, corner.resolutionDpiMin.x, corner.resolutionDpiMax.x);
        param.resolution.y = ClampResolution(request.resolutionY, corner.resolutionDpiMin.y, corner.resolutionDpiMax.y);
    }
}

// Brightness and contrast by colour type; beyond line art and error
// diffusion only with tone adjustment, which older devices and document
// scanners without automatic or custom tones get.
void SetTone(const VS_SCANNER_PARAMETERS& original, const VS_SCANNER_PARAMETERS& request,
             const VS_SCANNER_CAPABILITY& capability, _SCANCMD_SCANPARAM& param)
{
    const tagVS_ADVANCEDSCAN& advanced = request.enhanced;
    switch (request.colortype) {
    case BLACKWHITE:
        param.brightness = request.brightness;
        break;
    case ERRDIFFUSION:
        param.brightness = request.brightness;
        param.contrast = request.contrast;
        break;
    default:
        param.toneAdjust =
            capability.commandVersion <= CommandVersion_TARN ||
            (capability.category == DOCUMENTSCANNER && !advanced.colorTone.autoTone && !advanced.colorTone.customTone);
        if (param.toneAdjust) {
            param.brightness = request.brightness;
            param.contrast = original.colortype == BLACKWHITE ? 0 : request.contrast;
        }
        break;
    }
}

// The levels of automatic colour detection, and the line-art threshold:
// automatic, or a manual level the device takes.
void SetColorDetectionAndThreshold(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                                   _SCANCMD_SCANPARAM& param)
{
    const tagVS_ADVANCEDSCAN& advanced = request.enhanced;
    if (capability.autoColor.cap == SUPPORT) {
        param.autoColorLevel = true;
        param.monoColorDetectLevel = static_cast<uint32_t>(advanced.autoColorLevel.monoColorDetectLevel);
        param.monoGrayDetectLevel = static_cast<uint32_t>(advanced.autoColorLevel.monoGrayDetectLevel);
    }
    const MONOTHRESHOLDSUPPORT& threshold = capability.monoThreshold;
    if (advanced.monoThreshold.autoThreshold) {
        param.monoThreshold.autoThreshold = true;
    } else if (threshold.manuanThresholdCap == SUPPORT && request.colortype == BLACKWHITE &&
               threshold.manualThresholdLevelMin <= advanced.monoThreshold.manualLevel &&
               advanced.monoThreshold.manualLevel <= threshold.manualThresholdLevelMax) {
        param.monoThreshold.manualThreshold = true;
        param.monoThreshold.level = advanced.monoThreshold.manualLevel;
    }
}

// JPEG where the colour type allows it (with a rate for the devices that
// take one), else PackBits, else none.
void SetCompression(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                    _SCANCMD_SCANPARAM& param)
{
    const COMPRESSIONTYPES& compression = CompressionEntry(request.colortype, capability.supportCompressionType);
    if (compression.jpeg) {
        param.compression = SCANCMD_COMPRESSION_JPEG;
        bool const noRate =
            capability.commandVersion == CommandVersion_2017 || capability.commandVersion > CommandVersion_RUSH;
        param.jpegRate = noRate ? 0 : 50;
    } else {
        param.compression = compression.packbits ? SCANCMD_COMPRESSION_RLENGTH : SCANCMD_COMPRESSION_NONE;
    }
    param.jpegSamplingFactor = SCANCMD_JPEG_SAMPLING_420;
}

// Plastic cards (both sides), the pages to transfer, cropping, long paper
// and the carrier sheet.
void SetPaperHandling(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                      _SCANCMD_SCANPARAM& param)
{
    const tagVS_ADVANCEDSCAN& advanced = request.enhanced;
    PAPERTYPE const paper = request.scanAreaInfo.papertype;
    if (advanced.plasticCard.execute) {
        param.paperType = SCANCMD_PAPER_PCARD;
        param.duplexScan.duplex = true;
    }
    if (advanced.xferCount > 0) {
        param.scanPage = static_cast<uint32_t>(advanced.xferCount);
    }
    if (!advanced.autocrop) {
        param.specialScanType = SCANCMD_SPECIAL_SCAN_NORMAL;
    } else {
        param.specialScanType = capability.autoCropType == AUTOCROPTYPE::CROP_1PASS ? SCANCMD_SPECIAL_SCAN_ATC1PASS
                                                                                    : SCANCMD_SPECIAL_SCAN_EDGEPRE;
    }
    param.longPaper = paper == LONGPAPER_NARROW || paper == LONGPAPER_WIDE;
    if (advanced.carriersheet && capability.carrierSheet.cap != UNKNOWN) {
        param.carrierSheet.on = true;
        param.carrierSheet.autoMode = capability.carrierSheet.skipOffsetSystem == AUTOSKIP;
    }
}

// Double-feed detection with its level and the feeder's reaction, as far as
// the device offers them.
void SetDoubleFeedDetection(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                            _SCANCMD_SCANPARAM& param)
{
    if (!request.enhanced.multifeedDetect || capability.multifeedDetect.cap != SUPPORT) {
        return;
    }
    param.doubleFeedDetection.on = true;
    if (capability.multifeedDetect.detectionLevel.cap == SUPPORT) {
        param.doubleFeedDetection.levelGiven = true;
        param.doubleFeedDetection.level = 0;
    }
    const DOUBLEFEEDERRORSYSTEM& onError = capability.errorSystem.errorDoublefeed;
    if (onError.cap == SUPPORT) {
        param.feedMotion.on = true;
        if (onError.scanStop) {
            param.feedMotion.stop = true;
        } else if (onError.continuousScan) {
            param.feedMotion.continueFeed = true;
        } else {
            param.feedMotion.on = false;
        }
    }
}

// What the device does to the pages itself: double-feed detection, deskew
// (not while it over-scans for fitting), blank-page removal, moire
// removal within its resolution, quiet and continuous scanning, cropping.
void SetDeviceEnhancements(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability,
                           _SCANCMD_SCANPARAM& param)
{
    const tagVS_ADVANCEDSCAN& advanced = request.enhanced;
    SetDoubleFeedDetection(request, capability, param);
    param.autoDeskew = advanced.deskew && capability.deskew.cap == SUPPORT &&
                       !capability.deskew.interlock.isNotSingleUsed && !IsOverScanForFitting(request, capability);
    param.landscapeMode = request.landscapeMode;
    if (advanced.blankRemoval.remove && capability.blankRemoval.cap == SUPPORT) {
        param.blankPageRemoval.on = true;
        if (capability.blankRemoval.blankLevel.cap == SUPPORT) {
            param.blankPageRemoval.levelGiven = true;
            param.blankPageRemoval.level = advanced.blankRemoval.level;
        }
    }
    if (advanced.moireRemoval) {
        const MOIREREMOVALCAPABILITY& moire = capability.moireRemoval;
        param.moireRemoval = moire.moireCap == SUPPORT && param.resolution.x <= moire.moireMaxResolution.x &&
                             param.resolution.y <= moire.moireMaxResolution.y;
    }
    param.quietScan = advanced.quietMode;
    param.autoContinuousScan = {advanced.autoContinuousScan.execute, advanced.autoContinuousScan.timeout,
                                advanced.autoContinuousScan.feedDelay};
    param.autoCrop = advanced.autocrop;
}

}  // namespace

_SCANCMD_SCANPARAM CScanParam::ConvertScanParameterToSend(const VS_SCANNER_PARAMETERS& original,
                                                          const CDeviceCapsForPreparation& caps) const
{
    VS_SCANNER_CAPABILITY const capability = caps.Get();
    VS_SCANNER_PARAMETERS request = original;
    request.colortype = DecideColorType(request, capability);

    _SCANCMD_SCANPARAM param;
    ClearRecord(&param);
    param.osInfo = SCANCMD_OS_LNX;
    SetPaperSource(request, param);
    SetResolution(request, capability, param);
    param.colorType = ToDeviceColorType(request.colortype, capability);
    param.scanArea.type = DecideAreaType(request, capability);
    param.margin = DecideMargin(request, caps, capability);
    param.duplexScan.duplex = request.duplextype != SIMPLEX;
    param.duplexScan.back = false;
    SetTone(original, request, capability, param);
    SetColorDetectionAndThreshold(request, capability, param);
    SetCompression(request, capability, param);
    SetPaperHandling(request, capability, param);
    param.groundColorRemoval =
        DecideGroundColorRemoval(request, ToDeviceColorType(request.colortype, capability), capability);
    SetDeviceEnhancements(request, capability, param);
    return param;
}

VS_SCANNER_PARAMETERS CScanParam::ConvertScanAreaValueUnit(const VS_SCANNER_PARAMETERS& request, UNITTYPE unit)
{
    VS_SCANNER_PARAMETERS out = request;
    SCANAREA const& area = request.scanAreaInfo.selectArea;
    AXIS const resolution{request.resolutionX, request.resolutionY};
    SCANAREA converted = area;
    bool converts = true;  // an area already in unit stays as it is
    if (area.unit != unit) {
        if (unit == PIXEL) {
            converts = CConvertUnit::ConvertToPixles(resolution, area, &converted);
        } else if (area.unit == PIXEL) {
            converts = CConvertUnit::ConvertPixlesTo(resolution, area, &converted, unit);
        } else {
            converts = CConvertUnit::ConvertUnit(area, &converted, unit);
        }
    }
    if (converts) {
        converted.unit = unit;
        out.scanAreaInfo.selectArea = converted;
    }
    return out;
}

int CScanParam::RoundUpValue(int value, int step)
{
    if (step <= 0) {
        return value;
    }
    int const quotient = value / step;
    int const remainder = value % step;
    int64_t const rounded = int64_t{step} * (remainder <= 0 ? quotient : int64_t{quotient} + 1);
    return SaturateTo<int32_t>(rounded);
}

}  // namespace vscore
