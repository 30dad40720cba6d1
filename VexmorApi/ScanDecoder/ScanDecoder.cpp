// The page-level scan decoder over the three-stage line decoder.
#include "VexmorApi/ScanDecoder/ScanDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ImageEnhance/ResizeImage.h"
#include "VexmorApi/ScanDecoder/VdScanDec.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/ScanDecoder/ScanDecoder";

// The first reservation of the output is a capacity hint only: a large
// reserved height never fails a page, the block grows while rows arrive.
constexpr uint64_t kMaximumReservation = 256u << 20;
constexpr uint64_t kMaxBytes = UINT32_MAX;

unsigned BitsPerPixelOf(int32_t colorWord)
{
    return (colorWord & kScanDecDepth24) ? 24 : (colorWord & kScanDecDepth8) ? 8 : 1;
}

}  // namespace

ScanDecoder::ScanDecWriteWrapper::~ScanDecWriteWrapper() { std::free(write.pWriteBuff); }

ScanDecoder::~ScanDecoder() = default;

uint32_t ScanDecoder::CalculateOutWidth(unsigned short outResolution, unsigned short inResolution, uint32_t width)
{
    if (outResolution == 0 || inResolution == 0) {
        VEXMOR_THROW(kOrigin, "CalculateOutWidth", Exception::InvalidArgument,
                     "Invalid resolution. - outResolution: " + std::to_string(outResolution) +
                         ", inResolution: " + std::to_string(inResolution));
    }
    uint64_t const out = uint64_t{width} * outResolution / inResolution;
    if (out > UINT32_MAX) {
        VEXMOR_THROW(kOrigin, "CalculateOutWidth", Exception::InvalidArgument,
                     "Invalid width. - width: " + std::to_string(width) + ", outResolution: " +
                         std::to_string(outResolution) + ", inResolution: " + std::to_string(inResolution));
    }
    return static_cast<uint32_t>(out);
}

ImageInfo ScanDecoder::ConvertImageInfo(DeviceImageInfo const& info, uint16_t resolution, uint32_t width,
                                        uint32_t height)
{
    ImageInfo::ColorType colorType = ImageInfo::BlackAndWhite;
    switch (info.GetColorType()) {
    case DeviceImageInfo::Gray:
        colorType = ImageInfo::Gray;
        break;
    case DeviceImageInfo::TrueGray:
        colorType = ImageInfo::TrueGray;
        break;
    case DeviceImageInfo::Color:
        colorType = ImageInfo::Color;
        break;
    default:
        break;
    }
    return ImageInfo(resolution, colorType, width, height);
}

int32_t ScanDecoder::ConvertColorTypeToInt(DeviceImageInfo::ColorType colorType)
{
    switch (colorType) {
    case DeviceImageInfo::BlackAndWhite:
        return kScanDecColorBlackAndWhite;
    case DeviceImageInfo::Gray:
        return kScanDecColorGray;
    case DeviceImageInfo::TrueGray:
        return kScanDecColorTrueGray;
    default:
        return kScanDecColorColor;
    }
}

int32_t ScanDecoder::ConvertColorTypeToInt(DeviceImageLines::LineColorType lineColor)
{
    return lineColor >= 0 && lineColor <= 6 ? lineColor + 1 : kScanDecKindRow;
}

int32_t ScanDecoder::ConvertCompressionTypeToInt(DeviceImageLines::CompressionType compression)
{
    switch (compression) {
    case DeviceImageLines::CompressionNoData:
        return kScanDecCompWhite;
    case DeviceImageLines::CompressionNone:
        return kScanDecCompNone;
    default:
        return kScanDecCompPackBits;
    }
}

bool ScanDecoder::IsInsideSelectedArea(std::shared_ptr<DecodeParameter::Area> const& area, uint32_t row)
{
    return !area || (area->y <= row && uint64_t{row} < uint64_t{area->y} + area->height);
}

