// Blank/colour component analysis and paper-corner geometry over an image
// held in memory: the functions behind the detection entry point.
#pragma once

#include <atomic>
#include <cstdint>

#include "imagelib/SipTypes.h"

// An image in memory as the detection entry point hands it to the analysis.
// colorType: 1 24-bit colour (bytesPerPixel 3 or more, the first three bytes
// of each pixel used), 6 8-bit gray (bytesPerPixel 1), 7 1-bit.
struct tagSIPANALYZEIMAGE {
    const uint8_t* pixels;  // top row first
    uint32_t width;
    uint32_t stride;  // bytes per row
    uint32_t height;
    int32_t colorType;
    int32_t bytesPerPixel;
    int32_t xDpi;
    int32_t yDpi;
};

// Skew of the page in 1/100 degree, measured along its longer top or left
// edge; 0 within half a degree. 5 when a pointer is null, else 0.
int32_t AnalyzePaperCorners(const tagSIPPAPERCORNERS* corners, int32_t* skew);

// The rectangle the analyses examine: the span of the corners, each side
// moved inward by skip pixels (the analyses clamp it to the image).
void GetRectInsidePaperCorners(tagSIPRECT* rect, const tagSIPPAPERCORNERS* corners, int32_t skip);

// Mode 0 blank only, 1 colour only, 2 blank then colour. Writes 0 (nothing),
// 1 black and white, 2 gray, 3 colour or 4 blank to result. Codes: 0, 3 out
// of memory or no pixels, 4 unsupported depth, 5 bad argument, 6 area smaller
// than one cell. The skip distance comes from the image's horizontal dpi
// (114 at 300 dpi; 0 without a resolution). Any thread; the image is only
// read.
int32_t AnalyzeComponent(const tagSIPANALYZEIMAGE* image, int32_t mode, const tagSIPDETECTBLANKSETTING* blank,
                         const tagSIPDETECTCOLORTYPESETTING* color, int32_t* result, const tagSIPPAPERCORNERS* corners);
int32_t AnalyzeComponentBlankAndColor(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                                      int32_t mode, const tagSIPDETECTBLANKSETTING* blank,
                                      const tagSIPDETECTCOLORTYPESETTING* color);
// 24-bit pixels are read as red, green, blue.
int32_t AnalyzeComponentBlank(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                              const tagSIPDETECTBLANKSETTING* blank);
// 24-bit only; pixels are read as blue, green, red.
int32_t AnalyzeComponentColor(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                              const tagSIPDETECTCOLORTYPESETTING* color);

// 1 gives 1, 8 gives 2, 24 gives 3, every other value 0.
int32_t GetAnalyzedComponentResultFromBitsPerPixel(int32_t bits);

// Mirrors of the latest analysis's image and skip distance. Nothing reads
// them: every analysis takes these values from its own arguments, so
// analyses on several threads do not meet.
struct SipImageInfoMirror {
    std::atomic<int32_t> width{0};
    std::atomic<int32_t> height{0};
    std::atomic<int32_t> bitsPerPixel{0};
    std::atomic<int32_t> xDpi{0};
    std::atomic<int32_t> yDpi{0};
};
extern SipImageInfoMirror sSipImageInfo;
extern std::atomic<int32_t> m_nSkipPixel;
