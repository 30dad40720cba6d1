// Records shared by the image-processing library's classes: the image
// description, points, rectangles and paper corners, the analysis settings
// and results, and the library's own small result codes.
#pragma once

#include <cstdint>

// Result codes of the library's classes (the C entry points have their own,
// tagVDIP_APPERROR).
enum SipCode : int32_t {
    kSipOk = 0,
    kSipNotInMemory = 1,  // an image is not in memory, or a file step failed
    kSipNoMemory = 2,     // memory or pixels missing
    kSipNoMemoryC = 3,    // memory, as the C entry points report it
    kSipUnsupported = 4,  // unsupported depth or colour type, wrong signature
    kSipBadArgument = 5,
    kSipAreaTooSmall = 6,  // analysis area smaller than one cell (C entry points)
    kSipOpenFailed = 6,    // a file cannot be opened
    kSipStreamOpen = 7,
    kSipNotOpened = 8,
    kSipAlreadyOpened = 9,
    kSipImageExists = 10,
    kSipNothingToWrite = 11,
};

// The byte order of 24-bit pixels: 0 blue, green, red; any other value red,
// green, blue.
enum _SIPRGBORDER : int32_t {
    kSipOrderBgr = 0,
    kSipOrderRgb = 1,
};

// One image as the library sees it. Resolutions are pixels per metre.
// zeroIsWhite: for 1-bit images a 0 bit is white, for 8-bit images level 0
// is white and 255 black.
struct tagSIPIMAGEINFO {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;  // 1, 8 or 24
    int32_t xResolution;
    int32_t yResolution;
    int32_t rgbOrder;  // _SIPRGBORDER
    int32_t zeroIsWhite;
};

struct tagSIPPOINT {
    int32_t x;
    int32_t y;
};

// Inclusive pixel coordinates.
struct tagSIPRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct tagSIPPAPERCORNERS {
    tagSIPPOINT topLeft;
    tagSIPPOINT topRight;
    tagSIPPOINT bottomLeft;
    tagSIPPOINT bottomRight;
};

enum _SIPANALYZEDCOMPONENTRESULT : int32_t {
    kSipComponentNone = 0,
    kSipComponentMono = 1,
    kSipComponentGray = 2,
    kSipComponentColor = 3,
    kSipComponentBlank = 4,
};

enum _SIPANALYZECOMPONENTSETTING : int32_t {
    kSipAnalyzeBlank = 0,
    kSipAnalyzeColor = 1,
    kSipAnalyzeBlankAndColor = 2,
};

// Blank detection. Thresholds are per 10000; low and high values are carried
// and not read.
struct tagSIPDETECTBLANKSETTING {
    int32_t referenceResolution;
    int32_t cellWidth;
    int32_t cellHeight;
    int32_t histogramShift;
    int32_t low8And24;
    int32_t pageThreshold8And24;  // also the threshold of every cell
    int32_t high8And24;
    int32_t low1;
    int32_t pageThreshold1;
    int32_t high1;
    int32_t levelWindow;
};

// Colour detection. Chroma and gray bounds are levels; page thresholds are
// per 10000; the background tolerance is in histogram bins (in-memory form)
// or levels (class form).
struct tagSIPDETECTCOLORTYPESETTING {
    int32_t referenceResolution;
    int32_t cellWidth;
    int32_t cellHeight;
    int32_t histogramShift;
    int32_t unused1;
    int32_t unused2;
    int32_t chromaLow;
    int32_t chromaHigh;
    int32_t unused3;
    int32_t unused4;
    int32_t grayLow;
    int32_t grayHigh;
    int32_t monoCellThreshold;
    int32_t colorPageThreshold;
    int32_t grayPageThreshold;
    int32_t backgroundTolerance;
};

// Where an image narrower (or shorter) than its target goes, and which part
// of a wider one is taken.
enum _SIPIMGALIGN : int32_t {
    kSipAlignLeft = 0,  // or top
    kSipAlignCenter = 1,
    kSipAlignRight = 2,  // or bottom
};

enum _SIPCOMBINETYPE : int32_t {
    kSipCombineColumns = 0,  // side by side
    kSipCombineRows = 1,     // one above the other
};

// The kind of page a job asks for.
enum _SIPSCNTYPE : int32_t {
    kSipScanMono = 1,            // 1 bit at a threshold
    kSipScanErrorDiffusion = 2,  // 1 bit by error diffusion
    kSipScanTrueGray = 3,        // 8 bits
    kSipScanColor = 5,           // 24 bits
    kSipScanAutoColor = 6,       // the depth of the analysed content
};

// The largest image the library keeps in memory or accepts from a file.
constexpr uint64_t kSipMaxImageBytes = uint64_t{2} << 30;

// Bytes per stored row: padded to a multiple of 4.
constexpr uint64_t SipStride(uint64_t width, uint64_t bitsPerPixel)
{
    return ((width * bitsPerPixel + 7) / 8 + 3) & ~3ull;
}

// The byte of an all-white row: 0 where a zero-is-white image of 1 or 8 bits
// stores white, else 255.
constexpr uint8_t SipWhiteByte(const tagSIPIMAGEINFO& info)
{
    return info.zeroIsWhite != 0 && info.bitsPerPixel <= 8 ? 0x00 : 0xFF;
}
