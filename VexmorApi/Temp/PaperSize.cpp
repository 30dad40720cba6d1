// Paper sizes and long-paper limits.
#include "VexmorApi/Temp/PaperSize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

// One row per paper type AUTOSIZE .. DEVICEMAX.
constexpr PAPERSIZE kPaperSizes[] = {
    {{0, 0}, INCH},          // AUTOSIZE
    {{21000, 29700}, MM},    // A4
    {{8500, 11000}, INCH},   // LETTER
    {{8500, 14000}, INCH},   // LEGAL
    {{29700, 42000}, MM},    // A3
    {{11000, 17000}, INCH},  // LEDGER
    {{25700, 36400}, MM},    // JISB4
    {{18200, 25700}, MM},    // JISB5
    {{14800, 21000}, MM},    // A5
    {{12800, 18200}, MM},    // JISB6
    {{10500, 14800}, MM},    // A6
    {{7250, 10500}, INCH},   // EXECUTIVE
    {{4000, 6000}, INCH},    // PHOTO
    {{5000, 8000}, INCH},    // INDEXCARD
    {{3503, 5000}, INCH},    // PHOTOL
    {{5000, 7000}, INCH},    // PHOTO2L
    {{10000, 14800}, MM},    // POSTCARD
    {{14800, 20000}, MM},    // POSTCARD2
    {{9000, 6000}, MM},      // BCARD90X60
    {{6000, 9000}, MM},      // BCARD60X90
    {{8500, 13000}, INCH},   // FOLIO
    {{8500, 13380}, INCH},   // MEXICANLEGAL
    {{21500, 34500}, MM},    // INDIALEGAL
    {{4250, 0}, INCH},       // LONGPAPER_NARROW
    {{8500, 0}, INCH},       // LONGPAPER_WIDE
    {{0, 0}, INCH},          // DEVICEMAX
};
static_assert(sizeof kPaperSizes / sizeof kPaperSizes[0] == DEVICEMAX + 1, "one row per paper type");

// The longest page at each resolution.
struct LongPaperLimit {
    unsigned int resolution;
    unsigned int length;
    UNITTYPE unit;
};
constexpr LongPaperLimit kLongPaperLimits[] = {
    {100, 500000, MM}, {150, 500000, MM}, {200, 500000, MM},   {300, 500000, MM},
    {400, 277400, MM}, {600, 100000, MM}, {1200, 14000, INCH},
};

bool IsInTable(PAPERTYPE type) { return type >= AUTOSIZE && type <= DEVICEMAX; }

// A table value in another length unit, computed as the table is meant to
// be read: in double precision, truncated.
unsigned int ConvertRowValue(unsigned int v, UNITTYPE from, UNITTYPE to)
{
    if (from == to) {
        return v;
    }
    double const converted = from == INCH ? v * 100.0 / 1000.0 * 25.4 : v * 1000.0 / 100.0 / 25.4;
    return static_cast<unsigned int>(converted);
}

}  // namespace

AXIS CPaperSize::GetScanSizeFromType(const PAPERTYPE& type, const UNITTYPE& unit)
{
    if (!IsInTable(type) || (unit != INCH && unit != MM)) {
        return AXIS{0, 0};
    }
    PAPERSIZE const& row = kPaperSizes[type];
    return AXIS{ConvertRowValue(row.size.x, row.unit, unit), ConvertRowValue(row.size.y, row.unit, unit)};
}

PAPERSIZE CPaperSize::GetPaperSizeFromType(const PAPERTYPE& type)
{
    return IsInTable(type) ? kPaperSizes[type] : PAPERSIZE{{0, 0}, INCH};
}

bool CPaperSize::IsFixedPaperType(const PAPERTYPE& type)
{
    return type != AUTOSIZE && type != LONGPAPER_NARROW && type != LONGPAPER_WIDE && type != DEVICEMAX;
}

double CPaperSize::GetDistanceOfCorners(const AXIS_SIGNED& a, const AXIS_SIGNED& b, const AXIS& resolution,
                                        const UNITTYPE& unit)
{
    double const dx = static_cast<double>(int64_t{b.x} - a.x);
    double const dy = static_cast<double>(int64_t{b.y} - a.y);
    double const pixels = std::sqrt(dx * dx + dy * dy);
    if (unit != MM && unit != INCH) {
        return pixels;
    }
    if (resolution.x == 0) {
        return 0.0;
    }
    return unit == MM ? pixels / resolution.x * 25.4 * 100 : pixels / resolution.x * 1000;
}

SCANAREA CPaperSize::ReviseArea(const SCANAREA& area, const AXIS& maximum)
{
    SCANAREA revised = area;
    if (maximum.x != 0) {
        if (int64_t{maximum.x} < area.offsetX) {
            revised.offsetX = 0;
        }
        if (int64_t{maximum.x} < area.width) {
            revised.width = static_cast<int>(maximum.x);
        }
    }
    if (maximum.y != 0) {
        if (int64_t{maximum.y} < area.offsetY) {
            revised.offsetY = 0;
        }
        if (int64_t{maximum.y} < area.height) {
            revised.height = static_cast<int>(maximum.y);
        }
    }
    return revised;
}

bool CPaperSize::IsSupportImageSize(const unsigned int& resolution, const unsigned int& imageResolution,
                                    const unsigned int& imageLengthPixels, const PAPERTYPE& type, bool longPaper)
{
    if (!longPaper || (type != LONGPAPER_NARROW && type != LONGPAPER_WIDE)) {
        return true;
    }
    auto const row = std::find_if(std::begin(kLongPaperLimits), std::end(kLongPaperLimits),
                                  [&](LongPaperLimit const& limit) { return limit.resolution == resolution; });
    if (row == std::end(kLongPaperLimits)) {
        return false;
    }
    unsigned int maximum = 0;
    unsigned int length = 0;
    if (!CConvertUnit::ConvertUnit(row->length, row->unit, &maximum, MM) ||
        !CConvertUnit::ConvertPixlesTo(imageResolution, imageLengthPixels, &length, MM)) {
        return false;
    }
    return maximum != 0 && length <= maximum;
}

unsigned int CPaperSize::GetLongestPageLength()
{
    unsigned int longest = 0;
    for (LongPaperLimit const& limit : kLongPaperLimits) {
        longest = std::max(longest, ConvertRowValue(limit.length, limit.unit, MM));
    }
    return longest;
}

int CPaperSize::AddMarginSize(int size, const UNITTYPE& unit, const DEVICESCANSIZES& margins,
                              const PAPERSOURCESELECT& source)
{
    // The pairs carry signed margins as their bit pattern (see
    // CDeviceCapsForPreparation::ConvAndGetMarginDocSize): a device that scans
    // past the paper edge reports a negative margin, which shortens the size.
    int const margin = static_cast<int32_t>(source == FLATBED ? margins.flatbed.x : margins.simplex.x);
    int converted = 0;
    if (!CConvertUnit::ConvertUnit(margin, margins.unit, &converted, unit)) {
        converted = 0;
    }
    return SaturateTo<int32_t>(int64_t{size} + 2 * int64_t{converted});
}

SCANAREA CPaperSize::CutOutMarginSize(const SCANAREA& area, const AXIS& margin)
{
    SCANAREA cut = area;
    cut.width = SaturateTo<int32_t>(int64_t{area.width} - 2 * int64_t{margin.x});
    cut.height = SaturateTo<int32_t>(int64_t{area.height} - 2 * int64_t{margin.y});
    return cut;
}

}  // namespace vscore