std::unique_ptr<BitmapImage> ScanDecoder::Proc(std::unique_ptr<DeviceImageLines> lines, unsigned short outResolution,
                                               unsigned int maxHeight, InvertDirection invert,
                                               unsigned int reservedHeight,
                                               std::shared_ptr<DecodeParameter::Area> const& area,
                                               CancelCheck const& cancel)
{
    OperationTrace const trace(g_DecodeLog, 2, "Proc");
    trace.Enter();
    if (!lines) {
        VEXMOR_THROW(kOrigin, "Proc", Exception::InvalidArgument, "No device image lines.");
    }
    if (std::unique_ptr<BitmapImage> rows = TakeRowsAsBitmap(*lines, outResolution, maxHeight, invert, area)) {
        trace.Leave();
        return rows;
    }
    DeviceImageInfo const info = lines->GetDeviceImageInfo();
    uint32_t const outWidth = CalculateOutWidth(outResolution, info.GetResolutionX(), info.GetWidth());
    uint64_t const inRow = info.CalcWidthBytesFor4BytesAlignment();
    uint64_t const reservation = std::min(inRow * reservedHeight, kMaximumReservation);
    auto output = std::make_unique<BytesMemory>(static_cast<unsigned>(reservation));

    decoder_ = std::make_unique<CVdScanDec>();
    if (!decoder_ || !decoder_->ScanDecOpen()) {
        VEXMOR_THROW(kOrigin, "Proc", Exception::RequestToCancel, "Failed to load validator module.");
    }
    SCANDEC_OPEN open = CreateScanDecOpen(*lines, outResolution, outWidth);
    if (!decoder_->ScanDecPageStart(&open)) {
        VEXMOR_THROW(kOrigin, "Proc", Exception::Other, "Failed to start scan decode.");
    }
    ScanDecWriteWrapper wrapper;
    SCANDEC_WRITE& write = wrapper.write;
    CreateScanDecWrite(wrapper, open, invert);
    if (write.pWriteBuff == nullptr) {
        VEXMOR_THROW(kOrigin, "Proc", Exception::FailedToAllocateMemory,
                     "Failed to allocate SCANDEC_WRITE write buffer.");
    }
    uint32_t const lineCount = lines->GetHeight();
    g_DecodeLog.WriteLog(2, "ScanDec Start In Data. resoX = %d, resoY = %d, width = %d, height = %d, colortype = %d",
                         info.GetResolutionX(), info.GetResolutionY(), static_cast<int>(info.GetWidth()),
                         static_cast<int>(lineCount), static_cast<int>(info.GetColorType()));
    g_DecodeLog.WriteLog(2, "outReso = %d, outWidth = %d, maxHeight = %d, invert = %s, reservedHeight = %d",
                         outResolution, static_cast<int>(outWidth), static_cast<int>(maxHeight),
                         invert == InvertReversal ? "Reversal" : "Normal", static_cast<int>(reservedHeight));

    uint32_t appended = 0;
    uint64_t decoded = 0;
    uint32_t i = 0;
    int rows = 0;
    unsigned long bytes = 0;
    // A page without lines has nothing to feed.
    while (i < lineCount) {
        // A page nobody wants any more is not decoded to its end.
        cancel.ThrowIfRequested(kOrigin, "Proc");
        uint32_t const n = invert == InvertReversal ? lineCount - 1 - i : i;
        if (!CopyDeviceImageLineToDecodeWrite(*lines, n, write)) {
            g_DecodeLog.WriteLog(2, "scanDecWrite.pLineData == nullptr");
            break;
        }
        int const result = decoder_->ScanDecWrite(&write, &rows, &bytes);
        g_DecodeLog.WriteLog(3, "ScanDecWrite. decodedLine = %d, decodedDataSize = %d result = %ld", rows,
                             static_cast<int>(bytes), static_cast<long>(result));
        ++i;
        if (result == kScanDecShortLine) {
            VEXMOR_THROW(kOrigin, "Proc", Exception::InvalidDeviceData,
                         "line " + std::to_string(i) + " is shorter than its row");
        }
        if (result < 0) {
            VEXMOR_THROW(kOrigin, "Proc", Exception::RequestToCancel,
                         "failed to scan decode in image line: " + std::to_string(i));
        }
        if (rows > 0) {
            uint64_t const bytesPerRow = bytes / static_cast<unsigned>(rows);
            appended += AppendDecodedLine(bytesPerRow, static_cast<uint32_t>(rows), maxHeight - appended, decoded, area,
                                          write.pWriteBuff, *output);
            decoded += static_cast<unsigned>(rows);
        } else {
            g_DecodeLog.WriteLog(3, "No Append : Need More Data");
        }
        g_DecodeLog.WriteLog(3, "inImageLine = %d, totalDecodedLine = %d, appendedHeight = %d", static_cast<int>(i),
                             static_cast<int>(decoded), static_cast<int>(appended));
        if (appended >= maxHeight) {
            break;
        }
    }
    g_DecodeLog.WriteLog(2, "ScanDecode Loop End. inImageLine = %d, totalDecodedLine = %d, appendedHeight = %d",
                         static_cast<int>(i), static_cast<int>(decoded), static_cast<int>(appended));
    rows = 0;
    bytes = 0;
    int const result = decoder_->ScanDecPageEnd(&write, &rows, &bytes);
    g_DecodeLog.WriteLog(2, "ScanDecPageEnd. decodedLine = %d, decodedDataSize = %d result = %ld", rows,
                         static_cast<int>(bytes), static_cast<long>(result));
    if (rows > 0 && appended < maxHeight) {
        uint64_t const bytesPerRow = bytes / static_cast<unsigned>(rows);
        appended += AppendDecodedLine(bytesPerRow, static_cast<uint32_t>(rows), maxHeight - appended, decoded, area,
                                      write.pWriteBuff, *output);
        g_DecodeLog.WriteLog(1, "appended remaining data. appendLine = %d, bytesPerRow = %d", rows,
                             static_cast<int>(bytesPerRow));
    }
    trace.Leave();
    if (!area) {
        return std::make_unique<BitmapImage>(ConvertImageInfo(info, outResolution, outWidth, appended),
                                             std::move(output));
    }
    return CreateWidthAdjustedImage(std::move(output), info, outResolution, outWidth, appended, *area);
}

