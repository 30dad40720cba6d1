// Page generators and the cjpeg/jpegtran runner of the JPEG test pages.
#include "JpegPages.h"

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace jpeg_pages {

namespace {

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// 5 x 7 glyphs from the bits of random words, drawn at scale 2 in lines.
void DrawText(Raster& r, unsigned top, unsigned bottom, std::mt19937& rng)
{
    unsigned const n = r.components;
    for (unsigned y = top; y < bottom; ++y) {
        for (unsigned x = 0; x < r.width; ++x) {
            for (unsigned c = 0; c < n; ++c) {
                r.samples[(static_cast<size_t>(y) * r.width + x) * n + c] = 250;
            }
        }
    }
    unsigned const lineHeight = 20;
    for (unsigned line = top + 3; line + 14 <= bottom; line += lineHeight) {
        for (unsigned x = 4; x + 12 < r.width; x += 12) {
            uint32_t const glyph = rng();
            if ((glyph & 0x7) == 0) {
                continue;  // a space
            }
            for (unsigned gy = 0; gy < 7; ++gy) {
                for (unsigned gx = 0; gx < 5; ++gx) {
                    if (!(glyph >> ((gy * 5 + gx) % 32) & 1)) {
                        continue;
                    }
                    for (unsigned dy = 0; dy < 2; ++dy) {
                        for (unsigned dx = 0; dx < 2; ++dx) {
                            size_t const px = (static_cast<size_t>(line + gy * 2 + dy) * r.width + x + gx * 2 + dx) * n;
                            for (unsigned c = 0; c < n; ++c) {
                                r.samples[px + c] = 20;
                            }
                        }
                    }
                }
            }
        }
    }
}

// Overlapping soft colour fields with a little grain.
void DrawPhoto(Raster& r, unsigned top, unsigned bottom, std::mt19937& rng)
{
    std::uniform_real_distribution<double> phase(0, 6.283);
    std::normal_distribution<double> grain(0, 3);
    double p[4][3];
    for (auto& comp : p) {
        for (double& v : comp) {
            v = phase(rng);
        }
    }
    for (unsigned y = top; y < bottom; ++y) {
        for (unsigned x = 0; x < r.width; ++x) {
            for (unsigned c = 0; c < r.components; ++c) {
                double const v = 128 + 60 * std::sin(x / 37.0 + p[c][0]) * std::cos(y / 53.0 + p[c][1]) +
                                 40 * std::sin((x + y) / 91.0 + p[c][2]) + grain(rng);
                r.samples[(static_cast<size_t>(y) * r.width + x) * r.components + c] = Clamp(v);
            }
        }
    }
}

}  // namespace

Raster MakePage(PageKind kind, unsigned width, unsigned height, unsigned components, uint32_t seed)
{
    Raster r;
    r.width = width;
    r.height = height;
    r.components = components;
    r.samples.assign(static_cast<size_t>(width) * height * components, 0);
    std::mt19937 rng(seed);
    switch (kind) {
    case PageKind::Text:
        DrawText(r, 0, height, rng);
        break;
    case PageKind::Gradient:
        for (unsigned y = 0; y < height; ++y) {
            for (unsigned x = 0; x < width; ++x) {
                for (unsigned c = 0; c < components; ++c) {
                    double const v = c % 3 == 0   ? 255.0 * x / (width > 1 ? width - 1 : 1)
                                     : c % 3 == 1 ? 255.0 * y / (height > 1 ? height - 1 : 1)
                                                  : 127.5 + 127.5 * std::sin((x + 2.0 * y) / 40.0 + c);
                    r.samples[(static_cast<size_t>(y) * width + x) * components + c] = Clamp(v);
                }
            }
        }
        break;
    case PageKind::Noise:
        for (uint8_t& s : r.samples) {
            s = static_cast<uint8_t>(rng());
        }
        break;
    case PageKind::FlatCells: {
        unsigned const cellsAcross = (width + 31) / 32;
        std::vector<uint8_t> cells(static_cast<size_t>(cellsAcross) * ((height + 31) / 32) * components);
        for (uint8_t& s : cells) {
            s = static_cast<uint8_t>(rng());
        }
        for (unsigned y = 0; y < height; ++y) {
            for (unsigned x = 0; x < width; ++x) {
                size_t const cell = (static_cast<size_t>(y / 32) * cellsAcross + x / 32) * components;
                for (unsigned c = 0; c < components; ++c) {
                    r.samples[(static_cast<size_t>(y) * width + x) * components + c] = cells[cell + c];
                }
            }
        }
        break;
    }
    case PageKind::TextAndPhoto:
        DrawText(r, 0, height / 2, rng);
        DrawPhoto(r, height / 2, height, rng);
        break;
    }
    return r;
}

std::string ToPnm(Raster const& raster)
{
    if (raster.components != 1 && raster.components != 3) {
        throw std::runtime_error("PNM holds 1 or 3 components");
    }
    std::string out = (raster.components == 1 ? "P5\n" : "P6\n") + std::to_string(raster.width) + " " +
                      std::to_string(raster.height) + "\n255\n";
    out.append(reinterpret_cast<char const*>(raster.samples.data()), raster.samples.size());
    return out;
}

std::vector<uint8_t> RunTool(std::string const& input, std::string const& command)
{
    std::string dir = (std::filesystem::temp_directory_path() / "jpeg-pages-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    std::ofstream(dir + "/in", std::ios::binary) << input;
    std::string const line = "cd '" + dir + "' && " + command + " 2>err";
    int const rc = std::system(line.c_str());
    std::ifstream file(dir + "/out", std::ios::binary);
    std::vector<uint8_t> out((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::ifstream errFile(dir + "/err");
    std::string const err((std::istreambuf_iterator<char>(errFile)), std::istreambuf_iterator<char>());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (rc != 0 || out.empty()) {
        throw std::runtime_error("'" + command + "' failed: " + err);
    }
    return out;
}

std::vector<uint8_t> Cjpeg(Raster const& raster, std::string const& options)
{
    return RunTool(ToPnm(raster), "cjpeg " + options + " -outfile out in");
}

std::vector<uint8_t> Jpegtran(std::vector<uint8_t> const& jpeg, std::string const& options)
{
    return RunTool(std::string(jpeg.begin(), jpeg.end()), "jpegtran " + options + " -outfile out in");
}

}  // namespace jpeg_pages
