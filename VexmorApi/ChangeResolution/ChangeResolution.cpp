// Page-level resolution change of enhanced bitmaps.
#include "VexmorApi/ChangeResolution/ChangeResolution.h"

#include <algorithm>
#include <vector>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ScanDecoder/IScanDec.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/ChangeResolution/ChangeResolution";

constexpr uint64_t kMaxBytes = UINT32_MAX;

// Appends rows of `row` bytes taken `step` bytes apart from source.
void AppendRows(BytesMemory& output, unsigned char const* source, int rows, uint64_t step, uint64_t row)
{
    for (int k = 0; k < rows; ++k) {
        if (output.GetByteSize() + row > kMaxBytes) {
            ThrowFailedToAllocate(output.GetByteSize() + row, kOrigin, "ChangeIfNeeded");
        }
        output.AppendBytes(static_cast<unsigned>(row), source + static_cast<uint64_t>(k) * step);
    }
}

}  // namespace

bool CChangeResolution::ShouldChangeResolution(uint16_t imageResolution, uint16_t target)
{
    return target > imageResolution;
}

int32_t CChangeResolution::ConvertToVDSCNCLR(ImageInfo::ColorType colorType)
{
    switch (colorType) {
    case ImageInfo::BlackAndWhite:
        return kScanDecColorBlackAndWhite;
    case ImageInfo::Gray:
        return kScanDecColorGray;
    case ImageInfo::TrueGray:
        return kScanDecColorTrueGray;
    default:
        return kScanDecColorColor;
    }
}

vscore::CHRESO_OPEN CChangeResolution::CreateResoOpenInfo(ImageInfo const& info, uint16_t target)
{
    vscore::CHRESO_OPEN open = {};
    open.nInResoX = info.GetResolution();
    open.nInResoY = info.GetResolution();
    open.nOutResoX = target;
    open.nOutResoY = target;
    open.nColorType = ConvertToVDSCNCLR(info.GetColorType());
    open.dwInLinePixCnt = info.GetWidth();
    // Page bitmaps are read as blue-green-red rows and written back in the
    // same order, so their bytes keep their order.
    open.nOutColorOrder = kScanDecOrderBGR;
    open.bAlignOutLine = true;
    open.dwOutLineByteCnt = 0;
    open.dwOutLeftPixCnt = 0;
    return open;
}

uint64_t CChangeResolution::CalculateDataSize(ImageInfo const& info)
{
    return info.GetRequiredByteSizeFor4BytesAlignment();
}

std::unique_ptr<BitmapImage> CChangeResolution::ChangeIfNeeded(std::unique_ptr<BitmapImage> image, uint16_t target,
                                                               CancelCheck const& cancel)
{
    if (!image) {
        return image;
    }
    ImageInfo const info = image->GetImageInfo();
    if (!ShouldChangeResolution(info.GetResolution(), target)) {
        return image;
    }
    vscore::CHRESO_OPEN open = CreateResoOpenInfo(info, target);
    vscore::CVdChangeReso converter;
    if (!converter.ChangeResoInit(&open)) {
        VEXMOR_THROW(kOrigin, "ChangeIfNeeded", Exception::InvalidArgument, "failed to ChangeResoInit().");
    }
    std::vector<unsigned char> buffer;
    try {
        buffer.assign(std::max<uint64_t>(open.dwWriteBuffSize, 1), 0);
    } catch (std::bad_alloc const&) {
        ThrowFailedToAllocate(open.dwWriteBuffSize, kOrigin, "ChangeIfNeeded");
    }
    if (!converter.ChangeResoWriteStart()) {
        VEXMOR_THROW(kOrigin, "ChangeIfNeeded", Exception::FailedToAllocateMemory, "failed to ChangeResoWriteStart().");
    }
    uint64_t const outRow = ImageInfo::GetBytesPerRowFor4BytesAlignment(
        static_cast<uint32_t>(std::min<uint64_t>(open.dwOutLinePixCnt, UINT32_MAX)), info.GetBitsPerPixel());
    uint64_t const copied = std::min(outRow, open.dwOutLineSize);
    vscore::CHRESO_WRITE write = {};
    write.nInDataKind = open.nColorType;
    write.pWriteBuff = buffer.data();
    write.dwWriteBuffSize = open.dwWriteBuffSize;
    write.bWriteReverse = false;
    uint64_t const stride = image->GetBytesPerRow();
    unsigned char const* const pixels = image->GetPixelsPointer();
    // The output is reserved at its own size, the input's height at target
    // dpi, so that every page of a scan asks for a block of one length,
    // which the block a page freed before can serve; a block grown row by
    // row would be mapped afresh each time. The set-up refused resolutions
    // of 0; a page beyond the containers' sizes fails in AppendRows.
    uint64_t const outRows =
        pixels == nullptr ? 0 : (uint64_t{info.GetHeight()} * target + info.GetResolution() - 1) / info.GetResolution();
    auto output = std::make_unique<BytesMemory>(static_cast<unsigned>(std::min(copied * outRows, kMaxBytes)));
    uint64_t height = 0;
    for (uint32_t y = 0; pixels != nullptr && y < info.GetHeight(); ++y) {
        write.pInData = pixels + y * stride;
        write.dwInDataSize = stride;
        // A page nobody wants any more is not enlarged to its end.
        cancel.ThrowIfRequested(kOrigin, "ChangeIfNeeded");
        int rows = 0;
        uint64_t const bytes = converter.ChangeResoWrite(&write, &rows);
        if (rows > 0) {
            AppendRows(*output, buffer.data(), rows, bytes / static_cast<unsigned>(rows), copied);
            height += static_cast<unsigned>(rows);
        }
    }
    write.pInData = nullptr;
    write.dwInDataSize = 0;
    int rows = 0;
    uint64_t const bytes = converter.ChangeResoWriteEnd(&write, &rows);
    if (rows > 0) {
        AppendRows(*output, buffer.data(), rows, bytes / static_cast<unsigned>(rows), copied);
        height += static_cast<unsigned>(rows);
    }
    g_ImageEnhanceLog.WriteLog(2, "FinishWiteData");
    converter.ChangeResoClose();
    if (height > UINT32_MAX) {
        ThrowFailedToAllocate(height, kOrigin, "ChangeIfNeeded");
    }
    ImageInfo const changed(target, info.GetColorType(), static_cast<uint32_t>(open.dwOutLinePixCnt),
                            static_cast<uint32_t>(height));
    return std::make_unique<BitmapImage>(changed, std::move(output));
}
