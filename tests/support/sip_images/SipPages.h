// Synthetic scanned pages for the image-processing library's tests and
// benchmark: flat pages, dark text-like blocks, coloured patches and speckle,
// in 24-bit (blue, green, red), 8-bit or 1-bit form, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sippages {

struct Page {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;    // bytes per row
    int bytesPerPixel = 0;  // 3 (or 4) for colour, 1 for gray; 0 for 1-bit
    std::vector<uint8_t> pixels;

    uint8_t* Row(uint32_t y) { return pixels.data() + static_cast<size_t>(y) * stride; }
    const uint8_t* Row(uint32_t y) const { return pixels.data() + static_cast<size_t>(y) * stride; }
};

// Rows padded to 4 bytes unless a stride is given.
Page Colour(uint32_t width, uint32_t height, uint8_t blue, uint8_t green, uint8_t red, int bytesPerPixel = 3,
            uint32_t stride = 0);
Page Gray(uint32_t width, uint32_t height, uint8_t level, uint32_t stride = 0);
// Every bit set to `bit`.
Page Mono(uint32_t width, uint32_t height, bool bit);

// Fills columns [x0, x1) of rows [y0, y1) with one colour (gray pages take
// the first value; 1-bit pages bit = value != 0).
void Fill(Page& page, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint8_t blue, uint8_t green, uint8_t red);
// A checkerboard of levels 0 and 255 (a cell with two levels in equal
// shares, never blank).
void Checker(Page& page, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1);
// Lines of dark word blocks, 1/6 of an inch high at dpi, the whole page
// laid out symmetrically top to bottom.
void TextBlocks(Page& page, uint32_t dpi, uint32_t seed);
// About `perMillion` dark pixels per million, at seeded positions.
void Speckle(Page& page, uint32_t perMillion, uint32_t seed);
// The page mirrored top to bottom.
Page Flipped(const Page& page);

}  // namespace sippages
