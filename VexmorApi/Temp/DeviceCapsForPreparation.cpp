// Per-source answers over one capability record for the scan preparation.
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"

#include <cstring>
#include <string>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/Exception.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/DeviceCapsForPreparation";

// The duplex flag as the byte the record holds: callers copy the record
// whole, so any byte value may arrive, and 2 counts as both "not 0" and
// "not 1".
uint8_t DuplexFlag(const _SCANCMD_DUPLEXSCAN& duplex)
{
    uint8_t flag = 0;
    std::memcpy(&flag, &duplex.duplex, sizeof flag);
    return flag;
}

bool IsSet(const MARGINSIZE& margin)
{
    return margin.left != 0 || margin.right != 0 || margin.top != 0 || margin.bottom != 0;
}

// Whether any of the eight margins of an adjustment block has a value.
bool IsSet(const MARGINADJUSTSIZES& adjust)
{
    const MARGINSIZE* const margins[] = {&adjust.flatbed_plus,     &adjust.flatbed_minus,  &adjust.adfSimplex_plus,
                                         &adjust.adfSimplex_minus, &adjust.adfDuplex_plus, &adjust.adfDuplex_minus,
                                         &adjust.cardslot_plus,    &adjust.cardslot_minus};
    for (const MARGINSIZE* margin : margins) {
        if (IsSet(*margin)) {
            return true;
        }
    }
    return false;
}

// value x to / from, quotient only; 0 when from is 0.
uint32_t Scale(uint32_t value, uint32_t to, uint32_t from)
{
    return from == 0 ? 0 : static_cast<uint32_t>(uint64_t{value} * to / from);
}

// Margins as a size pair: the bit pattern of the signed values is kept, so
// that callers adding them as signed numbers get the margins back.
AXIS AsSize(const MARGINSIZE& margin)
{
    return AXIS{static_cast<uint32_t>(margin.left), static_cast<uint32_t>(margin.top)};
}

}  // namespace

CDeviceCapsForPreparation::CDeviceCapsForPreparation(const VS_SCANNER_CAPABILITY& capability) : capability_(capability)
{
}

VS_SCANNER_CAPABILITY CDeviceCapsForPreparation::Get() const { return capability_; }

SCANCMD_GENERATION CDeviceCapsForPreparation::GetCmdGeneration() const { return capability_.cmdGeneration; }

MARGINSIZE CDeviceCapsForPreparation::GetScanMargin(PAPERSOURCESELECT source, bool simplex) const
{
    const MARGINSIZES& margins = capability_.marginSize;
    switch (source) {
    case ADF:
        return simplex ? margins.adfSimplex : margins.adfDuplex;
    case CARDSLOT:
        return margins.cardslot;
    default:
        return margins.flatbed;
    }
}

PAPERSIZE CDeviceCapsForPreparation::GetDeviceScanSizeMax(PAPERSOURCESELECT source, bool duplex) const
{
    const DEVICESCANSIZES& sizes = capability_.deviceScanSizeMax;
    PAPERSIZE size{AXIS{0, 0}, sizes.unit};
    switch (source) {
    case FLATBED:
        size.size = sizes.flatbed;
        break;
    case ADF:
        size.size = duplex ? sizes.duplex : sizes.simplex;
        break;
    case CARDSLOT:
        size.size = sizes.cardSlot;
        break;
    default:
        break;
    }
    return size;
}

PAPERSIZE CDeviceCapsForPreparation::GetSupportDocumentSize(PAPERSOURCESELECT source) const
{
    const DEVICESCANSIZES& sizes = capability_.supportDocSizeMax;
    PAPERSIZE size{AXIS{0, 0}, sizes.unit};
    switch (source) {
    case FLATBED:
        size.size = sizes.flatbed;
        break;
    case ADF:
        size.size = sizes.simplex;
        break;
    case CARDSLOT:
        size.size = sizes.cardSlot;
        break;
    default:
        break;
    }
    return size;
}

