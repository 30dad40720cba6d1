// Building and inspecting BMP headers in memory.
#include "VexmorApi/Pages/BitmapHeader.h"

#include <cstring>
#include <new>

#include "vdtcl/ByteOrder.h"

namespace {

using vdtcl::byte_order::GetLe16;
using vdtcl::byte_order::GetLe32;
using vdtcl::byte_order::PutLe16;
using vdtcl::byte_order::PutLe32;

// File offsets of the header fields.
constexpr size_t kFileSize = vdtcl::bmp::kFileSizeField;
constexpr size_t kPixelOffset = vdtcl::bmp::kPixelOffsetField;
constexpr size_t kInfoSize = vdtcl::bmp::kInfoSizeField;
constexpr size_t kWidth = vdtcl::bmp::kWidthField;
constexpr size_t kHeight = vdtcl::bmp::kHeightField;
constexpr size_t kPlanes = vdtcl::bmp::kPlanesField;
constexpr size_t kBitCount = vdtcl::bmp::kBitCountField;
constexpr size_t kCompression = vdtcl::bmp::kCompressionField;
constexpr size_t kImageSize = vdtcl::bmp::kImageSizeField;
constexpr size_t kXPelsPerMeter = vdtcl::bmp::kXPelsPerMeterField;
constexpr size_t kYPelsPerMeter = vdtcl::bmp::kYPelsPerMeterField;
constexpr size_t kColorsUsed = vdtcl::bmp::kColorsUsedField;
constexpr size_t kColorsImportant = vdtcl::bmp::kColorsImportantField;

constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kMaxSigned32 = 0x7FFFFFFF;

bool IsBlack(tagVDRGBQUAD const& entry) { return entry.rgbBlue == 0 && entry.rgbGreen == 0 && entry.rgbRed == 0; }

bool IsWhite(tagVDRGBQUAD const& entry) { return entry.rgbBlue == 255 && entry.rgbGreen == 255 && entry.rgbRed == 255; }

// The index of the first entry matching, or count when none does.
template <typename Match>
unsigned FindEntry(unsigned char const* data, size_t length, Match match)
{
    tagVDRGBQUAD const* palette = CBitmapHeader::GetBmpColorPaletterPointer(data, length);
    unsigned const count = palette ? CBitmapHeader::GetColorPaletteNum(data, length) : 0;
    unsigned index = 0;
    while (index < count && !match(palette[index])) {
        ++index;
    }
    return index;
}

}  // namespace

CBitmapHeader::CBitmapHeader() = default;

CBitmapHeader::CBitmapHeader(unsigned xdpi, unsigned ydpi, unsigned bitsPerPixel, unsigned width, unsigned height,
                             unsigned* headerSize, bool invertPalette)
{
    CreateBmpHeader(xdpi, ydpi, bitsPerPixel, width, height, CreateColorTable(bitsPerPixel), headerSize, invertPalette);
}

CBitmapHeader::~CBitmapHeader() = default;

unsigned char* CBitmapHeader::CreateBmpHeader(unsigned xdpi, unsigned ydpi, unsigned bitsPerPixel, unsigned width,
                                              unsigned height, tagVDRGBQUAD const* palette, unsigned* headerSize,
                                              bool invertPalette)
{
    FreeBmpHeader();
    if (headerSize) {
        *headerSize = 0;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24) {
        return nullptr;
    }
    unsigned const count = CalcColorPaletteNum(bitsPerPixel);
    if (count != 0 && palette == nullptr) {
        return nullptr;
    }
    unsigned const size = CalcBmpHeaderSize(bitsPerPixel);
    uint64_t const pixelSize = CalcPixelDataSize(width, height, bitsPerPixel, 4);
    if (width > kMaxSigned32 || height > kMaxSigned32 || size + pixelSize > kMax32) {
        return nullptr;
    }
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
    if (!block) {
        return nullptr;
    }
    unsigned char* p = block.get();
    std::memset(p, 0, size);
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + kFileSize, static_cast<uint32_t>(size + pixelSize));
    PutLe32(p + kPixelOffset, size);
    PutLe32(p + kInfoSize, kInfoHeaderSize);
    PutLe32(p + kWidth, width);
    PutLe32(p + kHeight, height);
    PutLe16(p + kPlanes, 1);
    PutLe16(p + kBitCount, static_cast<uint16_t>(bitsPerPixel));
    PutLe32(p + kCompression, 0);
    PutLe32(p + kImageSize, static_cast<uint32_t>(pixelSize));
    PutLe32(p + kXPelsPerMeter, ConvertDotPerInchToPixPerMeter(xdpi));
    PutLe32(p + kYPelsPerMeter, ConvertDotPerInchToPixPerMeter(ydpi));
    PutLe32(p + kColorsUsed, count);
    PutLe32(p + kColorsImportant, 0);
    if (count != 0) {
        tagVDRGBQUAD* entries = reinterpret_cast<tagVDRGBQUAD*>(p + kHeadersSize);
        std::memcpy(entries, palette, count * sizeof(tagVDRGBQUAD));
        if (invertPalette) {
            InvertColorPalettePixelFlavor(entries, count);
        }
    }
    header_ = std::move(block);
    if (headerSize) {
        *headerSize = size;
    }
    return header_.get();
}

