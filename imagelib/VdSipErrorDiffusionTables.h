// Constant tables of the error diffusion: 8-bit to 10-bit levels, the
// initial error pattern, the lowest error kept per level and the
// position-dependent threshold noise.
#pragma once

#include <cstdint>

struct SipDiffusionTables {
    // v x 1023 / 255, rounded.
    int16_t lut_from8to10bit[256];
    // -4 everywhere except 252 at sixteen positions; sums to 0.
    int16_t INITERR[1024];
    // Lowest error kept after a pixel, by 10-bit input level.
    int16_t errL[1024];
    // Threshold noise, indexed (row & 255) x 256 + (column & 255): every value
    // from -256 to 255 exactly 128 times, in a fixed shuffled order.
    int16_t threP[256 * 256];
};

// Built once; safe from any thread.
const SipDiffusionTables& GetSipDiffusionTables();
