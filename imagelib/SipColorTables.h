// Luminance and chroma tables of the analyses and conversions: Y, Cb and Cr
// contributions of each byte of a 24-bit pixel, picked by its byte order.
#pragma once

#include <cstdint>

// Each table holds 768 entries, 256 per source channel in the order red,
// green, blue; entry v of a channel is its coefficient x 256 x v, rounded.
// A pixel's Y is (sum of its three entries) >> 8; Cb and Cr are the sums >> 8
// plus 128.
struct SipColorTables {
    int64_t y[768];
    int64_t cb[768];
    int64_t cr[768];
};

// The tables, built once; safe from any thread.
const SipColorTables& GetSipColorTables();

// The per-byte tables for one byte order: y[k], cb[k], cr[k] serve byte k of
// a pixel (k = 0, 1, 2). Each points at 256 entries of GetSipColorTables().
struct SipByteLut {
    const int64_t* y[3];
    const int64_t* cb[3];
    const int64_t* cr[3];
};

// order 0 (_SIPRGBORDER) means bytes blue, green, red; any other value red,
// green, blue.
void SetLutByRgbOrder(SipByteLut* lut, int32_t order);

// Y, Cb and Cr of one pixel through a byte table.
inline int32_t SipLuminance(const SipByteLut& lut, const uint8_t* p)
{
    return static_cast<int32_t>((lut.y[0][p[0]] + lut.y[1][p[1]] + lut.y[2][p[2]]) >> 8);
}
inline int32_t SipChromaBlue(const SipByteLut& lut, const uint8_t* p)
{
    return static_cast<int32_t>(((lut.cb[0][p[0]] + lut.cb[1][p[1]] + lut.cb[2][p[2]]) >> 8) + 128);
}
inline int32_t SipChromaRed(const SipByteLut& lut, const uint8_t* p)
{
    return static_cast<int32_t>(((lut.cr[0][p[0]] + lut.cr[1][p[1]] + lut.cr[2][p[2]]) >> 8) + 128);
}
