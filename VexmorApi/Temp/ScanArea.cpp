// The scan rectangle of one scan.
#include "VexmorApi/Temp/ScanArea.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

// The rectangle while it is worked on: signed and wide, so margins that
// widen it and offsets below 0 neither wrap nor overflow. Cut back to the
// device's unsigned 32-bit form, at 0, only at the end.
struct WorkArea {
    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;
};

// value x to / from, product first; 0 for a zero from. The product is taken
// in 128 bits, since a 32-bit size times a 32-bit resolution does not fit
// signed 64 bits; a quotient beyond 64 bits saturates.
int64_t Rescale(int64_t value, uint32_t to, uint32_t from)
{
    if (from == 0) {
        return 0;
    }
    __int128 const scaled = static_cast<__int128>(value) * to / from;
    return static_cast<int64_t>(
        std::clamp<__int128>(scaled, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()));
}

// One length in unit to pixels at resolution; 0 when it cannot be converted.
int64_t LengthToPixels(uint32_t resolution, int64_t value, UNITTYPE unit)
{
    int pixels = 0;
    return CConvertUnit::ConvertToPixles(resolution, SaturateTo<int32_t>(value), unit, &pixels) ? pixels : 0;
}

uint32_t SizeToPixels(uint32_t resolution, int64_t value, UNITTYPE unit)
{
    unsigned int pixels = 0;
    return CConvertUnit::ConvertToPixles(resolution, SaturateTo<uint32_t>(value), unit, &pixels) ? pixels : 0;
}

// One margin value in another length unit; 0 when it cannot be converted.
int32_t MarginIn(int32_t value, UNITTYPE from, UNITTYPE to)
{
    int converted = 0;
    return CConvertUnit::ConvertUnit(value, from, &converted, to) ? converted : 0;
}

void AdjustToSelected(WorkArea& area, AXIS resolution, const SCANAREA& selected, const AXIS& areaResolution)
{
    if (selected.unit == PIXEL) {
        area.x += Rescale(selected.offsetX, resolution.x, areaResolution.x);
        area.y += Rescale(selected.offsetY, resolution.y, areaResolution.y);
        area.width = Rescale(selected.width, resolution.x, areaResolution.x);
        area.height = Rescale(selected.height, resolution.y, areaResolution.y);
        return;
    }
    SCANAREA const pixels = CScanArea::GetPixelArea(selected, resolution);
    area.x += pixels.offsetX;
    area.y += pixels.offsetY;
    area.width = pixels.width;
    area.height = pixels.height;
}

_SCANCMD_SCANAREA Revise(const WorkArea& area, const ACTUALSCANPARAM& actual)
{
    auto const toArea = [](int64_t value) { return SaturateTo<int32_t>(std::max<int64_t>(value, 0)); };
    SCANAREA const clamped{toArea(area.x), toArea(area.y), toArea(area.width), toArea(area.height), PIXEL};
    SCANAREA const revised = CPaperSize::ReviseArea(clamped, AXIS{actual.maxScanAreaWidth, actual.maxScanAreaHeight});
    _SCANCMD_SCANAREA out{};
    out.x = SaturateTo<uint32_t>(revised.offsetX);
    out.y = SaturateTo<uint32_t>(revised.offsetY);
    out.width = SaturateTo<uint32_t>(revised.width);
    out.height = SaturateTo<uint32_t>(revised.height);
    return out;
}

}  // namespace

