// Generated page rasters (text-like, gradients, noise, flat cells, text and
// photo) and JPEG files made from them by the real cjpeg and jpegtran.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jpeg_pages {

// Interleaved 8-bit samples, rows packed.
struct Raster {
    unsigned width = 0;
    unsigned height = 0;
    unsigned components = 0;
    std::vector<uint8_t> samples;
};

enum class PageKind {
    Text,          // black glyph strokes on white lines
    Gradient,      // smooth ramps in every component
    Noise,         // uniform random samples
    FlatCells,     // 32 x 32 cells of one value each (covers every MCU size)
    TextAndPhoto,  // text above, a smooth photo-like area with grain below
};

// A deterministic page of the kind; components 1 (gray), 3 (RGB) or 4.
Raster MakePage(PageKind kind, unsigned width, unsigned height, unsigned components, uint32_t seed);

// PGM (1 component) or PPM (3 components) file contents.
std::string ToPnm(Raster const& raster);

// The raster encoded by cjpeg with the given options ("-quality 85 -sample
// 2x2"); throws std::runtime_error when cjpeg fails.
std::vector<uint8_t> Cjpeg(Raster const& raster, std::string const& options);
// A JPEG file run through jpegtran with the options.
std::vector<uint8_t> Jpegtran(std::vector<uint8_t> const& jpeg, std::string const& options);
// A file run through a shell command reading "in" and writing "out" in a
// scratch folder, e.g. "cjpeg -outfile out in".
std::vector<uint8_t> RunTool(std::string const& input, std::string const& command);

}  // namespace jpeg_pages
