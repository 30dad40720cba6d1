// Page bitmap operations: padding, white rows, trimming, turning, temporary
// files and BMP files.
#include "VexmorApi/Pages/BitmapImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Pages/TemporaryStore.h"
#include "VexmorApi/Pages/WinBmpIO.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Pages/BitmapImage";

constexpr uint64_t kMaxBytes = UINT32_MAX;
// White rows are appended in pieces of at most this size.
constexpr uint64_t kWhiteChunk = 1u << 20;

// size bytes of white in memory; FailedToAllocateMemory beyond the
// containers' 32-bit sizes.
std::unique_ptr<BytesMemory> WhiteBlock(uint64_t size, char const* function)
{
    if (size > kMaxBytes) {
        ThrowFailedToAllocate(size, kOrigin, function);
    }
    return std::make_unique<BytesMemory>(static_cast<unsigned>(size), BitmapImage::GetDefaultWhiteDataValue());
}

}  // namespace

BitmapImage::BitmapImage(ImageInfo const& info) : info_(info) {}

BitmapImage::BitmapImage(ImageInfo const& info, std::unique_ptr<Bytes> pixels) : info_(info), pixels_(std::move(pixels))
{
}

BitmapImage::BitmapImage(std::string const& path, ImageInfo::ColorType colorType)
{
    std::unique_ptr<BitmapImage> image = WinBmpIO::Read(path, colorType);
    if (!image) {
        VEXMOR_THROW(kOrigin, "BitmapImage", Exception::FailedToOperateFile,
                     "Failed to read bitmap image. Path: " + path);
    }
    info_ = image->info_;
    pixels_ = std::move(image->pixels_);
}

BitmapImage::~BitmapImage() = default;

unsigned BitmapImage::GetPixelSize() const { return pixels_ ? pixels_->GetByteSize() : 0; }

unsigned BitmapImage::GetPixelSizeOnMemory() const { return pixels_ ? pixels_->GetByteSizeOnMemory() : 0; }

unsigned BitmapImage::GetPixelSizeOnFile() const { return pixels_ ? pixels_->GetByteSizeOnFile() : 0; }

unsigned char* BitmapImage::GetPixelsPointer() { return pixels_ ? pixels_->GetBytesPointer() : nullptr; }

unsigned BitmapImage::GetBytesPerRow() const { return info_.GetHeight() == 0 ? 0 : GetPixelSize() / info_.GetHeight(); }

bool BitmapImage::IsPaddedFor4BytesAlignment() const
{
    uint64_t const stride = GetBytesPerRow();
    // A stride shorter than the packed row is a short block, not padding:
    // re-packing it would read past its end.
    return stride % 4 == 0 && stride >= info_.GetBytesPerRow() && GetPixelSize() != info_.GetRequiredByteSize();
}

void BitmapImage::RemovePaddingFor4BytesAlignmentIfPadded()
{
    if (!IsPaddedFor4BytesAlignment()) {
        return;
    }
    uint64_t const stride = GetBytesPerRow();
    uint64_t const row = info_.GetBytesPerRow();
    uint32_t const height = info_.GetHeight();
    // In place, top row first: a row only moves towards the start, over
    // bytes already moved or its own. A file-backed image is rewritten in
    // its file by the SetBytes.
    unsigned char* pixels = GetPixelsPointer();
    for (uint32_t y = 1; y < height; ++y) {
        std::memmove(pixels + y * row, pixels + y * stride, row);
    }
    pixels_->SetBytes(static_cast<unsigned>(row * height), pixels);
}

void BitmapImage::AppendWhiteLines(uint32_t count)
{
    uint64_t const row = info_.GetHeight() == 0 ? info_.GetBytesPerRowFor4BytesAlignment() : GetBytesPerRow();
    uint64_t const added = color_layout::Multiply(row, count);
    uint64_t const total = added == UINT64_MAX ? added : GetPixelSize() + added;
    if (total > kMaxBytes || uint64_t{info_.GetHeight()} + count > UINT32_MAX) {
        ThrowFailedToAllocate(total, kOrigin, "AppendWhiteLines");
    }
    if (!pixels_) {
        pixels_ = std::make_unique<BytesMemory>(static_cast<unsigned>(added));
    } else if (auto* memory = dynamic_cast<BytesMemory*>(pixels_.get())) {
        // One allocation up front, so the pieces below cannot fail halfway.
        memory->ExpandCapacity(static_cast<unsigned>(total));
    }
    std::vector<unsigned char> const white(std::min(added, kWhiteChunk), GetDefaultWhiteDataValue());
    for (uint64_t left = added; left != 0;) {
        uint64_t const piece = std::min(left, kWhiteChunk);
        pixels_->AppendBytes(static_cast<unsigned>(piece), white.data());
        left -= piece;
    }
    info_.SetHeight(info_.GetHeight() + count);
}

bool BitmapImage::Trim(uint32_t width, uint32_t height)
{
    if (width >= info_.GetWidth() && height >= info_.GetHeight()) {
        return true;
    }
    unsigned char const* source = GetPixelsPointer();
    if (source == nullptr) {
        return false;
    }
    uint32_t const newWidth = std::min(width, info_.GetWidth());
    uint32_t const newHeight = std::min(height, info_.GetHeight());
    uint64_t const stride = GetBytesPerRow();
    uint64_t const newRow = ImageInfo::GetBytesPerRowFor4BytesAlignment(newWidth, info_.GetBitsPerPixel());
    uint64_t const copied = std::min(newRow, stride);
    std::unique_ptr<BytesMemory> trimmed = WhiteBlock(color_layout::Multiply(newRow, newHeight), "Trim");
    unsigned char* target = trimmed->GetBytesPointer();
    for (uint32_t y = 0; y < newHeight; ++y) {
        std::memcpy(target + y * newRow, source + y * stride, copied);
    }
    pixels_ = std::move(trimmed);
    info_.SetWidth(newWidth);
    info_.SetHeight(newHeight);
    return true;
}

bool BitmapImage::Invert()
{
    unsigned char const* source = GetPixelsPointer();
    if (source == nullptr) {
        return false;
    }
    unsigned const size = GetPixelSize();
    uint64_t const stride = GetBytesPerRow();
    uint32_t const height = info_.GetHeight();
    auto inverted = std::make_unique<BytesMemory>(size, static_cast<unsigned char>(0));
    unsigned char* target = inverted->GetBytesPointer();
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(target + y * stride, source + (height - 1 - y) * stride, stride);
    }
    // Bytes behind the last whole row stay where they are.
    uint64_t const rows = stride * height;
    std::memcpy(target + rows, source + rows, size - rows);
    pixels_ = std::move(inverted);
    return true;
}

void BitmapImage::StorePixelsInTemporaryFile()
{
    temporary_store::StoreInTemporaryFile(pixels_, kOrigin, "StorePixelsInTemporaryFile");
}

void BitmapImage::CreateWhiteImage()
{
    pixels_ = WhiteBlock(info_.GetRequiredByteSizeFor4BytesAlignment(), "CreateWhiteImage");
}

void BitmapImage::WriteAsWinBmp(std::string const& path, bool invert)
{
    WinBmpIO::Write(info_, GetPixelSize(), GetPixelsPointer(), path, invert);
}

std::string BitmapImage::GetDescription() const
{
    return info_.GetDescription() + "pixels: " + Formatter::ToCommaSeparatedNumber(GetPixelSize(), 3) + " bytes\n";
}
