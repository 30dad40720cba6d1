// Synthetic pages for the image-processing library's tests and benchmark.
#include "tests/support/sip_images/SipPages.h"

#include <algorithm>

namespace sippages {
namespace {

uint32_t Padded(uint64_t bytes) { return static_cast<uint32_t>((bytes + 3) & ~uint64_t{3}); }

// A small fixed generator (xorshift32), the same on every machine.
uint32_t Next(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void SetPixel(Page& page, uint32_t x, uint32_t y, uint8_t blue, uint8_t green, uint8_t red)
{
    uint8_t* row = page.Row(y);
    if (page.bytesPerPixel == 0) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(blue != 0 ? row[x >> 3] | mask : row[x >> 3] & ~mask);
    } else if (page.bytesPerPixel == 1) {
        row[x] = blue;
    } else {
        uint8_t* p = row + static_cast<size_t>(x) * page.bytesPerPixel;
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    }
}

}  // namespace

Page Colour(uint32_t width, uint32_t height, uint8_t blue, uint8_t green, uint8_t red, int bytesPerPixel,
            uint32_t stride)
{
    Page page;
    page.width = width;
    page.height = height;
    page.bytesPerPixel = bytesPerPixel;
    page.stride = stride != 0 ? stride : Padded(uint64_t{width} * bytesPerPixel);
    page.pixels.assign(static_cast<size_t>(page.stride) * height, 0);
    Fill(page, 0, 0, width, height, blue, green, red);
    return page;
}

Page Gray(uint32_t width, uint32_t height, uint8_t level, uint32_t stride)
{
    Page page;
    page.width = width;
    page.height = height;
    page.bytesPerPixel = 1;
    page.stride = stride != 0 ? stride : Padded(width);
    page.pixels.assign(static_cast<size_t>(page.stride) * height, level);
    return page;
}

Page Mono(uint32_t width, uint32_t height, bool bit)
{
    Page page;
    page.width = width;
    page.height = height;
    page.bytesPerPixel = 0;
    page.stride = Padded((uint64_t{width} + 7) / 8);
    page.pixels.assign(static_cast<size_t>(page.stride) * height, bit ? 0xFF : 0x00);
    return page;
}

void Fill(Page& page, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint8_t blue, uint8_t green, uint8_t red)
{
    x1 = std::min(x1, page.width);
    y1 = std::min(y1, page.height);
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x)
            SetPixel(page, x, y, blue, green, red);
}

void Checker(Page& page, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1)
{
    x1 = std::min(x1, page.width);
    y1 = std::min(y1, page.height);
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x) {
            const uint8_t v = ((x + y) & 1) != 0 ? 255 : 0;
            SetPixel(page, x, y, v, v, v);
        }
}

void TextBlocks(Page& page, uint32_t dpi, uint32_t seed)
{
    const uint32_t margin = dpi;  // one inch
    const uint32_t lineHeight = std::max(dpi / 6, 3u);
    const uint32_t glyph = std::max(lineHeight * 2 / 3, 2u);
    uint32_t state = seed | 1u;
    // Lines in the upper half, mirrored into the lower half.
    for (uint32_t top = margin; top + glyph < page.height / 2; top += lineHeight) {
        uint32_t x = margin;
        while (x + glyph < page.width - margin) {
            const uint32_t word = glyph * (2 + Next(state) % 6);
            const uint32_t end = std::min(x + word, page.width - margin);
            // Strokes: one column in three dark, as text has white inside.
            for (uint32_t cx = x; cx < end; ++cx)
                if (cx % 3 != 0)
                    for (uint32_t y = top; y < top + glyph; ++y) {
                        SetPixel(page, cx, y, 0, 0, 0);
                        SetPixel(page, cx, page.height - 1 - y, 0, 0, 0);
                    }
            x = end + glyph;
        }
    }
}

void Speckle(Page& page, uint32_t perMillion, uint32_t seed)
{
    uint32_t state = seed * 2654435761u | 1u;
    const uint64_t pixels = uint64_t{page.width} * page.height;
    const uint64_t count = pixels * perMillion / 1000000;
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t x = Next(state) % page.width;
        const uint32_t y = Next(state) % page.height;
        SetPixel(page, x, y, 0, 0, 0);
    }
}

Page Flipped(const Page& page)
{
    Page flipped = page;
    for (uint32_t y = 0; y < page.height; ++y)
        std::copy_n(page.Row(y), page.stride, flipped.Row(page.height - 1 - y));
    return flipped;
}

}  // namespace sippages
