// Paper type and orientation of one scan.
#include "VexmorApi/Temp/PaperTypeAndOrientation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/PaperTypeAndOrientation";

// Paper by the distance of two corners, in 1/100 mm: a row applies from
// its threshold up to the next row's.
struct CornerRow {
    int from;
    PAPERTYPE metric;
    PAPERTYPE inch;
};
constexpr CornerRow kCornerRows[] = {
    {6900, PHOTOL, PHOTOL},    {9400, POSTCARD, PHOTO}, {10400, PHOTO2L, PHOTO2L}, {13200, A5, A5},
    {15300, JISB5, EXECUTIVE}, {18800, A4, A4},         {21300, LETTER, LETTER},   {22090, JISB4, JISB4},
    {26900, LEDGER, LEDGER},   {28440, A3, A3},
};

// A paper lies landscape when its measured side exceeds the midpoint of its
// width and height, in 1/100 mm; 0 for papers without a threshold.
int OrientationThreshold(PAPERTYPE type)
{
    switch (type) {
    case A4:
        return 25350;
    case LETTER:
        return 24765;
    case JISB5:
        return 21950;
    case A5:
        return 17900;
    case EXECUTIVE:
        return 22543;
    default:
        return 0;
    }
}

// A distance truncated to a whole number; 0 for anything not positive.
int ToDistance(double value)
{
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= INT32_MAX ? INT32_MAX : static_cast<int>(value);
}

uint32_t ToPixels(double value)
{
    if (!(value > 0.0)) {
        return 0;  // negative or NaN
    }
    return value >= static_cast<double>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(value);
}

int MarginInInch(int32_t value, UNITTYPE unit)
{
    int converted = 0;
    return CConvertUnit::ConvertUnit(value, unit, &converted, INCH) ? converted : 0;
}

bool IsRecommendedLandscape(PAPERTYPE type, PAPERSOURCESELECT source, const CDeviceCapsForPreparation& caps)
{
    return caps.GetRecommendedOrientation(type, source) == D_HORIZONTAL;
}

}  // namespace

CPaperTypeAndOrientation::CPaperTypeAndOrientation(const tagSCANAREAINFO& info, AXIS resolution,
                                                   const DETECTEDPAPERINFO& detected,
                                                   const CDeviceCapsForPreparation& caps)
{
    AnalizePaperInfoAndSet(info, resolution, detected, caps, false);
}

CPaperTypeAndOrientation::CPaperTypeAndOrientation(const tagSCANAREAINFO& info, AXIS resolution,
                                                   DOCUMENTORIENTATION orientation)
    : paperType_(info.papertype), orientation_(orientation)
{
    if (paperType_ == CUSTOMSIZE) {
        SetCustomSize(info, resolution);
    }
    if (info.areaSelected) {
        SetSelectedArea(info, resolution);
    }
}

CPaperTypeAndOrientation::CPaperTypeAndOrientation(PAPERTYPE type, DOCUMENTORIENTATION orientation)
    : paperType_(type), orientation_(orientation)
{
    if (type == CUSTOMSIZE) {
        VEXMOR_THROW(kOrigin, "CPaperTypeAndOrientation", Exception::InvalidSequence,
                     "An incorrect constructor is called.");
    }
}

void CPaperTypeAndOrientation::AnalizePaperInfoAndSet(const tagSCANAREAINFO& info, AXIS resolution,
                                                      const DETECTEDPAPERINFO& detected,
                                                      const CDeviceCapsForPreparation& caps, bool forceLandscape)
{
    if (forceLandscape) {
        orientation_ = D_HORIZONTAL;
    }
    if (info.papertype != AUTOSIZE) {
        paperType_ = info.papertype;
        orientation_ = caps.IsSupportedLandscapeScan(paperType_, detected.paperSource)
                           ? GetPaperOrientationFromDetectedData(detected, caps)
                           : caps.GetRecommendedOrientation(paperType_, detected.paperSource);
        if (paperType_ == CUSTOMSIZE) {
            SetCustomSize(info, resolution);
        }
    } else {
        GetPaperTypeFromDetectedData(detected, caps);
    }
    if (info.areaSelected) {
        SetSelectedArea(info, resolution);
    }
}