std::unique_ptr<BitmapImage> ScanDecoder::TakeRowsAsBitmap(DeviceImageLines& lines, unsigned short outResolution,
                                                           unsigned int maxHeight, InvertDirection invert,
                                                           std::shared_ptr<DecodeParameter::Area> const& area)
{
    DeviceImageInfo const info = lines.GetDeviceImageInfo();
    uint32_t const count = lines.GetHeight();
    if (area || invert != InvertNormal || count == 0 || maxHeight == 0 || info.GetWidth() == 0 ||
        info.GetResolutionX() != outResolution || info.GetResolutionY() != outResolution) {
        return nullptr;
    }
    // The kinds whose rows the line decoder passes on unchanged: red, green,
    // blue (a blue-first row would be turned round), or gray bytes.
    unsigned bits = 0;
    auto wholeRow = [&](DeviceImageLines::LineColorType color) {
        return bits == 24 ? color == DeviceImageLines::LineRgbRow
                          : color == DeviceImageLines::LineTrueGray || color == DeviceImageLines::LineGrayRow;
    };
    if (info.GetColorType() == DeviceImageInfo::Color) {
        bits = 24;
    } else if (info.GetColorType() == DeviceImageInfo::TrueGray) {
        bits = 8;
    } else {
        return nullptr;
    }
    uint64_t const used = uint64_t{info.GetWidth()} * (bits / 8);
    uint64_t const row = ImageInfo::GetBytesPerRowFor4BytesAlignment(info.GetWidth(), bits);
    if (lines.GetByteSizeOnFile() != 0 || row * count > lines.GetByteSizeOnMemory()) {
        return nullptr;
    }
    unsigned char const* const first = lines.GetLineHeadPointer(0);
    for (uint32_t i = 0; i < count; ++i) {
        if (!wholeRow(lines.GetLineColorType(i)) || lines.GetCompressionType(i) != DeviceImageLines::CompressionNone ||
            lines.GetLineLength(i) != row) {
            return nullptr;
        }
        unsigned char const* const line = lines.GetLineHeadPointer(i);
        if (line != first + i * row) {
            return nullptr;
        }
        // The decoder's rows carry zero padding.
        for (uint64_t k = used; k < row; ++k) {
            if (line[k] != 0) {
                return nullptr;
            }
        }
    }
    uint32_t const height = std::min(count, maxHeight);
    std::unique_ptr<Bytes> pixels = lines.ReadBlock();
    pixels->SetBytes(static_cast<unsigned>(row * height), pixels->GetBytesPointer());
    g_DecodeLog.WriteLog(2, "ScanDec rows as they are: %d lines of %d bytes", static_cast<int>(height),
                         static_cast<int>(row));
    return std::make_unique<BitmapImage>(ConvertImageInfo(info, outResolution, info.GetWidth(), height),
                                         std::move(pixels));
}

