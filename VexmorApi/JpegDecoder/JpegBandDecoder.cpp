// Band decoding of large JPEG pages: header, write/read cycle and status
// mapping, logged to "DecodeLog".
#include "VexmorApi/JpegDecoder/JpegBandDecoder.h"

#include <algorithm>
#include <new>
#include <string>

#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/JpegDecoder/JpegBandDecoder";

struct StatusText {
    JPEGDECODESTATUS status;
    VSRSLT result;
    char const* text;
};

// clang-format off
StatusText const kStatusTexts[] = {
    {JPEGDEC_ERR,                  0x10403003, "Jpeg Dec error is Err"},
    {JPEGDEC_INVALID_PARAMETER,    0x70403004, "Jpeg Dec error is invalid parameter"},
    {JPEGDEC_LOW_MEMORY,           0x30403005, "Jpeg Dec error is low memory"},
    {JPEGDEC_MEMORY_PROC,          0x30403006, "Jpeg Dec error is memory proc"},
    {JPEGDEC_CREATE_STREAM_FAILED, 0x10403007, "Jpeg Dec error is create stream failed"},
    {JPEGDEC_WRITE_STREAM_FAILED,  0x10403008, "Jpeg Dec error is write stream failed"},
    {JPEGDEC_NOT_OPENED,           0x10403009, "Jpeg Dec error is not opened"},
    {JPEGDEC_WRITE_BAND_FAILED,    0x1040300A, "Jpeg Dec error is write band failed"},
};
// clang-format on

// A header's density in dpi as the line set keeps it (16 bits; dots per cm
// converted can pass that).
uint16_t Resolution(int32_t dpi) { return static_cast<uint16_t>(std::clamp<int32_t>(dpi, 0, 0xFFFF)); }

}  // namespace

std::unique_ptr<DeviceImageLines> JpegBandDecoder::DecodeJpegImage_Band(std::unique_ptr<DeviceImageJpeg> jpeg)
{
    if (!jpeg) {
        return nullptr;
    }
    unsigned char* const block = jpeg->GetBlockPointer();
    unsigned const size = jpeg->GetBlockSize();
    JPGBANDDECODEINFO info{};
    info.resolutionX = jpeg->GetResolutionX();
    info.resolutionY = jpeg->GetResolutionY();
    JPEGDECODESTATUS status = BandJpegDecOpen(block, size, &info);
    VSRSLT code = ConvertJpegDecErrToVSRSLT(status);
    if (status != JPEGDEC_OK) {
        // Also a header without width, height or depth, which the mapping
        // leaves at 0: nothing can be decoded.
        vscore::OperationTrace(g_DecodeLog, 2, "DecodeJpegImage_Band").LeaveResult(code);
        return nullptr;
    }
    g_DecodeLog.WriteLog(1, "Start JpegDcode jpgDecStatus = %d", status);
    // A device width of 0 is not known yet: the frame's is taken.
    uint32_t const deviceWidth = jpeg->GetWidth();
    uint32_t const width =
        deviceWidth == 0 ? static_cast<uint32_t>(info.width) : std::min(deviceWidth, static_cast<uint32_t>(info.width));
    unsigned char const bpp = static_cast<unsigned char>(info.bitsPerPixel);
    DeviceImageInfo::ColorType const colorType = GetColorType(bpp);
    DeviceImageLines::LineColorType const lineColor = GetLineColorType(bpp);
    std::unique_ptr<DeviceImageLines> lines;
    try {
        lines = std::make_unique<DeviceImageLines>(Resolution(info.resolutionX), Resolution(info.resolutionY),
                                                   colorType, width, static_cast<uint32_t>(info.height));
    } catch (std::bad_alloc const&) {
    } catch (Exception const&) {
    }
    if (!lines) {
        g_DecodeLog.WriteLog(1, "Error: Write Jpeg Docoded band failed. ret = %d", status);
        BandJpegDecClose();
        return nullptr;
    }

    unsigned char* pointer = block;
    unsigned written = 0;
    // The first piece too is at most the rest of the stream.
    unsigned span = std::min<unsigned>(static_cast<unsigned>(info.recommendedInputSize), size);
    g_DecodeLog.WriteLog(2, "jpgSize = %d, writtenSize = %d, writeSizeSpan = %d", static_cast<int>(size),
                         static_cast<int>(written), static_cast<int>(span));
    int lineCount = 0;
    while (span != 0) {
        g_DecodeLog.WriteLog(2, "Write Jpeg data. size = %d", static_cast<int>(span));
        status = WriteJpegBlockData(pointer, span);
        if (status != JPEGDEC_OK) {
            code = ConvertJpegDecErrToVSRSLT(status);
            g_DecodeLog.WriteLog(1, "Error: WriteJpegBlockData failed. ret[VSRSLT] = 0x%08X", code);
            break;
        }
        pointer += span;
        written += span;
        span = std::min(span, size - written);
        do {
            void* line = nullptr;
            unsigned long lineSize = 0;
            status = ReadBandLineData(&line, &lineSize);
            g_DecodeLog.WriteLog(2, "ReadBandLineData. readensize = %d, jpgDecStatus = %d", static_cast<int>(lineSize),
                                 status);
            code = ConvertJpegDecErrToVSRSLT(status);
            if (lineSize != 0) {
                lines->AppendLine(lineColor, DeviceImageLines::CompressionNone, static_cast<uint32_t>(lineSize),
                                  static_cast<unsigned char const*>(line));
                ++lineCount;
                g_DecodeLog.WriteLog(2, "WriteDataBlock. ret[VSRSLT] = 0x%08X. line cnt = %d", code, lineCount);
            }
        } while (status == JPEGDEC_LINE_READY);
        if (status != JPEGDEC_MORE_INPUT || code != 0) {
            break;
        }
    }
    BandJpegDecClose();
    if (code == 0) {
        g_DecodeLog.WriteLog(2, "FinishWiteData");
    }
    return lines;
}