POSITION CDeviceCapsForPreparation::GetPaperPositionX(PAPERSOURCESELECT source) const
{
    const PAPERSETTINGPOSITIONS& position = capability_.paperPosition;
    switch (source) {
    case ADF:
        return position.adfX;
    case CARDSLOT:
        return position.cardslotX;
    default:
        return position.flatbedX;
    }
}

POSITION CDeviceCapsForPreparation::GetPaperPositionY(PAPERSOURCESELECT source) const
{
    const PAPERSETTINGPOSITIONS& position = capability_.paperPosition;
    switch (source) {
    case ADF:
        return position.adfY;
    case CARDSLOT:
        return position.cardslotY;
    default:
        return position.flatbedY;
    }
}

DOCUMENTORIENTATION CDeviceCapsForPreparation::GetRecommendedOrientation(PAPERTYPE type, PAPERSOURCESELECT source) const
{
    const RECOMMENDEDORIENTATION& o = capability_.recommendedOrientation;
    if (source != FLATBED && source != ADF) {
        return NOT_ORIENTATION;
    }
    bool const fb = source == FLATBED;
    switch (type) {
    case A4:
        return fb ? o.orientA4Fb : o.orientA4Adf;
    case LETTER:
        return fb ? o.orientLetterFb : o.orientLetterAdf;
    case JISB5:
        return fb ? o.orientB5Fb : o.orientB5Adf;
    case EXECUTIVE:
        return fb ? o.orientExectiveFb : o.orientExectiveAdf;
    case A5:
        return fb ? o.orientA5Fb : o.orientA5Adf;
    default:
        return fb ? o.standerdOrientFb : o.standerdOrientAdf;
    }
}

bool CDeviceCapsForPreparation::IsSupportedLandscapeScan(PAPERTYPE type, PAPERSOURCESELECT source) const
{
    const RECOMMENDEDORIENTATION& o = capability_.recommendedOrientation;
    switch (source) {
    case FLATBED:
        return o.standerdOrientFb != GetRecommendedOrientation(type, FLATBED);
    case ADF:
        return o.standerdOrientAdf != GetRecommendedOrientation(type, ADF);
    default:
        return false;
    }
}

bool CDeviceCapsForPreparation::IsSupportedPaperWidthDetect(PAPERSOURCESELECT source,
                                                            const _SCANCMD_DUPLEXSCAN& duplex) const
{
    const PAPERWIDTHDETECT& detect = capability_.paperWidthDetect;
    if (detect.cap != SUPPORT) {
        return false;
    }
    uint8_t const flag = DuplexFlag(duplex);
    switch (source) {
    case FLATBED:
        return detect.supportPaperSource.flatbed;
    case ADF:
        return (detect.supportPaperSource.adfSimplex && flag != 1) ||
               (detect.supportPaperSource.adfDuplex && flag != 0);
    default:
        return false;
    }
}

bool CDeviceCapsForPreparation::IsSupportedDeviceAutoSize(const _SCANCMD_DUPLEXSCAN& duplex,
                                                          PAPERSOURCESELECT source) const
{
    const SUPPORTPAPERSOURCES& sources = capability_.deviceDetectSize.supportPaperSource;
    switch (source) {
    case FLATBED:
        return sources.flatbed;
    case ADF:
        return DuplexFlag(duplex) != 0 ? sources.adfDuplex : sources.adfSimplex;
    case CARDSLOT:
        return sources.cardslot;
    default:
        // The line, like the origin, is part of the engine log's documented texts.
        throw TraceException(Exception::InvalidArgument,
                             "Invalid source type: " + std::to_string(static_cast<int>(source)), kOrigin,
                             "IsSupportedDeviceAutoSize", 214);
    }
}

CAPSUPPORT CDeviceCapsForPreparation::IsSupportedDetect2Corner(PAPERSOURCESELECT source) const
{
    switch (source) {
    case FLATBED:
        return capability_.paperWidthDetect.fb2CornerData;
    case ADF:
        return capability_.paperWidthDetect.adf2CornerData;
    default:
        return UNSUPPORT;
    }
}

