// Right-angle turns of page bitmaps for the enhancement step and the 1-bit
// width fitting: quarter turns either way and half turns, through
// vdtcl::CTRotImage.
#pragma once

#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Temp/ImageProcParam.h"
#include "vdtcl/CTRotImage.h"

namespace vscore {

// A stateless step object; any thread may use its own. Each operation takes
// the page and returns the turned one (a new page with the same resolution
// and colour type, rows padded to 4 bytes); an empty pointer stays empty.
// A turn that fails throws TraceException Other "Failed to rotate image.":
// a page is never lost to an empty result.
class CRotateImage {
public:
    CRotateImage() = default;
    virtual ~CRotateImage() = default;

    // Orientation 1 a quarter turn clockwise, 2 counter-clockwise, 3 a half
    // turn; any other value returns the page unchanged.
    std::unique_ptr<BitmapImage> RotateImage(std::unique_ptr<BitmapImage> page, IMAGEPROC_ORIENT_TYPE orientation);
    // The turn asked of vdtcl::CTRotImage (its senses, not swapped); turn 0
    // returns the page unchanged.
    std::unique_ptr<BitmapImage> Rotate(std::unique_ptr<BitmapImage> page, vdtcl::CTRotImage::rotimg_t turn);

    // 1, 2 and 3 to the same turns; anything else 0.
    static vdtcl::CTRotImage::rotimg_t ConvertRotateAngle(IMAGEPROC_ORIENT_TYPE orientation);
    // The image box colour code of a colour type: 0, 1, 2 and 24; -1 for
    // values outside the four types.
    static vdtcl::CTImgDataInfo::imgclr_t CovertColorType(ImageInfo::ColorType colorType);

protected:
    // Turns one image box into another; false when it cannot. Tests replace
    // it to make a turn fail.
    virtual bool RotateBox(vdtcl::CTImgDataBox& source, vdtcl::CTRotImage::rotimg_t turn,
                           vdtcl::CTImgDataBox* destination);
};

}  // namespace vscore
