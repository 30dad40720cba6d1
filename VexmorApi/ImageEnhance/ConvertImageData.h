// Conversions between the pipeline's page descriptions and the
// image-processing library's in-memory records and codes.
#pragma once

#include "imagelib/VdImageProcessing.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Static conversions; any thread may call them.
class CConvertImageData {
public:
    // The library's input record over width x height pixels of 1, 8 or 24
    // bits in rows padded to 4 bytes (pixel kinds 7, 6 and 1; other depths
    // give kind 0 and 0 bytes per pixel). A null pointer gives a zero record.
    // The record points at the caller's pixels and owns nothing.
    static tagVDIP_INPUT_IMAGE_DATA ToInputImageData(unsigned char* pixels, unsigned int width, unsigned int height,
                                                     unsigned char bitsPerPixel);
    // The library's detection code as a result: 0 success, 3 (memory)
    // 0x10701002, any other 0x10701003.
    static VSRSLT ToVSRSLT(int32_t code);
};

}  // namespace vscore