JPEGDECODESTATUS JpegBandDecoder::BandJpegDecOpen(unsigned char* data, unsigned int size, JPGBANDDECODEINFO* info)
{
    JPEGDECODESTATUS status = JPEGDEC_OK;
    if (data == nullptr || size == 0 || info == nullptr) {
        status = JPEGDEC_INVALID_PARAMETER;
    } else {
        status = GetJpgImageInfo(data, size, &info->bitsPerPixel, &info->resolutionX, &info->resolutionY, &info->width,
                                 &info->height, &info->inPixelCount);
    }
    if (status == JPEGDEC_OK) {
        if (decoder_.JpegDecOpen(static_cast<unsigned long>(info->width)) == 0) {
            status = JPEGDEC_ERR;
        } else {
            info->recommendedInputSize = static_cast<int32_t>(vscore::CVdJpegDecode::GetJpegDecRecommendInBufferSize());
            bandStatus_ = JPEGDEC_OPENED;
            g_DecodeLog.WriteLog(2, "Recommend Jpeg Dec Buffer Size = %d", info->recommendedInputSize);
        }
    }
    vscore::OperationTrace(g_DecodeLog, 2, "BandJpegDecOpen").Leave(" ret = %d", status);
    return status;
}

JPEGDECODESTATUS JpegBandDecoder::GetJpgImageInfo(unsigned char* data, unsigned int size, int32_t* bpp, int32_t* resX,
                                                  int32_t* resY, int32_t* width, int32_t* height, int32_t* inPixCnt)
{
    *bpp = static_cast<int32_t>(CJpegHeader::GetBitPerPixel(data, size));
    *width = static_cast<int32_t>(CJpegHeader::GetWidthPix(data, size));
    *height = static_cast<int32_t>(CJpegHeader::GetHeightPix(data, size));
    *inPixCnt = *width;
    // A density counts only in dots per inch or per cm; unit 0 (an aspect
    // ratio, cjpeg's default) or no JFIF header at all leaves the device
    // image's resolution.
    unsigned char* const app0 = CJpegHeader::GetSegment(CJpegHeader::kAPP0, data, size);
    if (app0 != nullptr) {
        uint8_t const unit = CJpegHeader::GetAPP0Segment(app0).densityUnit;
        if (unit == 1 || unit == 2) {
            *resX = static_cast<int32_t>(CJpegHeader::GetResolutionX(data, size));
            *resY = static_cast<int32_t>(CJpegHeader::GetResolutionY(data, size));
        }
    }
    return *bpp > 0 && *width > 0 && *height > 0 ? JPEGDEC_OK : JPEGDEC_MORE_INPUT;
}

