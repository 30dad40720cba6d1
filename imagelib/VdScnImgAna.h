// The analysis class of the image-processing library: skew from the paper
// corners, the rectangle inside them, and the blank and colour analyses of
// an image reached through IVdSipImgData (in memory or row by row).
#pragma once

#include <cstdint>

#include "imagelib/SipTypes.h"
#include "imagelib/VdSipImgData.h"

// One object per page processor; not thread-safe (the skip distance is
// object state). Results: 0 nothing, 1 black and white, 2 gray, 3 colour,
// 4 blank. Codes: 0, 1 area smaller than one cell or a row the file did not
// deliver, 2 memory or pixels missing, 4 unsupported depth, 5 bad argument,
// or the code of a failed image-data call.
class CVdScnImgAna {
public:
    CVdScnImgAna() = default;

    // Skew in 1/100 degree; 5 when a pointer is null.
    int32_t AnalyzePaperCorners(const tagSIPPAPERCORNERS* corners, int32_t* skew);
    // The rectangle inside the corners, moved inward by the skip distance.
    void GetRectInsidePaperCorners(tagSIPRECT* rect, const tagSIPPAPERCORNERS* corners);
    // Sets the skip distance from the image's horizontal resolution (pixels
    // per metre / 39.4, rounded, x 114 / 300), then runs mode 0 (blank), 1
    // (colour) or 2 (blank then colour) inside the corners.
    int32_t AnalyzeComponent(IVdSipImgData* image, int32_t mode, int32_t* result, const tagSIPPAPERCORNERS* corners,
                             const tagSIPDETECTBLANKSETTING* blank, const tagSIPDETECTCOLORTYPESETTING* color);
    int32_t AnalyzeComponentBlankAndColor(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect, int32_t mode,
                                          const tagSIPDETECTBLANKSETTING* blank,
                                          const tagSIPDETECTCOLORTYPESETTING* color);
    // 1, 8 and 24 bits; 24-bit pixels in the image's byte order.
    int32_t AnalyzeComponentBlank(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect,
                                  const tagSIPDETECTBLANKSETTING* blank);
    // 24 bits only.
    int32_t AnalyzeComponentColor(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect,
                                  const tagSIPDETECTCOLORTYPESETTING* color);
    static int32_t GetAnalyzedComponentResultFromBitsPerPixel(int32_t bits);

    int32_t GetSkipPixel() const { return m_nSkipPixel; }

private:
    int32_t m_nSkipPixel = 114;
};
