// The conversion class of the image-processing library: depth conversion
// between 24, 8 and 1 bits, trimming to a rectangle, bilinear rotation about
// the paper's top-left corner, combining two images, and binarisation by
// error diffusion, on images reached through IVdSipImgData.
#pragma once

#include <cstdint>

#include "imagelib/SipTypes.h"
#include "imagelib/VdSipErrorDiffusion.h"
#include "imagelib/VdSipImgData.h"

// One object per page processor; not thread-safe (the threshold is object
// state). The images are the caller's; an output receives its pixels in
// memory (GetImageDataPtr) or, where the operation allows it and an image is
// not in memory, row by row through its file (bottom row first).
//
// Brightness: a 1-bit or 8-bit image whose zero-is-white flag is set stores
// white as 0; every operation reads levels through the input's flag and
// writes them through the output's. A rotation from 1 bit to 24 bits reads
// a 1 bit as 255 whatever the input's flag.
//
// Codes: 0; 1 an image that must be in memory is not, or a row did not
// move; 2 memory or pixels missing, or an output too large to hold; 5 bad
// arguments or an unsupported depth pair; or the failing image-data call's
// code.
class CVdScnImgConv {
public:
    CVdScnImgConv() = default;
    CVdScnImgConv(const CVdScnImgConv&) = delete;
    CVdScnImgConv& operator=(const CVdScnImgConv&) = delete;

    // 1 to 254 becomes the threshold of every later binarisation (0);
    // anything else returns 5 and brings back the automatic choice: 149 for
    // 8 bits to 1 bit, 223 otherwise.
    int32_t SetBinarizationThreshold(int32_t threshold);
    int32_t GetBinarizationThreshold() const { return m_nThreshold; }

    // Same width and height; pairs 24 to 8, 24 to 1, 8 to 24, 8 to 1, 1 to
    // 24 and 1 to 8. A 1 bit is set where the level is above the threshold.
    // The scan type is carried, not read.
    int32_t ConvertColorType(IVdSipImgData* input, int32_t scanType, IVdSipImgData* output);

    // Copies rect (inclusive, input coordinates) into the output, both of
    // one depth, byte order and zero-is-white flag. A rectangle as wide as
    // the output lands at column 0; a wider one gives its left, middle or
    // right columns (alignment 0, 1, 2); a narrower one is placed left,
    // centred or right. Parts of the rectangle outside the input copy
    // nothing and leave the output white there.
    int32_t TrimRectangle(IVdSipImgData* input, const tagSIPRECT* rect, int32_t alignment, IVdSipImgData* output);

    // Rotates the page whose corners are given by angle (1/100 degree)
    // about its top-left corner into the output window of the alignment;
    // both images in memory, any pair of 1, 8 and 24 bits. Sources outside
    // the input give white; output pixels outside the window keep their
    // level. flag, reserved1, reserved2 and scanType are carried, not read.
    int32_t RotateDegree(IVdSipImgData* input, int32_t angle, const tagSIPPAPERCORNERS* corners, bool flag,
                         int32_t reserved1, int32_t reserved2, int32_t scanType, int32_t alignment,
                         IVdSipImgData* output);

    // Type 0 puts the second image right of the first, both from the top;
    // type 1 below it, each placed by the alignment. All three in memory and
    // of one depth; a source of the other polarity is complemented as it is
    // copied (the source stays unchanged).
    int32_t CombineImage(IVdSipImgData* first, IVdSipImgData* second, int32_t combineType, int32_t alignment,
                         IVdSipImgData* output);

    // An 8-bit input into a 1-bit output of the same size (else 5).
    int32_t BinarizeErrorDiffusion(IVdSipImgData* input, IVdSipImgData* output);

    // ceil of the top and left edge lengths; 5 for null pointers, 2 when a
    // size does not fit 32 bits. The angle is not read.
    static int32_t GetRotatedImageSize(int32_t angle, const tagSIPPAPERCORNERS* corners, int32_t* width,
                                       int32_t* height);
    // Columns (w1 + w2, max h), rows (max w, h1 + h2); 5 for null pointers,
    // 2 when a size does not fit 32 bits.
    static int32_t GetCombinedImageSize(int32_t width1, int32_t height1, int32_t width2, int32_t height2,
                                        int32_t combineType, int32_t* width, int32_t* height);

private:
    void ChooseThreshold(int32_t inputBits, int32_t outputBits);

    CVdSipErrorDiffusion m_errorDiffusion;
    uint8_t m_bUserThreshold = 0;
    uint8_t m_nThreshold = 223;
};
