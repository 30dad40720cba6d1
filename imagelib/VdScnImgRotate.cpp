// Rotation of the conversion class: the output window for the alignment, and
// bilinear interpolation in fixed point (positions with 10 fraction bits,
// weights with 8) through the product table, for every pair of 1, 8 and 24
// bits.
#include <algorithm>
#include <cmath>

#include "imagelib/SipAnalysisCore.h"
#include "imagelib/SipPixels.h"
#include "imagelib/VdScnImgConv.h"

namespace {

using namespace sippixels;

constexpr double kPi = 3.141592653589793;
constexpr int kPositionBits = 10;  // fraction bits of a source position

// Entry [v][w] = v x w / 255, rounded.
struct ProductTable {
    uint8_t value[256][256];
    ProductTable()
    {
        for (int v = 0; v < 256; ++v)
            for (int w = 0; w < 256; ++w)
                value[v][w] = static_cast<uint8_t>((v * w + 127) / 255);
    }
};

const ProductTable& Products()
{
    static const ProductTable table;
    return table;
}

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
    const auto& P = Products().value;
    const Window& w = r.window;
    for (int64_t y = w.top; y <= w.bottom; ++y) {
        uint8_t* row = r.destination + static_cast<uint64_t>(y) * r.destinationStride;
        int64_t sx = r.sine * (w.originY - y) + r.cosine * (w.left - w.originX) + (r.cornerX << kPositionBits);
        int64_t sy = r.cosine * (y - w.originY) + r.sine * (w.left - w.originX) + (r.cornerY << kPositionBits);
        for (int64_t x = w.left; x <= w.right; ++x, sx += r.cosine, sy += r.sine) {
            const int64_t px = sx >> kPositionBits, py = sy >> kPositionBits;
            if (px < 0 || py < 0 || px >= r.sourceWidth || py >= r.sourceHeight) {
                writer.Gray(row, x, 255);
                continue;
            }
            const int fx = static_cast<int>((sx >> 2) & 255), fy = static_cast<int>((sy >> 2) & 255);
            const bool lastColumn = px + 1 >= r.sourceWidth, lastRow = py + 1 >= r.sourceHeight;
            const uint8_t* upperRow = r.source + static_cast<uint64_t>(py) * r.sourceStride;
            const uint8_t* lowerRow = lastRow ? upperRow : upperRow + r.sourceStride;
            const int64_t right = lastColumn ? px : px + 1;
            uint8_t p00[kChannels], p01[kChannels], p10[kChannels], p11[kChannels], value[kChannels];
            sampler.Read(upperRow, px, p00);
            sampler.Read(upperRow, right, p01);
            sampler.Read(lowerRow, px, p10);
            // At the last column or row the lower-right neighbour is the
            // pixel itself.
            if (lastColumn || lastRow)
                std::copy(p00, p00 + kChannels, p11);
            else
                sampler.Read(lowerRow, right, p11);
            for (int c = 0; c < kChannels; ++c) {
                const uint8_t upper = static_cast<uint8_t>(P[p00[c]][255 - fx] + P[p01[c]][fx]);
                const uint8_t lower = static_cast<uint8_t>(P[p10[c]][255 - fx] + P[p11[c]][fx]);
                value[c] = static_cast<uint8_t>(P[lower][fy] + P[upper][255 - fy]);
            }
            if constexpr (kIn == 24)
                writer.Colour(row, x, value);
            else if constexpr (kIn == 8)
                writer.Gray(row, x, Stored(value[0], sourceZeroIsWhite));
            else
                writer.Gray(row, x, value[0]);
        }
    }
}

}  // namespace

int32_t CVdScnImgConv::RotateDegree(IVdSipImgData* input, int32_t angle, const tagSIPPAPERCORNERS* corners,
                                    bool /*flag*/, int32_t /*reserved1*/, int32_t /*reserved2*/, int32_t /*scanType*/,
                                    int32_t alignment, IVdSipImgData* output)
{
    if (corners == nullptr || alignment < kSipAlignLeft || alignment > kSipAlignRight)
        return kSipBadArgument;
    tagSIPIMAGEINFO in{}, out{};
    if (const int32_t code = Describe(input, &in); code != kSipOk)
        return code;
    if (const int32_t code = Describe(output, &out); code != kSipOk)
        return code;
    if (!input->IsAvailablePageAccess() || !output->IsAvailablePageAccess())
        return kSipNotInMemory;
    ChooseThreshold(in.bitsPerPixel, out.bitsPerPixel);
    const uint8_t* source = input->GetImageDataPtr();
    uint8_t* destination = output->GetImageDataPtr();
    if (source == nullptr || destination == nullptr)
        return kSipNoMemory;

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