SCANDEC_OPEN ScanDecoder::CreateScanDecOpen(DeviceImageLines const& lines, unsigned short outResolution,
                                            uint32_t outWidth)
{
    static char const kNoProfile[] = "";
    DeviceImageInfo const info = lines.GetDeviceImageInfo();
    SCANDEC_OPEN open = {};
    open.nPageNum = 1;
    open.nInResoX = info.GetResolutionX();
    open.nInResoY = info.GetResolutionY();
    open.nOutResoX = outResolution;
    open.nOutResoY = outResolution;
    open.nColorType = ConvertColorTypeToInt(info.GetColorType());
    open.dwInLinePixCnt = info.GetWidth();
    open.dwInHeightPixCnt = lines.GetHeight();
    open.nOutColorOrder = kScanDecOrderRGB;
    open.pGammaTable = nullptr;
    open.bLevelAdjust = false;
    open.nBrightness = 0;
    open.nContrast = 0;
    open.bAlignOutLine = true;
    open.dwOutLineByteCnt = ImageInfo::GetBytesPerRowFor4BytesAlignment(outWidth, BitsPerPixelOf(open.nColorType));
    open.dwOutLeftPixCnt = 0;
    open.pProfileName = kNoProfile;
    g_DecodeLog.WriteLog(2, "scanDecOpen.nPageNum = %d", open.nPageNum);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nInResoX = %d", open.nInResoX);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nInResoY = %d", open.nInResoY);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nOutResoX = %d", open.nOutResoX);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nOutResoY = %d", open.nOutResoY);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nColorType = %d", open.nColorType);
    g_DecodeLog.WriteLog(2, "scanDecOpen.dwInLinePixCnt = %d", static_cast<int>(open.dwInLinePixCnt));
    g_DecodeLog.WriteLog(2, "scanDecOpen.dwInHeightPixCnt = %d", static_cast<int>(open.dwInHeightPixCnt));
    g_DecodeLog.WriteLog(2, "scanDecOpen.nBrightness = %d", open.nBrightness);
    g_DecodeLog.WriteLog(2, "scanDecOpen.nContrast = %d", open.nContrast);
    g_DecodeLog.WriteLog(2, "scanDecOpen.dwOutLineByteCnt = %d", static_cast<int>(open.dwOutLineByteCnt));
    return open;
}

