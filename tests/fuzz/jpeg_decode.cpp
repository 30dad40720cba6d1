// JPEG decoding from memory on arbitrary bytes through the 6.2 binder: a
// stream either decodes into rows that cover the image it reports, or fails;
// it never reads or writes outside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "vdtcl/CTLibJpeg.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        abort();
}

// Inputs whose frame header declares more than 4 million pixels are
// skipped: their rows are legal but only slow the search down.
bool DeclaresHugeFrame(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i + 8 < size; ++i) {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF)
            continue;
        if (data[i + 1] == 0xC4 || data[i + 1] == 0xC8 || data[i + 1] == 0xCC)
            continue;
        const uint64_t height = static_cast<uint64_t>(data[i + 5]) << 8 | data[i + 6];
        const uint64_t width = static_cast<uint64_t>(data[i + 7]) << 8 | data[i + 8];
        if (width * height > (uint64_t{1} << 22))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static vdtcl::libjpeg62::CTLibJpeg binder;
    static const bool loaded = binder.LoadLibJpeg(62) && binder.HasMemorySource();
    if (!loaded || size == 0 || DeclaresHugeFrame(data, size))
        return 0;
    vdtcl::jpeg_info_t info{};
    const unsigned char* rows = binder.DecodeJpegImage(nullptr, data, size, info);
    if (rows == nullptr)
        return 0;
    Check(info.width > 0 && info.height > 0 && (info.components == 1 || info.components == 3));
    Check(info.bytesPerRow % 4 == 0 && info.bytesPerRow >= static_cast<unsigned long>(info.width) * info.components);
    // The last byte of the last row must belong to the buffer.
    volatile unsigned char last = rows[info.bytesPerRow * static_cast<unsigned long>(info.height) - 1];
    (void)last;
    return 0;
}
