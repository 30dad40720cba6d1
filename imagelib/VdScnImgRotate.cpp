// Rotation of the conversion class: the output window for the alignment, and
// bilinear interpolation in fixed point (positions with 10 fraction bits,
// weights with 8) through the product table, for every pair of 1, 8 and 24
// bits.
#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imagelib/SipAnalysisCore.h"
#include "imagelib/SipPixels.h"
#include "imagelib/VdScnImgConv.h"

namespace {

using namespace sippixels;

constexpr double kPi = 3.141592653589793;
constexpr int kPositionBits = 10;  // fraction bits of a source position
constexpr int64_t kPositionScale = int64_t{1} << kPositionBits;

// The product table: entry [w][v] = v x w / 255, rounded ((v x w + 127) /
// 255). It is symmetric; a pixel's four weights pick four rows of 256
// bytes, which the channels of its neighbours then index.
struct ProductTable {
    uint8_t value[256][256];
    ProductTable()
    {
        for (int w = 0; w < 256; ++w) {
            for (int v = 0; v < 256; ++v) {
                value[w][v] = static_cast<uint8_t>((v * w + 127) / 255);
            }
        }
    }
};

const ProductTable& Products()
{
    static const ProductTable table;
    return table;
}

// The rows of one pixel's weights: fx towards the right neighbours, fy
// towards the lower ones.
struct Weights {
    const uint8_t* left;
    const uint8_t* right;
    const uint8_t* lower;
    const uint8_t* upper;

    Weights(const ProductTable& table, uint32_t fx, uint32_t fy)
        : left(table.value[255 - fx]), right(table.value[fx]), lower(table.value[fy]), upper(table.value[255 - fy])
    {
    }
    // Along the rows first, each sum kept to 8 bits, then between the rows.
    uint8_t Interpolate(uint8_t p00, uint8_t p01, uint8_t p10, uint8_t p11) const
    {
        const uint8_t top = static_cast<uint8_t>(left[p00] + right[p01]);
        const uint8_t bottom = static_cast<uint8_t>(left[p10] + right[p11]);
        return static_cast<uint8_t>(lower[bottom] + upper[top]);
    }
};

#if defined(__SSE2__)
// The same products for the three channels of a 24-bit pixel at once, in
// 16-bit lanes: v x w + 127 stays below 65536, and t / 255 is
// (t + 1 + (t >> 8)) >> 8 for every such t.
struct LaneWeights {
    __m128i lanes[256];  // [255 - f] x 3, [f] x 3, 0, 0
    LaneWeights()
    {
        for (int f = 0; f < 256; ++f) {
            const auto a = static_cast<int16_t>(255 - f), b = static_cast<int16_t>(f);
            lanes[f] = _mm_set_epi16(0, 0, b, b, b, a, a, a);
        }
    }
};

inline __m128i Products16(__m128i values, __m128i weights)
{
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(values, weights), _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
}

// Interpolates the pixel at p (upper row) and q (lower row) with their
// right neighbours; reads 8 bytes from each.
inline void Interpolate24(const uint8_t* p, const uint8_t* q, uint32_t fx, uint32_t fy, uint8_t* out)
{
    static const LaneWeights weights;
    const __m128i zero = _mm_setzero_si128();
    const __m128i three = _mm_set_epi16(0, 0, 0, 0, 0, 255, 255, 255);
    const __m128i upper =
        Products16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero), weights.lanes[fx]);
    const __m128i lower =
        Products16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), zero), weights.lanes[fx]);
    // Each row's left and right products summed, kept to 8 bits.
    const __m128i top = _mm_and_si128(_mm_add_epi16(upper, _mm_srli_si128(upper, 6)), three);
    const __m128i bottom = _mm_and_si128(_mm_add_epi16(lower, _mm_srli_si128(lower, 6)), three);
    const __m128i rows = Products16(_mm_or_si128(top, _mm_slli_si128(bottom, 6)), weights.lanes[fy]);
    const __m128i value = _mm_add_epi16(rows, _mm_srli_si128(rows, 6));
    const auto word = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(value, value)));
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
    out[2] = static_cast<uint8_t>(word >> 16);
}
#endif

// The output columns and rows the rotation fills (inclusive), and the output
// point that the page's top-left corner maps to.
struct Window {
    int64_t originX;
    int64_t originY;
    int64_t left;
    int64_t right;
    int64_t top;
    int64_t bottom;
};

