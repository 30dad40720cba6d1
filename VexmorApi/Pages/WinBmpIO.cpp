// BMP files of page bitmaps.
#include "VexmorApi/Pages/WinBmpIO.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/BitmapHeader.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/File.h"
#include "vdtcl/ByteOrder.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Pages/WinBmpIO";

// Rows are gathered into pieces of about this size before they are written.
constexpr size_t kWriteChunk = 1u << 20;

// Where a BMP's pixels lie and how they are laid out.
struct Layout {
    uint16_t resolution = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pixelOffset = 0;
    uint64_t stride = 0;      // bytes of a stored row
    uint64_t pixelBytes = 0;  // stride x height
};

unsigned BitsOf(ImageInfo::ColorType colorType)
{
    switch (colorType) {
    case ImageInfo::BlackAndWhite:
    case ImageInfo::Gray:
        return 1;
    case ImageInfo::TrueGray:
        return 8;
    case ImageInfo::Color:
        return 24;
    default:
        return 0;
    }
}

// Reads the headers in the first 54 bytes; false unless they describe an
// uncompressed bottom-up BMP of the colour type's depth.
bool ParseLayout(unsigned char const* head, ImageInfo::ColorType colorType, Layout& layout)
{
    using vdtcl::byte_order::GetLe16;
    using vdtcl::byte_order::GetLe32;
    unsigned const bits = BitsOf(colorType);
    int32_t const width = static_cast<int32_t>(GetLe32(head + 18));
    int32_t const height = static_cast<int32_t>(GetLe32(head + 22));
    if (!CBitmapHeader::IsBmpData(head, CBitmapHeader::kHeadersSize) || bits == 0 || GetLe16(head + 28) != bits ||
        width < 1 || height < 1 || GetLe32(head + 30) != 0) {
        return false;
    }
    layout.resolution = CBitmapHeader::GetResolutionX(head, CBitmapHeader::kHeadersSize);
    layout.width = static_cast<uint32_t>(width);
    layout.height = static_cast<uint32_t>(height);
    layout.pixelOffset = GetLe32(head + 10);
    layout.stride = CBitmapHeader::CalcWidthBytes(layout.width, bits, 4);
    layout.pixelBytes = layout.stride * layout.height;  // below 2^64: stride < 2^34, height < 2^31
    return layout.pixelOffset >= CBitmapHeader::kHeadersSize;
}

// Turns the stored rows into the bitmap: 24-bit pixels from blue, green, red
// to red, green, blue.
std::unique_ptr<BitmapImage> MakeImage(Layout const& layout, ImageInfo::ColorType colorType,
                                       std::unique_ptr<BytesMemory> pixels)
{
    if (colorType == ImageInfo::Color) {
        unsigned char* p = pixels->GetBytesPointer();
        for (uint32_t y = 0; y < layout.height; ++y) {
            unsigned char* row = p + y * layout.stride;
            for (uint32_t x = 0; x < layout.width; ++x) {
                std::swap(row[3 * x], row[3 * x + 2]);
            }
        }
    }
    ImageInfo const info(layout.resolution, colorType, layout.width, layout.height);
    return std::make_unique<BitmapImage>(info, std::move(pixels));
}

// Owns the stream of the file being written.
struct Output {
    std::FILE* file = nullptr;
    ~Output()
    {
        if (file) {
            std::fclose(file);
        }
    }
};

}  // namespace

std::unique_ptr<BitmapImage> WinBmpIO::Read(std::string const& path, ImageInfo::ColorType colorType)
{
    File const file(path);
    std::unique_ptr<BytesMemory> const head = file.ReadBytes(File::Range{0, CBitmapHeader::kHeadersSize});
    Layout layout;
    if (!ParseLayout(head->GetBytesPointer(), colorType, layout)) {
        return nullptr;
    }
    uint64_t const fileSize = file.GetSize();
    if (layout.pixelOffset < fileSize && layout.pixelOffset + layout.pixelBytes > fileSize) {
        return nullptr;
    }
    // An offset at or past the end of the file fails in the file layer.
    uint32_t const length = static_cast<uint32_t>(std::min<uint64_t>(layout.pixelBytes, UINT32_MAX));
    return MakeImage(layout, colorType, file.ReadBytes(File::Range{layout.pixelOffset, length}));
}

