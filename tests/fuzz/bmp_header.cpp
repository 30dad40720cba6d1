// The BMP header inspection helpers on arbitrary bytes: every pointer they
// hand back lies in the buffer with the bytes it stands for, and patching
// the height of a copy touches only the header fields.
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "VexmorApi/Pages/BitmapHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    std::unique_ptr<unsigned char[]> const data = ExactCopy(input, size);
    unsigned char const* p = size ? data.get() : nullptr;
    unsigned char const* end = p + size;
    Check(CBitmapHeader::IsBmpData(p, size) == (size >= 2 && p[0] == 'B' && p[1] == 'M'));
    Check(CBitmapHeader::GetBmpFileHeader(p, size) == (size >= 14 ? p : nullptr));
    Check(CBitmapHeader::GetBmpInfoHeader(p, size) == (size >= 54 ? p + 14 : nullptr));
    unsigned const count = CBitmapHeader::GetColorPaletteNum(p, size);
    if (tagVDRGBQUAD const* palette = CBitmapHeader::GetBmpColorPaletterPointer(p, size)) {
        Check(reinterpret_cast<unsigned char const*>(palette + count) <= end);
        Check(CBitmapHeader::GetColorPaletteIndexOfBlack(p, size) < count);
        Check(CBitmapHeader::GetColorPaletteIndexOfWhite(p, size) < count);
    }
    size_t pixelSize = 0;
    if (unsigned char const* pixels = CBitmapHeader::GetBmpPixelDataPointer(p, size, &pixelSize)) {
        Check(pixels >= p && pixels <= end && (pixels == p || (pixelSize > 0 && pixels + pixelSize == end)));
    }
    CBitmapHeader::IsChocolatePixelFlavor(p, size);
    CBitmapHeader::IsVanillaPixelFlavor(p, size);
    CBitmapHeader::GetWhiteDataValue(p, size);
    CBitmapHeader::GetResolutionX(p, size);
    CBitmapHeader::GetResolutionY(p, size);
    CBitmapHeader::GetWidthPixel(p, size);
    CBitmapHeader::GetPixelDataSize(p, size);

    if (size >= 54) {
        std::unique_ptr<unsigned char[]> const copy = ExactCopy(p, size);
        uint32_t const height = static_cast<uint32_t>(p[size - 1]) << 8 | p[size / 2];
        if (CBitmapHeader::SetHeightPixel(copy.get(), size, height)) {
            Check(CBitmapHeader::GetHeightPixel(copy.get(), size) == static_cast<int32_t>(height));
        }
        Check(std::memcmp(copy.get() + 54, p + 54, size - 54) == 0);
    }
    return 0;
}
