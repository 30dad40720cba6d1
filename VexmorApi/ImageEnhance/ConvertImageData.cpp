// The library's in-memory input record and detection codes.
#include "VexmorApi/ImageEnhance/ConvertImageData.h"

#include <cstdint>

namespace vscore {

tagVDIP_INPUT_IMAGE_DATA CConvertImageData::ToInputImageData(unsigned char* pixels, unsigned int width,
                                                             unsigned int height, unsigned char bitsPerPixel)
{
    tagVDIP_INPUT_IMAGE_DATA record{};
    if (pixels == nullptr) {
        return record;
    }
    uint64_t const stride = ((uint64_t{width} * bitsPerPixel + 7) / 8 + 3) & ~uint64_t{3};
    record.pixels = pixels;
    record.width = width;
    // A row beyond 32 bits cannot be described; the library refuses stride 0.
    record.stride = stride > UINT32_MAX ? 0 : static_cast<uint32_t>(stride);
    record.height = height;
    switch (bitsPerPixel) {
    case 8:
        record.colorType = 6;
        record.bytesPerPixel = 1;
        break;
    case 24:
        record.colorType = 1;
        record.bytesPerPixel = 3;
        break;
    case 1:
        record.colorType = 7;
        record.bytesPerPixel = 1;
        break;
    default:
        record.colorType = 0;
        record.bytesPerPixel = 0;
        break;
    }
    return record;
}

VSRSLT CConvertImageData::ToVSRSLT(int32_t code)
{
    switch (code) {
    case 0:
        return 0;
    case 3:
        return 0x10701002;
    default:
        return 0x10701003;
    }
}

}  // namespace vscore
