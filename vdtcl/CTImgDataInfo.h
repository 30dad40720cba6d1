// Uncompressed images in memory: CTImgDataInfo describes pixels that live
// elsewhere, CTImgDataBox also owns them. Rows are padded to a multiple of
// 4 bytes, which the rotation kernels and the codecs rely on.
#pragma once

#include <cstddef>

namespace vdtcl {

// Description of an image in a buffer it does not own. Sizes are byte counts
// (unsigned long is the platform's size_t). Not shared between threads.
class CTImgDataInfo {
public:
    // Pixel layout. 0 and 1 are one bit per pixel, 2 and 3 eight bits; the
    // members of each pair differ only in how the JPEG and TIFF writers treat
    // them.
    using imgclr_t = int;
    static constexpr imgclr_t kColorNone = -1;
    static constexpr imgclr_t kColorBW = 0;
    static constexpr imgclr_t kColorBW1 = 1;
    static constexpr imgclr_t kColorGray = 2;
    static constexpr imgclr_t kColorGray1 = 3;
    static constexpr imgclr_t kColorRGB24 = 24;
    static constexpr imgclr_t kColorRGBA32 = 32;

    CTImgDataInfo() = default;
    CTImgDataInfo(const CTImgDataInfo&) = default;
    CTImgDataInfo& operator=(const CTImgDataInfo&) = default;
    virtual ~CTImgDataInfo();

    // Attaches an outside buffer whose pixel rows start dataOffset bytes in.
    // Refused when memory is null or empty, a buffer is already attached, the
    // image size is 0, or the buffer cannot hold the offset plus the rows.
    // The buffer stays the caller's.
    bool SetImageDataMemory(unsigned char const* memory, unsigned long memorySize, int width, int height, imgclr_t type,
                            unsigned dataOffset);
    // Forgets the buffer and every field (type -1); frees nothing that the
    // description does not own (see CTImgDataBox).
    virtual void ClearImageDataInfo();

    unsigned char* GetPtrToImageMemory() const { return m_memory; }
    unsigned long GetImageMemorySize() const { return m_memorySize; }
    unsigned char* GetPtrToImageData() const { return m_data; }
    unsigned long GetImageDataSize() const { return m_dataSize; }
    imgclr_t GetImageColorType() const { return m_colorType; }
    int GetBitPerPixel() const;

    // Both answer false with both outputs 0 unless both values are above 0.
    bool GetImagePixelSize(int& width, int& height) const;
    bool GetImageDpi(int& x, int& y) const;
    // Both values must be above 0; otherwise nothing changes.
    bool SetImageDpi(int x, int y);

    // Bits of one pixel of the type: 1, 8, 24 or 32; 0 for an unknown type.
    static int BitsPerPixel(imgclr_t type);
    // Bytes of one row, padded to a multiple of 4; 0 for an unknown type or a
    // width not above 0.
    static unsigned long CalcBytesWidth(int width, imgclr_t type);
    // Row bytes times height; 0 for a width or height not above 0, an unknown
    // type, or a size that does not fit.
    static unsigned long CalcImageDataSize(int width, int height, imgclr_t type);

protected:
    unsigned char* m_memory = nullptr;  // the whole buffer
    unsigned long m_memorySize = 0;
    unsigned char* m_data = nullptr;  // first pixel row: memory + data offset
    unsigned long m_dataSize = 0;     // bytes of the pixel rows
    imgclr_t m_colorType = kColorNone;
    int m_width = 0;
    int m_height = 0;
    int m_dpiX = 0;
    int m_dpiY = 0;
};

// An image description that owns its pixel memory. Not copyable.
class CTImgDataBox : public CTImgDataInfo {
public:
    CTImgDataBox() = default;
    CTImgDataBox(const CTImgDataBox&) = delete;
    CTImgDataBox& operator=(const CTImgDataBox&) = delete;
    ~CTImgDataBox() override;

    // Allocates zeroed memory for the image plus dataOffset leading bytes and
    // attaches it. Refused for a size not above 0, type -1, a box that already
    // holds memory, or when the allocation fails.
    bool AllocImageDataMemory(int width, int height, imgclr_t type, unsigned dataOffset);
    // Releases owned memory and clears the description; a box that does not
    // own its memory is left alone.
    void FreeImageDataMemory();
    // Releases owned memory, then clears the description, so that the owner
    // mark never outlives the memory it was set for (a buffer attached later
    // is not the box's to free).
    void ClearImageDataInfo() override;

private:
    bool m_owner = false;  // the memory was allocated by this box
};

}  // namespace vdtcl