JPEGDECODESTATUS JpegBandDecoder::WriteJpegBlockData(unsigned char* data, unsigned int size)
{
    vscore::OperationTrace const trace(g_DecodeLog, 2, "WriteJpegBlockData");
    trace.Enter(" in size = %d", static_cast<int>(size));
    JPEGDECODESTATUS status = JPEGDEC_OK;
    if (data == nullptr || size == 0) {
        status = JPEGDEC_INVALID_PARAMETER;
    } else if (!decoder_.JpegDecDataWrite(data, size)) {
        status = JPEGDEC_WRITE_BAND_FAILED;
    }
    trace.Leave(" ret = %d", status);
    return status;
}

JPEGDECODESTATUS JpegBandDecoder::ReadBandLineData(void** line, unsigned long* size)
{
    JPEGDECODESTATUS status = JPEGDEC_OK;
    if (line == nullptr || size == nullptr) {
        status = JPEGDEC_INVALID_PARAMETER;
    } else {
        *size = 0;
        if (bandStatus_ == 0 || bandStatus_ == JPEGDEC_OPENED) {
            unsigned char* row = nullptr;
            unsigned long rowSize = 0;
            switch (decoder_.JpegDecLineDataRead(&row, &rowSize)) {
            case 0:
                *line = row;
                *size = rowSize;
                status = JPEGDEC_LINE_READY;
                bandStatus_ = 0;
                break;
            case 1:
                status = JPEGDEC_MORE_INPUT;
                bandStatus_ = JPEGDEC_OPENED;
                break;
            case 2:
                status = JPEGDEC_END;
                bandStatus_ = 1;
                break;
            default:
                status = JPEGDEC_ERR;
                break;
            }
        }
    }
    vscore::OperationTrace(g_DecodeLog, 3, "ReadBandLineData").Leave(" ret = %d", status);
    return status;
}

void JpegBandDecoder::BandJpegDecClose()
{
    decoder_.JpegDecClose(nullptr);
    g_DecodeLog.WriteLog(2, "BandJpegDecClose");
}

VSRSLT JpegBandDecoder::ConvertJpegDecErrToVSRSLT(JPEGDECODESTATUS status)
{
    for (StatusText const& entry : kStatusTexts) {
        if (entry.status == status) {
            g_DecodeLog.WriteLog(1, "%s", entry.text);
            return entry.result;
        }
    }
    return 0;
}

DeviceImageInfo::ColorType JpegBandDecoder::GetColorType(unsigned char bpp)
{
    if (bpp == 8) {
        return DeviceImageInfo::TrueGray;
    }
    if (bpp == 24) {
        return DeviceImageInfo::Color;
    }
    throw TraceException(Exception::InvalidArgument, "Invalid bpp: " + std::to_string(bpp), kOrigin, "GetColorType",
                         181);
}

DeviceImageLines::LineColorType JpegBandDecoder::GetLineColorType(unsigned char bpp)
{
    if (bpp == 8) {
        return DeviceImageLines::LineTrueGray;
    }
    if (bpp == 24) {
        return DeviceImageLines::LineRgbRow;
    }
    throw TraceException(Exception::InvalidArgument, "Invalid bpp: " + std::to_string(bpp), kOrigin, "GetLineColorType",
                         195);
}