tagVDRGBQUAD const* CBitmapHeader::CreateColorTable(unsigned bitsPerPixel)
{
    if (bitsPerPixel == 1) {
        if (!monochromeTable_) {
            monochromeTable_.reset(new tagVDRGBQUAD[2]{{0, 0, 0, 0}, {255, 255, 255, 0}});
        }
        return monochromeTable_.get();
    }
    if (bitsPerPixel == 8) {
        if (!grayTable_) {
            grayTable_.reset(new tagVDRGBQUAD[256]);
            for (unsigned i = 0; i < 256; ++i) {
                uint8_t const level = static_cast<uint8_t>(i);
                grayTable_[i] = {level, level, level, 0};
            }
        }
        return grayTable_.get();
    }
    return nullptr;
}

void CBitmapHeader::FreeColorTable()
{
    monochromeTable_.reset();
    grayTable_.reset();
}

void CBitmapHeader::FreeBmpHeader() { header_.reset(); }

bool CBitmapHeader::InvertColorPalettePixelFlavor(tagVDRGBQUAD* palette, unsigned count)
{
    if (palette == nullptr || count == 0) {
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        palette[i].rgbBlue = static_cast<uint8_t>(~palette[i].rgbBlue);
        palette[i].rgbGreen = static_cast<uint8_t>(~palette[i].rgbGreen);
        palette[i].rgbRed = static_cast<uint8_t>(~palette[i].rgbRed);
    }
    return true;
}

bool CBitmapHeader::IsBmpData(unsigned char const* data, size_t length)
{
    return data != nullptr && length >= 2 && data[0] == 'B' && data[1] == 'M';
}

unsigned char const* CBitmapHeader::GetBmpFileHeader(unsigned char const* data, size_t length)
{
    return data != nullptr && length >= kFileHeaderSize ? data : nullptr;
}

unsigned char const* CBitmapHeader::GetBmpInfoHeader(unsigned char const* data, size_t length)
{
    return data != nullptr && length >= kHeadersSize ? data + kFileHeaderSize : nullptr;
}

bool CBitmapHeader::IsColorPaletteContain(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) != nullptr && GetBitPerPixel(data, length) <= 8;
}

unsigned CBitmapHeader::GetColorPaletteNum(unsigned char const* data, size_t length)
{
    // A stored header of 2 bits per pixel is not taken to carry a palette.
    unsigned const bits = GetBitPerPixel(data, length);
    return bits == 2 ? 0 : CalcColorPaletteNum(bits);
}

tagVDRGBQUAD const* CBitmapHeader::GetBmpColorPaletterPointer(unsigned char const* data, size_t length)
{
    if (!IsColorPaletteContain(data, length)) {
        return nullptr;
    }
    unsigned const count = GetColorPaletteNum(data, length);
    if (count == 0 || length < kHeadersSize + 4 * static_cast<size_t>(count)) {
        return nullptr;
    }
    return reinterpret_cast<tagVDRGBQUAD const*>(data + kHeadersSize);
}

unsigned char const* CBitmapHeader::GetBmpPixelDataPointer(unsigned char const* data, size_t length, size_t* size)
{
    if (data == nullptr) {
        return nullptr;
    }
    if (!IsBmpData(data, length)) {
        return data;
    }
    if (length <= kHeadersSize) {
        return nullptr;
    }
    size_t const offset = kHeadersSize + 4 * static_cast<size_t>(GetColorPaletteNum(data, length));
    if (offset >= length) {
        return nullptr;
    }
    if (size) {
        *size = length - offset;
    }
    return data + offset;
}

unsigned short CBitmapHeader::GetResolutionX(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) ? ConvertPixPerMeterToDotPerInch(GetLe32(data + kXPelsPerMeter)) : 0;
}

unsigned short CBitmapHeader::GetResolutionY(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) ? ConvertPixPerMeterToDotPerInch(GetLe32(data + kYPelsPerMeter)) : 0;
}

unsigned CBitmapHeader::GetBitPerPixel(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) ? GetLe16(data + kBitCount) : 0;
}

int32_t CBitmapHeader::GetWidthPixel(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) ? static_cast<int32_t>(GetLe32(data + kWidth)) : 0;
}

int32_t CBitmapHeader::GetHeightPixel(unsigned char const* data, size_t length)
{
    return GetBmpInfoHeader(data, length) ? static_cast<int32_t>(GetLe32(data + kHeight)) : 0;
}

