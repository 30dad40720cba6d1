// Quarter and half turns of images in memory. A quarter turn is a transpose
// with one side walked backwards (a start pointer on its last row and a
// negative stride); a half turn reverses every row into the mirrored row.
#include "vdtcl/CTRotImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace vdtcl {

namespace {

using Info = CTImgDataInfo;

bool IsOneBit(Info::imgclr_t t) { return Info::BitsPerPixel(t) == 1; }

uint8_t ReverseBits(uint8_t b)
{
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
    return b;
}

// The 8 one-bit pixels p .. p+7 of a row, pixel p in the most significant
// bit. Callers keep p + 7 below the width, so no bit behind the last pixel is
// taken; pixels before the row start (p < 0) read as 0 without touching
// memory before the row.
uint8_t EightPixelsAt(const uint8_t* row, ptrdiff_t p)
{
    if (p < 0) {
        return static_cast<uint8_t>(row[0] >> -p);
    }
    const size_t b = static_cast<size_t>(p) >> 3;
    const unsigned s = static_cast<unsigned>(p) & 7;
    if (s == 0) {
        return row[b];
    }
    const unsigned v = (static_cast<unsigned>(row[b]) << 8) | row[b + 1];
    return static_cast<uint8_t>(v >> (8 - s));
}

// Writes the stride bytes of dst: the pixels of src in reverse order, then
// zeros up to the stride. src and dst must not overlap.
void ReverseRow(const uint8_t* src, uint8_t* dst, size_t width, Info::imgclr_t type, size_t stride)
{
    size_t used = 0;
    if (IsOneBit(type)) {
        used = (width + 7) / 8;
        for (size_t k = 0; k < used; ++k) {
            // Output pixels 8k .. 8k+7 are input pixels width-1-8k down to width-8-8k.
            const ptrdiff_t p = static_cast<ptrdiff_t>(width) - 8 - static_cast<ptrdiff_t>(8 * k);
            dst[k] = ReverseBits(EightPixelsAt(src, p));
        }
    } else {
        const size_t px = static_cast<size_t>(Info::BitsPerPixel(type)) / 8;
        used = width * px;
        for (size_t j = 0; j < width; ++j) {
            memcpy(dst + j * px, src + (width - 1 - j) * px, px);
        }
    }
    memset(dst + used, 0, stride - used);
}

// Transpose kernels: destination row x, column y = source row y, column x.
// Source rows are src + y * srcStride (y < height, width pixels each);
// destination rows are dst + x * dstStride (x < width, height pixels each).
// Strides may be negative. Destination padding is expected to be zero
// already; the kernels only write pixel bytes, except the 8-bit kernel,
// which writes zeros into the padding of whole 4-byte words.
using Kernel = void (*)(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, size_t width,
                        size_t height);

void Transpose1(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, size_t width, size_t height)
{
    const size_t byteColumns = (width + 7) / 8;
    for (size_t bc = 0; bc < byteColumns; ++bc) {
        const size_t bits = std::min<size_t>(8, width - 8 * bc);
        for (size_t g = 0; 8 * g < height; ++g) {
            uint8_t in[8] = {};
            const size_t rows = std::min<size_t>(8, height - 8 * g);
            for (size_t r = 0; r < rows; ++r) {
                in[r] = src[static_cast<ptrdiff_t>(8 * g + r) * srcStride + static_cast<ptrdiff_t>(bc)];
            }
            for (size_t b = 0; b < bits; ++b) {
                unsigned out = 0;
                for (size_t r = 0; r < 8; ++r) {
                    out |= ((in[r] >> (7 - b)) & 1u) << (7 - r);
                }
                dst[static_cast<ptrdiff_t>(8 * bc + b) * dstStride + static_cast<ptrdiff_t>(g)] =
                    static_cast<uint8_t>(out);
            }
        }
    }
}

// 4 x 4 blocks moved as 32-bit words. Strides are multiples of 4, so a word
// starting at a multiple of 4 stays inside its row; source bytes behind the
// last pixel and rows below the last one are taken as zero, and only
// destination rows below the destination height are written.
void Transpose8(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, size_t width, size_t height)
{
    for (size_t y0 = 0; y0 < height; y0 += 4) {
        const size_t rows = std::min<size_t>(4, height - y0);
        for (size_t x0 = 0; x0 < width; x0 += 4) {
            const size_t cols = std::min<size_t>(4, width - x0);
            uint8_t block[4][4] = {};
            for (size_t r = 0; r < rows; ++r) {
                memcpy(block[r], src + static_cast<ptrdiff_t>(y0 + r) * srcStride + x0, 4);
                for (size_t c = cols; c < 4; ++c) {
                    block[r][c] = 0;
                }
            }
            for (size_t c = 0; c < cols; ++c) {
                const uint8_t out[4] = {block[0][c], block[1][c], block[2][c], block[3][c]};
                memcpy(dst + static_cast<ptrdiff_t>(x0 + c) * dstStride + y0, out, 4);
            }
        }
    }
}

template <size_t kPixelBytes>
void TransposeBytes(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, size_t width,
                    size_t height)
{
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcStride;
        for (size_t x = 0; x < width; ++x) {
            memcpy(dst + static_cast<ptrdiff_t>(x) * dstStride + y * kPixelBytes, s + x * kPixelBytes, kPixelBytes);
        }
    }
}

