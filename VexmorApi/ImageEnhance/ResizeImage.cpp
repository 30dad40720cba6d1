// Padding and cutting of page bitmaps; 1-bit widths go through a quarter
// turn and the row operations.
#include "VexmorApi/ImageEnhance/ResizeImage.h"

#include <cstring>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ImageEnhance/RotateImage.h"
#include "VexmorApi/Utilities/Exception.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageEnhance/ResizeImage";
constexpr uint64_t kMaxBytes = UINT32_MAX;

// size bytes of white; FailedToAllocateMemory beyond 32-bit sizes.
std::unique_ptr<BytesMemory> WhiteBlock(uint64_t size, char const* function)
{
    if (size > kMaxBytes) {
        ThrowFailedToAllocate(size, kOrigin, function);
    }
    return std::make_unique<BytesMemory>(static_cast<unsigned>(size), BitmapImage::GetDefaultWhiteDataValue());
}

// The stored row length; for a page of height 0 its 4-byte row.
uint64_t StoredRow(BitmapImage const& page)
{
    ImageInfo const info = page.GetImageInfo();
    return info.GetHeight() == 0 ? info.GetBytesPerRowFor4BytesAlignment() : page.GetBytesPerRow();
}

// A new page of info over rows of `row` bytes, each filled by copy(y, target).
template <class Copy>
std::unique_ptr<BitmapImage> Rebuild(ImageInfo const& info, uint64_t row, Copy copy, char const* function)
{
    uint64_t const height = info.GetHeight();
    std::unique_ptr<BytesMemory> block = WhiteBlock(row * height, function);
    unsigned char* const target = block->GetBytesPointer();
    for (uint64_t y = 0; y < height; ++y) {
        copy(y, target + y * row);
    }
    return std::make_unique<BitmapImage>(info, std::move(block));
}

}  // namespace

std::unique_ptr<BitmapImage> ResizeImage::AddPaddingToWidth(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                            unsigned int right)
{
    if (!page) {
        return page;
    }
    return page->GetBitsPerPixel() == 1 ? AddPaddingToWidth1BitPerPixel(std::move(page), left, right)
                                        : AddPaddingToWidth8And24BitsPerPixel(std::move(page), left, right);
}

std::unique_ptr<BitmapImage> ResizeImage::CutOffWidth(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                      unsigned int right)
{
    if (!page) {
        return page;
    }
    return page->GetBitsPerPixel() == 1 ? CutOffWidth1BitPerPixel(std::move(page), left, right)
                                        : CutOffWidth8And24BitsPerPixel(std::move(page), left, right);
}

std::unique_ptr<BitmapImage> ResizeImage::AddPaddingToHeight(std::unique_ptr<BitmapImage> page, unsigned int top,
                                                             unsigned int bottom)
{
    if (!page || (top == 0 && bottom == 0)) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    uint64_t const height = uint64_t{info.GetHeight()} + top + bottom;
    if (height > UINT32_MAX) {
        ThrowFailedToAllocate(height, kOrigin, "AddPaddingToHeight");
    }
    uint64_t const row = StoredRow(*page);
    unsigned char const* const source = page->GetPixelsPointer();
    uint64_t const oldHeight = info.GetHeight();
    info.SetHeight(static_cast<uint32_t>(height));
    return Rebuild(
        info, row,
        [&](uint64_t y, unsigned char* target) {
            if (source != nullptr && y >= top && y - top < oldHeight) {
                std::memcpy(target, source + (y - top) * row, row);
            }
        },
        "AddPaddingToHeight");
}

std::unique_ptr<BitmapImage> ResizeImage::CutOffHeight(std::unique_ptr<BitmapImage> page, unsigned int top,
                                                       unsigned int bottom)
{
    if (!page) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    if ((top == 0 && bottom == 0) || uint64_t{top} + bottom >= info.GetHeight()) {
        return page;
    }
    uint64_t const row = StoredRow(*page);
    unsigned char const* const source = page->GetPixelsPointer();
    info.SetHeight(info.GetHeight() - top - bottom);
    return Rebuild(
        info, row,
        [&](uint64_t y, unsigned char* target) {
            if (source != nullptr) {
                std::memcpy(target, source + (y + top) * row, row);
            }
        },
        "CutOffHeight");
}