uint64_t CBitmapHeader::GetPixelDataSize(unsigned char const* data, size_t length)
{
    int32_t const width = GetWidthPixel(data, length);
    int32_t const height = GetHeightPixel(data, length);
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return CalcPixelDataSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), GetBitPerPixel(data, length),
                             4);
}

unsigned CBitmapHeader::GetColorPaletteIndexOfBlack(unsigned char const* data, size_t length)
{
    unsigned const index = FindEntry(data, length, IsBlack);
    return index < GetColorPaletteNum(data, length) ? index : 0;
}

unsigned CBitmapHeader::GetColorPaletteIndexOfWhite(unsigned char const* data, size_t length)
{
    unsigned const index = FindEntry(data, length, IsWhite);
    return index < GetColorPaletteNum(data, length) ? index : 0;
}

bool CBitmapHeader::IsChocolatePixelFlavor(unsigned char const* data, size_t length)
{
    tagVDRGBQUAD const* palette = GetBmpColorPaletterPointer(data, length);
    return palette != nullptr && GetBitPerPixel(data, length) == 1 && IsBlack(palette[0]);
}

bool CBitmapHeader::IsVanillaPixelFlavor(unsigned char const* data, size_t length)
{
    tagVDRGBQUAD const* palette = GetBmpColorPaletterPointer(data, length);
    return palette != nullptr && GetBitPerPixel(data, length) == 1 && IsWhite(palette[0]);
}

unsigned char CBitmapHeader::GetWhiteDataValue(unsigned char const* data, size_t length)
{
    unsigned const bits = GetBitPerPixel(data, length);
    tagVDRGBQUAD const* palette = GetBmpColorPaletterPointer(data, length);
    if (bits == 1 && palette) {
        return IsWhite(palette[0]) ? 0 : 255;
    }
    if (bits == 8 && palette) {
        unsigned const index = FindEntry(data, length, IsWhite);
        return index < 256 ? static_cast<unsigned char>(index) : 255;
    }
    return GetDefaultWhiteDataValue(bits);
}

unsigned char CBitmapHeader::GetDefaultWhiteDataValue(unsigned bitsPerPixel) { return bitsPerPixel == 1 ? 1 : 255; }

bool CBitmapHeader::SetHeightPixel(unsigned char* data, size_t length, uint32_t height)
{
    unsigned const bits = GetBitPerPixel(data, length);
    int32_t const width = GetWidthPixel(data, length);
    if (bits == 0 || width < 0 || height > kMaxSigned32) {
        return false;
    }
    uint64_t const pixelSize = CalcPixelDataSize(static_cast<uint64_t>(width), height, bits, 4);
    uint64_t const fileSize = CalcBmpHeaderSize(bits) + pixelSize;
    if (fileSize > kMax32) {
        return false;
    }
    PutLe32(data + kHeight, height);
    PutLe32(data + kImageSize, static_cast<uint32_t>(pixelSize));
    PutLe32(data + kFileSize, static_cast<uint32_t>(fileSize));
    return true;
}

uint64_t CBitmapHeader::CalcWidthBytes(uint64_t width, unsigned bitsPerPixel, unsigned alignment)
{
    uint64_t const step = alignment == 0 ? 1 : alignment;
    uint64_t const bytes = (width * bitsPerPixel + 7) / 8;
    return (bytes + step - 1) / step * step;
}

uint64_t CBitmapHeader::CalcPixelDataSize(uint64_t width, uint64_t height, unsigned bitsPerPixel, unsigned alignment)
{
    uint64_t const row = CalcWidthBytes(width, bitsPerPixel, alignment);
    // Saturates rather than wraps for sizes read from untrusted headers.
    if (height != 0 && row > UINT64_MAX / height) {
        return UINT64_MAX;
    }
    return row * height;
}

unsigned CBitmapHeader::CalcColorPaletteNum(unsigned bitsPerPixel) { return vdtcl::bmp::PaletteEntries(bitsPerPixel); }

unsigned CBitmapHeader::CalcBmpHeaderSize(unsigned bitsPerPixel) { return vdtcl::bmp::HeaderSize(bitsPerPixel); }

uint64_t CBitmapHeader::CalcBmpSize(unsigned bitsPerPixel, uint64_t width, uint64_t height, unsigned alignment)
{
    uint64_t const pixels = CalcPixelDataSize(width, height, bitsPerPixel, alignment);
    uint64_t const header = CalcBmpHeaderSize(bitsPerPixel);
    return pixels > UINT64_MAX - header ? UINT64_MAX : header + pixels;
}

uint32_t CBitmapHeader::ConvertDotPerInchToPixPerMeter(uint32_t dpi)
{
    return vdtcl::bmp::DotsPerInchToPixelsPerMetre(dpi);
}

unsigned short CBitmapHeader::ConvertPixPerMeterToDotPerInch(uint32_t ppm)
{
    return vdtcl::bmp::PixelsPerMetreToDotsPerInch(ppm);
}
