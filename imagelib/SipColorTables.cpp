// Luminance and chroma tables (ITU-R BT.601 coefficients, 8 fraction bits).
#include "imagelib/SipColorTables.h"

#include <cmath>

namespace {

constexpr double kY[3] = {0.299, 0.587, 0.114};
constexpr double kCb[3] = {-0.169, -0.331, 0.5};
constexpr double kCr[3] = {0.5, -0.419, -0.081};

SipColorTables Build()
{
    SipColorTables tables{};
    for (int channel = 0; channel < 3; ++channel) {
        for (int v = 0; v < 256; ++v) {
            tables.y[channel * 256 + v] = std::llround(kY[channel] * 256.0 * v);
            tables.cb[channel * 256 + v] = std::llround(kCb[channel] * 256.0 * v);
            tables.cr[channel * 256 + v] = std::llround(kCr[channel] * 256.0 * v);
        }
    }
    return tables;
}

}  // namespace

const SipColorTables& GetSipColorTables()
{
    static const SipColorTables tables = Build();
    return tables;
}

void SetLutByRgbOrder(SipByteLut* lut, int32_t order)
{
    if (lut == nullptr) {
        return;
    }
    const SipColorTables& t = GetSipColorTables();
    // Source channel (0 red, 1 green, 2 blue) of each pixel byte.
    static constexpr int kBgr[3] = {2, 1, 0};
    static constexpr int kRgb[3] = {0, 1, 2};
    const int* channel = order == 0 ? kBgr : kRgb;
    for (int k = 0; k < 3; ++k) {
        lut->y[k] = t.y + channel[k] * 256;
        lut->cb[k] = t.cb + channel[k] * 256;
        lut->cr[k] = t.cr + channel[k] * 256;
    }
}
