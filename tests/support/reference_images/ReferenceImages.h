// Images as plain rows for comparisons with reference scalers: PNM files
// (PBM, PGM, PPM) written and read here, ImageMagick's convert and the numpy
// oracle of the cubic kernel run on them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PageImages.h"

// width x height pixels of 1 bit (rows packed, most significant bit first;
// a set bit is white), 8 bits or 24 bits (red, green, blue), rows packed.
struct PlainImage {
    uint32_t width = 0;
    uint32_t height = 0;
    unsigned bits = 8;
    std::vector<unsigned char> pixels;

    uint64_t RowBytes() const { return bits == 1 ? (width + 7) / 8 : uint64_t{width} * (bits / 8); }
    unsigned char* Row(uint32_t y) { return pixels.data() + y * RowBytes(); }
    unsigned char const* Row(uint32_t y) const { return pixels.data() + y * RowBytes(); }
    // Pixel x of a 1-bit row: 1 for a set bit.
    int Bit(uint32_t x, uint32_t y) const { return (Row(y)[x / 8] >> (7 - x % 8)) & 1; }
};

// A width x height image of the depth with pixels from Pattern(seed).
inline PlainImage PatternImage(uint32_t width, uint32_t height, unsigned bits, unsigned seed = 1)
{
    PlainImage image{width, height, bits, {}};
    image.pixels = Pattern(image.RowBytes() * height, seed);
    return image;
}

// Writes a PBM (P4; 1 is black, so bits are complemented), PGM (P5) or PPM (P6).
inline void WritePnm(std::string const& path, PlainImage const& image)
{
    std::ofstream out(path, std::ios::binary);
    char const* magic = image.bits == 1 ? "P4" : image.bits == 8 ? "P5" : "P6";
    out << magic << "\n" << image.width << " " << image.height << "\n";
    if (image.bits != 1) {
        out << "255\n";
    }
    std::vector<unsigned char> bytes = image.pixels;
    if (image.bits == 1) {
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(~b);
        }
    }
    out.write(reinterpret_cast<char const*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Reads a binary PNM written by a reference tool (8-bit samples, one
// comment-free header); an image of height 0 when it does not read as one.
inline PlainImage ReadPnm(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    PlainImage image;
    in >> magic >> image.width >> image.height;
    unsigned maxValue = 1;
    image.bits = magic == "P4" ? 1 : magic == "P5" ? 8 : magic == "P6" ? 24 : 0;
    if (image.bits != 1) {
        in >> maxValue;
    }
    in.get();
    if (!in || image.bits == 0 || maxValue > 255) {
        return PlainImage{};
    }
    image.pixels.resize(image.RowBytes() * image.height);
    in.read(reinterpret_cast<char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    if (!in) {
        return PlainImage{};
    }
    if (image.bits == 1) {
        for (unsigned char& b : image.pixels) {
            b = static_cast<unsigned char>(~b);
        }
    }
    return image;
}

// ImageMagick's convert of the Debian package (not a wrapper on the path).
inline char const* ConvertTool() { return "/usr/bin/convert"; }

// `convert in <arguments> out` on the image; height 0 when it fails.
inline PlainImage RunConvert(ScratchDir const& dir, PlainImage const& image, std::string const& arguments)
{
    std::string const extension = image.bits == 1 ? ".pbm" : image.bits == 8 ? ".pgm" : ".ppm";
    std::string const in = dir / ("in" + extension);
    std::string const out = dir / ("out" + extension);
    WritePnm(in, image);
    if (RunCommand(std::string(ConvertTool()) + " '" + in + "' " + arguments + " -depth 8 '" + out + "'") != 0) {
        return PlainImage{};
    }
    return ReadPnm(out);
}

// The numpy oracle of the cubic kernel (a = -1, corner-aligned grid, edge
// pixels repeated, double precision, rounded) for an xN:xM, yN:yM change
// to outWidth x outHeight; height 0 when it fails.
inline PlainImage RunCubicOracle(ScratchDir const& dir, PlainImage const& image, uint32_t xN, uint32_t xM, uint32_t yN,
                                 uint32_t yM, uint32_t outWidth, uint32_t outHeight)
{
    std::string const in = dir / "oracle-in.raw";
    std::string const out = dir / "oracle-out.raw";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<char const*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    std::ostringstream command;
    command << "/usr/bin/python3 '" << VEXMOR_CUBIC_ORACLE << "' '" << in << "' " << image.width << " " << image.height
            << " " << image.bits / 8 << " " << xN << " " << xM << " " << yN << " " << yM << " " << outWidth << " "
            << outHeight << " '" << out << "'";
    if (RunCommand(command.str()) != 0) {
        return PlainImage{};
    }
    PlainImage result{outWidth, outHeight, image.bits, {}};
    std::string const bytes = ScratchDir::Read(out);
    if (bytes.size() != result.RowBytes() * outHeight) {
        return PlainImage{};
    }
    result.pixels.assign(bytes.begin(), bytes.end());
    return result;
}
