// Pixel access shared by the conversion class's operations: bits of 1-bit
// rows, levels through an image's zero-is-white flag, the output writers of
// each depth and the description checks. Internal to the image-processing
// library.
#pragma once

#include <cstdint>
#include <type_traits>

#include "imagelib/SipColorTables.h"
#include "imagelib/SipTypes.h"
#include "imagelib/VdSipImgData.h"

namespace sippixels {

inline bool GetBit(const uint8_t* row, int64_t x) { return ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0; }

inline void PutBit(uint8_t* row, int64_t x, bool bit)
{
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
    if (bit) {
        row[x >> 3] |= mask;
    } else {
        row[x >> 3] &= static_cast<uint8_t>(~mask);
    }
}

// A brightness (255 white) as an image of the flag stores it, and back.
inline uint8_t Stored(uint8_t level, bool zeroIsWhite)
{
    return zeroIsWhite ? static_cast<uint8_t>(255 - level) : level;
}

// Calls run with the depth as a compile-time constant (1, 8, else 24).
template <class Run>
int32_t WithDepth(int32_t bits, Run run)
{
    if (bits == 1) {
        return run(std::integral_constant<int, 1>{});
    }
    if (bits == 8) {
        return run(std::integral_constant<int, 8>{});
    }
    return run(std::integral_constant<int, 24>{});
}

inline bool SupportedDepth(int32_t bits) { return bits == 1 || bits == 8 || bits == 24; }

// The image's description when it has pixels of a supported depth; else 5
// (or the code of GetImageInfo).
inline int32_t Describe(IVdSipImgData* image, tagSIPIMAGEINFO* info)
{
    if (image == nullptr) {
        return kSipBadArgument;
    }
    if (const int code = image->GetImageInfo(info); code != kSipOk) {
        return code;
    }
    if (info->width <= 0 || info->height <= 0 || !SupportedDepth(info->bitsPerPixel)) {
        return kSipBadArgument;
    }
    return kSipOk;
}

inline uint64_t Stride(const tagSIPIMAGEINFO& info)
{
    return SipStride(static_cast<uint64_t>(info.width), static_cast<uint64_t>(info.bitsPerPixel));
}

// Writes output pixels of kBits from a brightness or, for 24-bit sources,
// from three channels in the source's byte order.
template <int kBits>
struct Writer {
    bool zeroIsWhite;
    uint8_t threshold;  // a 1 bit where the brightness is above it
    SipByteLut lut;     // luminance of three-channel sources

    void Gray(uint8_t* row, int64_t x, uint8_t level) const
    {
        if constexpr (kBits == 24) {
            uint8_t* p = row + 3 * x;
            p[0] = p[1] = p[2] = level;
        } else if constexpr (kBits == 8) {
            row[x] = Stored(level, zeroIsWhite);
        } else {
            PutBit(row, x, (level > threshold) != zeroIsWhite);
        }
    }
    void Colour(uint8_t* row, int64_t x, uint8_t c0, uint8_t c1, uint8_t c2) const
    {
        if constexpr (kBits == 24) {
            uint8_t* p = row + 3 * x;
            p[0] = c0;
            p[1] = c1;
            p[2] = c2;
        } else {
            Gray(row, x, static_cast<uint8_t>((lut.y[0][c0] + lut.y[1][c1] + lut.y[2][c2]) >> 8));
        }
    }
};

template <int kBits>
Writer<kBits> MakeWriter(const tagSIPIMAGEINFO& output, int32_t sourceOrder, uint8_t threshold)
{
    Writer<kBits> writer{output.zeroIsWhite != 0, threshold, {}};
    SetLutByRgbOrder(&writer.lut, sourceOrder);
    return writer;
}

}  // namespace sippixels
