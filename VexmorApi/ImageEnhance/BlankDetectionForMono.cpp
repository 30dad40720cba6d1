// Blank detection of 1-bit pages by counting dark pixels inside an inset.
#include "VexmorApi/ImageEnhance/BlankDetectionForMono.h"

#include <algorithm>
#include <bitset>
#include <cstdint>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageEnhance/BlankDetectionForMono";

}  // namespace

bool BlankDetectionForMono::Detect(std::unique_ptr<BitmapImage> const& page)
{
    g_ImageEnhanceLog.WriteLog(2, "%s", "Detect");
    if (!page || page->GetBitsPerPixel() != 1) {
        VEXMOR_THROW(kOrigin, "Detect", Exception::InvalidArgument, "Cannot detect non-monochrome image");
    }
    ImageInfo const info = page->GetImageInfo();
    uint64_t const r = info.GetResolution();
    uint64_t const limit = r * r * 50 / 10000;
    uint64_t const inset = r * 16 / 100;
    uint64_t const width = info.GetWidth();
    uint64_t const height = info.GetHeight();
    unsigned char const* const pixels = page->GetPixelsPointer();
    // Rows and columns inset .. size - inset - 1; none when the insets meet.
    if (pixels == nullptr || width <= 2 * inset || height <= 2 * inset) {
        g_ImageEnhanceLog.WriteLog(2, "No area to count: width = %d, height = %d, inset = %d", static_cast<int>(width),
                                   static_cast<int>(height), static_cast<int>(inset));
        return false;
    }
    unsigned char const white = BitmapImage::GetDefaultWhiteDataValue();
    unsigned const whiteBit = white & 1u;
    uint64_t const stride = page->GetBytesPerRow();
    uint64_t count = 0;
    for (uint64_t y = inset; y < height - inset; ++y) {
        unsigned char const* row = pixels + y * stride;
        // Bytes whose first pixel lies in the area: columns 8i in [inset, width - inset - 1].
        uint64_t const first = (inset + 7) / 8;
        uint64_t const last = std::min<uint64_t>((width - inset - 1) / 8, stride == 0 ? 0 : stride - 1);
        for (uint64_t i = first; i <= last && stride != 0; ++i) {
            if (row[i] == white) {
                continue;
            }
            unsigned const set = static_cast<unsigned>(std::bitset<8>(row[i]).count());
            count += whiteBit ? 8 - set : set;
            if (count > limit) {
                return false;
            }
        }
    }
    return true;
}
