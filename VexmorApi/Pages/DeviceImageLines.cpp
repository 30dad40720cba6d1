// Received lines of a page in one block.
#include "VexmorApi/Pages/DeviceImageLines.h"

#include <algorithm>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Pages/DeviceImageLines";

// Records reserved up front; more come by the vector's own growth.
constexpr uint32_t kMaximumReservedRecords = 0x10000;

}  // namespace

DeviceImageLines::DeviceImageLines(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType)
    : DeviceImageLines(resolutionX, resolutionY, colorType, 0, 0)
{
}

DeviceImageLines::DeviceImageLines(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType,
                                   uint32_t width, uint32_t expectedLines)
    : DeviceImageLines(DeviceImageInfo(resolutionX, resolutionY, colorType, width), expectedLines)
{
}

DeviceImageLines::DeviceImageLines(DeviceImageInfo const& info, uint32_t expectedLines) : DeviceImage(info)
{
    AllocateBytes(expectedLines);
    lineInfos_.reserve(std::min(expectedLines, kMaximumReservedRecords));
}

void DeviceImageLines::AllocateBytes(uint32_t lines)
{
    DeviceImageInfo const info = GetDeviceImageInfo();
    uint32_t const width16 =
        static_cast<uint32_t>(std::min<uint64_t>((uint64_t{info.GetWidth()} + 15) / 16 * 16, UINT32_MAX));
    ReserveBytes(color_layout::Multiply(info.CalcWidthBytesFor4BytesAlignment(width16), lines));
}

void DeviceImageLines::AppendLine(LineColorType color, CompressionType compression, uint32_t length,
                                  unsigned char const* data)
{
    uint32_t const offset = bytes_ ? bytes_->GetByteSize() : 0;
    if (uint64_t{offset} + length > UINT32_MAX) {
        ThrowFailedToAllocate(uint64_t{offset} + length, kOrigin, "AppendLine");
    }
    if (bytes_) {
        bytes_->AppendBytes(length, data);
    } else {
        bytes_ = std::make_unique<BytesMemory>(length, const_cast<unsigned char*>(data), BytesMemory::Copy);
    }
    lineInfos_.push_back(LineInfo{color, compression, offset, length});
}

void DeviceImageLines::AdoptLines(std::unique_ptr<Bytes> block, uint32_t count, uint32_t length, LineColorType color,
                                  CompressionType compression)
{
    if (bytes_ || !lineInfos_.empty()) {
        VEXMOR_THROW(kOrigin, "AdoptLines", Exception::InvalidSequence, "the image already holds lines");
    }
    uint64_t const size = uint64_t{count} * length;
    if (!block || block->GetByteSize() < size) {
        VEXMOR_THROW(kOrigin, "AdoptLines", Exception::InvalidArgument,
                     "a block of " + std::to_string(block ? block->GetByteSize() : 0) + " bytes for " +
                         std::to_string(count) + " lines of " + std::to_string(length) + " bytes");
    }
    lineInfos_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        lineInfos_.push_back(LineInfo{color, compression, static_cast<uint32_t>(uint64_t{i} * length), length});
    }
    bytes_ = std::move(block);
}

DeviceImageLines::LineColorType DeviceImageLines::GetLineColorType(uint32_t lineNum) const
{
    if (lineNum >= lineInfos_.size()) {
        ThrowInvalidIndex(lineNum, "GetLineColorType");
    }
    return lineInfos_[lineNum].color;
}

DeviceImageLines::CompressionType DeviceImageLines::GetCompressionType(uint32_t lineNum) const
{
    if (lineNum >= lineInfos_.size()) {
        ThrowInvalidIndex(lineNum, "GetCompressionType");
    }
    return lineInfos_[lineNum].compression;
}

uint32_t DeviceImageLines::GetLineLength(uint32_t lineNum) const
{
    if (lineNum >= lineInfos_.size()) {
        ThrowInvalidIndex(lineNum, "GetLineLength");
    }
    return lineInfos_[lineNum].length;
}

unsigned char* DeviceImageLines::GetLineHeadPointer(uint32_t lineNum)
{
    if (lineNum >= lineInfos_.size() || !bytes_) {
        ThrowInvalidIndex(lineNum, "GetLineHeadPointer");
    }
    LineInfo const& line = lineInfos_[lineNum];
    unsigned char* block = bytes_->GetBytesPointer();
    // The bytes now in memory (a file-backed block has just been loaded): a
    // record is never read past their end.
    if (uint64_t{line.offset} + line.length > bytes_->GetByteSizeOnMemory()) {
        ThrowInvalidIndex(lineNum, "GetLineHeadPointer");
    }
    return block + line.offset;
}

std::unique_ptr<Bytes> DeviceImageLines::ReadBlock() { return std::move(bytes_); }

void DeviceImageLines::ThrowInvalidIndex(uint32_t lineNum, char const* function) const
{
    VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument,
                 "Invalid array index - lineInfos_.size(): " + std::to_string(lineInfos_.size()) +
                     ", lineNum: " + std::to_string(lineNum));
}
