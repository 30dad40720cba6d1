// The blank and colour analyses and the paper-corner geometry shared by the
// in-memory analysis functions and the analysis class: one implementation
// over a source of rows, with the few points where the two forms differ
// passed in as a variant. Internal to the image-processing library.
#pragma once

#include <cstdint>

#include "imagelib/SipColorTables.h"
#include "imagelib/SipTypes.h"

namespace sipanalysis {

// The rows of one image for one pass, asked for in increasing order.
class RowSource {
public:
    virtual ~RowSource() = default;
    // Starts a pass: 0, or the code the analysis returns.
    virtual int32_t Begin() = 0;
    // Row y of the pass; null when it cannot be had.
    virtual const uint8_t* Row(int64_t y) = 0;
    virtual void End() = 0;
    // Whole image in memory (the background estimate then takes every fourth
    // row; from a file it takes every row).
    virtual bool InMemory() const = 0;
};

// An image in memory; the caller keeps the pixels alive.
class MemoryRows : public RowSource {
public:
    MemoryRows(const uint8_t* pixels, uint64_t stride) : pixels_(pixels), stride_(stride) {}
    int32_t Begin() override { return kSipOk; }
    const uint8_t* Row(int64_t y) override { return pixels_ + static_cast<uint64_t>(y) * stride_; }
    void End() override {}
    bool InMemory() const override { return true; }

private:
    const uint8_t* pixels_;
    uint64_t stride_;
};

// What the analyses need to know of an image.
struct Image {
    int64_t width;
    int64_t height;
    int32_t bitsPerPixel;  // 1, 8 or 24
    int32_t pixelStep;     // bytes from one 24-bit pixel to the next (3 or 4)
    int32_t dpi;           // horizontal dots per inch; sizes the cells
    bool oneBitZeroIsWhite;
    SipByteLut blankLut;  // luminance of 24-bit pixels in the blank analysis
    SipByteLut colorLut;  // luminance and chroma in the colour analysis
};

// The points where the in-memory functions and the class differ.
struct Variant {
    int32_t noMemory;      // code for a failed allocation
    int32_t areaTooSmall;  // code for an area smaller than one cell
    // Class: the background tolerance is in levels (shifted into bins) and a
    // channel's window ends at the last bin; in memory it is in bins and may
    // reach one past the last bin.
    bool toleranceInLevels;
    // Class: the colour page ratio counts every cell of the grid; in memory
    // only the classified cells.
    bool colorRatioOverGrid;
};

constexpr Variant kInMemory{kSipNoMemoryC, kSipAreaTooSmall, false, false};
constexpr Variant kClass{kSipNoMemory, kSipNotInMemory, true, true};

// Code for a row that a file could not deliver.
constexpr int32_t kRowFailure = kSipNotInMemory;

// Distance between two corners: the squared differences summed in single
// precision, the square root taken in double precision.
double EdgeLength(const tagSIPPOINT& a, const tagSIPPOINT& b);

// Skew of the page in 1/100 degree from its corners, 0 within half a degree.
int32_t SkewFromCorners(const tagSIPPAPERCORNERS& corners);

// The rectangle inside the corners, each side moved inward by skip pixels.
tagSIPRECT RectInsideCorners(const tagSIPPAPERCORNERS& corners, int64_t skip);

// Skip distance at a horizontal resolution of dpi: dpi x 114 / 300, or 114
// when that product does not fit 32 bits.
int32_t SkipDistance(int64_t dpi);

// The blank analysis: result 4 (blank) or the depth's colour kind.
int32_t AnalyzeBlank(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                     const tagSIPDETECTBLANKSETTING& setting, int32_t* result);

// The colour analysis of a 24-bit image: result 1, 2 or 3.
int32_t AnalyzeColor(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                     const tagSIPDETECTCOLORTYPESETTING& setting, int32_t* result);

// Mode 2 runs the blank analysis first and stops at a failure or a blank
// page; modes 1 and 2 then run the colour analysis.
int32_t AnalyzeBlankAndColor(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                             int32_t mode, const tagSIPDETECTBLANKSETTING& blank,
                             const tagSIPDETECTCOLORTYPESETTING& color, int32_t* result);

// 1 gives 1, 8 gives 2, 24 gives 3, every other value 0.
int32_t ResultFromBitsPerPixel(int32_t bits);

}  // namespace sipanalysis
