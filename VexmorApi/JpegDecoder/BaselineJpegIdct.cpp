// The baseline decoder's inverse DCT: a separable fixed-point transform with
// 16 fractional bits, computed in 64-bit integers. Where the processor has
// AVX2 and a block's values are small enough that no intermediate leaves 32
// bits, the same arithmetic runs on 8 rows at once with identical results.
#include <cstring>

#include "VexmorApi/JpegDecoder/BaselineJpegContext.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define JD_HAVE_AVX2_PATH 1
#endif

namespace baseline_jpeg {

namespace {

// Multipliers of the 1-D transform, 16 fractional bits.
constexpr int64_t C4 = 46341;
constexpr int64_t S2 = 25080;
constexpr int64_t C2 = 60547;
constexpr int64_t C1 = 64277;
constexpr int64_t S1 = 12785;
constexpr int64_t C3 = 54491;
constexpr int64_t S3 = 36410;
constexpr int64_t kHalf = 32768;

// The 1-D transform of x0..x7; y_i goes to out[i * kStep].
template <int kStep>
inline void Transform(int64_t x0, int64_t x1, int64_t x2, int64_t x3, int64_t x4, int64_t x5, int64_t x6, int64_t x7,
                      int64_t* out)
{
    int64_t const a = (x0 + x4) * C4;
    int64_t const b = (x0 - x4) * C4;
    int64_t const c = x2 * S2 - x6 * C2;
    int64_t const d = x6 * S2 + x2 * C2;
    int64_t const e0 = a + d;
    int64_t const e1 = b + c;
    int64_t const e2 = b - c;
    int64_t const e3 = a - d;
    int64_t const h = ((x3 + x5) * C4 + kHalf) >> 16;
    int64_t const g = ((x3 - x5) * C4 + kHalf) >> 16;
    int64_t const p = x1 + h;
    int64_t const q = x7 + g;
    int64_t const r = x1 - h;
    int64_t const s = x7 - g;
    int64_t const o0 = p * C1 + q * S1;
    int64_t const o3 = p * S1 - q * C1;
    int64_t const o2 = r * S3 + s * C3;
    int64_t const o1 = r * C3 - s * S3;
    out[0 * kStep] = (e0 + o0 + kHalf) >> 16;
    out[1 * kStep] = (e1 + o1 + kHalf) >> 16;
    out[2 * kStep] = (e2 + o2 + kHalf) >> 16;
    out[3 * kStep] = (e3 + o3 + kHalf) >> 16;
    out[4 * kStep] = (e3 - o3 + kHalf) >> 16;
    out[5 * kStep] = (e2 - o2 + kHalf) >> 16;
    out[6 * kStep] = (e1 - o1 + kHalf) >> 16;
    out[7 * kStep] = (e0 - o0 + kHalf) >> 16;
}

inline uint8_t ClampSample(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// The transform leaves 2 fractional bits: rounded to the nearest sample, ties
// to even so that no direction is favoured, and shifted by 128 (truncating
// would darken every sample by 3/8 on average).
inline int64_t RoundQuarters(int64_t v) { return (v + 1 + ((v >> 2) & 1)) >> 2; }
inline uint8_t FinalSample(int64_t v) { return ClampSample(RoundQuarters(v) + 128); }

// The transform of a row whose only non-zero value is x0 gives
// (x0 * C4 + 1/2) >> 16 everywhere.
inline int64_t DcOnly(int64_t x0) { return (x0 * C4 + kHalf) >> 16; }

#if defined(JD_HAVE_AVX2_PATH)

// With all 8 inputs of a transform within M, its largest intermediate, e1 + o1
// plus the rounding, stays below 397771 M + 123669: inside 32 bits for M up
// to 5398. The first pass takes blocks within 4096, the second its inputs
// within 5300.
constexpr int kPass1Limit = 4096;
constexpr int kPass2Limit = 5300;

__attribute__((target("avx2"))) inline __m256i Mul(__m256i x, int64_t c)
{
    return _mm256_mullo_epi32(x, _mm256_set1_epi32(static_cast<int32_t>(c)));
}

__attribute__((target("avx2"))) inline __m256i Round16(__m256i v)
{
    return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(static_cast<int32_t>(kHalf))), 16);
}

// Transform over 8 lanes: x[j] holds input j of 8 independent transforms.
__attribute__((target("avx2"))) inline void TransformLanes(__m256i const* x, __m256i* y)
{
    __m256i const a = Mul(_mm256_add_epi32(x[0], x[4]), C4);
    __m256i const b = Mul(_mm256_sub_epi32(x[0], x[4]), C4);
    __m256i const c = _mm256_sub_epi32(Mul(x[2], S2), Mul(x[6], C2));
    __m256i const d = _mm256_add_epi32(Mul(x[6], S2), Mul(x[2], C2));
    __m256i const e0 = _mm256_add_epi32(a, d);
    __m256i const e1 = _mm256_add_epi32(b, c);
    __m256i const e2 = _mm256_sub_epi32(b, c);
    __m256i const e3 = _mm256_sub_epi32(a, d);
    __m256i const h = Round16(Mul(_mm256_add_epi32(x[3], x[5]), C4));
    __m256i const g = Round16(Mul(_mm256_sub_epi32(x[3], x[5]), C4));
    __m256i const p = _mm256_add_epi32(x[1], h);
    __m256i const q = _mm256_add_epi32(x[7], g);
    __m256i const r = _mm256_sub_epi32(x[1], h);
    __m256i const s = _mm256_sub_epi32(x[7], g);
    __m256i const o0 = _mm256_add_epi32(Mul(p, C1), Mul(q, S1));
    __m256i const o3 = _mm256_sub_epi32(Mul(p, S1), Mul(q, C1));
    __m256i const o2 = _mm256_add_epi32(Mul(r, S3), Mul(s, C3));
    __m256i const o1 = _mm256_sub_epi32(Mul(r, C3), Mul(s, S3));
    y[0] = Round16(_mm256_add_epi32(e0, o0));
    y[1] = Round16(_mm256_add_epi32(e1, o1));
    y[2] = Round16(_mm256_add_epi32(e2, o2));
    y[3] = Round16(_mm256_add_epi32(e3, o3));
    y[4] = Round16(_mm256_sub_epi32(e3, o3));
    y[5] = Round16(_mm256_sub_epi32(e2, o2));
    y[6] = Round16(_mm256_sub_epi32(e1, o1));
    y[7] = Round16(_mm256_sub_epi32(e0, o0));
}

// 8 x 8 transpose of 32-bit lanes.
__attribute__((target("avx2"))) inline void Transpose(__m256i* v)
{
    __m256i const t0 = _mm256_unpacklo_epi32(v[0], v[1]);
    __m256i const t1 = _mm256_unpackhi_epi32(v[0], v[1]);
    __m256i const t2 = _mm256_unpacklo_epi32(v[2], v[3]);
    __m256i const t3 = _mm256_unpackhi_epi32(v[2], v[3]);
    __m256i const t4 = _mm256_unpacklo_epi32(v[4], v[5]);
    __m256i const t5 = _mm256_unpackhi_epi32(v[4], v[5]);
    __m256i const t6 = _mm256_unpacklo_epi32(v[6], v[7]);
    __m256i const t7 = _mm256_unpackhi_epi32(v[6], v[7]);
    __m256i const u0 = _mm256_unpacklo_epi64(t0, t2);
    __m256i const u1 = _mm256_unpackhi_epi64(t0, t2);
    __m256i const u2 = _mm256_unpacklo_epi64(t1, t3);
    __m256i const u3 = _mm256_unpackhi_epi64(t1, t3);
    __m256i const u4 = _mm256_unpacklo_epi64(t4, t6);
    __m256i const u5 = _mm256_unpackhi_epi64(t4, t6);
    __m256i const u6 = _mm256_unpacklo_epi64(t5, t7);
    __m256i const u7 = _mm256_unpackhi_epi64(t5, t7);
    v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// RoundQuarters on 8 lanes.
__attribute__((target("avx2"))) inline __m256i RoundQuarters(__m256i v)
{
    __m256i const one = _mm256_set1_epi32(1);
    __m256i const odd = _mm256_and_si256(_mm256_srai_epi32(v, 2), one);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(v, one), odd), 2);
}