_SCANCMD_SCANAREA CScanArea::CalcScanArea(const ACTUALSCANPARAM& actual, DUPLEXTYPE duplex, bool carrierSheet,
                                          const CPaperTypeAndOrientation& paper, const CDeviceCapsForPreparation& caps)
{
    AXIS const resolution{actual.resolutionX, actual.resolutionY};
    PAPERTYPE const type = paper.GetPaperType();
    bool const simplex = duplex == SIMPLEX;
    MARGINSIZE margins{0, 0, 0, 0, MM};
    if (!caps.IsSupportedMarginAdjustment(type)) {
        margins = caps.GetScanMargin(actual.paperSource, simplex);
    }

    AXIS size{0, 0};
    if (type == CUSTOMSIZE) {
        if (auto custom = paper.GetCustomSize()) {
            size = CalcCustomPaperSize(resolution, margins, PAPERSIZE{custom->size, custom->unit}, custom->resolution);
        }
    } else if (type == AUTOSIZE) {
        if (auto calculated = paper.GetCalculatedSize()) {
            size = CConvertUnit::ConvertToSpecifiedResolutionPixels(calculated->resolution, resolution,
                                                                    calculated->size, calculated->unit);
        }
    } else {
        size = CalcPaperPixelSize(resolution, margins, actual.paperSource, paper, caps);
    }
    if (type == LONGPAPER_NARROW || type == LONGPAPER_WIDE) {
        size.y = caps.GetCmdGeneration() == SCANCMD_1ST_GENERATION
                     ? GetLongPaperSizePixel(actual.resolutionY, duplex, caps.GetLongPaperLengthMax())
                     : 0;
    }

    AXIS const offset = CalcOffsetValue(size, resolution, AXIS{actual.maxScanAreaWidth, actual.maxScanAreaHeight},
                                        actual.paperSource, caps, carrierSheet);
    WorkArea area{offset.x, offset.y, size.x, size.y};

    auto const selected = paper.GetSelectedArea();
    if (selected && actual.paperSource != CARDSLOT) {
        if (simplex) {
            AdjustToSelected(area, resolution, selected->area, selected->resolution);
        }
        if (caps.IsSupportedMarginAdjustment(type)) {
            MARGINSIZE const margin = caps.GetScanMargin(actual.paperSource, simplex);
            int64_t const left = LengthToPixels(resolution.x, margin.left, margin.unit);
            int64_t const top = LengthToPixels(resolution.y, margin.top, margin.unit);
            area.x += left;
            area.y += top;
            if (!simplex) {
                area.width -= 2 * left;
                area.height -= 2 * top;
            }
        }
    }
    return Revise(area, actual);
}

bool CScanArea::ShouldChangeDuplexType(DOCUMENTORIENTATION orientation, DUPLEXTYPE duplex)
{
    return orientation == D_HORIZONTAL && (duplex == DUPLEX_LONG || duplex == DUPLEX_SHORT);
}

AXIS CScanArea::CalcPaperPixelSize(AXIS resolution, MARGINSIZE& margins, PAPERSOURCESELECT source,
                                   const CPaperTypeAndOrientation& paper, const CDeviceCapsForPreparation& caps)
{
    PAPERTYPE const type = paper.GetPaperType();
    PAPERSIZE size = (type == DEVICEMAX || type == AUTOSIZE) ? caps.GetSupportDocumentSize(source)
                                                             : CPaperSize::GetPaperSizeFromType(type);
    if (type == BCARD90X60) {
        size.size = GetBisunessCardSize(size, source, caps.Get());
    }
    if (paper.GetPaperOrientation() == D_HORIZONTAL) {
        std::swap(size.size.x, size.size.y);
    }
    if (margins.unit != size.unit) {
        margins.left = MarginIn(margins.left, margins.unit, size.unit);
        margins.right = MarginIn(margins.right, margins.unit, size.unit);
        margins.top = MarginIn(margins.top, margins.unit, size.unit);
        margins.bottom = MarginIn(margins.bottom, margins.unit, size.unit);
        margins.unit = size.unit;
    }
    int64_t const width = int64_t{size.size.x} - margins.left - margins.right;
    int64_t const height = int64_t{size.size.y} - margins.top - margins.bottom;
    return AXIS{SizeToPixels(resolution.x, width, size.unit), SizeToPixels(resolution.y, height, size.unit)};
}

AXIS CScanArea::CalcCustomPaperSize(AXIS resolution, const MARGINSIZE& margins, const PAPERSIZE& custom,
                                    const AXIS& sizeResolution)
{
    UNITTYPE const unit = custom.unit;
    int64_t left = 0;
    int64_t right = 0;
    int64_t top = 0;
    int64_t bottom = 0;
    if (unit == PIXEL) {
        left = LengthToPixels(resolution.x, margins.left, margins.unit);
        right = LengthToPixels(resolution.x, margins.right, margins.unit);
        top = LengthToPixels(resolution.y, margins.top, margins.unit);
        bottom = LengthToPixels(resolution.y, margins.bottom, margins.unit);
    } else {
        left = MarginIn(margins.left, margins.unit, unit);
        right = MarginIn(margins.right, margins.unit, unit);
        top = MarginIn(margins.top, margins.unit, unit);
        bottom = MarginIn(margins.bottom, margins.unit, unit);
    }
    int64_t width = std::max<int64_t>(0, int64_t{custom.size.x} - (left + right));
    int64_t height = std::max<int64_t>(0, int64_t{custom.size.y} - (bottom + top));
    if (unit == PIXEL) {
        width = Rescale(width, resolution.x, sizeResolution.x);
        height = Rescale(height, resolution.y, sizeResolution.y);
        return AXIS{SaturateTo<uint32_t>(width), SaturateTo<uint32_t>(height)};
    }
    return AXIS{SizeToPixels(resolution.x, width, unit), SizeToPixels(resolution.y, height, unit)};
}

