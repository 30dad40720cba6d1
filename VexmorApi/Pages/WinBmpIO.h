// Page bitmaps as BMP files: writing a bitmap for the image-processing
// library and reading one back. A bitmap's top row is the file's first
// stored row unless written inverted, so a write-read round trip keeps it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "VexmorApi/Pages/ImageInfo.h"

class BitmapImage;

// Static operations without shared state; any thread may call them.
class WinBmpIO {
public:
    // Reads a BMP of the colour type's depth (1 bit for BlackAndWhite and
    // Gray, 8 for TrueGray, 24 for Color): uncompressed, width and height of
    // at least 1 (rows bottom first), the header's pixel offset followed by
    // at least the 4-byte rows of the image, of which the excess is dropped.
    // Rows come back in file order, 24-bit pixels as red, green, blue. Empty
    // when the file is not such a BMP. A missing file or one that ends before
    // its headers or at its pixel offset fails in the file layer.
    static std::unique_ptr<BitmapImage> Read(std::string const& path, ImageInfo::ColorType colorType);
    // The same on a file's bytes in memory; empty when they do not hold one.
    static std::unique_ptr<BitmapImage> ReadFromMemory(unsigned char const* data, size_t length,
                                                       ImageInfo::ColorType colorType);
    // Write of the image's description and pixels, not inverted; nothing for
    // an empty pointer.
    static void Write(std::unique_ptr<BitmapImage> const& image, std::string const& path);
    // Replaces the file at path by a BMP of the image: size pixel bytes with
    // rows of size / height bytes, written bottom row first in BMP terms
    // (the buffer's first row first, its last row first with invert),
    // padded to 4 bytes, 24-bit pixels as blue, green, red. The buffer is
    // never changed. Writes nothing when no header can be built (depths other
    // than 1, 8 and 24; sizes beyond 32 bits). Throws FailedToOperateFile
    // when the file cannot be written; no partial file is left.
    static void Write(ImageInfo const& info, unsigned size, unsigned char const* pixels, std::string const& path,
                      bool invert);
    // Turns the buffer of size bytes (rows of size / height bytes) upside
    // down in place.
    static void Invert(ImageInfo const& info, unsigned size, unsigned char* pixels);
};