CAPSUPPORT CDeviceCapsForPreparation::IsSupportedDetectPaperType(PAPERSOURCESELECT source) const
{
    switch (source) {
    case FLATBED:
        return capability_.paperWidthDetect.fbStanderdSize;
    case ADF:
        return capability_.paperWidthDetect.adfStanderdSize;
    default:
        return UNSUPPORT;
    }
}

CAPSUPPORT CDeviceCapsForPreparation::IsSupportedDetectOrientation(PAPERSOURCESELECT source) const
{
    switch (source) {
    case FLATBED:
        return capability_.paperWidthDetect.fbPaperOrientation;
    case ADF:
        return capability_.paperWidthDetect.adfPaperOrientation;
    default:
        return UNSUPPORT;
    }
}

bool CDeviceCapsForPreparation::IsSupportedMarginAdjustment(PAPERTYPE type) const
{
    // With the automatic flag set, fixed paper types never adjust margins.
    if (capability_.isMarginAdjustAutoEnabled) {
        return type == AUTOSIZE && IsSet(capability_.marginAdjustForAuto);
    }
    return IsSet(capability_.marginAdjust);
}

bool CDeviceCapsForPreparation::IsSupportedA3WithFB() const
{
    return IsWidthLagerThanDocumentSize(LETTER, capability_.supportDocSizeMax.flatbed.x,
                                        capability_.supportDocSizeMax.unit);
}

bool CDeviceCapsForPreparation::IsSupportedA3WithSimplex() const
{
    return IsWidthLagerThanDocumentSize(LETTER, capability_.supportDocSizeMax.simplex.x,
                                        capability_.supportDocSizeMax.unit);
}

bool CDeviceCapsForPreparation::IsSupportedA3WithDuplex() const
{
    return IsWidthLagerThanDocumentSize(LETTER, capability_.supportDocSizeMax.duplex.x,
                                        capability_.supportDocSizeMax.unit);
}

bool CDeviceCapsForPreparation::IsWidthLagerThanDocumentSize(PAPERTYPE type, unsigned int width, UNITTYPE unit) const
{
    unsigned int const paperWidth = CPaperSize::GetScanSizeFromType(type, MM).x;
    unsigned int widthMm = 0;
    if (!CConvertUnit::ConvertUnit(width, unit, &widthMm, MM)) {
        return false;  // a width in pixels has no physical size
    }
    return paperWidth < widthMm;
}

DEVICESCANSIZES CDeviceCapsForPreparation::ConvAndGetMarginDocSize() const
{
    const MARGINSIZES& margins = capability_.marginSize;
    DEVICESCANSIZES sizes{};
    sizes.flatbed = AsSize(margins.flatbed);
    sizes.simplex = AsSize(margins.adfSimplex);
    sizes.duplex = AsSize(margins.adfDuplex);
    sizes.unit = margins.flatbed.unit;
    return sizes;
}

CARRIERSHEETSUPPORT CDeviceCapsForPreparation::GetCarrierSheet() const { return capability_.carrierSheet; }

LONGPAPERLENGTHMAX CDeviceCapsForPreparation::GetLongPaperLengthMax() const { return capability_.longPaperLengthMax; }

AXIS CDeviceCapsForPreparation::GetEdgeScanResolusion() const
{
    return capability_.autoCrop2Pass.AutoCropResolutionDpi;
}

AXIS CDeviceCapsForPreparation::GetAutoCropScanArea(AXIS resolution) const
{
    const AUTOCROP2PASS& crop = capability_.autoCrop2Pass;
    return AXIS{Scale(crop.AutoCropPixel.x, resolution.x, crop.AutoCropResolutionDpi.x),
                Scale(crop.AutoCropPixel.y, resolution.y, crop.AutoCropResolutionDpi.y)};
}

}  // namespace vscore
