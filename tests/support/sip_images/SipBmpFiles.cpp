// BMP files and Python helpers of the image-processing library's tests.
#include "tests/support/sip_images/SipBmpFiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "imagelib/VdSipImgDataWinBmp.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace sippages {

namespace {
const char* kPython = "/usr/bin/python3";
}

int SaveBmp(const std::string& path, const tagSIPIMAGEINFO& info, const Bytes& pixels)
{
    CVdSipImgDataWinBmp image;
    tagSIPIMAGEINFO copy = info;
    if (image.InitializeToFile(path.c_str(), &copy) != 0)
        return -1;
    unsigned char* p = image.GetImageDataPtr();
    const uint64_t size = SipStride(info.width, info.bitsPerPixel) * static_cast<uint64_t>(info.height);
    if (p == nullptr || pixels.size() < size)
        return -2;
    std::memcpy(p, pixels.data(), size);
    return image.SaveImgData();
}

LoadedBmp LoadBmp(const std::string& path)
{
    CVdSipImgDataWinBmp image;
    LoadedBmp loaded;
    loaded.code = image.InitializeWithFile(path.c_str(), nullptr);
    if (loaded.code == 0 && image.GetImageInfo(&loaded.info) == 0) {
        if (const unsigned char* p = image.GetImageDataPtr())
            loaded.pixels.assign(p, p + SipStride(loaded.info.width, loaded.info.bitsPerPixel) *
                                            static_cast<uint64_t>(loaded.info.height));
    }
    return loaded;
}

Bytes PatternPixels(int32_t width, int32_t height, int32_t bits, uint32_t seed)
{
    const size_t stride = SipStride(width, bits), used = (size_t(width) * bits + 7) / 8;
    Bytes pixels(stride * height, 0);
    uint32_t state = seed * 2654435761u + 1;
    for (int32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < used; ++i) {
            state = state * 1103515245u + 12345u;
            pixels[y * stride + i] = uint8_t(state >> 16);
        }
    return pixels;
}

bool HavePython(const char* module)
{
    const std::string command = std::string(kPython) + " -c 'import " + module + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::string RunTestScript(const std::string& script, const std::string& arguments)
{
    const char* source = std::getenv("VEXMOR_SOURCE_DIR");
    const std::string command =
        std::string(kPython) + " " + (source ? source : ".") + "/tests/imagelib/" + script + " " + arguments + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "failed: no pipe";
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    return pclose(pipe) == 0 ? output : "failed: " + output;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) { return testbytes::WriteFile(path, bytes); }

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace sippages