__attribute__((target("avx2"))) inline bool WithinLimit(__m256i const* v, int limit)
{
    __m256i m = _mm256_abs_epi32(v[0]);
    for (int i = 1; i < 8; ++i) {
        m = _mm256_max_epi32(m, _mm256_abs_epi32(v[i]));
    }
    return _mm256_movemask_epi8(_mm256_cmpgt_epi32(m, _mm256_set1_epi32(limit))) == 0;
}

// The whole block on 8 lanes; false (nothing written) when its values could
// leave 32 bits.
__attribute__((target("avx2"))) bool InverseDctAvx2(CoefficientBlock const& blk, uint8_t* dst, size_t stride)
{
    // Lane r of v[j] = row r, column j: the transposed block, widened.
    __m256i v[8];
    for (int r = 0; r < 8; ++r) {
        v[r] = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<__m128i const*>(blk.c + 8 * r)));
    }
    if (!WithinLimit(v, kPass1Limit)) {
        return false;
    }
    Transpose(v);
    // First pass over the rows: w[i] lane r = result i of row r, that is
    // row i of the work array.
    __m256i w[8];
    TransformLanes(v, w);
    if (!WithinLimit(w, kPass2Limit)) {
        return false;
    }
    // Second pass over the work rows: lane i of t[j] = result j of work row i.
    Transpose(w);
    __m256i t[8];
    TransformLanes(w, t);
    __m256i const centre = _mm256_set1_epi32(128);
    for (int j = 0; j < 8; j += 2) {
        __m256i const a = _mm256_add_epi32(RoundQuarters(t[j]), centre);
        __m256i const b = _mm256_add_epi32(RoundQuarters(t[j + 1]), centre);
        // packs/packus saturate, which is the clamp to 0..255.
        __m256i const words = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
        __m128i const bytes = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + j * stride), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (j + 1) * stride), _mm_srli_si128(bytes, 8));
    }
    return true;
}