void CPaperTypeAndOrientation::GetPaperTypeFromDetectedData(const DETECTEDPAPERINFO& detected,
                                                            const CDeviceCapsForPreparation& caps)
{
    PAPERSOURCESELECT const source = detected.paperSource;
    bool const orientationDetected = caps.IsSupportedDetectOrientation(source) == SUPPORT;
    bool const typeDetected = caps.IsSupportedDetectPaperType(source) == SUPPORT;
    bool const cornersDetected = caps.IsSupportedDetect2Corner(source) == SUPPORT;

    if (orientationDetected) {
        orientation_ = detected.paperOrientation;
        if (typeDetected) {
            paperType_ = detected.paperType;
        } else {
            paperType_ = cornersDetected ? GetPaperTypeFromCorner(detected, caps) : DEVICEMAX;
        }
        return;
    }
    if (typeDetected) {
        paperType_ = detected.paperType;
        orientation_ = cornersDetected ? GetPaperOrientationFromCorner(detected, caps)
                                       : caps.GetRecommendedOrientation(detected.paperType, source);
        return;
    }
    if (cornersDetected) {
        paperType_ = AUTOSIZE;
        calculatedSize_ =
            CustomSize{GetScanSizeFromCorner(detected, caps), PIXEL, AXIS{detected.resolutionX, detected.resolutionY}};
    } else {
        paperType_ = DEVICEMAX;
    }
    orientation_ = caps.GetRecommendedOrientation(AUTOSIZE, source);
}

DOCUMENTORIENTATION CPaperTypeAndOrientation::GetPaperOrientationFromDetectedData(
    const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps) const
{
    PAPERSOURCESELECT const source = detected.paperSource;
    if (caps.IsSupportedDetectOrientation(source) == SUPPORT && detected.paperOrientation != NOT_ORIENTATION) {
        return detected.paperOrientation;
    }
    if (caps.IsSupportedDetect2Corner(source) == SUPPORT) {
        return GetPaperOrientationFromCorner(detected, caps);
    }
    return GetPaperOrientationFromPaperType(paperType_, detected, caps);
}

DOCUMENTORIENTATION CPaperTypeAndOrientation::GetPaperOrientationFromPaperType(
    PAPERTYPE type, const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps) const
{
    switch (type) {
    case A4:
    case LETTER:
    case JISB5:
    case EXECUTIVE:
        return IsLongerPaperWidthThanA4Letter(detected.paperType) ? D_HORIZONTAL : D_VERTICAL;
    case A5: {
        PAPERTYPE const found = detected.paperType;
        bool const wide = found == A4 || found == LETTER || IsLongerPaperWidthThanA4Letter(found);
        return wide ? D_HORIZONTAL : D_VERTICAL;
    }
    default:
        return caps.GetRecommendedOrientation(type, detected.paperSource);
    }
}

int CPaperTypeAndOrientation::GetCornerDistance(const DETECTEDPAPERINFO& detected,
                                                const CDeviceCapsForPreparation& caps)
{
    AXIS_SIGNED const first{detected.vertexX1, detected.vertexY1};
    AXIS_SIGNED const second{detected.vertexX2, detected.vertexY2};
    double const distance =
        CPaperSize::GetDistanceOfCorners(first, second, AXIS{detected.resolutionX, detected.resolutionY}, MM);
    return CPaperSize::AddMarginSize(ToDistance(distance), MM, caps.ConvAndGetMarginDocSize(), detected.paperSource);
}

PAPERTYPE CPaperTypeAndOrientation::GetPaperTypeFromCorner(const DETECTEDPAPERINFO& detected,
                                                           const CDeviceCapsForPreparation& caps)
{
    bool const metric = LocaleInfo::IsMetricCountry();
    PAPERSOURCESELECT const source = detected.paperSource;
    int const distance = GetCornerDistance(detected, caps);
    if (distance <= kNoUsableCornersMax) {
        bool const a3 =
            (source == FLATBED && caps.IsSupportedA3WithFB()) || (source == ADF && caps.IsSupportedA3WithSimplex());
        if (a3) {
            return metric ? A3 : LEDGER;
        }
        return metric ? A4 : LETTER;
    }
    const CornerRow* row = std::begin(kCornerRows);
    for (const CornerRow& candidate : kCornerRows) {
        if (distance >= candidate.from) {
            row = &candidate;
        }
    }
    PAPERTYPE const type = metric ? row->metric : row->inch;
    if (detected.paperOrientation == D_HORIZONTAL) {
        return ChangePaperTypeToLandscape(type, source, metric, caps);
    }
    return type;
}

