// TIFF dump files of arbitrary page descriptions and pixel blocks: the file
// is the 180-byte header and at most the block, never read past it, and the
// header's sizes and resolution read back as given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VexmorApi/Pages/ImageInfo.h"
#include "diagnostics/TIFFCreator.h"

namespace {

void Check(bool ok)
{
    if (!ok) {
        abort();
    }
}

uint32_t Be(std::vector<unsigned char> const& file, size_t at, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 8 | file[at + i];
    }
    return value;
}

// The value of a directory entry: a SHORT or a LONG.
uint32_t EntryValue(std::vector<unsigned char> const& file, uint16_t tag)
{
    for (size_t at = 10; at < 154; at += 12) {
        if (Be(file, at, 2) == tag) {
            return Be(file, at + 2, 2) == 3 ? Be(file, at + 8, 2) : Be(file, at + 8, 4);
        }
    }
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 11) {
        return 0;
    }
    uint16_t dpi;
    uint32_t width, height;
    std::memcpy(&dpi, data, 2);
    std::memcpy(&width, data + 3, 4);
    std::memcpy(&height, data + 7, 4);
    int const colorType = data[2] % 6;
    ImageInfo const info(dpi, static_cast<ImageInfo::ColorType>(colorType), width, height);
    // The block in a buffer of its own size, so that any read past it is seen.
    size_t const blockSize = size - 11;
    std::vector<unsigned char> block(data + 11, data + size);
    unsigned char const* pixels = blockSize != 0 ? block.data() : nullptr;
    std::vector<unsigned char> const file = TIFFCreator::CreateTIFF(info, blockSize, pixels);
    if (colorType > 3) {
        Check(file.empty());
        return 0;
    }
    Check(file.size() >= TIFFCreator::kHeaderSize && file.size() <= TIFFCreator::kHeaderSize + blockSize);
    Check(height != 0 || file.size() == TIFFCreator::kHeaderSize);
    Check(EntryValue(file, 256) == width && EntryValue(file, 257) == height);
    Check(Be(file, 164, 4) == dpi && Be(file, 172, 4) == dpi);
    uint64_t const strip = info.GetRequiredByteSize();
    Check(EntryValue(file, 279) == (strip > UINT32_MAX ? UINT32_MAX : strip));
    return 0;
}
