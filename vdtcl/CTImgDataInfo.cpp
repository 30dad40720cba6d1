// Image descriptions and the image box that owns its pixel memory.
#include "vdtcl/CTImgDataInfo.h"

#include <cstdint>
#include <new>

namespace vdtcl {

CTImgDataInfo::~CTImgDataInfo() { CTImgDataInfo::ClearImageDataInfo(); }

bool CTImgDataInfo::SetImageDataMemory(unsigned char const* memory, unsigned long memorySize, int width, int height,
                                       imgclr_t type, unsigned dataOffset)
{
    if (memory == nullptr || memorySize == 0 || m_memory != nullptr) {
        return false;
    }
    const unsigned long dataSize = CalcImageDataSize(width, height, type);
    if (dataSize == 0) {
        return false;
    }
    // Written so that neither side can wrap.
    if (dataSize > memorySize || dataOffset > memorySize - dataSize) {
        return false;
    }
    m_memory = const_cast<unsigned char*>(memory);
    m_memorySize = memorySize;
    m_data = m_memory + dataOffset;
    m_dataSize = dataSize;
    m_colorType = type;
    m_width = width;
    m_height = height;
    return true;
}

void CTImgDataInfo::ClearImageDataInfo()
{
    m_memory = nullptr;
    m_memorySize = 0;
    m_data = nullptr;
    m_dataSize = 0;
    m_colorType = kColorNone;
    m_width = 0;
    m_height = 0;
    m_dpiX = 0;
    m_dpiY = 0;
}

int CTImgDataInfo::GetBitPerPixel() const { return BitsPerPixel(m_colorType); }

int CTImgDataInfo::BitsPerPixel(imgclr_t type)
{
    switch (type) {
    case kColorBW:
    case kColorBW1:
        return 1;
    case kColorGray:
    case kColorGray1:
        return 8;
    case kColorRGB24:
        return 24;
    case kColorRGBA32:
        return 32;
    default:
        return 0;
    }
}

bool CTImgDataInfo::GetImagePixelSize(int& width, int& height) const
{
    if (m_width > 0 && m_height > 0) {
        width = m_width;
        height = m_height;
        return true;
    }
    width = 0;
    height = 0;
    return false;
}

bool CTImgDataInfo::GetImageDpi(int& x, int& y) const
{
    if (m_dpiX > 0 && m_dpiY > 0) {
        x = m_dpiX;
        y = m_dpiY;
        return true;
    }
    x = 0;
    y = 0;
    return false;
}

bool CTImgDataInfo::SetImageDpi(int x, int y)
{
    if (x <= 0 || y <= 0) {
        return false;
    }
    m_dpiX = x;
    m_dpiY = y;
    return true;
}

unsigned long CTImgDataInfo::CalcBytesWidth(int width, imgclr_t type)
{
    if (width <= 0) {
        return 0;
    }
    const uint64_t bits = static_cast<uint64_t>(BitsPerPixel(type));
    if (bits == 0) {
        return 0;
    }
    const uint64_t bytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    return static_cast<unsigned long>((bytes + 3) & ~static_cast<uint64_t>(3));
}

unsigned long CTImgDataInfo::CalcImageDataSize(int width, int height, imgclr_t type)
{
    if (width <= 0 || height <= 0 || type == kColorNone) {
        return 0;
    }
    const uint64_t row = CalcBytesWidth(width, type);
    if (row == 0 || row > UINT64_MAX / static_cast<uint64_t>(height)) {
        return 0;
    }
    return static_cast<unsigned long>(row * static_cast<uint64_t>(height));
}

CTImgDataBox::~CTImgDataBox() { FreeImageDataMemory(); }

bool CTImgDataBox::AllocImageDataMemory(int width, int height, imgclr_t type, unsigned dataOffset)
{
    if (width <= 0 || height <= 0 || type == kColorNone || m_memory != nullptr) {
        return false;
    }
    const unsigned long dataSize = CalcImageDataSize(width, height, type);
    if (dataSize == 0 || dataSize > SIZE_MAX - dataOffset) {
        return false;
    }
    const size_t total = static_cast<size_t>(dataSize) + dataOffset;
    unsigned char* memory = new (std::nothrow) unsigned char[total]();
    if (memory == nullptr) {
        return false;
    }
    if (!SetImageDataMemory(memory, total, width, height, type, dataOffset)) {
        delete[] memory;
        return false;
    }
    m_owner = true;
    return true;
}

void CTImgDataBox::FreeImageDataMemory()
{
    if (!m_owner || m_memory == nullptr) {
        return;
    }
    ClearImageDataInfo();
}

void CTImgDataBox::ClearImageDataInfo()
{
    if (m_owner) {
        delete[] m_memory;
        m_owner = false;
    }
    CTImgDataInfo::ClearImageDataInfo();
}

}  // namespace vdtcl