std::unique_ptr<BitmapImage> ResizeImage::AddPaddingToWidth8And24BitsPerPixel(std::unique_ptr<BitmapImage> page,
                                                                              unsigned int left, unsigned int right)
{
    if (!page || (left == 0 && right == 0)) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    uint64_t const width = uint64_t{info.GetWidth()} + left + right;
    if (width > UINT32_MAX) {
        ThrowFailedToAllocate(width, kOrigin, "AddPaddingToWidth8And24BitsPerPixel");
    }
    unsigned const pixelBytes = info.GetBitsPerPixel() / 8;
    uint64_t const stride = page->GetBytesPerRow();
    uint64_t const used = std::min<uint64_t>(info.GetBytesPerRow(), stride);
    unsigned char const* const source = page->GetPixelsPointer();
    info.SetWidth(static_cast<uint32_t>(width));
    return Rebuild(
        info, info.GetBytesPerRowFor4BytesAlignment(),
        [&](uint64_t y, unsigned char* target) {
            if (source != nullptr) {
                std::memcpy(target + uint64_t{left} * pixelBytes, source + y * stride, used);
            }
        },
        "AddPaddingToWidth8And24BitsPerPixel");
}

std::unique_ptr<BitmapImage> ResizeImage::CutOffWidth8And24BitsPerPixel(std::unique_ptr<BitmapImage> page,
                                                                        unsigned int left, unsigned int right)
{
    if (!page) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    if ((left == 0 && right == 0) || uint64_t{left} + right >= info.GetWidth()) {
        return page;
    }
    unsigned const pixelBytes = info.GetBitsPerPixel() / 8;
    uint64_t const stride = page->GetBytesPerRow();
    unsigned char const* const source = page->GetPixelsPointer();
    info.SetWidth(info.GetWidth() - left - right);
    uint64_t const kept = info.GetBytesPerRow();
    uint64_t const from = uint64_t{left} * pixelBytes;
    // Rows shorter than they should be give what they hold.
    uint64_t const copied = stride > from ? std::min(kept, stride - from) : 0;
    return Rebuild(
        info, info.GetBytesPerRowFor4BytesAlignment(),
        [&](uint64_t y, unsigned char* target) {
            if (source != nullptr && copied != 0) {
                std::memcpy(target, source + y * stride + from, copied);
            }
        },
        "CutOffWidth8And24BitsPerPixel");
}

std::unique_ptr<BitmapImage> ResizeImage::AddPaddingToWidth1BitPerPixel(std::unique_ptr<BitmapImage> page,
                                                                        unsigned int left, unsigned int right)
{
    if (!page || (left == 0 && right == 0)) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    if (info.GetHeight() == 0 || info.GetWidth() == 0) {
        // Nothing to turn: the rows are white already.
        uint64_t const width = uint64_t{info.GetWidth()} + left + right;
        if (width > UINT32_MAX) {
            ThrowFailedToAllocate(width, kOrigin, "AddPaddingToWidth1BitPerPixel");
        }
        info.SetWidth(static_cast<uint32_t>(width));
        auto padded = std::make_unique<BitmapImage>(info);
        padded->CreateWhiteImage();
        return padded;
    }
    // The left edge becomes the top.
    page = CRotateImage().RotateImage(std::move(page), IMAGEPROC_ORIENT_90);
    page = AddPaddingToHeight(std::move(page), left, right);
    return CRotateImage().RotateImage(std::move(page), IMAGEPROC_ORIENT_270);
}

std::unique_ptr<BitmapImage> ResizeImage::CutOffWidth1BitPerPixel(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                                  unsigned int right)
{
    if (!page) {
        return page;
    }
    ImageInfo info = page->GetImageInfo();
    if ((left == 0 && right == 0) || uint64_t{left} + right >= info.GetWidth()) {
        return page;
    }
    if (info.GetHeight() == 0) {
        info.SetWidth(info.GetWidth() - left - right);
        auto cut = std::make_unique<BitmapImage>(info);
        cut->CreateWhiteImage();
        return cut;
    }
    page = CRotateImage().RotateImage(std::move(page), IMAGEPROC_ORIENT_90);
    page = CutOffHeight(std::move(page), left, right);
    return CRotateImage().RotateImage(std::move(page), IMAGEPROC_ORIENT_270);
}

std::unique_ptr<BitmapImage> ResizeImage::PadRowsTo4Bytes(std::unique_ptr<BitmapImage> page)
{
    if (!page) {
        return page;
    }
    ImageInfo const info = page->GetImageInfo();
    uint64_t const row = info.GetBytesPerRowFor4BytesAlignment();
    uint64_t const stride = page->GetBytesPerRow();
    unsigned char const* const source = page->GetPixelsPointer();
    if (info.GetHeight() == 0 || stride == row || source == nullptr) {
        return page;
    }
    uint64_t const copied = std::min(stride, row);
    return Rebuild(
        info, row, [&](uint64_t y, unsigned char* target) { std::memcpy(target, source + y * stride, copied); },
        "PadRowsTo4Bytes");
}

}  // namespace vscore
