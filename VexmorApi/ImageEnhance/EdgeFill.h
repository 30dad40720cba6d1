// Edge fill of finished pages: bands of the given widths along the four
// edges set to white or black, for 1-, 8- and 24-bit rows.
#pragma once

#include <cstdint>
#include <vector>

#include "VexmorApi/Temp/ImageProcParam.h"

// A stateless step object; any thread may use its own.
class CEdgeFill {
public:
    // The bands in pixels; black fills 0x00, else 0xFF.
    struct Range {
        uint8_t black;
        uint32_t left;
        uint32_t right;
        uint32_t top;
        uint32_t bottom;
    };

    CEdgeFill() = default;
    virtual ~CEdgeFill() = default;

    // The parameter's four amounts in pixels at resolution (negative amounts
    // and amounts in an unknown unit count as 0).
    Range ConvertToFillRange(unsigned short resolution, vscore::IMAGEPROC_EDGE_FILL_PARAM const& parameter);
    // Fills the left and right bands of every row, then the top and bottom
    // rows. pixels holds height rows of bytesPerRow bytes, top row first;
    // each band is limited to the page, and a row's fill never passes the
    // row (nor its width in pixels). 1-bit rows change only the band's bits.
    // Nothing for null pixels or depths other than 1, 8 and 24.
    void FillEdge(unsigned char* pixels, unsigned int width, unsigned int bytesPerRow, unsigned int height,
                  unsigned char bitsPerPixel, Range const& range);

private:
    struct Rows {
        unsigned char* pixels;
        uint32_t width;
        uint32_t bytesPerRow;
        uint32_t height;
        unsigned bitsPerPixel;
    };

    static void FillWidth(Rows const& rows, uint32_t count, bool left, unsigned char fill);
    static void FillHeight(Rows const& rows, uint32_t count, bool top, unsigned char fill);
    // Bytes of count pixels of 8 or 24 bits, at most bytesPerRow.
    static uint64_t CalcFillWidthBytes(uint32_t count, unsigned bitsPerPixel, uint32_t bytesPerRow);
    // One byte per pixel (0 or 1), most significant bit first.
    static void Get8BitFrom1bitLineData(unsigned char const* row, uint32_t width, std::vector<uint8_t>& line);
    // Packs width pixels back; bits beyond the width keep their value.
    static void Get1bitFrom8bitLineData(std::vector<uint8_t> const& line, uint32_t width, unsigned char* row);
    // Bit `index` (0 the most significant) of value.
    static uint8_t GetBitValue(unsigned char value, unsigned index);
    static unsigned char GetFillBits(bool black);
};
