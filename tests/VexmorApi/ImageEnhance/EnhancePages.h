// Page builders and checks for the enhancement tests: pattern pages with
// packed or padded rows, flat pages of one byte value, a pixel as its bit
// (1-bit pages) or its bytes, and the expected TraceException of an action.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/Exception.h"

namespace enhance_pages {

using Bytes = std::vector<unsigned char>;

// A page of info over stride-byte rows of pattern bytes.
inline std::unique_ptr<BitmapImage> MakePage(ImageInfo const& info, uint64_t stride, unsigned seed)
{
    Bytes pixels = Pattern(stride * info.GetHeight(), seed);
    return std::make_unique<BitmapImage>(
        info, std::make_unique<BytesMemory>(static_cast<unsigned>(pixels.size()), pixels.data(), BytesMemory::Copy));
}

// A page of 4-byte rows whose every byte is value.
inline std::unique_ptr<BitmapImage> FlatPage(ImageInfo const& info, unsigned char value)
{
    return std::make_unique<BitmapImage>(
        info,
        std::make_unique<BytesMemory>(static_cast<unsigned>(info.GetRequiredByteSizeFor4BytesAlignment()), value));
}

inline unsigned char* RowOf(BitmapImage& page, uint32_t y)
{
    return page.GetPixelsPointer() + uint64_t{y} * page.GetBytesPerRow();
}

// Pixel (x, y): the bit of a 1-bit page, else the pixel's bytes.
inline Bytes PixelAt(BitmapImage& page, uint32_t x, uint32_t y)
{
    unsigned const bits = page.GetBitsPerPixel();
    unsigned char const* row = RowOf(page, y);
    if (bits == 1) {
        return {static_cast<unsigned char>((row[x / 8] >> (7 - x % 8)) & 1)};
    }
    return Bytes(row + x * (bits / 8), row + (x + 1) * (bits / 8));
}

// Sets pixel (x, y) to the bit value[0] (1-bit pages) or to the bytes.
inline void SetPixel(BitmapImage& page, uint32_t x, uint32_t y, Bytes const& value)
{
    unsigned const bits = page.GetBitsPerPixel();
    unsigned char* row = RowOf(page, y);
    if (bits == 1) {
        unsigned char const mask = static_cast<unsigned char>(0x80u >> (x % 8));
        row[x / 8] = static_cast<unsigned char>(value.at(0) ? row[x / 8] | mask : row[x / 8] & ~mask);
        return;
    }
    std::copy(value.begin(), value.end(), row + x * (bits / 8));
}

inline Bytes White(unsigned bits) { return bits == 1 ? Bytes{1} : Bytes(bits / 8, 0xFF); }

// action throws a TraceException of type with message, from origin and
// function when they are given.
inline void ExpectTrace(std::function<void()> const& action, Exception::Type type, std::string const& message,
                        std::string const& origin = "", std::string const& function = "")
{
    try {
        action();
        ADD_FAILURE() << "no exception: " << message;
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetType(), type) << message;
        EXPECT_EQ(e.GetMessage(), message);
        if (!origin.empty()) {
            EXPECT_EQ(e.GetFileName(), origin) << message;
            EXPECT_EQ(e.GetFunctionName(), function) << message;
        }
    }
}

}  // namespace enhance_pages
