// Unit conversions. Every value is converted as a magnitude in 64-bit (or
// wider) arithmetic with its sign put back afterwards, and saturated to the
// 32-bit result type.
#include "VexmorApi/Temp/ConvertUnit.h"

#include <algorithm>
#include <climits>

#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

bool IsLengthUnit(UNITTYPE unit) { return unit == INCH || unit == MM; }

uint64_t InchToMm(uint64_t v) { return v * 25400 / 10000; }

// The 5 is added in 1/100000 inch: a result is rounded up from 0.95 of its
// last digit (2 in 1/100 mm gives 0, 3 gives 1).
uint64_t MmToInch(uint64_t v) { return (v * 10000 / 254 + 5) / 100; }

// Rounded to the nearest pixel. 128-bit: resolution and value are both up
// to 32 bits wide.
uint64_t InchToPixels(uint64_t resolution, uint64_t v)
{
    unsigned __int128 const pixels = (static_cast<unsigned __int128>(resolution) * v * 10 + 5000) / 10000;
    return pixels > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(pixels);
}

uint64_t PixelsToInch(uint64_t resolution, uint64_t v) { return v * 1000 / resolution; }

// A magnitude from one length unit to another.
bool LengthToLength(uint64_t v, UNITTYPE from, UNITTYPE to, uint64_t& out)
{
    if (!IsLengthUnit(from) || !IsLengthUnit(to)) {
        return false;
    }
    out = from == to ? v : (from == INCH ? InchToMm(v) : MmToInch(v));
    return true;
}

// A magnitude in unit to pixels; PIXEL copies.
bool LengthToPixels(uint64_t resolution, uint64_t v, UNITTYPE unit, uint64_t& out)
{
    switch (unit) {
    case INCH:
        out = InchToPixels(resolution, v);
        return true;
    case MM:
        out = InchToPixels(resolution, MmToInch(v));
        return true;
    case PIXEL:
        out = v;
        return true;
    default:
        return false;
    }
}

// A magnitude in pixels to unit; PIXEL copies. Pixels cannot be measured
// at a zero resolution.
bool PixelsToLength(uint64_t resolution, uint64_t v, UNITTYPE unit, uint64_t& out)
{
    switch (unit) {
    case INCH:
    case MM:
        if (resolution == 0) {
            return false;
        }
        out = PixelsToInch(resolution, v);
        if (unit == MM) {
            out = InchToMm(out);
        }
        return true;
    case PIXEL:
        out = v;
        return true;
    default:
        return false;
    }
}

// value * to / from, truncated; 0 for a zero `from`.
uint64_t Scale(uint64_t v, uint64_t from, uint64_t to) { return from == 0 ? 0 : v * to / from; }

unsigned int SaturateUnsigned(uint64_t v) { return static_cast<unsigned int>(std::min<uint64_t>(v, UINT_MAX)); }

int WithSign(bool negative, uint64_t magnitude)
{
    int64_t const m = static_cast<int64_t>(std::min<uint64_t>(magnitude, INT_MAX));
    return static_cast<int>(negative ? -m : m);
}

// Applies a magnitude conversion to an unsigned value.
template <class Convert>
bool ApplyUnsigned(unsigned int value, unsigned int* out, Convert convert)
{
    uint64_t result = 0;
    if (out == nullptr || !convert(uint64_t{value}, result)) {
        return false;
    }
    *out = SaturateUnsigned(result);
    return true;
}

// Applies a magnitude conversion to a signed value, sign put back.
template <class Convert>
bool ApplySigned(int value, int* out, Convert convert)
{
    uint64_t result = 0;
    if (out == nullptr || value == INT_MIN) {
        return false;
    }
    bool const negative = value < 0;
    uint64_t const magnitude =
        negative ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    if (!convert(magnitude, result)) {
        return false;
    }
    *out = WithSign(negative, result);
    return true;
}

// The millimetre/pixel conversions go through inches in two steps and
// leave 0 in the output when they fail.
template <class Value>
bool ZeroForMmOnFailure(bool ok, Value* out, UNITTYPE unit)
{
    if (!ok && out != nullptr && unit == MM) {
        *out = 0;
    }
    return ok;
}

