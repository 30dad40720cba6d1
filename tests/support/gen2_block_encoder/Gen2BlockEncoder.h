// Encoder of the generation-2 scan-data blocks: a result byte, a status
// byte and the optional fields the status calls for, in wire order and
// little-endian: page number (2), image type (2), data size and line count
// (4 + 4) with the data, width and height (4 + 4), timer value (2).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace gen2_blocks {

using Bytes = std::vector<uint8_t>;

// The optional fields a status byte announces.
struct Layout {
    bool pageNo = false;
    bool imageType = false;
    bool data = false;
    bool size = false;
    bool timer = false;
};

// The layout of a status the device sends; nothing for any other status.
std::optional<Layout> LayoutOf(uint8_t status);

// Compression and colour codes of the image-type byte.
enum Compression : uint8_t { kRaw = 0, kPackBits = 1, kJpeg = 2 };
enum ColorCode : uint8_t { kMono = 0, kGray = 1, kGrayAlt = 4, kColor = 5 };
// direction in bit 7, compression in bits 4-3, colour in bits 2-0.
uint8_t ImageType(bool direction, uint8_t compression, uint8_t color);

struct Block {
    uint8_t result = 0;  // non-zero: a device-error block of two bytes
    uint8_t status = 0;
    uint16_t pageNo = 0;
    uint8_t imageType = 0;
    uint8_t imageTypePad = 0;  // the image type's second byte
    Bytes data;
    // The data size field; the data's size when not given (a lying field).
    std::optional<uint32_t> declaredSize;
    uint32_t lineCount = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t timer = 0;
};

// The block's wire bytes. A status the device does not send is written as
// the two bytes result and status alone.
Bytes Encode(const Block& block);
// Appends the block's wire bytes to out.
void AppendTo(Bytes& out, const Block& block);

// Common blocks.
Bytes WhiteLine(uint16_t pageNo, bool edge = false);
Bytes Line(uint16_t pageNo, uint8_t imageType, const Bytes& data, bool edge = false);
Bytes JpegBlock(uint16_t pageNo, uint8_t imageType, const Bytes& data, uint32_t lineCount);
Bytes PageEnd(uint16_t pageNo, uint8_t status = 0x21);  // 0x21-0x25
Bytes AllPagesEnd();
Bytes SizeInfo(uint16_t pageNo, uint32_t width, uint32_t height);
Bytes ColorCheck(uint16_t pageNo, uint8_t imageType);
Bytes Notice(uint8_t status);                                                             // 0x10, 0x40, 0x41, 0x42
Bytes Timer(uint8_t status, uint16_t seconds);                                            // 0x50-0x52
Bytes Failure(uint8_t status, uint16_t pageNo, uint32_t width = 0, uint32_t height = 0);  // 0x71-0x74
Bytes DeviceError(uint8_t result, uint8_t status = 0);

}  // namespace gen2_blocks
