// BMP reading on arbitrary file bytes, for each colour type: a file either
// reads as a bitmap whose 4-byte rows all came from the file, or reads as
// nothing; the bytes lie in a block of exactly their size, so a read past
// them is caught.
#include <memory>

#include "FuzzInput.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Pages/WinBmpIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    std::unique_ptr<unsigned char[]> const data = ExactCopy(input, size);
    for (int color = 0; color <= 4; ++color) {
        auto const type = static_cast<ImageInfo::ColorType>(color);
        std::unique_ptr<BitmapImage> image = WinBmpIO::ReadFromMemory(size ? data.get() : nullptr, size, type);
        if (!image) {
            continue;
        }
        ImageInfo const info = image->GetImageInfo();
        Check(color < 4 && info.GetColorType() == type && info.GetWidth() >= 1 && info.GetHeight() >= 1);
        Check(image->GetPixelSize() == info.GetRequiredByteSizeFor4BytesAlignment());
        Check(image->GetPixelSize() <= size - 54);
        volatile unsigned char last = image->GetPixelsPointer()[image->GetPixelSize() - 1];
        (void)last;
    }
    return 0;
}
