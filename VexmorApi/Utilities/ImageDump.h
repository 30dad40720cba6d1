// What an image dump of the engine's logs reads of a page image: its
// description, pixel block, row layout and TIFF header. A page image class
// and the TIFF header maker are reached only through this seam.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IImageDumpSource {
public:
    virtual ~IImageDumpSource() = default;
    // The image's readable description (for the log line).
    virtual std::string GetDescription() const = 0;
    // Byte size of the pixel block; 0 without one.
    virtual uint64_t GetPixelSize() const = 0;
    // First pixel byte; null without a pixel block.
    virtual unsigned char const* GetPixelsPointer() const = 0;
    // Height in rows.
    virtual uint32_t GetHeight() const = 0;
    // Packed bytes of one row for the width and bits per pixel.
    virtual uint64_t GetBytesPerRow() const = 0;
    // Height times the packed row bytes.
    virtual uint64_t GetRequiredByteSize() const = 0;
    // The complete TIFF header for the image, followed directly by packed rows.
    virtual std::vector<unsigned char> CreateTiffHeader() const = 0;
};

// How the pixels of an image follow its TIFF header in a dump.
struct ImageDumpRows {
    enum Kind { None, Whole, Rows } kind = None;
    uint64_t stride = 0;    // Rows: distance between row starts in the block
    uint64_t rowBytes = 0;  // Rows: bytes written of each row
    uint32_t rowCount = 0;  // Rows: number of rows
};

// Picks the layout: nothing without pixels or rows; the packed part of each
// row when the stride (pixel size / height) is a multiple of 4, covers the
// row bytes and the block is not already packed; else the whole block.
ImageDumpRows PlanImageDumpRows(uint64_t pixelSize, bool hasPixels, uint32_t height, uint64_t bytesPerRow,
                                uint64_t requiredByteSize);