Kernel KernelFor(Info::imgclr_t type)
{
    switch (Info::BitsPerPixel(type)) {
    case 1:
        return Transpose1;
    case 8:
        return Transpose8;
    case 24:
        return TransposeBytes<3>;
    case 32:
        return TransposeBytes<4>;
    default:
        return nullptr;
    }
}

bool SharesMemory(const Info& a, const Info& b)
{
    const uintptr_t a0 = reinterpret_cast<uintptr_t>(a.GetPtrToImageMemory());
    const uintptr_t b0 = reinterpret_cast<uintptr_t>(b.GetPtrToImageMemory());
    return a0 < b0 + b.GetImageMemorySize() && b0 < a0 + a.GetImageMemorySize();
}

// Gives the destination memory for a width x height image of the type, or
// accepts the memory it has when that describes exactly such an image.
bool PrepareDestination(const CTImgDataBox& source, CTImgDataBox& dest, int width, int height, Info::imgclr_t type)
{
    if (dest.GetPtrToImageMemory() == nullptr) {
        return dest.AllocImageDataMemory(width, height, type, 0);
    }
    int w = 0, h = 0;
    if (!dest.GetImagePixelSize(w, h) || w != width || h != height || dest.GetImageColorType() != type) {
        return false;
    }
    if (dest.GetPtrToImageData() == nullptr || dest.GetImageDataSize() < Info::CalcImageDataSize(width, height, type)) {
        return false;
    }
    return !SharesMemory(source, dest);
}

// Half turn of a single image: rows are exchanged pairwise through two
// scratch rows.
bool HalfTurnInPlace(uint8_t* data, size_t width, size_t height, Info::imgclr_t type, size_t stride)
{
    std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[2 * stride]);
    if (!scratch) {
        return false;
    }
    uint8_t* a = scratch.get();
    uint8_t* b = a + stride;
    for (size_t top = 0; top < (height + 1) / 2; ++top) {
        const size_t bottom = height - 1 - top;
        memcpy(a, data + top * stride, stride);
        memcpy(b, data + bottom * stride, stride);
        ReverseRow(a, data + bottom * stride, width, type, stride);
        if (top != bottom) {
            ReverseRow(b, data + top * stride, width, type, stride);
        }
    }
    return true;
}

}  // namespace

CTRotImage::~CTRotImage() = default;

bool CTRotImage::RotateImage(CTImgDataBox& source, rotimg_t turn, CTImgDataBox* destination, bool swapSense)
{
    int width = 0, height = 0;
    const Info::imgclr_t type = source.GetImageColorType();
    uint8_t* srcData = source.GetPtrToImageData();
    if (srcData == nullptr || !source.GetImagePixelSize(width, height) || Info::BitsPerPixel(type) == 0) {
        return false;
    }
    const size_t srcStride = Info::CalcBytesWidth(width, type);
    if (srcStride == 0 || source.GetImageDataSize() < Info::CalcImageDataSize(width, height, type)) {
        return false;
    }
    if (turn < kRotNone || turn > kRotHalf || destination == &source) {
        return false;
    }
    const bool quarter = turn == kRotQuarterClockwise || turn == kRotQuarterCounterClockwise;
    if (quarter && destination == nullptr) {
        return false;
    }

    uint8_t* dstData = nullptr;
    if (destination != nullptr) {
        if (!PrepareDestination(source, *destination, quarter ? height : width, quarter ? width : height, type)) {
            return false;
        }
        memset(destination->GetPtrToImageMemory(), 0, destination->GetImageMemorySize());
        dstData = destination->GetPtrToImageData();
    }

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    if (turn == kRotNone) {
        // Only the pixel rows: the two buffers may have different offsets.
        if (dstData != nullptr) {
            memcpy(dstData, srcData, source.GetImageDataSize());
        }
        return true;
    }
    if (turn == kRotHalf) {
        if (dstData == nullptr) {
            return HalfTurnInPlace(srcData, w, h, type, srcStride);
        }
        for (size_t i = 0; i < h; ++i) {
            ReverseRow(srcData + i * srcStride, dstData + (h - 1 - i) * srcStride, w, type, srcStride);
        }
        return true;
    }

    const Kernel kernel = KernelFor(type);
    if (kernel == nullptr) {
        return false;
    }
    const ptrdiff_t dstStride = static_cast<ptrdiff_t>(Info::CalcBytesWidth(height, type));
    const uint8_t* src = srcData;
    ptrdiff_t srcStep = static_cast<ptrdiff_t>(srcStride);
    uint8_t* dst = dstData;
    ptrdiff_t dstStep = dstStride;
    if ((turn == kRotQuarterClockwise) != swapSense) {
        // Clockwise: the source is read from its last row upwards.
        src = srcData + (h - 1) * srcStride;
        srcStep = -srcStep;
    } else {
        // Counter-clockwise: the destination is written from its last row upwards.
        dst = dstData + (w - 1) * static_cast<size_t>(dstStride);
        dstStep = -dstStep;
    }
    kernel(src, srcStep, dst, dstStep, w, h);
    return true;
}

bool CTRotImage::FlipImage(CTImgDataBox& source, flipimg_t flip, CTImgDataBox* destination)
{
    (void)source;
    (void)flip;
    (void)destination;
    return false;
}

}  // namespace vdtcl
