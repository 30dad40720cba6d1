// The baseline decoder's pixel stage: placing a block with sample replication
// into the MCU row buffer, the YCbCr/YCCK to RGB step and the interleaving of
// finished rows.
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#define JD_HAVE_AVX2_PATH 1
#endif

#include "VexmorApi/JpegDecoder/BaselineJpegContext.h"

namespace baseline_jpeg {

namespace {

// The colour step's terms per sample value, and a clamp over the sums' range.
struct ColourTables {
    int32_t crToR[256];
    int32_t cbToB[256];
    int32_t cbToG[256];  // before the shift; crToG carries the rounding
    int32_t crToG[256];
    uint8_t clamp[1024];  // index value + 384

    constexpr ColourTables() : crToR(), cbToB(), cbToG(), crToG(), clamp()
    {
        for (int i = 0; i < 256; ++i) {
            crToR[i] = ((i - 128) * 91882 + 32768) >> 16;
            cbToB[i] = ((i - 128) * 116130 + 32768) >> 16;
            cbToG[i] = (i - 128) * -22553;
            crToG[i] = (i - 128) * -46802 + 32768;
        }
        for (int i = 0; i < 1024; ++i) {
            int const v = i - 384;
            clamp[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
};

constexpr ColourTables kColour;

inline uint8_t Clamp(int32_t v) { return kColour.clamp[v + 384]; }

}  // namespace

// One buffer row of YCbCr (and K) component lines to interleaved RGB(K'),
// K' = 255 - K, from sample start on.
void ConvertRowScalar(unsigned char const* src, unsigned lineLength, unsigned start, unsigned width, bool withK,
                      unsigned char* out)
{
    unsigned char const* ys = src;
    unsigned char const* cbs = src + lineLength;
    unsigned char const* crs = src + 2 * lineLength;
    unsigned char const* ks = src + 3 * lineLength;
    unsigned const step = withK ? 4 : 3;
    out += start * step;
    for (unsigned i = start; i < width; ++i) {
        int32_t const y = ys[i];
        unsigned const cb = cbs[i];
        unsigned const cr = crs[i];
        out[0] = Clamp(y + kColour.crToR[cr]);
        out[1] = Clamp(y + ((kColour.cbToG[cb] + kColour.crToG[cr]) >> 16));
        out[2] = Clamp(y + kColour.cbToB[cb]);
        if (withK) {
            out[3] = static_cast<unsigned char>(255 - ks[i]);
        }
        out += step;
    }
}

namespace {

#if defined(JD_HAVE_AVX2_PATH)

__attribute__((target("avx2"))) inline __m256i Load8(unsigned char const* p)
{
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<__m128i const*>(p)));
}

// The same arithmetic on 8 pixels at a time (exact in 32 bits); returns the
// number of pixels done.
__attribute__((target("avx2"))) unsigned ConvertRowAvx2(unsigned char const* src, unsigned lineLength, unsigned width,
                                                        unsigned char* out)
{
    __m256i const centre = _mm256_set1_epi32(128);
    __m256i const half = _mm256_set1_epi32(32768);
    __m256i const kR = _mm256_set1_epi32(91882);
    __m256i const kGb = _mm256_set1_epi32(-22553);
    __m256i const kGr = _mm256_set1_epi32(-46802);
    __m256i const kB = _mm256_set1_epi32(116130);
    char const z = static_cast<char>(0x80);
    __m128i const rgLow = _mm_setr_epi8(0, 8, z, 1, 9, z, 2, 10, z, 3, 11, z, 4, 12, z, 5);
    __m128i const bLow = _mm_setr_epi8(z, z, 0, z, z, 1, z, z, 2, z, z, 3, z, z, 4, z);
    __m128i const rgHigh = _mm_setr_epi8(13, z, 6, 14, z, 7, 15, z, z, z, z, z, z, z, z, z);
    __m128i const bHigh = _mm_setr_epi8(z, 5, z, z, 6, z, z, 7, z, z, z, z, z, z, z, z);
    unsigned i = 0;
    for (; i + 8 <= width; i += 8) {
        __m256i const y = Load8(src + i);
        __m256i const cb = _mm256_sub_epi32(Load8(src + lineLength + i), centre);
        __m256i const cr = _mm256_sub_epi32(Load8(src + 2 * lineLength + i), centre);
        __m256i const r =
            _mm256_add_epi32(y, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(cr, kR), half), 16));
        __m256i const g = _mm256_add_epi32(
            y, _mm256_srai_epi32(
                   _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(cb, kGb), _mm256_mullo_epi32(cr, kGr)), half),
                   16));
        __m256i const b =
            _mm256_add_epi32(y, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(cb, kB), half), 16));
        // Saturating packs clamp to 0..255: rg = R0..R7 G0..G7, bb = B0..B7.
        __m256i const rgWords = _mm256_permute4x64_epi64(_mm256_packs_epi32(r, g), 0xD8);
        __m256i const bWords = _mm256_permute4x64_epi64(_mm256_packs_epi32(b, b), 0xD8);
        __m128i const rg = _mm_packus_epi16(_mm256_castsi256_si128(rgWords), _mm256_extracti128_si256(rgWords, 1));
        __m128i const bb = _mm_packus_epi16(_mm256_castsi256_si128(bWords), _mm256_castsi256_si128(bWords));
        __m128i const first = _mm_or_si128(_mm_shuffle_epi8(rg, rgLow), _mm_shuffle_epi8(bb, bLow));
        __m128i const second = _mm_or_si128(_mm_shuffle_epi8(rg, rgHigh), _mm_shuffle_epi8(bb, bHigh));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * i + 16), second);
    }
    return i;
}

