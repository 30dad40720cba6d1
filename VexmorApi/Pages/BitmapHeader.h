// BMP headers in memory: building the file header, information header and
// palette of a page bitmap, and reading the fields of a BMP held in a buffer.
// The one BMP layout of the whole engine (pages and image library).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vdtcl/BmpLayout.h"

// One palette entry as a BMP stores it.
struct tagVDRGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// The layout itself (field offsets, palette sizes, the resolution
// conversions) is the toolbox's, vdtcl/BmpLayout.h.
class CBitmapHeader {
public:
    static constexpr unsigned kFileHeaderSize = vdtcl::bmp::kFileHeaderSize;
    static constexpr unsigned kInfoHeaderSize = vdtcl::bmp::kInfoHeaderSize;
    static constexpr unsigned kHeadersSize = vdtcl::bmp::kHeadersSize;  // 54

    // Nothing built yet.
    CBitmapHeader();
    // Builds at once, with the palette of CreateColorTable(bitsPerPixel).
    CBitmapHeader(unsigned xdpi, unsigned ydpi, unsigned bitsPerPixel, unsigned width, unsigned height,
                  unsigned* headerSize, bool invertPalette);
    ~CBitmapHeader();
    CBitmapHeader(CBitmapHeader const&) = delete;
    CBitmapHeader& operator=(CBitmapHeader const&) = delete;

    // Builds the headers and palette of a bitmap of 1, 8 or 24 bits per pixel
    // (the depths whose palette tables exist) and returns the block, owned by
    // this object until the next build or FreeBmpHeader. The palette must
    // hold CalcColorPaletteNum(bitsPerPixel) entries; invertPalette
    // complements their colours. headerSize, when given, receives the block's
    // size (0 when nothing was built). Null for another depth, a missing
    // palette, a size the 32-bit fields cannot hold or a failed allocation.
    unsigned char* CreateBmpHeader(unsigned xdpi, unsigned ydpi, unsigned bitsPerPixel, unsigned width, unsigned height,
                                   tagVDRGBQUAD const* palette, unsigned* headerSize, bool invertPalette);
    // The monochrome table (entry 0 black, entry 1 white) for 1 bit, the gray
    // ramp (entry i = i, i, i) for 8 bits, null otherwise. Made on first use,
    // owned by this object until FreeColorTable or its end.
    tagVDRGBQUAD const* CreateColorTable(unsigned bitsPerPixel);
    void FreeColorTable();
    void FreeBmpHeader();
    // The built block, null when none.
    unsigned char* Get() const { return header_.get(); }
    // Complements blue, green and red of count entries; true when count > 0.
    static bool InvertColorPalettePixelFlavor(tagVDRGBQUAD* palette, unsigned count);

    // Inspection of a BMP in a buffer of length bytes. Each answers 0, false
    // or null for a missing buffer or one too short for the part asked for,
    // and never reads outside the buffer.
    static bool IsBmpData(unsigned char const* data, size_t length);
    static unsigned char const* GetBmpFileHeader(unsigned char const* data, size_t length);
    static unsigned char const* GetBmpInfoHeader(unsigned char const* data, size_t length);
    static bool IsColorPaletteContain(unsigned char const* data, size_t length);
    // Palette entries by the header's depth: 1 -> 2, 4 -> 16, 8 -> 256, else 0.
    static unsigned GetColorPaletteNum(unsigned char const* data, size_t length);
    // data + 54 when the whole palette lies in the buffer.
    static tagVDRGBQUAD const* GetBmpColorPaletterPointer(unsigned char const* data, size_t length);
    // The pixels behind headers and palette, with their byte count up to the
    // end of the buffer in size; data itself for raw pixels without "BM"
    // (size untouched); null when no pixel byte lies in the buffer.
    static unsigned char const* GetBmpPixelDataPointer(unsigned char const* data, size_t length, size_t* size);
    static unsigned short GetResolutionX(unsigned char const* data, size_t length);
    static unsigned short GetResolutionY(unsigned char const* data, size_t length);
    static unsigned GetBitPerPixel(unsigned char const* data, size_t length);
    // As stored; a negative height marks rows stored top row first.
    static int32_t GetWidthPixel(unsigned char const* data, size_t length);
    static int32_t GetHeightPixel(unsigned char const* data, size_t length);
    // Rows of 4-byte multiples times the height; 0 for a width or height <= 0.
    static uint64_t GetPixelDataSize(unsigned char const* data, size_t length);
    static unsigned GetColorPaletteIndexOfBlack(unsigned char const* data, size_t length);
    static unsigned GetColorPaletteIndexOfWhite(unsigned char const* data, size_t length);
    // 1-bit data whose palette entry 0 is black (chocolate) or white (vanilla).
    static bool IsChocolatePixelFlavor(unsigned char const* data, size_t length);
    static bool IsVanillaPixelFlavor(unsigned char const* data, size_t length);
    // The byte of white pixels: by the palette for 1 and 8 bits, else the default.
    static unsigned char GetWhiteDataValue(unsigned char const* data, size_t length);
    // 1 for 1 bit, 255 otherwise.
    static unsigned char GetDefaultWhiteDataValue(unsigned bitsPerPixel);
    // Writes height, pixel data size and file size into the headers; false
    // (nothing written) without both headers, with depth 0 or sizes beyond 32 bits.
    static bool SetHeightPixel(unsigned char* data, size_t length, uint32_t height);

    // Size arithmetic in 64 bits; alignment is a power of two (0 counts as 1).
    static uint64_t CalcWidthBytes(uint64_t width, unsigned bitsPerPixel, unsigned alignment);
    static uint64_t CalcPixelDataSize(uint64_t width, uint64_t height, unsigned bitsPerPixel, unsigned alignment);
    // 1 -> 2, 2 -> 4, 4 -> 16, 8 -> 256, anything else 0.
    static unsigned CalcColorPaletteNum(unsigned bitsPerPixel);
    static unsigned CalcBmpHeaderSize(unsigned bitsPerPixel);
    static uint64_t CalcBmpSize(unsigned bitsPerPixel, uint64_t width, uint64_t height, unsigned alignment);
    // (dpi x 10000 + 9) / 254, divided in single precision and truncated.
    static uint32_t ConvertDotPerInchToPixPerMeter(uint32_t dpi);
    // (ppm x 254 + 25.4) / 10000 rounded, at most 65535.
    static unsigned short ConvertPixPerMeterToDotPerInch(uint32_t ppm);

private:
    std::unique_ptr<unsigned char[]> header_;
    std::unique_ptr<tagVDRGBQUAD[]> monochromeTable_;
    std::unique_ptr<tagVDRGBQUAD[]> grayTable_;
};