PAPERTYPE CPaperTypeAndOrientation::ChangePaperTypeToLandscape(PAPERTYPE type, PAPERSOURCESELECT source, bool metric,
                                                               const CDeviceCapsForPreparation& caps)
{
    if (type == A3 && IsRecommendedLandscape(A4, source, caps)) {
        return A4;
    }
    if (type == LEDGER && IsRecommendedLandscape(LETTER, source, caps)) {
        return LETTER;
    }
    if (type == A4 && IsRecommendedLandscape(A5, source, caps)) {
        return A5;
    }
    if (type == JISB4 && IsRecommendedLandscape(JISB5, source, caps) && metric) {
        return JISB5;
    }
    if (type == JISB4 && IsRecommendedLandscape(EXECUTIVE, source, caps)) {
        return EXECUTIVE;
    }
    return metric ? A4 : LETTER;
}

DOCUMENTORIENTATION CPaperTypeAndOrientation::GetPaperOrientationFromCorner(const DETECTEDPAPERINFO& detected,
                                                                            const CDeviceCapsForPreparation& caps)
{
    PAPERSOURCESELECT const source = detected.paperSource;
    DOCUMENTORIENTATION const base = caps.GetRecommendedOrientation(AUTOSIZE, source);
    int const threshold = OrientationThreshold(detected.paperType);
    if (threshold == 0 || caps.GetRecommendedOrientation(detected.paperType, source) == base) {
        return base;
    }
    return GetCornerDistance(detected, caps) > threshold ? D_HORIZONTAL : D_VERTICAL;
}

AXIS CPaperTypeAndOrientation::GetScanSizeFromCorner(const DETECTEDPAPERINFO& detected,
                                                     const CDeviceCapsForPreparation& caps)
{
    PAPERTYPE const type = GetPaperTypeFromCorner(detected, caps);
    double const dx = std::fabs(static_cast<double>(detected.vertexX2) - detected.vertexX1);
    double const dy = std::fabs(static_cast<double>(detected.vertexY2) - detected.vertexY1);
    double const distance = std::sqrt(dx * dx + dy * dy);
    // Identical corners measure no skew: the page is taken as lying straight.
    double cosine = 0.0;
    double sine = 1.0;
    if (distance > 0.0) {
        cosine = dy / distance;
        sine = dx / distance;
    }
    AXIS const paper = CPaperSize::GetScanSizeFromType(type, INCH);
    MARGINSIZE const margin = caps.GetScanMargin(detected.paperSource, true);
    double const width =
        static_cast<double>(paper.x) - MarginInInch(margin.left, margin.unit) - MarginInInch(margin.right, margin.unit);
    double const height =
        static_cast<double>(paper.y) - MarginInInch(margin.top, margin.unit) - MarginInInch(margin.bottom, margin.unit);
    double const x = detected.resolutionX * (height * cosine + width * sine) / 1000.0;
    double const y = detected.resolutionY * (height * sine + width * cosine) / 1000.0;
    return AXIS{ToPixels(x), ToPixels(y)};
}

bool CPaperTypeAndOrientation::IsLongerPaperWidthThanA4Letter(PAPERTYPE type)
{
    PAPERSIZE const row = CPaperSize::GetPaperSizeFromType(type);
    return row.unit == MM ? row.size.x > 21000 : row.size.x > 8500;
}

void CPaperTypeAndOrientation::SetCustomSize(const tagSCANAREAINFO& info, AXIS resolution)
{
    const PAPERSIZE& custom = info.customPaperSize;
    customSize_ = CustomSize{custom.size, custom.unit, custom.unit == PIXEL ? resolution : AXIS{0, 0}};
}

void CPaperTypeAndOrientation::SetSelectedArea(const tagSCANAREAINFO& info, AXIS resolution)
{
    const SCANAREA& area = info.selectArea;
    selectedArea_ = SelectedArea{area, area.unit == PIXEL ? resolution : AXIS{0, 0}};
}

}  // namespace vscore
