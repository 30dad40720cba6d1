// The enhancement of one decoded page: blank and colour detection, colour
// reduction, fitting to the paper size, appended length, rotation and edge
// fill, each when the page's enhancement parameters ask for it.
#pragma once

#include <memory>
#include <utility>

#include "VexmorApi/ImageEnhance/ColorConvertParameter.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Temp/ImageProcParam.h"
#include "VexmorApi/Utilities/Exception.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Stateless; the enhancement task calls it on its own thread for one page,
// and pages run in parallel (the image-processing library's file-to-file
// runs are serialised inside VdScnImgProcessor).
class CImageEnhance {
public:
    CImageEnhance() = default;
    virtual ~CImageEnhance() = default;

    // Replaces page by the enhanced page, or empties it when the page is
    // blank. Throws TraceException: for an empty page (InvalidArgument), from
    // detection, rotation and the geometric steps, and "Failed to Image
    // Enhance." when the colour reduction reports a non-zero result (its type
    // by ConvertToExceptionType). After a throw page is no result and may
    // be empty.
    static void EnhanceImageQualityFromScanImage(std::unique_ptr<BitmapImage>& page,
                                                 _IMAGEPROC_PARAM const& parameters);

    // Whether the page is to be reduced: automatic colour when the detected
    // colour is black and white or gray; black and white or error diffusion
    // of an 8- or 24-bit page; true gray of a 24-bit page.
    static bool ShouldConvertColor(IMAGEPROC_USER_COLORTYPE user, DETECTED_COLOR detected, unsigned char bitsPerPixel);
    // The colour reduction's target and threshold for the parameters.
    static COLOR_CONVERT_PARAMETER CreateColorConvertParameter(_IMAGEPROC_PARAM const& parameters);
    // The split of amount between the left and the right side: all right for
    // paper at the left (0), all left for paper at the right (2), else half
    // (rounded down) left.
    static std::pair<unsigned int, unsigned int> GetPairOfLeftAndRight(IMAGEPROC_PAPER_POSITION position,
                                                                       unsigned int amount);
    // Appends the requested length, when asked, then turns the page by its
    // orientation. Returns the result code (0) and the orientation applied.
    static std::pair<VSRSLT, IMAGEPROC_ORIENT_TYPE> ShapeAndRotateImage(std::unique_ptr<BitmapImage>& page,
                                                                        _IMAGEPROC_PARAM const& parameters);
    // The exception type of a failed enhancement's result code.
    static Exception::Type ConvertToExceptionType(VSRSLT result);
};

}  // namespace vscore
