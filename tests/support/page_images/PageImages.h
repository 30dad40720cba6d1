// Test helpers for page images: byte goldens written as hex, header fields,
// deterministic pattern pixels, and JPEG streams encoded by the host's cjpeg
// (libjpeg-turbo-progs) from a PGM or PPM written here.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ScratchDir.h"

// "42 4D 0a" -> {0x42, 0x4D, 0x0A}; spaces are ignored.
inline std::vector<unsigned char> FromHex(std::string const& text)
{
    std::vector<unsigned char> bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline uint32_t GetLe32(std::vector<unsigned char> const& bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<uint32_t>(bytes.at(offset + 2)) << 16 | static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

// count bytes of a pattern that differs from row to row and from seed to seed.
inline std::vector<unsigned char> Pattern(size_t count, unsigned seed = 1)
{
    std::vector<unsigned char> bytes(count);
    uint32_t state = seed * 2654435761u + 1;
    for (unsigned char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<unsigned char>(state >> 16);
    }
    return bytes;
}

// Runs a shell command; its exit status.
inline int RunCommand(std::string const& command)
{
    int const status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A baseline JPEG of width x height pixels with 1 (gray) or 3 (colour)
// components, made by cjpeg in dir; empty when cjpeg fails.
inline std::vector<unsigned char> EncodeWithCjpeg(ScratchDir const& dir, unsigned width, unsigned height,
                                                  unsigned components, unsigned seed = 1)
{
    std::string const pnm = dir / "in.pnm";
    std::string const jpeg = dir / "out.jpg";
    {
        std::ofstream out(pnm, std::ios::binary);
        out << (components == 1 ? "P5\n" : "P6\n") << width << ' ' << height << "\n255\n";
        std::vector<unsigned char> const pixels = Pattern(size_t{width} * height * components, seed);
        out.write(reinterpret_cast<char const*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    }
    std::string const gray = components == 1 ? " -grayscale" : "";
    if (RunCommand("cjpeg -baseline" + gray + " -outfile '" + jpeg + "' '" + pnm + "'") != 0) {
        return {};
    }
    std::string const bytes = ScratchDir::Read(jpeg);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}
