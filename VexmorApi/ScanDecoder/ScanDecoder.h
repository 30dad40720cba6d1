// The page-level scan decoder: feeds the received lines of one page through
// a line decoder, keeps the rows inside the selected area, limits the height
// and builds the page bitmap at the output resolution.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Pages/DeviceImageLines.h"
#include "VexmorApi/ScanDecoder/IScanDec.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Utilities/CancelCheck.h"

class BytesMemory;

namespace vscore {

// Normal reads the lines top first; Reversal turns the page by half a turn
// (last line first, every line mirrored).
enum InvertDirection : int32_t { InvertNormal = 0, InvertReversal = 1 };

// Used by one thread; decodes pages one after the other, a new line
// decoder for each.
class ScanDecoder {
public:
    // One write record whose buffer it frees.
    class ScanDecWriteWrapper {
    public:
        ScanDecWriteWrapper() = default;
        ~ScanDecWriteWrapper();
        ScanDecWriteWrapper(ScanDecWriteWrapper const&) = delete;
        ScanDecWriteWrapper& operator=(ScanDecWriteWrapper const&) = delete;
        SCANDEC_WRITE write = {};
    };

    ScanDecoder() = default;
    virtual ~ScanDecoder();

    // Decodes the page's lines into a bitmap of outResolution dpi, at most
    // maxHeight rows (the rows inside the area when one is given, which
    // then also cuts the width). reservedHeight only sizes the first
    // reservation of the pixels. The lines are consumed; the caller owns the
    // result. Throws TraceException (see the messages below) on failure, and
    // Cancelled once cancel asks to stop, checked before each line decoded.
    std::unique_ptr<BitmapImage> Proc(std::unique_ptr<DeviceImageLines> lines, unsigned short outResolution,
                                      unsigned int maxHeight, InvertDirection invert, unsigned int reservedHeight,
                                      std::shared_ptr<DecodeParameter::Area> const& area,
                                      CancelCheck const& cancel = CancelCheck());

    // width x outResolution / inResolution (product first, 64 bits): the
    // width the resolution stage gives. Throws InvalidArgument for a
    // resolution of 0 or a width beyond 32 bits.
    static uint32_t CalculateOutWidth(unsigned short outResolution, unsigned short inResolution, uint32_t width);
    // {resolution, colour type (0-3 kept, others 0), width, height}.
    static ImageInfo ConvertImageInfo(DeviceImageInfo const& info, uint16_t resolution, uint32_t width,
                                      uint32_t height);
    // The colour word of a colour type: 0x101, 0x102, 0x208, else 0x420.
    static int32_t ConvertColorTypeToInt(DeviceImageInfo::ColorType colorType);
    // The data kind of a line: v + 1 for 0-6, else a whole row (1).
    static int32_t ConvertColorTypeToInt(DeviceImageLines::LineColorType lineColor);
    // The compression code of a line: 0 white (1), 1 none (2), else PackBits (3).
    static int32_t ConvertCompressionTypeToInt(DeviceImageLines::CompressionType compression);
    // True without an area, else area.y <= row < area.y + area.height.
    static bool IsInsideSelectedArea(std::shared_ptr<DecodeParameter::Area> const& area, uint32_t row);

private:
    // The lines' block itself as the bitmap, where the line decoder would
    // only copy it: every line an uncompressed whole row of the output
    // (red-green-blue or 8-bit gray), back to back at the output's 4-byte
    // row length with the padding 0, at the output resolution, neither
    // turned nor cut to an area, the block in memory. Null, with the lines
    // untouched, for any other page.
    static std::unique_ptr<BitmapImage> TakeRowsAsBitmap(DeviceImageLines& lines, unsigned short outResolution,
                                                         unsigned int maxHeight, InvertDirection invert,
                                                         std::shared_ptr<DecodeParameter::Area> const& area);
    static SCANDEC_OPEN CreateScanDecOpen(DeviceImageLines const& lines, unsigned short outResolution,
                                          uint32_t outWidth);
    static void CreateScanDecWrite(ScanDecWriteWrapper& wrapper, SCANDEC_OPEN const& open, InvertDirection invert);
    // Fills the write record from line n; false for a line that needs data
    // and has none.
    static bool CopyDeviceImageLineToDecodeWrite(DeviceImageLines& lines, uint32_t n, SCANDEC_WRITE& write);
    // Appends up to `remaining` of the rows (those inside the area); their count.
    static uint32_t AppendDecodedLine(uint64_t bytesPerRow, uint32_t rows, uint32_t remaining, uint64_t firstRow,
                                      std::shared_ptr<DecodeParameter::Area> const& area, unsigned char const* source,
                                      BytesMemory& output);
    static std::unique_ptr<BitmapImage> CreateWidthAdjustedImage(std::unique_ptr<BytesMemory> output,
                                                                 DeviceImageInfo const& info, uint16_t resolution,
                                                                 uint32_t width, uint32_t height,
                                                                 DecodeParameter::Area const& area);

    std::unique_ptr<IScanDec> decoder_;
};

}  // namespace vscore