AXIS CScanArea::CalcOffsetValue(AXIS size, AXIS resolution, AXIS maxPixels, PAPERSOURCESELECT source,
                                const CDeviceCapsForPreparation& caps, bool carrierSheet)
{
    auto const toInt = [](uint32_t value) { return SaturateTo<int32_t>(value); };
    int64_t const x = CalcOffsetValue(toInt(size.x), toInt(maxPixels.x), caps.GetPaperPositionX(source));
    int64_t y = CalcOffsetValue(toInt(size.y), toInt(maxPixels.y), caps.GetPaperPositionY(source));
    if (carrierSheet) {
        y += GetCarrierSheetOffsetSizePixel(resolution.y, caps.GetCarrierSheet());
    }
    return AXIS{SaturateTo<uint32_t>(x), SaturateTo<uint32_t>(y)};
}

int CScanArea::CalcOffsetValue(int size, int max, POSITION position)
{
    if (size >= max) {
        return 0;
    }
    int64_t const room = int64_t{max} - size;
    switch (position) {
    case CENTER:
        return static_cast<int>(room / 2);
    case RIGHT:
        return SaturateTo<int32_t>(room);
    default:
        return 0;
    }
}

void CScanArea::AdjustToSelectedScanArea(_SCANCMD_SCANAREA& area, AXIS resolution, const SCANAREA& selected,
                                         const AXIS& areaResolution)
{
    WorkArea work{area.x, area.y, area.width, area.height};
    AdjustToSelected(work, resolution, selected, areaResolution);
    area.x = SaturateTo<uint32_t>(work.x);
    area.y = SaturateTo<uint32_t>(work.y);
    area.width = SaturateTo<uint32_t>(work.width);
    area.height = SaturateTo<uint32_t>(work.height);
}

void CScanArea::ReviseScanCmd_Area(_SCANCMD_SCANAREA& area, const ACTUALSCANPARAM& actual)
{
    _SCANCMD_SCANAREA const revised = Revise(WorkArea{area.x, area.y, area.width, area.height}, actual);
    area.x = revised.x;
    area.y = revised.y;
    area.width = revised.width;
    area.height = revised.height;
}

SCANAREA CScanArea::GetPixelArea(SCANAREA area, AXIS resolution)
{
    SCANAREA pixels{0, 0, 0, 0, PIXEL};
    if (!CConvertUnit::ConvertToPixles(resolution, area, &pixels)) {
        return SCANAREA{0, 0, 0, 0, PIXEL};
    }
    pixels.unit = PIXEL;
    return pixels;
}

unsigned int CScanArea::GetLongPaperSizePixel(unsigned int resolution, DUPLEXTYPE duplex,
                                              const LONGPAPERLENGTHMAX& longPaper)
{
    unsigned int length = 86300;
    UNITTYPE unit = MM;
    unsigned int const given = duplex == SIMPLEX ? longPaper.simplexMaxLength : longPaper.duplexMaxLength;
    if (given != 0) {
        length = given;
        unit = longPaper.unit;
    }
    return SizeToPixels(resolution, length, unit);
}

AXIS CScanArea::GetBisunessCardSize(const PAPERSIZE& card, PAPERSOURCESELECT source,
                                    const VS_SCANNER_CAPABILITY& capability)
{
    const CARDSCANSETTINGORIENTATIONS& orientation = capability.cardSizeOrientation;
    bool const upright =
        (source == FLATBED && orientation.capFlatbed == SUPPORT && orientation.orientFlatbed == VERTICAL) ||
        (source == ADF && orientation.capAdf == SUPPORT && orientation.orientAdf == VERTICAL);
    if (capability.cmdGeneration != SCANCMD_1ST_GENERATION && upright) {
        return AXIS{card.size.y, card.size.x};
    }
    return card.size;
}

unsigned int CScanArea::GetCarrierSheetOffsetSizePixel(unsigned int resolution, const CARRIERSHEETSUPPORT& carrier)
{
    unsigned int const head = carrier.offsetSizeMm.top != 0 ? carrier.offsetSizeMm.top : 3200;
    return SizeToPixels(resolution, head, MM);
}

}  // namespace vscore