// Alignment 0 puts the page at the left, 2 at the right, 1 in the middle; a
// page at least as wide as the output fills the whole width.
Window GetInAndOutRectForRotateDegree(const tagSIPPAPERCORNERS& corners, int64_t outputWidth, int64_t outputHeight,
                                      int32_t alignment)
{
    const auto top = static_cast<int64_t>(sipanalysis::EdgeLength(corners.topLeft, corners.topRight));
    const auto left = static_cast<int64_t>(sipanalysis::EdgeLength(corners.topLeft, corners.bottomLeft));
    const bool narrower = top + 1 < outputWidth;
    Window window{0, 0, 0, 0, 0, std::min(left + 1, outputHeight - 1)};
    if (alignment == kSipAlignRight) {
        window.originX = outputWidth - top - 1;
        window.left = narrower ? window.originX : 0;
        window.right = outputWidth - 1;
    } else if (alignment == kSipAlignCenter) {
        window.originX = (outputWidth - top - 1) / 2;
        window.left = narrower ? window.originX : 0;
        window.right = narrower ? window.originX + top + 1 : outputWidth - 1;
    } else {
        window.right = top + 1;
    }
    window.right = std::min(window.right, outputWidth - 1);
    return window;
}

// Reads the samples of one source pixel: three channels of a 24-bit pixel,
// the level of an 8-bit one, or a bit as one of two levels.
template <int kBits>
struct Sampler {
    static constexpr int kChannels = kBits == 24 ? 3 : 1;
    uint8_t zero = 0;  // levels of 1-bit sources
    uint8_t one = 255;

    void Read(const uint8_t* row, int64_t x, uint8_t* samples) const
    {
        if constexpr (kBits == 24) {
            samples[0] = row[3 * x];
            samples[1] = row[3 * x + 1];
            samples[2] = row[3 * x + 2];
        } else if constexpr (kBits == 8) {
            samples[0] = row[x];
        } else {
            samples[0] = GetBit(row, x) ? one : zero;
        }
    }
};

struct Rotation {
    const uint8_t* source;
    uint64_t sourceStride;
    int64_t sourceWidth;
    int64_t sourceHeight;
    uint8_t* destination;
    uint64_t destinationStride;
    Window window;
    int64_t cosine;  // x 1024, truncated
    int64_t sine;
    int64_t cornerX;
    int64_t cornerY;
};

template <int kIn, int kOut>
void RotatePixels(const Rotation& r, const Sampler<kIn>& sampler, bool sourceZeroIsWhite, const Writer<kOut>& writer)
{
    constexpr int kChannels = Sampler<kIn>::kChannels;
    constexpr int kStep = kIn == 24 ? 3 : 1;  // bytes per pixel of 8 and 24 bits
    const ProductTable& products = Products();
    const Window& w = r.window;
    // Pixels whose four neighbours are all inside; 24-bit ones also with two
    // bytes more in the row take the vector path.
    const uint64_t innerWidth = static_cast<uint64_t>(r.sourceWidth - 1);
    const uint64_t innerHeight = static_cast<uint64_t>(r.sourceHeight - 1);
    [[maybe_unused]] const uint64_t vectorWidth = r.sourceWidth > 2 ? static_cast<uint64_t>(r.sourceWidth - 2) : 0;
    for (int64_t y = w.top; y <= w.bottom; ++y) {
        uint8_t* row = r.destination + static_cast<uint64_t>(y) * r.destinationStride;
        int64_t sx = r.sine * (w.originY - y) + r.cosine * (w.left - w.originX) + r.cornerX * kPositionScale;
        int64_t sy = r.cosine * (y - w.originY) + r.sine * (w.left - w.originX) + r.cornerY * kPositionScale;
        for (int64_t x = w.left; x <= w.right; ++x, sx += r.cosine, sy += r.sine) {
            const int64_t px = sx >> kPositionBits, py = sy >> kPositionBits;
            const uint32_t fx = static_cast<uint32_t>((sx >> 2) & 255), fy = static_cast<uint32_t>((sy >> 2) & 255);
            if (kIn != 1 && static_cast<uint64_t>(px) < innerWidth && static_cast<uint64_t>(py) < innerHeight) {
                // All four neighbours inside: read them in place.
                const uint8_t* p = r.source + static_cast<uint64_t>(py) * r.sourceStride + px * kStep;
                const uint8_t* q = p + r.sourceStride;
                if constexpr (kIn == 24) {
#if defined(__SSE2__)
                    if (static_cast<uint64_t>(px) < vectorWidth) {
                        uint8_t c[3];
                        Interpolate24(p, q, fx, fy, c);
                        writer.Colour(row, x, c[0], c[1], c[2]);
                        continue;
                    }
#endif
                    const Weights weights(products, fx, fy);
                    writer.Colour(row, x, weights.Interpolate(p[0], p[3], q[0], q[3]),
                                  weights.Interpolate(p[1], p[4], q[1], q[4]),
                                  weights.Interpolate(p[2], p[5], q[2], q[5]));
                } else {
                    const Weights weights(products, fx, fy);
                    writer.Gray(row, x, Stored(weights.Interpolate(p[0], p[1], q[0], q[1]), sourceZeroIsWhite));
                }
                continue;
            }
            if (px < 0 || py < 0 || px >= r.sourceWidth || py >= r.sourceHeight) {
                writer.Gray(row, x, 255);
                continue;
            }
            const bool lastColumn = px + 1 >= r.sourceWidth, lastRow = py + 1 >= r.sourceHeight;
            const uint8_t* upperRow = r.source + static_cast<uint64_t>(py) * r.sourceStride;
            const uint8_t* lowerRow = lastRow ? upperRow : upperRow + r.sourceStride;
            const int64_t next = lastColumn ? px : px + 1;
            uint8_t p00[kChannels], p01[kChannels], p10[kChannels], p11[kChannels], value[kChannels];
            sampler.Read(upperRow, px, p00);
            sampler.Read(upperRow, next, p01);
            sampler.Read(lowerRow, px, p10);
            // At the last column or row the lower-right neighbour is the
            // pixel itself.
            if (lastColumn || lastRow) {
                std::copy(p00, p00 + kChannels, p11);
            } else {
                sampler.Read(lowerRow, next, p11);
            }
            const Weights weights(products, fx, fy);
            for (int c = 0; c < kChannels; ++c) {
                value[c] = weights.Interpolate(p00[c], p01[c], p10[c], p11[c]);
            }
            if constexpr (kIn == 24) {
                writer.Colour(row, x, value[0], value[1], value[2]);
            } else if constexpr (kIn == 8) {
                writer.Gray(row, x, Stored(value[0], sourceZeroIsWhite));
            } else {
                writer.Gray(row, x, value[0]);
            }
        }
    }
}

}  // namespace