int ScaleSigned(int value, uint64_t from, uint64_t to)
{
    int out = 0;
    ApplySigned(value, &out, [&](uint64_t v, uint64_t& r) {
        r = Scale(v, from, to);
        return true;
    });
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Between length units.

bool CConvertUnit::ConvertUnit(const unsigned int& value, const UNITTYPE& from, unsigned int* out, const UNITTYPE& to)
{
    return ApplyUnsigned(value, out, [&](uint64_t v, uint64_t& r) { return LengthToLength(v, from, to, r); });
}

bool CConvertUnit::ConvertUnit(const int& value, const UNITTYPE& from, int* out, const UNITTYPE& to)
{
    return ApplySigned(value, out, [&](uint64_t v, uint64_t& r) { return LengthToLength(v, from, to, r); });
}

bool CConvertUnit::ConvertUnit(const AXIS& value, const UNITTYPE& from, AXIS* out, const UNITTYPE& to)
{
    AXIS result{};
    if (out == nullptr || !ConvertUnit(value.x, from, &result.x, to) || !ConvertUnit(value.y, from, &result.y, to)) {
        return false;
    }
    *out = result;
    return true;
}

bool CConvertUnit::ConvertUnit(const tagRECT& value, const UNITTYPE& from, tagRECT* out, const UNITTYPE& to)
{
    return out != nullptr && ConvertUnit(value.left, from, &out->left, to) &&
           ConvertUnit(value.right, from, &out->right, to) && ConvertUnit(value.top, from, &out->top, to) &&
           ConvertUnit(value.bottom, from, &out->bottom, to);
}

bool CConvertUnit::ConvertUnit(const SCANAREA& in, SCANAREA* out, const UNITTYPE& to)
{
    SCANAREA result{};
    if (out == nullptr || !ConvertUnit(in.offsetX, in.unit, &result.offsetX, to) ||
        !ConvertUnit(in.offsetY, in.unit, &result.offsetY, to) || !ConvertUnit(in.width, in.unit, &result.width, to) ||
        !ConvertUnit(in.height, in.unit, &result.height, to)) {
        return false;
    }
    result.unit = to;
    *out = result;
    return true;
}

// ---------------------------------------------------------------------------
// Lengths to pixels.

bool CConvertUnit::ConvertToPixles(const unsigned int& resolution, const unsigned int& value, const UNITTYPE& unit,
                                   unsigned int* out)
{
    return ZeroForMmOnFailure(
        ApplyUnsigned(value, out, [&](uint64_t v, uint64_t& r) { return LengthToPixels(resolution, v, unit, r); }), out,
        unit);
}

bool CConvertUnit::ConvertToPixles(const unsigned int& resolution, const int& value, const UNITTYPE& unit, int* out)
{
    return ZeroForMmOnFailure(
        ApplySigned(value, out, [&](uint64_t v, uint64_t& r) { return LengthToPixels(resolution, v, unit, r); }), out,
        unit);
}

bool CConvertUnit::ConvertToPixles(const AXIS& resolution, const AXIS& value, const UNITTYPE& unit, AXIS* out)
{
    AXIS result{};
    if (out == nullptr || !ConvertToPixles(resolution.x, value.x, unit, &result.x) ||
        !ConvertToPixles(resolution.y, value.y, unit, &result.y)) {
        return false;
    }
    *out = result;
    return true;
}

bool CConvertUnit::ConvertToPixles(const unsigned int& resolution, const AXIS& value, const UNITTYPE& unit, AXIS* out)
{
    return ConvertToPixles(AXIS{resolution, resolution}, value, unit, out);
}

bool CConvertUnit::ConvertToPixles(const AXIS& resolution, const tagRECT& value, const UNITTYPE& unit, tagRECT* out)
{
    return out != nullptr && ConvertToPixles(resolution.x, value.left, unit, &out->left) &&
           ConvertToPixles(resolution.x, value.right, unit, &out->right) &&
           ConvertToPixles(resolution.y, value.top, unit, &out->top) &&
           ConvertToPixles(resolution.y, value.bottom, unit, &out->bottom);
}

bool CConvertUnit::ConvertToPixles(const unsigned int& resolution, const tagRECT& value, const UNITTYPE& unit,
                                   tagRECT* out)
{
    return ConvertToPixles(AXIS{resolution, resolution}, value, unit, out);
}

bool CConvertUnit::ConvertToPixles(const AXIS& resolution, const SCANAREA& in, SCANAREA* out)
{
    SCANAREA result{};
    if (out == nullptr || !ConvertToPixles(resolution.x, in.offsetX, in.unit, &result.offsetX) ||
        !ConvertToPixles(resolution.y, in.offsetY, in.unit, &result.offsetY) ||
        !ConvertToPixles(resolution.x, in.width, in.unit, &result.width) ||
        !ConvertToPixles(resolution.y, in.height, in.unit, &result.height)) {
        return false;
    }
    result.unit = PIXEL;
    *out = result;
    return true;
}

bool CConvertUnit::ConvertToPixles(const unsigned int& resolution, const SCANAREA& in, SCANAREA* out)
{
    return ConvertToPixles(AXIS{resolution, resolution}, in, out);
}

// ---------------------------------------------------------------------------
// Pixels to lengths.

bool CConvertUnit::ConvertPixlesTo(const unsigned int& resolution, const unsigned int& value, unsigned int* out,
                                   const UNITTYPE& unit)
{
    return ZeroForMmOnFailure(
        ApplyUnsigned(value, out, [&](uint64_t v, uint64_t& r) { return PixelsToLength(resolution, v, unit, r); }), out,
        unit);
}

bool CConvertUnit::ConvertPixlesTo(const unsigned int& resolution, const int& value, int* out, const UNITTYPE& unit)
{
    return ZeroForMmOnFailure(
        ApplySigned(value, out, [&](uint64_t v, uint64_t& r) { return PixelsToLength(resolution, v, unit, r); }), out,
        unit);
}

bool CConvertUnit::ConvertPixlesTo(const AXIS& resolution, const AXIS& value, AXIS* out, const UNITTYPE& unit)
{
    AXIS result{};
    if (out == nullptr || unit == PIXEL || !ConvertPixlesTo(resolution.x, value.x, &result.x, unit) ||
        !ConvertPixlesTo(resolution.y, value.y, &result.y, unit)) {
        return false;
    }
    *out = result;
    return true;
}

bool CConvertUnit::ConvertPixlesTo(const unsigned int& resolution, const AXIS& value, AXIS* out, const UNITTYPE& unit)
{
    return ConvertPixlesTo(AXIS{resolution, resolution}, value, out, unit);
}

bool CConvertUnit::ConvertPixlesTo(const AXIS& resolution, const tagRECT& value, tagRECT* out, const UNITTYPE& unit)
{
    return out != nullptr && unit != PIXEL && ConvertPixlesTo(resolution.x, value.left, &out->left, unit) &&
           ConvertPixlesTo(resolution.x, value.right, &out->right, unit) &&
           ConvertPixlesTo(resolution.y, value.top, &out->top, unit) &&
           ConvertPixlesTo(resolution.y, value.bottom, &out->bottom, unit);
}

bool CConvertUnit::ConvertPixlesTo(const unsigned int& resolution, const tagRECT& value, tagRECT* out,
                                   const UNITTYPE& unit)
{
    return ConvertPixlesTo(AXIS{resolution, resolution}, value, out, unit);
}

bool CConvertUnit::ConvertPixlesTo(const AXIS& resolution, const SCANAREA& in, SCANAREA* out, const UNITTYPE& unit)
{
    if (out == nullptr || in.unit != PIXEL) {
        return false;
    }
    if (unit == PIXEL) {
        *out = in;
        return true;
    }
    SCANAREA result{};
    if (!ConvertPixlesTo(resolution.x, in.offsetX, &result.offsetX, unit) ||
        !ConvertPixlesTo(resolution.y, in.offsetY, &result.offsetY, unit) ||
        !ConvertPixlesTo(resolution.x, in.width, &result.width, unit) ||
        !ConvertPixlesTo(resolution.y, in.height, &result.height, unit)) {
        return false;
    }
    result.unit = unit;
    *out = result;
    return true;
}

bool CConvertUnit::ConvertPixlesTo(const unsigned int& resolution, const SCANAREA& in, SCANAREA* out,
                                   const UNITTYPE& unit)
{
    return ConvertPixlesTo(AXIS{resolution, resolution}, in, out, unit);
}

// ---------------------------------------------------------------------------
// Pixels at another resolution.

AXIS CConvertUnit::ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const AXIS& value,
                                                      const UNITTYPE& unit)
{
    AXIS result{};
    if (unit == PIXEL) {
        result.x = SaturateUnsigned(Scale(value.x, from.x, to.x));
        result.y = SaturateUnsigned(Scale(value.y, from.y, to.y));
    } else if (!ConvertToPixles(to, value, unit, &result)) {
        result = AXIS{};
    }
    return result;
}

