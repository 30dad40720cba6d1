// BMP files of the image-processing library's tests: saving and loading
// pixels through CVdSipImgDataWinBmp, and running the Python helpers of
// tests/imagelib (Pillow, OpenCV) with /usr/bin/python3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/SipTypes.h"

namespace sippages {

using Bytes = std::vector<uint8_t>;

// Saves pixels (top row first, rows of SipStride bytes) as a BMP file: the
// writer's code, -1 or -2 when the image cannot be prepared.
int SaveBmp(const std::string& path, const tagSIPIMAGEINFO& info, const Bytes& pixels);

struct LoadedBmp {
    int code = -1;
    tagSIPIMAGEINFO info{};
    Bytes pixels;  // top row first; empty when the file gives none
};
LoadedBmp LoadBmp(const std::string& path);

// A seeded pattern of bytes, top row first, rows of SipStride bytes with
// the padding bytes zero.
Bytes PatternPixels(int32_t width, int32_t height, int32_t bits, uint32_t seed);

// Whether /usr/bin/python3 imports the module.
bool HavePython(const char* module);
// Runs tests/imagelib/<script> with the arguments: its standard output, or
// "failed: " and the output when it exits with an error.
std::string RunTestScript(const std::string& script, const std::string& arguments);

// Writes bytes to a file; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);

}  // namespace sippages
