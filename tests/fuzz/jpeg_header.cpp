// JPEG header access on arbitrary bytes: the getters never read outside the
// block, a found segment lies wholly in it, and patching the height of a copy
// changes only the two height bytes of its frame header. The size check's
// frame lookup reports a frame of any kind whose fields lie in the block.
#include <cstring>
#include <initializer_list>
#include <memory>

#include "FuzzInput.h"
#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Temp/DeviceDataLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    std::unique_ptr<unsigned char[]> const data = ExactCopy(input, size);
    unsigned char* p = size ? data.get() : nullptr;
    CJpegHeader::GetWidthPix(p, size);
    CJpegHeader::GetBitPerPixel(p, size);
    CJpegHeader::GetResolutionX(p, size);
    CJpegHeader::GetResolutionY(p, size);
    for (short marker : {CJpegHeader::kSOF0, CJpegHeader::kAPP0}) {
        if (unsigned char* segment = CJpegHeader::GetSegment(marker, p, size)) {
            size_t const at = static_cast<size_t>(segment - p);
            Check(at >= 2 && at + 2 + CJpegHeader::GetSegmentDataLength(segment, size - at) <= size);
        }
    }
    vscore::JpegFrame frame;
    if (vscore::JpegFrame::Find(p, size, frame)) {
        unsigned char const* f = p + frame.offset;
        Check(frame.offset >= 2 && frame.offset + 10 <= size && f[0] == 0xFF && f[1] == frame.marker);
        Check(frame.marker >= 0xC0 && frame.marker <= 0xCF && frame.marker != 0xC4 && frame.marker != 0xC8 &&
              frame.marker != 0xCC);
        Check(frame.height == (unsigned{f[5]} << 8 | f[6]) && frame.width == (unsigned{f[7]} << 8 | f[8]) &&
              frame.components == f[9]);
    }

    std::unique_ptr<unsigned char[]> const copy = ExactCopy(input, size);
    unsigned const height = size ? static_cast<unsigned>(input[size - 1]) * 300 : 0;
    unsigned char* sof = CJpegHeader::GetSegment(CJpegHeader::kSOF0, size ? copy.get() : nullptr, size);
    int const patched = CJpegHeader::SetHeightPix(size ? copy.get() : nullptr, size, height);
    Check(patched == (sof != nullptr ? 1 : 0));
    if (patched) {
        Check(CJpegHeader::GetHeightPix(copy.get(), size) == (height > 0xFFFF ? 0xFFFFu : height));
        size_t const field = static_cast<size_t>(sof - copy.get()) + 5;
        for (size_t i = 0; i < size; ++i) {
            Check(i == field || i == field + 1 || copy[i] == input[i]);
        }
    } else if (size > 0) {
        Check(std::memcmp(copy.get(), input, size) == 0);
    }
    return 0;
}
