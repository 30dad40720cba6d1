// BMP image data: the description from a file's headers, the image in
// memory and the file's rows; headers and palette written field by field in
// the toolbox's BMP layout.
#include "imagelib/VdSipImgDataWinBmp.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "vdtcl/BmpLayout.h"
#include "vdtcl/ByteOrder.h"

namespace {

namespace bmp = vdtcl::bmp;
namespace byte_order = vdtcl::byte_order;

// The 14-byte file header and the information header behind it.
constexpr unsigned kFileHeader = bmp::kFileHeaderSize;
constexpr unsigned kMinInfoHeader = bmp::kInfoHeaderSize;

// Reads and writes move at most this much per call (the stream takes int).
constexpr uint64_t kChunk = uint64_t{1} << 30;

bool Supported(int32_t bits) { return bits == 1 || bits == 8 || bits == 24; }

uint64_t ImageBytes(const tagSIPIMAGEINFO& info)
{
    if (info.width <= 0 || info.height <= 0 || info.bitsPerPixel <= 0) {
        return 0;
    }
    return SipStride(static_cast<uint64_t>(info.width), static_cast<uint64_t>(info.bitsPerPixel)) *
           static_cast<uint64_t>(info.height);
}

}  // namespace

void CVdSipImgDataWinBmp::Reset(Mode mode)
{
    image_.reset();
    mode_ = mode;
    valid_ = false;
    hasPath_ = false;
    path_.clear();
    pixelOffset_ = 0;
}

int CVdSipImgDataWinBmp::InitializeWithFile(const char* path, tagSIPIMAGEINFO* information)
{
    if (IsFileStayOpen()) {
        return kSipStreamOpen;
    }
    Reset(Mode::kReading);
    if (path != nullptr) {
        path_ = path;
        hasPath_ = true;
    }
    if (information != nullptr) {
        info_ = *information;
        valid_ = true;
        return kSipOk;
    }
    if (const int code = OpenFileForReading(path); code != kSipOk) {
        return code;
    }
    tagSIPIMAGEINFO info{};
    uint32_t offset = 0;
    if (const int code = ReadDescription(&info, &offset); code != kSipOk) {
        CloseFile();
        return code;
    }
    info_ = info;
    pixelOffset_ = offset;
    const int code = CloseFile();
    valid_ = code == kSipOk;
    return code;
}

// With the stream at the file's start: checks the headers against each
// other and the file's size. Sizes in 64 bits; nothing read is trusted.
int CVdSipImgDataWinBmp::ReadDescription(tagSIPIMAGEINFO* info, uint32_t* pixelOffset)
{
    if (const int code = ReadPixelOffset(pixelOffset); code != kSipOk) {
        return code;
    }
    unsigned char header[kMinInfoHeader];
    if (ReadDataFromFile(header, 4) != 4) {
        return kSipNotInMemory;
    }
    const uint32_t headerSize = byte_order::GetLe32(header);
    if (headerSize < kMinInfoHeader) {
        return kSipUnsupported;  // older, shorter headers are not read
    }
    if (ReadDataFromFile(header + 4, kMinInfoHeader - 4) != static_cast<int>(kMinInfoHeader - 4)) {
        return kSipNotInMemory;
    }
    const int32_t width = static_cast<int32_t>(byte_order::GetLe32(header + 4));
    const int32_t height = static_cast<int32_t>(byte_order::GetLe32(header + 8));
    const int32_t bits = byte_order::GetLe16(header + 14);
    const uint32_t compression = byte_order::GetLe32(header + 16);
    if (!Supported(bits) || compression != 0 || width <= 0 || height <= 0) {
        return kSipUnsupported;
    }
    tagSIPIMAGEINFO read{width,
                         height,
                         bits,
                         static_cast<int32_t>(byte_order::GetLe32(header + 24)),
                         static_cast<int32_t>(byte_order::GetLe32(header + 28)),
                         kSipOrderBgr,
                         0};
    const uint64_t size = ImageBytes(read);
    if (size > kSipMaxImageBytes) {
        return kSipUnsupported;
    }
    const uint64_t headersEnd = uint64_t{kFileHeader} + headerSize;
    if (*pixelOffset < headersEnd) {
        return kSipUnsupported;  // pixels inside the headers
    }
    // The first palette entry follows the information header, whatever its
    // size; a set colour in it means level 0 is white.
    if (bits <= 8) {
        unsigned char entry[4];
        if (SeekFile(static_cast<long>(headersEnd), SEEK_SET) != 0 || ReadDataFromFile(entry, 4) != 4) {
            return kSipNotInMemory;
        }
        read.zeroIsWhite = (entry[0] | entry[1] | entry[2]) != 0 ? 1 : 0;
    }
    const long long fileSize = GetOpenFileSize();
    if (fileSize < 0 || uint64_t{*pixelOffset} + size > static_cast<uint64_t>(fileSize)) {
        return kSipNotInMemory;
    }
    *info = read;
    return kSipOk;
}

