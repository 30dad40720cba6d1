// A page's JPEG stream and its frame height.
#include "VexmorApi/Pages/DeviceImageJpeg.h"

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/Pages/DeviceImageJpeg";
}  // namespace

DeviceImageJpeg::DeviceImageJpeg(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType)
    : DeviceImageJpeg(resolutionX, resolutionY, colorType, 0, 0)
{
}

DeviceImageJpeg::DeviceImageJpeg(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType,
                                 uint32_t width, uint32_t expectedLines)
    : DeviceImageJpeg(DeviceImageInfo(resolutionX, resolutionY, colorType, width), expectedLines)
{
}

DeviceImageJpeg::DeviceImageJpeg(DeviceImageInfo const& info, uint32_t expectedLines) : DeviceImage(info)
{
    AllocateBytes(expectedLines);
}

void DeviceImageJpeg::AllocateBytes(uint32_t lines)
{
    ReserveBytes(color_layout::Multiply(GetDeviceImageInfo().CalcWidthBytesFor4BytesAlignment(), lines) / 3);
}

void DeviceImageJpeg::AppendBlock(uint32_t length, unsigned char const* data)
{
    uint64_t const total = uint64_t{GetByteSize()} + length;
    if (total > UINT32_MAX) {
        ThrowFailedToAllocate(total, kOrigin, "AppendBlock");
    }
    if (bytes_) {
        bytes_->AppendBytes(length, data);
    } else {
        bytes_ = std::make_unique<BytesMemory>(length, const_cast<unsigned char*>(data), BytesMemory::Copy);
    }
}

unsigned char* DeviceImageJpeg::GetBlockPointer()
{
    return bytes_ && GetByteSize() != 0 ? bytes_->GetBytesPointer() : nullptr;
}

uint32_t DeviceImageJpeg::GetHeight()
{
    unsigned char const* block = GetBlockPointer();
    return block ? CJpegHeader::GetHeightPix(block, bytes_->GetByteSizeOnMemory()) : 0;
}

void DeviceImageJpeg::SetHeight(uint32_t height)
{
    // A stream in a file is patched in its loaded copy, which a later store
    // writes back.
    unsigned char* block = GetBlockPointer();
    if (block) {
        CJpegHeader::SetHeightPix(block, bytes_->GetByteSizeOnMemory(), height);
    }
}

uint64_t DeviceImageJpeg::GetRequiredByteSize() { return GetDeviceImageInfo().GetBytesPerRow() * GetHeight(); }
