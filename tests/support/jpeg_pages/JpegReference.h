// libjpeg as the reference: decoding from memory with the slow integer DCT
// and plain (replicating) upsampling, reading the quantised coefficients, and
// encoding 4-component (CMYK or YCCK) files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JpegPages.h"

namespace jpeg_pages {

// Output colour of the reference decode.
enum class RefColour {
    AsCoded,  // the stored components as they are (YCbCr, CMYK ... unconverted)
    Rgb,      // 3-component files as RGB; gray stays gray
    Cmyk,     // 4-component files: YCCK converted to CMYK, CMYK as stored
};

// Decodes a whole file; false (with libjpeg's message) when libjpeg refuses it.
bool RefDecode(std::vector<uint8_t> const& jpeg, RefColour colour, Raster* out, std::string* error);

// The coefficients of every block times its quantisation table, per
// component, in natural order, over the block grid libjpeg keeps (padded to
// whole MCUs for interleaved scans).
struct RefComponent {
    unsigned blocksWide = 0;
    unsigned blocksHigh = 0;
    std::vector<int32_t> products;  // 64 per block, rows of blocks
};
bool RefCoefficients(std::vector<uint8_t> const& jpeg, std::vector<RefComponent>* out, std::string* error);

// A 4-component raster encoded by libjpeg as CMYK (Adobe transform 0) or
// YCCK (transform 2).
std::vector<uint8_t> RefEncodeFourComponents(Raster const& raster, bool ycck, int quality);

}  // namespace jpeg_pages