// Reads the file header; the stream is left behind it.
int CVdSipImgDataWinBmp::ReadPixelOffset(uint32_t* pixelOffset)
{
    unsigned char file[kFileHeader];
    if (ReadDataFromFile(file, kFileHeader) != static_cast<int>(kFileHeader)) {
        return kSipNotInMemory;
    }
    if (file[0] != 'B' || file[1] != 'M') {
        return kSipUnsupported;
    }
    *pixelOffset = byte_order::GetLe32(file + bmp::kPixelOffsetField);
    return kSipOk;
}

int CVdSipImgDataWinBmp::InitializeToFile(const char* path, tagSIPIMAGEINFO* information)
{
    if (IsFileStayOpen()) {
        return kSipStreamOpen;
    }
    if (information == nullptr) {
        return kSipBadArgument;
    }
    Reset(Mode::kWriting);
    if (path != nullptr) {
        path_ = path;
        hasPath_ = true;
    }
    info_ = *information;
    valid_ = true;
    return kSipOk;
}

int CVdSipImgDataWinBmp::GetImageInfo(tagSIPIMAGEINFO* information)
{
    if (information == nullptr) {
        return kSipBadArgument;
    }
    if (!valid_) {
        return kSipNotInMemory;
    }
    *information = info_;
    return kSipOk;
}

bool CVdSipImgDataWinBmp::ReadExactly(unsigned char* buffer, uint64_t size)
{
    while (size > 0) {
        const int part = static_cast<int>(std::min(size, kChunk));
        if (ReadDataFromFile(buffer, part) != part) {
            return false;
        }
        buffer += part;
        size -= static_cast<uint64_t>(part);
    }
    return true;
}

unsigned char* CVdSipImgDataWinBmp::GetImageDataPtr()
{
    if (image_ || !valid_) {
        return image_.get();
    }
    const uint64_t size = ImageBytes(info_);
    if (size == 0 || size > kSipMaxImageBytes || !Supported(info_.bitsPerPixel)) {
        return nullptr;
    }
    std::unique_ptr<unsigned char[]> image(new (std::nothrow) unsigned char[size]);
    if (!image) {
        return nullptr;
    }
    std::fill_n(image.get(), size, SipWhiteByte(info_));
    if (mode_ == Mode::kReading) {
        if (IsFileStayOpen() || !hasPath_ || OpenFileForReading(path_.c_str()) != kSipOk) {
            return nullptr;
        }
        const uint64_t stride = size / static_cast<uint64_t>(info_.height);
        uint32_t offset = 0;
        bool read = ReadPixelOffset(&offset) == kSipOk && SeekFile(static_cast<long>(offset), SEEK_SET) == 0;
        // The file stores the bottom row first.
        for (int64_t row = info_.height - 1; read && row >= 0; --row) {
            read = ReadExactly(image.get() + static_cast<uint64_t>(row) * stride, stride);
        }
        CloseFile();
        if (!read) {
            return nullptr;
        }
        pixelOffset_ = offset;
    }
    image_ = std::move(image);
    return image_.get();
}

