// Sizes and field offsets of the libjpeg structures the binders touch, as a
// flat record of size_t values so that two layouts compare field by field.
#pragma once

#include <cstddef>

struct JpegLayout {
    size_t decompressSize, compressSize, errorMgrSize, sourceMgrSize;
    size_t dSrc, dImageWidth, dNumComponents, dOutColorSpace, dOutputWidth, dOutputComponents;
    size_t cDest, cImageWidth, cInputComponents, cInColorSpace, cWriteJfif, cDensityUnit, cXDensity, cYDensity;
    size_t errNumWarnings, srcFill;
};

// The record for decompressor D, compressor C, error manager E, source S.
#define JPEG_LAYOUT_OF(D, C, E, S)                                                                                \
    JpegLayout                                                                                                    \
    {                                                                                                             \
        sizeof(D), sizeof(C), sizeof(E), sizeof(S), offsetof(D, src), offsetof(D, image_width),                   \
            offsetof(D, num_components), offsetof(D, out_color_space), offsetof(D, output_width),                 \
            offsetof(D, output_components), offsetof(C, dest), offsetof(C, image_width),                          \
            offsetof(C, input_components), offsetof(C, in_color_space), offsetof(C, write_JFIF_header),           \
            offsetof(C, density_unit), offsetof(C, X_density), offsetof(C, Y_density), offsetof(E, num_warnings), \
            offsetof(S, fill_input_buffer)                                                                        \
    }

JpegLayout SystemJpegLayout62();
JpegLayout SystemJpegLayout80();