tagRECT CConvertUnit::ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const tagRECT& value,
                                                         const UNITTYPE& unit)
{
    tagRECT result{};
    if (unit == PIXEL) {
        result.left = ScaleSigned(value.left, from.x, to.x);
        result.right = ScaleSigned(value.right, from.x, to.x);
        result.top = ScaleSigned(value.top, from.y, to.y);
        result.bottom = ScaleSigned(value.bottom, from.y, to.y);
    } else if (!ConvertToPixles(to, value, unit, &result)) {
        result = tagRECT{};
    }
    return result;
}

SCANAREA CConvertUnit::ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const SCANAREA& value)
{
    SCANAREA result{};
    if (value.unit == PIXEL) {
        result.offsetX = ScaleSigned(value.offsetX, from.x, to.x);
        result.width = ScaleSigned(value.width, from.x, to.x);
        result.offsetY = ScaleSigned(value.offsetY, from.y, to.y);
        result.height = ScaleSigned(value.height, from.y, to.y);
    } else if (!ConvertToPixles(to, value, &result)) {
        result = SCANAREA{};
    }
    result.unit = PIXEL;
    return result;
}

// ---------------------------------------------------------------------------

unsigned int CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(const unsigned int& value)
{
    return SaturateUnsigned(uint64_t{value} * 10);
}

int CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(const int& value)
{
    return SaturateTo<int32_t>(int64_t{value} * 10);
}

}  // namespace vscore
