// The one BMP file layout of the whole stack, shared by the engine's page
// bitmaps and the image library's BMP reader and writer: header sizes, the
// file offsets of the header fields, palette sizes and the conversion of the
// resolution fields between pixels per metre and dots per inch.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vdtcl {
namespace bmp {

// All fields little-endian: a 14-byte file header ("BM", file size, two
// reserved words, pixel data offset), a 40-byte information header (size 40,
// width, height > 0 for rows stored bottom row first, planes 1, bits per
// pixel, compression 0, pixel data size, resolutions in pixels per metre,
// palette entries used, important colours), the palette (blue, green, red,
// 0 per entry) and rows of 4-byte multiples; 24-bit pixels are blue, green,
// red.
constexpr unsigned kFileHeaderSize = 14;
constexpr unsigned kInfoHeaderSize = 40;
constexpr unsigned kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr unsigned kPaletteEntrySize = 4;

// File offsets of the header fields.
constexpr size_t kFileSizeField = 2;
constexpr size_t kPixelOffsetField = 10;
constexpr size_t kInfoSizeField = 14;
constexpr size_t kWidthField = 18;
constexpr size_t kHeightField = 22;
constexpr size_t kPlanesField = 26;
constexpr size_t kBitCountField = 28;
constexpr size_t kCompressionField = 30;
constexpr size_t kImageSizeField = 34;
constexpr size_t kXPelsPerMeterField = 38;
constexpr size_t kYPelsPerMeterField = 42;
constexpr size_t kColorsUsedField = 46;
constexpr size_t kColorsImportantField = 50;

// Palette entries of a depth: 1 -> 2, 2 -> 4, 4 -> 16, 8 -> 256, anything
// else 0.
constexpr unsigned PaletteEntries(unsigned bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

// Headers and palette of a depth: where its pixel data starts.
constexpr unsigned HeaderSize(unsigned bitsPerPixel)
{
    return kHeadersSize + kPaletteEntrySize * PaletteEntries(bitsPerPixel);
}

// (dpi x 10000 + 9) / 254, divided in single precision and truncated; 0 for 0.
inline uint32_t DotsPerInchToPixelsPerMetre(uint32_t dpi)
{
    if (dpi == 0) {
        return 0;
    }
    uint64_t const sum = static_cast<uint64_t>(dpi) * 10000 + 9;
    float const ppm = static_cast<float>(sum) / 254.0f;
    return ppm >= 4294967295.0f ? UINT32_MAX : static_cast<uint32_t>(ppm);
}

// (ppm x 254 + 25.4) / 10000 rounded, at most 65535; 0 for 0.
inline uint16_t PixelsPerMetreToDotsPerInch(uint32_t ppm)
{
    if (ppm == 0) {
        return 0;
    }
    uint32_t const product = ppm * 254u;  // kept to 32 bits like the stored fields
    double const dpi = std::round((product + 25.4) / 10000.0);
    return dpi >= 65535.0 ? 65535 : static_cast<uint16_t>(dpi);
}

}  // namespace bmp
}  // namespace vdtcl
