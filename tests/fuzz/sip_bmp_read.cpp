// The image library's BMP reader on arbitrary file contents: a file is
// either refused with a code and gives no pixels, or described within the
// library's limits and gives exactly stride x height bytes that can all be
// read; row-by-row access then delivers the same rows, bottom row first.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imagelib/VdSipImgDataWinBmp.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// One in-memory file for the whole run, reached by a path.
const std::string& FilePath(int* fd)
{
    static int file = memfd_create("sip_bmp_read", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    *fd = file;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd = -1;
    const std::string& path = FilePath(&fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;

    CVdSipImgDataWinBmp image;
    const int code = image.InitializeWithFile(path.c_str(), nullptr);
    Check(!image.IsFileStayOpen());
    tagSIPIMAGEINFO info{};
    if (code != 0) {
        Check(image.GetImageInfo(&info) == 1);
        Check(image.GetImageDataPtr() == nullptr);
        return 0;
    }
    Check(image.GetImageInfo(&info) == 0);
    Check(info.width > 0 && info.height > 0);
    Check(info.bitsPerPixel == 1 || info.bitsPerPixel == 8 || info.bitsPerPixel == 24);
    const uint64_t stride = SipStride(static_cast<uint64_t>(info.width), static_cast<uint64_t>(info.bitsPerPixel));
    const uint64_t bytes = stride * static_cast<uint64_t>(info.height);
    Check(bytes <= size);  // the pixels lie within the file
    const unsigned char* pixels = image.GetImageDataPtr();
    Check(pixels != nullptr);
    volatile unsigned char sink = 0;
    for (uint64_t i = 0; i < bytes; ++i)
        sink = sink ^ pixels[i];
    Check(image.GetImageDataPtr() == pixels);

    Check(image.OpenFile() == 0);
    unsigned char row[4096];
    if (stride <= sizeof row) {
        for (int64_t y = info.height - 1; y >= 0; --y) {
            Check(image.ReadDataFromFile(row, static_cast<int>(stride)) == static_cast<int>(stride));
            Check(std::memcmp(row, pixels + static_cast<uint64_t>(y) * stride, stride) == 0);
        }
    }
    Check(image.CloseFile() == 0);
    return 0;
}