int32_t CVdScnImgConv::RotateDegree(IVdSipImgData* input, int32_t angle, const tagSIPPAPERCORNERS* corners,
                                    bool /*flag*/, int32_t /*reserved1*/, int32_t /*reserved2*/, int32_t /*scanType*/,
                                    int32_t alignment, IVdSipImgData* output)
{
    if (corners == nullptr || alignment < kSipAlignLeft || alignment > kSipAlignRight) {
        return kSipBadArgument;
    }
    tagSIPIMAGEINFO in{}, out{};
    if (const int32_t code = Describe(input, &in); code != kSipOk) {
        return code;
    }
    if (const int32_t code = Describe(output, &out); code != kSipOk) {
        return code;
    }
    if (!input->IsAvailablePageAccess() || !output->IsAvailablePageAccess()) {
        return kSipNotInMemory;
    }
    ChooseThreshold(in.bitsPerPixel, out.bitsPerPixel);
    const uint8_t* source = input->GetImageDataPtr();
    uint8_t* destination = output->GetImageDataPtr();
    if (source == nullptr || destination == nullptr) {
        return kSipNoMemory;
    }

    const double radians = -static_cast<double>(angle) * kPi / 18000.0;
    const Rotation rotation{source,
                            Stride(in),
                            in.width,
                            in.height,
                            destination,
                            Stride(out),
                            GetInAndOutRectForRotateDegree(*corners, out.width, out.height, alignment),
                            static_cast<int64_t>(std::cos(radians) * 1024),
                            static_cast<int64_t>(std::sin(radians) * 1024),
                            corners->topLeft.x,
                            corners->topLeft.y};
    const bool sourceZeroIsWhite = in.zeroIsWhite != 0;
    const uint8_t threshold = m_nThreshold;
    return WithDepth(in.bitsPerPixel, [&](auto inBits) {
        return WithDepth(out.bitsPerPixel, [&](auto outBits) {
            constexpr int kIn = decltype(inBits)::value, kOut = decltype(outBits)::value;
            Sampler<kIn> sampler;
            // A 1-bit source reads its bits as brightness, except into 24
            // bits, where a 1 bit is 255 whatever the flag.
            if (kIn == 1 && kOut != 24 && sourceZeroIsWhite) {
                sampler.zero = 255;
                sampler.one = 0;
            }
            RotatePixels<kIn, kOut>(rotation, sampler, sourceZeroIsWhite,
                                    MakeWriter<kOut>(out, in.rgbOrder, threshold));
            return kSipOk;
        });
    });
}
