// Length conversions between 1/1000 inch (INCH), 1/100 mm (MM) and pixels
// at a resolution in dpi, for single values, AXIS pairs, rectangles and
// scan areas. Stateless; every operation may be called on any thread.
#pragma once

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Every conversion answers false for a null output (and writes nothing),
// for PIXEL where a length unit is needed, for a unit outside the three,
// for a value whose magnitude has no positive form (INT32_MIN) and for a
// zero resolution where pixels are divided by it. Results that do not fit
// 32 bits saturate.
class CConvertUnit {
public:
    // Between INCH and MM; equal units copy.
    static bool ConvertUnit(const unsigned int& value, const UNITTYPE& from, unsigned int* out, const UNITTYPE& to);
    static bool ConvertUnit(const int& value, const UNITTYPE& from, int* out, const UNITTYPE& to);
    static bool ConvertUnit(const AXIS& value, const UNITTYPE& from, AXIS* out, const UNITTYPE& to);
    // left, right, top, bottom in this order; stops at the first failure.
    static bool ConvertUnit(const tagRECT& value, const UNITTYPE& from, tagRECT* out, const UNITTYPE& to);
    // The area's own unit to `to`; the output's unit becomes `to`.
    static bool ConvertUnit(const SCANAREA& in, SCANAREA* out, const UNITTYPE& to);

    // A length in unit to pixels at resolution; PIXEL copies. x, left,
    // right, offsetX and width use the x resolution, the others the y one.
    static bool ConvertToPixles(const unsigned int& resolution, const unsigned int& value, const UNITTYPE& unit,
                                unsigned int* out);
    static bool ConvertToPixles(const unsigned int& resolution, const int& value, const UNITTYPE& unit, int* out);
    static bool ConvertToPixles(const AXIS& resolution, const AXIS& value, const UNITTYPE& unit, AXIS* out);
    static bool ConvertToPixles(const unsigned int& resolution, const AXIS& value, const UNITTYPE& unit, AXIS* out);
    static bool ConvertToPixles(const AXIS& resolution, const tagRECT& value, const UNITTYPE& unit, tagRECT* out);
    static bool ConvertToPixles(const unsigned int& resolution, const tagRECT& value, const UNITTYPE& unit,
                                tagRECT* out);
    // The output's unit is PIXEL.
    static bool ConvertToPixles(const AXIS& resolution, const SCANAREA& in, SCANAREA* out);
    static bool ConvertToPixles(const unsigned int& resolution, const SCANAREA& in, SCANAREA* out);

    // Pixels at resolution to a length in unit; PIXEL copies a single value
    // but is refused for pairs and rectangles.
    static bool ConvertPixlesTo(const unsigned int& resolution, const unsigned int& value, unsigned int* out,
                                const UNITTYPE& unit);
    static bool ConvertPixlesTo(const unsigned int& resolution, const int& value, int* out, const UNITTYPE& unit);
    static bool ConvertPixlesTo(const AXIS& resolution, const AXIS& value, AXIS* out, const UNITTYPE& unit);
    static bool ConvertPixlesTo(const unsigned int& resolution, const AXIS& value, AXIS* out, const UNITTYPE& unit);
    static bool ConvertPixlesTo(const AXIS& resolution, const tagRECT& value, tagRECT* out, const UNITTYPE& unit);
    static bool ConvertPixlesTo(const unsigned int& resolution, const tagRECT& value, tagRECT* out,
                                const UNITTYPE& unit);
    // The input must be in PIXEL; the output takes unit (PIXEL copies).
    static bool ConvertPixlesTo(const AXIS& resolution, const SCANAREA& in, SCANAREA* out, const UNITTYPE& unit);
    static bool ConvertPixlesTo(const unsigned int& resolution, const SCANAREA& in, SCANAREA* out,
                                const UNITTYPE& unit);

    // A size in unit to pixels at resolution `to`; pixel values are scaled
    // from resolution `from` (integer quotient). A zero `from` gives 0.
    static AXIS ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const AXIS& value,
                                                   const UNITTYPE& unit);
    static tagRECT ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const tagRECT& value,
                                                      const UNITTYPE& unit);
    // The result's unit is PIXEL.
    static SCANAREA ConvertToSpecifiedResolutionPixels(const AXIS& from, const AXIS& to, const SCANAREA& value);

    // The device's 0.1 mm to 1/100 mm.
    static unsigned int ConvDeviceMillimeterToDriverMillimeter(const unsigned int& value);
    static int ConvDeviceMillimeterToDriverMillimeter(const int& value);
};

}  // namespace vscore