std::unique_ptr<BitmapImage> WinBmpIO::ReadFromMemory(unsigned char const* data, size_t length,
                                                      ImageInfo::ColorType colorType)
{
    Layout layout;
    if (data == nullptr || length < CBitmapHeader::kHeadersSize || !ParseLayout(data, colorType, layout) ||
        layout.pixelOffset >= length || layout.pixelBytes > length - layout.pixelOffset) {
        return nullptr;
    }
    auto pixels =
        std::make_unique<BytesMemory>(static_cast<unsigned>(layout.pixelBytes),
                                      const_cast<unsigned char*>(data + layout.pixelOffset), BytesMemory::Copy);
    return MakeImage(layout, colorType, std::move(pixels));
}

void WinBmpIO::Write(std::unique_ptr<BitmapImage> const& image, std::string const& path)
{
    if (image) {
        image->WriteAsWinBmp(path, false);
    }
}

void WinBmpIO::Write(ImageInfo const& info, unsigned size, unsigned char const* pixels, std::string const& path,
                     bool invert)
{
    unsigned const bits = info.GetBitsPerPixel();
    CBitmapHeader header;
    unsigned headerSize = 0;
    unsigned char const* head =
        header.CreateBmpHeader(info.GetResolution(), info.GetResolution(), bits, info.GetWidth(), info.GetHeight(),
                               header.CreateColorTable(bits), &headerSize, false);
    if (head == nullptr) {
        return;
    }
    uint32_t const height = info.GetHeight();
    uint64_t const fileRow = CBitmapHeader::CalcWidthBytes(info.GetWidth(), bits, 4);
    uint64_t const stored = height == 0 || pixels == nullptr ? 0 : size / height;
    uint64_t const copied = std::min(stored, fileRow);
    // Whole pixels among the copied bytes, for the colour order.
    uint64_t const swapped = bits == 24 ? std::min<uint64_t>(copied, uint64_t{info.GetWidth()} * 3) / 3 : 0;

    // "wb" truncates: a file that cannot be replaced is never appended to.
    Output out;
    out.file = std::fopen(path.c_str(), "wb");
    if (out.file == nullptr) {
        VEXMOR_THROW(kOrigin, "Write", Exception::FailedToOperateFile, "failed to open file: " + path);
    }
    bool ok = std::fwrite(head, 1, headerSize, out.file) == headerSize;
    std::vector<unsigned char> chunk;
    chunk.reserve(static_cast<size_t>(std::min<uint64_t>(fileRow * height, kWriteChunk + fileRow)));
    for (uint32_t r = 0; ok && r < height; ++r) {
        // Rows go to the file from the caller's buffer as they are: the
        // buffer is never turned, so no failure can leave it turned.
        uint32_t const source = invert ? height - 1 - r : r;
        size_t const start = chunk.size();
        chunk.resize(start + fileRow, 0);
        if (copied != 0) {
            std::memcpy(chunk.data() + start, pixels + source * stored, copied);
        }
        for (uint64_t x = 0; x < swapped; ++x) {
            std::swap(chunk[start + 3 * x], chunk[start + 3 * x + 2]);
        }
        if (chunk.size() >= kWriteChunk || r + 1 == height) {
            ok = std::fwrite(chunk.data(), 1, chunk.size(), out.file) == chunk.size();
            chunk.clear();
        }
    }
    ok = std::fclose(out.file) == 0 && ok;
    out.file = nullptr;
    if (!ok) {
        std::remove(path.c_str());
        VEXMOR_THROW(kOrigin, "Write", Exception::FailedToOperateFile, "failed to write file: " + path);
    }
}

void WinBmpIO::Invert(ImageInfo const& info, unsigned size, unsigned char* pixels)
{
    uint32_t const height = info.GetHeight();
    if (pixels == nullptr || height < 2) {
        return;
    }
    uint64_t const stride = size / height;
    std::vector<unsigned char> row(static_cast<size_t>(stride));
    for (uint32_t i = 0; i < height / 2; ++i) {
        unsigned char* top = pixels + i * stride;
        unsigned char* bottom = pixels + (height - 1 - i) * stride;
        std::memcpy(row.data(), top, stride);
        std::memcpy(top, bottom, stride);
        std::memcpy(bottom, row.data(), stride);
    }
}
