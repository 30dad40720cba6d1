// Device data of a page as received lines (raw or run-length packed), kept
// back to back in one block with one record per line in arrival order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VexmorApi/Pages/DeviceImage.h"

// Used by one thread at a time (see DeviceImage).
class DeviceImageLines : public DeviceImage {
public:
    // What a line holds; the scan decoder maps value v to its data kind v + 1
    // for 0-6 and every other value to a whole row.
    enum LineColorType : int32_t {
        LineWholeRow = 0,  // a whole row (24-bit pixels blue, green, red)
        LineRedPlane = 1,  // one plane of a 24-bit row
        LineGreenPlane = 2,
        LineBluePlane = 3,
        LineRgbRow = 4,    // a whole 24-bit row, red, green, blue
        LineBgrRow = 5,    // a whole 24-bit row, blue, green, red
        LineGrayRow = 6,   // a whole 8-bit row
        LineTrueGray = 7,  // 8-bit rows as the reading threads send them
        LineColor = 8,     // 24-bit rows as the reading threads send them
    };
    // How a line's bytes are coded.
    enum CompressionType : int32_t {
        CompressionNoData = 0,    // no bytes: the line decodes to white
        CompressionNone = 1,      // uncompressed
        CompressionPackBits = 2,  // run-length packed (also any other value)
    };

    struct LineInfo {
        LineColorType color;
        CompressionType compression;
        uint32_t offset;  // of the line's first byte in the data block
        uint32_t length;
    };

    // Width 0, no lines expected.
    DeviceImageLines(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType);
    // Each reserves room for expectedLines rows of the width (see AllocateBytes).
    DeviceImageLines(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType, uint32_t width,
                     uint32_t expectedLines);
    DeviceImageLines(DeviceImageInfo const& info, uint32_t expectedLines);

    // Records the line and appends its bytes; the block is created on the
    // first line when nothing was reserved. Throws FailedToAllocateMemory
    // when the block would pass the containers' 32-bit size.
    void AppendLine(LineColorType color, CompressionType compression, uint32_t length, unsigned char const* data);
    // Takes block as the image's data: count lines of length bytes each,
    // back to back from its start, recorded with the color and compression
    // given; for a decoder that wrote the rows in place. The image must hold
    // no data and no lines yet (else InvalidSequence), and the block at least
    // count x length bytes (else InvalidArgument).
    void AdoptLines(std::unique_ptr<Bytes> block, uint32_t count, uint32_t length, LineColorType color,
                    CompressionType compression);
    // The number of line records.
    uint32_t GetHeight() const { return static_cast<uint32_t>(lineInfos_.size()); }
    // Throw InvalidArgument "Invalid array index - lineInfos_.size(): " ...
    // for an index not below the line count.
    LineColorType GetLineColorType(uint32_t lineNum) const;
    CompressionType GetCompressionType(uint32_t lineNum) const;
    uint32_t GetLineLength(uint32_t lineNum) const;
    // Line lineNum's first byte (a block in a file is loaded first); valid
    // until the block changes. The same failure also without data.
    unsigned char* GetLineHeadPointer(uint32_t lineNum);
    // Moves the data block out to the caller; the line records stay.
    std::unique_ptr<Bytes> ReadBlock();

private:
    // Reserves 4-byte rows of the width rounded up to 16 pixels for lines rows.
    void AllocateBytes(uint32_t lines);
    [[noreturn]] void ThrowInvalidIndex(uint32_t lineNum, char const* function) const;

    std::vector<LineInfo> lineInfos_;
};
