// Whole-page JPEG decoding through vdtcl::CTCnvImage (libjpeg at run time).
#include "VexmorApi/JpegDecoder/JpegPageDecoder.h"

#include <algorithm>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/Exception.h"
#include "vdtcl/CTCnvImage.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/JpegDecoder/JpegPageDecoder";

// The decoded rows go straight into a block of the byte containers, which
// then becomes the lines' data: no copy of the page on the way.
unsigned char* AllocateRows(void* context, size_t bytes)
{
    if (bytes > UINT32_MAX) {
        return nullptr;
    }
    try {
        unique_bytes& rows = *static_cast<unique_bytes*>(context);
        rows = make_unique_bytes(static_cast<unsigned>(bytes));
        return rows.get();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void JpegPageDecoder::ThrowDecodeFailure(std::string const& description)
{
    throw TraceException(Exception::FailedToAllocateMemory, "failed to decode jpeg image: { " + description + " }",
                         kOrigin, "Decode", 17);
}

std::unique_ptr<DeviceImageLines> JpegPageDecoder::Decode(std::unique_ptr<DeviceImageJpeg> jpeg)
{
    if (!jpeg) {
        ThrowDecodeFailure("");
    }
    vdtcl::CTCnvImage converter;
    unique_bytes rows;
    vdtcl::jpeg_rows_target_t const target{&rows, AllocateRows};
    vdtcl::jpeg_info_t decoded{};
    if (!converter.DecodeImageInto(jpeg->GetBlockPointer(), jpeg->GetBlockSize(), target, decoded)) {
        ThrowDecodeFailure(jpeg->GetDescription());
    }
    int const decodedWidth = decoded.width;
    int const decodedHeight = decoded.height;
    // The binder bounds the decoded size to 1 GiB, so the stride and the
    // size of the rows used fit 32 bits.
    uint32_t const stride = static_cast<uint32_t>(decoded.bytesPerRow);
    uint32_t const deviceWidth = jpeg->GetWidth();
    uint32_t const width = deviceWidth == 0 ? static_cast<uint32_t>(decodedWidth)
                                            : std::min(deviceWidth, static_cast<uint32_t>(decodedWidth));
    uint32_t const headerHeight = jpeg->GetHeight();
    uint32_t const height = headerHeight == 0 ? static_cast<uint32_t>(decodedHeight)
                                              : std::min(headerHeight, static_cast<uint32_t>(decodedHeight));
    uint16_t const resolutionX = jpeg->GetResolutionX();
    uint16_t const resolutionY = jpeg->GetResolutionY();
    jpeg.reset();  // the stream is no longer needed while the lines grow
    bool const gray = decoded.components == 1;
    DeviceImageInfo::ColorType const colorType = gray ? DeviceImageInfo::TrueGray : DeviceImageInfo::Color;
    DeviceImageLines::LineColorType const lineColor =
        gray ? DeviceImageLines::LineTrueGray : DeviceImageLines::LineRgbRow;
    // Nothing reserved: the decoded rows are the lines, one per row.
    auto lines = std::make_unique<DeviceImageLines>(resolutionX, resolutionY, colorType, width, 0);
    lines->AdoptLines(std::make_unique<BytesMemory>(height * stride, rows.release(), BytesMemory::Adopt), height,
                      stride, lineColor, DeviceImageLines::CompressionNone);
    return lines;
}