#endif

}  // namespace

#if defined(JD_HAVE_AVX2_PATH)
bool const kHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// Rows of the block to columns of work, then rows of work back to columns,
// that is to rows of the output. Rows known to be zero, to hold only their
// first value or nothing past column 3 take shortcuts that give exactly the
// transform's values.
void InverseDctScalar(CoefficientBlock const& blk, uint8_t* dst, size_t stride)
{
    uint32_t const rows = blk.rows;
    int64_t work[64];
    for (int row = 0; row < 8; ++row) {
        int16_t const* x = blk.c + row * 8;
        int64_t* column = work + row;
        if (!(rows >> row & 1)) {
            for (int i = 0; i < 8; ++i) {
                column[i * 8] = 0;
            }
        } else if (!(rows >> (8 + row) & 1)) {
            int64_t const v = DcOnly(x[0]);
            for (int i = 0; i < 8; ++i) {
                column[i * 8] = v;
            }
        } else if (!(rows >> (16 + row) & 1)) {
            Transform<8>(x[0], x[1], x[2], x[3], 0, 0, 0, 0, column);
        } else {
            Transform<8>(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], column);
        }
    }
    // Row i of work holds, at position r, the first pass's result of block
    // row r: zero where that row was.
    int64_t result[8];
    for (int i = 0; i < 8; ++i) {
        int64_t const* x = work + i * 8;
        if ((rows & 0xFE) == 0) {
            int64_t const v = DcOnly(x[0]);
            for (int j = 0; j < 8; ++j) {
                result[j] = v;
            }
        } else if ((rows & 0xF0) == 0) {
            Transform<1>(x[0], x[1], x[2], x[3], 0, 0, 0, 0, result);
        } else {
            Transform<1>(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], result);
        }
        for (int j = 0; j < 8; ++j) {
            dst[j * stride + i] = FinalSample(result[j]);
        }
    }
}

void InverseDct(CoefficientBlock const& blk, uint8_t* dst, size_t stride)
{
    uint32_t const rows = blk.rows;
    if ((rows & (kRowsUsed & ~1u)) == 0 && (rows & kRowsWithAc) == 0) {
        uint8_t const v = FinalSample(DcOnly(DcOnly(blk.c[0])));
        for (int j = 0; j < 8; ++j) {
            std::memset(dst + j * stride, v, 8);
        }
        return;
    }
#if defined(JD_HAVE_AVX2_PATH)
    if (kHasAvx2 && InverseDctAvx2(blk, dst, stride)) {
        return;
    }
#endif
    InverseDctScalar(blk, dst, stride);
}

}  // namespace baseline_jpeg
