// The error diffusion's constant tables.
#include "imagelib/VdSipErrorDiffusionTables.h"

#include <utility>

namespace {

constexpr int kInitErrPeaks[16] = {11, 79, 139, 207, 283, 351, 411, 479, 555, 623, 683, 751, 831, 891, 959, 1019};

// SplitMix64: a fixed sequence, so the noise table is the same in every run.
uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

SipDiffusionTables Build()
{
    SipDiffusionTables t{};
    for (int v = 0; v < 256; ++v) {
        t.lut_from8to10bit[v] = static_cast<int16_t>((v * 1023 + 127) / 255);
    }
    for (int i = 0; i < 1024; ++i) {
        t.INITERR[i] = -4;
    }
    for (int peak : kInitErrPeaks) {
        t.INITERR[peak] = 252;
    }
    static constexpr int16_t kLowest[4] = {-320, -352, -384, -416};
    for (int level = 0; level < 1024; ++level) {
        t.errL[level] = level < 4 ? kLowest[level] : static_cast<int16_t>(-(416 + (level * 607 + 1022) / 1023));
    }
    // Each value of -256..255 128 times, then a Fisher-Yates shuffle.
    for (int i = 0; i < 256 * 256; ++i) {
        t.threP[i] = static_cast<int16_t>(i % 512 - 256);
    }
    uint64_t state = 0x7468726550ull;
    for (uint32_t i = 256 * 256 - 1; i > 0; --i) {
        const uint32_t j = static_cast<uint32_t>(NextRandom(state) % (i + 1));
        std::swap(t.threP[i], t.threP[j]);
    }
    return t;
}

}  // namespace

const SipDiffusionTables& GetSipDiffusionTables()
{
    static const SipDiffusionTables tables = Build();
    return tables;
}
