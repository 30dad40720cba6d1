// Edge fill of finished pages: unit conversion of the four bands, then the
// bands set row by row (1-bit rows through one byte per pixel).
#include "VexmorApi/ImageEnhance/EdgeFill.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {

// One amount in pixels; 0 for a negative amount or an unknown unit.
uint32_t ToPixels(unsigned short resolution, int32_t value, vscore::UNITTYPE unit)
{
    unsigned int const dpi = resolution;
    unsigned int const amount = value < 0 ? 0u : static_cast<unsigned int>(value);
    unsigned int pixels = 0;
    if (!vscore::CConvertUnit::ConvertToPixles(dpi, amount, unit, &pixels)) {
        return 0;
    }
    return pixels;
}

}  // namespace

CEdgeFill::Range CEdgeFill::ConvertToFillRange(unsigned short resolution,
                                               vscore::IMAGEPROC_EDGE_FILL_PARAM const& parameter)
{
    vscore::MARGINSIZE const& margin = parameter.margin;
    Range range{};
    range.black = parameter.black ? 1 : 0;
    range.left = ToPixels(resolution, margin.left, margin.unit);
    range.right = ToPixels(resolution, margin.right, margin.unit);
    range.top = ToPixels(resolution, margin.top, margin.unit);
    range.bottom = ToPixels(resolution, margin.bottom, margin.unit);
    g_ImageEnhanceLog.WriteLog(2, "black = %d", range.black);
    g_ImageEnhanceLog.WriteLog(2, "fill leftPixel = %d", static_cast<int>(range.left));
    g_ImageEnhanceLog.WriteLog(2, "fill rightPixel = %d", static_cast<int>(range.right));
    g_ImageEnhanceLog.WriteLog(2, "fill topPixel = %d", static_cast<int>(range.top));
    g_ImageEnhanceLog.WriteLog(2, "fill bottomPixel = %d", static_cast<int>(range.bottom));
    return range;
}

void CEdgeFill::FillEdge(unsigned char* pixels, unsigned int width, unsigned int bytesPerRow, unsigned int height,
                         unsigned char bitsPerPixel, Range const& range)
{
    if (range.left == 0 && range.right == 0 && range.top == 0 && range.bottom == 0) {
        return;
    }
    vscore::OperationTrace const trace(g_ImageEnhanceLog, 2, "FillEdge");
    trace.Enter();
    if (pixels != nullptr && (bitsPerPixel == 1 || bitsPerPixel == 8 || bitsPerPixel == 24)) {
        Rows const rows{pixels, width, bytesPerRow, height, bitsPerPixel};
        unsigned char const fill = GetFillBits(range.black != 0);
        FillWidth(rows, range.left, true, fill);
        FillWidth(rows, range.right, false, fill);
        FillHeight(rows, range.top, true, fill);
        FillHeight(rows, range.bottom, false, fill);
    }
    trace.Leave();
}

void CEdgeFill::FillWidth(Rows const& rows, uint32_t count, bool left, unsigned char fill)
{
    uint32_t const n = std::min(count, rows.width);
    if (n == 0) {
        return;
    }
    if (rows.bitsPerPixel == 1) {
        // A row holds at most bytesPerRow x 8 pixels.
        uint32_t const width = static_cast<uint32_t>(std::min<uint64_t>(rows.width, uint64_t{rows.bytesPerRow} * 8));
        uint32_t const band = std::min(n, width);
        uint8_t const bit = GetBitValue(fill, 7);
        std::vector<uint8_t> line;
        for (uint32_t y = 0; y < rows.height; ++y) {
            unsigned char* row = rows.pixels + uint64_t{y} * rows.bytesPerRow;
            Get8BitFrom1bitLineData(row, width, line);
            std::fill_n(line.begin() + (left ? 0 : width - band), band, bit);
            Get1bitFrom8bitLineData(line, width, row);
        }
        return;
    }
    uint64_t const bytes = CalcFillWidthBytes(n, rows.bitsPerPixel, rows.bytesPerRow);
    uint64_t const rowBytes =
        std::min<uint64_t>(CalcFillWidthBytes(rows.width, rows.bitsPerPixel, rows.bytesPerRow), rows.bytesPerRow);
    uint64_t const start = left ? 0 : rowBytes - std::min(bytes, rowBytes);
    for (uint32_t y = 0; y < rows.height; ++y) {
        std::memset(rows.pixels + uint64_t{y} * rows.bytesPerRow + start, fill, std::min(bytes, rowBytes - start));
    }
}

void CEdgeFill::FillHeight(Rows const& rows, uint32_t count, bool top, unsigned char fill)
{
    uint32_t const n = std::min(count, rows.height);
    uint64_t const first = top ? 0 : rows.height - n;
    std::memset(rows.pixels + first * rows.bytesPerRow, fill, uint64_t{n} * rows.bytesPerRow);
}

uint64_t CEdgeFill::CalcFillWidthBytes(uint32_t count, unsigned bitsPerPixel, uint32_t bytesPerRow)
{
    return std::min<uint64_t>(uint64_t{count} * (bitsPerPixel / 8), bytesPerRow);
}

void CEdgeFill::Get8BitFrom1bitLineData(unsigned char const* row, uint32_t width, std::vector<uint8_t>& line)
{
    line.resize(width);
    for (uint32_t x = 0; x < width; ++x) {
        line[x] = GetBitValue(row[x / 8], x % 8);
    }
}

void CEdgeFill::Get1bitFrom8bitLineData(std::vector<uint8_t> const& line, uint32_t width, unsigned char* row)
{
    for (uint32_t x = 0; x < width; ++x) {
        unsigned char const mask = static_cast<unsigned char>(0x80u >> (x % 8));
        row[x / 8] = static_cast<unsigned char>(line[x] != 0 ? row[x / 8] | mask : row[x / 8] & ~mask);
    }
}

uint8_t CEdgeFill::GetBitValue(unsigned char value, unsigned index) { return (value >> (7 - index)) & 1u; }

unsigned char CEdgeFill::GetFillBits(bool black) { return black ? 0x00 : 0xFF; }
