// Right-angle rotation of in-memory images: quarter and half turns with one
// kernel per pixel depth (1, 8, 24 and 32 bits).
#pragma once

#include "vdtcl/CTImgDataInfo.h"

namespace vdtcl {

// Stateless; one object may be used from several threads on different images.
class CTRotImage {
public:
    // Turn asked of RotateImage. The senses of 1 and 2 hold for swapSense
    // false; true exchanges them.
    using rotimg_t = int;
    static constexpr rotimg_t kRotNone = 0;
    static constexpr rotimg_t kRotQuarterClockwise = 1;
    static constexpr rotimg_t kRotQuarterCounterClockwise = 2;
    static constexpr rotimg_t kRotHalf = 3;

    // Mirror asked of FlipImage.
    using flipimg_t = int;
    static constexpr flipimg_t kFlipHorizontal = 0;
    static constexpr flipimg_t kFlipVertical = 1;

    CTRotImage() = default;
    virtual ~CTRotImage();

    // Turns source into destination. A destination without memory gets memory
    // for the turned image (same type, offset 0); one that already has memory
    // must hold exactly the turned image's type and size, and must not share
    // the source's memory. The destination's whole memory is zeroed first, so
    // every row padding byte is 0. Turn 0 copies the pixel rows; a half turn
    // without a destination turns the source in place; a quarter turn needs a
    // destination. False on bad input; the source is then unchanged.
    bool RotateImage(CTImgDataBox& source, rotimg_t turn, CTImgDataBox* destination, bool swapSense);

    // Mirroring is not provided: always false, and no pixel changes.
    bool FlipImage(CTImgDataBox& source, flipimg_t flip, CTImgDataBox* destination);
};

}  // namespace vdtcl
