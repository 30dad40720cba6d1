// What the colour reduction of a page converts to: the target colour type
// and the binarisation threshold that goes with it.
#pragma once

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// colorType: BLACKWHITE binarises with the threshold in value, ERRDIFFUSION
// diffuses, TRUEGRAY makes 8-bit gray; AUTOCOLOR (0) converts nothing.
// value: the threshold, or -1 where none applies.
struct COLOR_CONVERT_PARAMETER {
    COLORTYPE colorType;
    int32_t value;
};

}  // namespace vscore
