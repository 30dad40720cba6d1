// Generation-2 scan-data blocks, byte by byte.
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"

namespace gen2_blocks {

namespace {

void PutWord(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLong(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

std::optional<Layout> LayoutOf(uint8_t status)
{
    Layout layout;
    switch (status) {
    case 0x00:  // white line, edge white line
    case 0x03:
    case 0x21:  // page ends
    case 0x22:
    case 0x23:
    case 0x24:
    case 0x25:
    case 0x72:  // failures of colour check, blank check, deskew
    case 0x73:
    case 0x74:
        layout.pageNo = true;
        return layout;
    case 0x01:  // line, block, edge line
    case 0x02:
    case 0x04:
        layout.pageNo = layout.imageType = layout.data = true;
        return layout;
    case 0x11:  // size information, failed size detection
    case 0x71:
        layout.pageNo = layout.size = true;
        return layout;
    case 0x12:  // colour check result
        layout.pageNo = layout.imageType = true;
        return layout;
    case 0x10:
    case 0x20:
    case 0x40:
    case 0x41:
    case 0x42:
        return layout;
    case 0x50:
    case 0x51:
    case 0x52:
        layout.timer = true;
        return layout;
    default:
        return std::nullopt;
    }
}

uint8_t ImageType(bool direction, uint8_t compression, uint8_t color)
{
    return static_cast<uint8_t>((direction ? 0x80 : 0) | ((compression & 0x03) << 3) | (color & 0x07));
}

void AppendTo(Bytes& out, const Block& block)
{
    out.push_back(block.result);
    out.push_back(block.status);
    std::optional<Layout> const layout = LayoutOf(block.status);
    if (block.result != 0 || !layout) {
        return;
    }
    if (layout->pageNo) {
        PutWord(out, block.pageNo);
    }
    if (layout->imageType) {
        out.push_back(block.imageType);
        out.push_back(block.imageTypePad);
    }
    if (layout->data) {
        PutLong(out, block.declaredSize.value_or(static_cast<uint32_t>(block.data.size())));
        PutLong(out, block.lineCount);
        out.insert(out.end(), block.data.begin(), block.data.end());
    }
    if (layout->size) {
        PutLong(out, block.width);
        PutLong(out, block.height);
    }
    if (layout->timer) {
        PutWord(out, block.timer);
    }
}

Bytes Encode(const Block& block)
{
    Bytes out;
    AppendTo(out, block);
    return out;
}

Bytes WhiteLine(uint16_t pageNo, bool edge)
{
    Block block;
    block.status = edge ? 0x03 : 0x00;
    block.pageNo = pageNo;
    return Encode(block);
}

Bytes Line(uint16_t pageNo, uint8_t imageType, const Bytes& data, bool edge)
{
    Block block;
    block.status = edge ? 0x04 : 0x01;
    block.pageNo = pageNo;
    block.imageType = imageType;
    block.data = data;
    return Encode(block);
}

Bytes JpegBlock(uint16_t pageNo, uint8_t imageType, const Bytes& data, uint32_t lineCount)
{
    Block block;
    block.status = 0x02;
    block.pageNo = pageNo;
    block.imageType = imageType;
    block.data = data;
    block.lineCount = lineCount;
    return Encode(block);
}

Bytes PageEnd(uint16_t pageNo, uint8_t status)
{
    Block block;
    block.status = status;
    block.pageNo = pageNo;
    return Encode(block);
}

Bytes AllPagesEnd() { return Bytes{0x00, 0x20}; }

Bytes SizeInfo(uint16_t pageNo, uint32_t width, uint32_t height)
{
    Block block;
    block.status = 0x11;
    block.pageNo = pageNo;
    block.width = width;
    block.height = height;
    return Encode(block);
}

Bytes ColorCheck(uint16_t pageNo, uint8_t imageType)
{
    Block block;
    block.status = 0x12;
    block.pageNo = pageNo;
    block.imageType = imageType;
    return Encode(block);
}

Bytes Notice(uint8_t status) { return Bytes{0x00, status}; }

Bytes Timer(uint8_t status, uint16_t seconds)
{
    Block block;
    block.status = status;
    block.timer = seconds;
    return Encode(block);
}

Bytes Failure(uint8_t status, uint16_t pageNo, uint32_t width, uint32_t height)
{
    Block block;
    block.status = status;
    block.pageNo = pageNo;
    block.width = width;
    block.height = height;
    return Encode(block);
}

Bytes DeviceError(uint8_t result, uint8_t status) { return Bytes{result, status}; }

}  // namespace gen2_blocks