void ScanDecoder::CreateScanDecWrite(ScanDecWriteWrapper& wrapper, SCANDEC_OPEN const& open, InvertDirection invert)
{
    SCANDEC_WRITE& write = wrapper.write;
    std::free(write.pWriteBuff);
    write = SCANDEC_WRITE{};
    write.bWriteReverse = false;
    write.bMirror = invert == InvertReversal;
    write.dwWriteBuffSize = open.dwWriteBuffSize;
    // Zeroed, so that row bytes no writer reaches are the same on every run;
    // at least one byte, so that a page of width 0 still has a buffer.
    write.pWriteBuff = static_cast<unsigned char*>(std::calloc(std::max<uint64_t>(open.dwWriteBuffSize, 1), 1));
    if (write.pWriteBuff == nullptr) {
        write = SCANDEC_WRITE{};
    }
    g_DecodeLog.WriteLog(2, "scanDecWrite.nInDataComp = %d", write.nInDataComp);
    g_DecodeLog.WriteLog(2, "scanDecWrite.nInDataKind = %d", write.nInDataKind);
    g_DecodeLog.WriteLog(2, "scanDecWrite.dwWriteBuffSize = %d", static_cast<int>(write.dwWriteBuffSize));
}

bool ScanDecoder::CopyDeviceImageLineToDecodeWrite(DeviceImageLines& lines, uint32_t n, SCANDEC_WRITE& write)
{
    write.nInDataKind = ConvertColorTypeToInt(lines.GetLineColorType(n));
    write.nInDataComp = ConvertCompressionTypeToInt(lines.GetCompressionType(n));
    uint32_t const length = lines.GetLineLength(n);
    write.pLineData = length == 0 ? nullptr : lines.GetLineHeadPointer(n);
    write.dwLineDataSize = length;
    // A white line is a row of its own; every other line needs its bytes.
    return write.pLineData != nullptr || write.nInDataComp == kScanDecCompWhite;
}

uint32_t ScanDecoder::AppendDecodedLine(uint64_t bytesPerRow, uint32_t rows, uint32_t remaining, uint64_t firstRow,
                                        std::shared_ptr<DecodeParameter::Area> const& area, unsigned char const* source,
                                        BytesMemory& output)
{
    uint32_t const n = std::min(rows, remaining);
    if (!area) {
        uint64_t const size = bytesPerRow * n;
        if (output.GetByteSize() + size > kMaxBytes) {
            ThrowFailedToAllocate(output.GetByteSize() + size, kOrigin, "AppendDecodedLine");
        }
        output.AppendBytes(static_cast<unsigned>(size), source);
        return n;
    }
    uint32_t appended = 0;
    for (uint32_t k = 0; k < n; ++k) {
        uint64_t const row = firstRow + k;
        if (row <= UINT32_MAX && IsInsideSelectedArea(area, static_cast<uint32_t>(row))) {
            if (output.GetByteSize() + bytesPerRow > kMaxBytes) {
                ThrowFailedToAllocate(output.GetByteSize() + bytesPerRow, kOrigin, "AppendDecodedLine");
            }
            output.AppendBytes(static_cast<unsigned>(bytesPerRow), source + k * bytesPerRow);
            ++appended;
        }
    }
    return appended;
}

std::unique_ptr<BitmapImage> ScanDecoder::CreateWidthAdjustedImage(std::unique_ptr<BytesMemory> output,
                                                                   DeviceImageInfo const& info, uint16_t resolution,
                                                                   uint32_t width, uint32_t height,
                                                                   DecodeParameter::Area const& area)
{
    if (height == 0) {
        auto white = std::make_unique<BitmapImage>(ConvertImageInfo(info, resolution, area.width, area.height));
        white->CreateWhiteImage();
        return white;
    }
    auto image = std::make_unique<BitmapImage>(ConvertImageInfo(info, resolution, width, height), std::move(output));
    // In 64 bits: an area beyond the width never wraps into a valid one.
    int64_t const right = int64_t{width} - (int64_t{area.x} + area.width);
    if (right < 0) {
        VEXMOR_THROW(kOrigin, "CreateWidthAdjustedImage", Exception::InvalidArgument, "Invalid selected area.");
    }
    return ResizeImage().CutOffWidth(std::move(image), area.x, static_cast<uint32_t>(right));
}

}  // namespace vscore
