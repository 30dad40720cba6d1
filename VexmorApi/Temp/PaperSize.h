// The paper-size table indexed by PAPERTYPE, the longest page per
// resolution for long paper, and small scan-area helpers. Stateless; every
// operation may be called on any thread.
#pragma once

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CPaperSize {
public:
    // The type's size in unit: {0, 0} for PIXEL and for types outside the
    // table (below AUTOSIZE, above DEVICEMAX).
    static AXIS GetScanSizeFromType(const PAPERTYPE& type, const UNITTYPE& unit);
    // The table row as stored (size and its unit); {0, 0} in INCH for types
    // outside the table.
    static PAPERSIZE GetPaperSizeFromType(const PAPERTYPE& type);
    // False for AUTOSIZE, the two long papers and DEVICEMAX.
    static bool IsFixedPaperType(const PAPERTYPE& type);
    // The distance between two points given in pixels, in unit (only the x
    // resolution counts); 0 for a length unit at a zero resolution.
    static double GetDistanceOfCorners(const AXIS_SIGNED& a, const AXIS_SIGNED& b, const AXIS& resolution,
                                       const UNITTYPE& unit);
    // The area with its offset and extent cut back where they exceed a
    // non-zero maximum.
    static SCANAREA ReviseArea(const SCANAREA& area, const AXIS& maximum);
    // Whether an image of imageLengthPixels rows at imageResolution fits the
    // longest page the device scans at resolution; only long paper (types
    // 23, 24 with longPaper set) is limited.
    static bool IsSupportImageSize(const unsigned int& resolution, const unsigned int& imageResolution,
                                   const unsigned int& imageLengthPixels, const PAPERTYPE& type, bool longPaper);
    // The longest page a long-paper scan may have at any resolution, in
    // 1/100 mm.
    static unsigned int GetLongestPageLength();
    // size plus twice the x margin of the flatbed (FLATBED) or of the
    // simplex pair (any other source), converted into unit. The pairs hold
    // signed margins as their bit pattern, so a negative margin subtracts.
    static int AddMarginSize(int size, const UNITTYPE& unit, const DEVICESCANSIZES& margins,
                             const PAPERSOURCESELECT& source);
    // The area less twice the margin in width and height.
    static SCANAREA CutOutMarginSize(const SCANAREA& area, const AXIS& margin);
};

}  // namespace vscore