int CVdSipImgDataWinBmp::OpenFile()
{
    if (!hasPath_ || !valid_) {
        return kSipNotInMemory;
    }
    if (mode_ == Mode::kReading) {
        if (const int code = OpenFileForReading(path_.c_str()); code != kSipOk) {
            return code;
        }
        uint32_t offset = 0;
        int code = ReadPixelOffset(&offset);
        if (code == kSipOk && SeekFile(static_cast<long>(offset), SEEK_SET) != 0) {
            code = kSipNotInMemory;
        }
        if (code != kSipOk) {
            CloseFile();
            return code;
        }
        pixelOffset_ = offset;
        return kSipOk;
    }
    if (mode_ == Mode::kWriting) {
        if (const int code = OpenFileForWriting(path_.c_str()); code != kSipOk) {
            return code;
        }
        if (const int code = WriteHeaders(); code != kSipOk) {
            CloseFile();
            return code;
        }
        return kSipOk;
    }
    return kSipNotInMemory;
}

// Headers and palette from the description: pixel offset 62 (1 bit), 1078
// (8 bits) or 54 (24 bits); the description's own resolutions; no palette
// count (the whole palette follows). A zero-is-white image gets the
// palette inverted: white first.
int CVdSipImgDataWinBmp::WriteHeaders()
{
    if (!Supported(info_.bitsPerPixel) || info_.width <= 0 || info_.height <= 0) {
        return kSipNotInMemory;
    }
    const unsigned bits = static_cast<unsigned>(info_.bitsPerPixel);
    const unsigned size = bmp::HeaderSize(bits);
    const uint64_t pixelSize = ImageBytes(info_);
    if (size + pixelSize > UINT32_MAX) {
        return kSipNotInMemory;  // beyond the 32-bit size fields
    }
    unsigned char block[bmp::HeaderSize(8)] = {};
    block[0] = 'B';
    block[1] = 'M';
    byte_order::PutLe32(block + bmp::kFileSizeField, static_cast<uint32_t>(size + pixelSize));
    byte_order::PutLe32(block + bmp::kPixelOffsetField, size);
    byte_order::PutLe32(block + bmp::kInfoSizeField, bmp::kInfoHeaderSize);
    byte_order::PutLe32(block + bmp::kWidthField, static_cast<uint32_t>(info_.width));
    byte_order::PutLe32(block + bmp::kHeightField, static_cast<uint32_t>(info_.height));
    byte_order::PutLe16(block + bmp::kPlanesField, 1);
    byte_order::PutLe16(block + bmp::kBitCountField, static_cast<uint16_t>(bits));
    byte_order::PutLe32(block + bmp::kImageSizeField, static_cast<uint32_t>(pixelSize));
    byte_order::PutLe32(block + bmp::kXPelsPerMeterField, static_cast<uint32_t>(info_.xResolution));
    byte_order::PutLe32(block + bmp::kYPelsPerMeterField, static_cast<uint32_t>(info_.yResolution));
    // Compression, colours used and important colours stay 0. The palette:
    // black then white (1 bit) or the gray ramp (8 bits), complemented for
    // a zero-is-white image.
    const unsigned entries = bmp::PaletteEntries(bits);
    const uint8_t flip = info_.zeroIsWhite != 0 ? 0xFF : 0;
    for (unsigned i = 0; i < entries; ++i) {
        const uint8_t level = static_cast<uint8_t>((bits == 1 ? i * 255 : i) ^ flip);
        unsigned char* entry = block + bmp::kHeadersSize + bmp::kPaletteEntrySize * i;
        entry[0] = entry[1] = entry[2] = level;
    }
    return WriteDataToFile(block, static_cast<int>(size)) == static_cast<int>(size) ? kSipOk : kSipNotInMemory;
}

int CVdSipImgDataWinBmp::SaveImgData()
{
    if (mode_ != Mode::kWriting || !image_ || !hasPath_) {
        return kSipNotInMemory;
    }
    if (const int code = OpenFileForWriting(path_.c_str()); code != kSipOk) {
        return code;
    }
    const uint64_t size = ImageBytes(info_);
    const uint64_t stride = size / static_cast<uint64_t>(info_.height);
    bool written = WriteHeaders() == kSipOk;
    for (int64_t row = info_.height - 1; written && row >= 0; --row) {
        const unsigned char* p = image_.get() + static_cast<uint64_t>(row) * stride;
        for (uint64_t left = stride; written && left > 0;) {
            const int part = static_cast<int>(std::min(left, kChunk));
            written = WriteDataToFile(p, part) == part;
            p += part;
            left -= static_cast<uint64_t>(part);
        }
    }
    const bool closed = CloseFile() == kSipOk;
    return written && closed ? kSipOk : kSipNotInMemory;
}