#endif

}  // namespace

void ConvertRow(unsigned char const* src, unsigned lineLength, unsigned width, bool withK, unsigned char* out)
{
    unsigned done = 0;
#if defined(JD_HAVE_AVX2_PATH)
    if (kHasAvx2 && !withK) {
        done = ConvertRowAvx2(src, lineLength, width, out);
    }
#endif
    ConvertRowScalar(src, lineLength, done, width, withK, out);
}

namespace {

void InterleaveRow(unsigned char const* src, unsigned lineLength, unsigned width, unsigned nf, unsigned char* out)
{
    for (unsigned c = 0; c < nf; ++c) {
        unsigned char const* line = src + c * lineLength;
        unsigned char* o = out + c;
        for (unsigned i = 0; i < width; ++i) {
            *o = line[i];
            o += nf;
        }
    }
}

}  // namespace

void PlaceBlock(jpeg_decode_param* ctx, Component const& comp, int componentIndex, uint32_t x, unsigned blockColumn,
                unsigned blockRow, CoefficientBlock const& block)
{
    if (ctx->hook != nullptr) {
        unsigned const mcuColumn = x / (8u * ctx->hmax);
        ctx->hook(ctx->hookUser, componentIndex, ctx->mcuRow * comp.v + blockRow, mcuColumn * comp.h + blockColumn,
                  block.c);
    }
    unsigned const fx = comp.fx;
    unsigned const fy = comp.fy;
    size_t const stride = ctx->rowStride;
    unsigned char* dst =
        ctx->rowBuffer + blockRow * 8u * fy * stride + componentIndex * ctx->lineLength + x + blockColumn * 8u * fx;
    if (fx == 1 && fy == 1) {
        InverseDct(block, dst, stride);
        return;
    }
    uint8_t px[64];
    InverseDct(block, px, 8);
    for (unsigned i = 0; i < 8; ++i) {
        unsigned char* d = dst + i * fy * stride;
        uint8_t const* s = px + i * 8;
        if (fx == 1) {
            for (unsigned dy = 0; dy < fy; ++dy) {
                std::memcpy(d + dy * stride, s, 8);
            }
        } else if (fx == 2) {
            unsigned char wide[16];
            for (unsigned j = 0; j < 8; ++j) {
                wide[2 * j] = wide[2 * j + 1] = s[j];
            }
            for (unsigned dy = 0; dy < fy; ++dy) {
                std::memcpy(d + dy * stride, wide, 16);
            }
        } else {
            for (unsigned j = 0; j < 8; ++j) {
                std::memset(d + j * fx, s[j], fx);
            }
            for (unsigned dy = 1; dy < fy; ++dy) {
                std::memcpy(d + dy * stride, d, 8u * fx);
            }
        }
    }
}

void FinishRows(jpeg_decode_param* ctx, unsigned rows)
{
    unsigned const width = ctx->width;
    unsigned const nf = ctx->nf;
    size_t const packed = static_cast<size_t>(width) * nf;
    for (unsigned r = 0; r < rows; ++r) {
        unsigned char const* src = ctx->rowBuffer + r * static_cast<size_t>(ctx->rowStride);
        unsigned char* out = ctx->rowBuffer + r * packed;
        if (nf == 1) {
            std::memmove(out, src, width);
            continue;
        }
        // The packed row may overlap its own source row: build it aside.
        if (ctx->colourStep == kColourNone) {
            InterleaveRow(src, ctx->lineLength, width, nf, ctx->lineBuffer);
        } else {
            ConvertRow(src, ctx->lineLength, width, ctx->colourStep == kColourYcck, ctx->lineBuffer);
        }
        std::memcpy(out, ctx->lineBuffer, packed);
    }
}

}  // namespace baseline_jpeg
