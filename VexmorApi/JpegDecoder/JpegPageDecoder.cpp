// Whole-page JPEG decoding through vdtcl::CTCnvImage (libjpeg at run time).
#include "VexmorApi/JpegDecoder/JpegPageDecoder.h"

#include <algorithm>

#include "VexmorApi/Utilities/Exception.h"
#include "vdtcl/CTCnvImage.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/JpegDecoder/JpegPageDecoder";
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
    unsigned char const* pixels =
        converter.DecodeImage(jpeg->GetBlockPointer(), jpeg->GetBlockSize(), vdtcl::CTCnvImage::kFormatAsDecoded);
    if (pixels == nullptr) {
        ThrowDecodeFailure(jpeg->GetDescription());
    }
    int decodedWidth = 0;
    int decodedHeight = 0;
    int stride = 0;
    converter.GetDecodedImageSize(decodedWidth, decodedHeight, stride);
    uint32_t const deviceWidth = jpeg->GetWidth();
    uint32_t const width = deviceWidth == 0 ? static_cast<uint32_t>(decodedWidth)
                                            : std::min(deviceWidth, static_cast<uint32_t>(decodedWidth));
    uint32_t const headerHeight = jpeg->GetHeight();
    uint32_t const height = headerHeight == 0 ? static_cast<uint32_t>(decodedHeight)
                                              : std::min(headerHeight, static_cast<uint32_t>(decodedHeight));
    uint16_t const resolutionX = jpeg->GetResolutionX();
    uint16_t const resolutionY = jpeg->GetResolutionY();
    jpeg.reset();  // the stream is no longer needed while the lines grow
    bool const gray = converter.GetDecodedImagePixelFormat() == vdtcl::CTCnvImage::kFormatGray;
    DeviceImageInfo::ColorType const colorType = gray ? DeviceImageInfo::TrueGray : DeviceImageInfo::Color;
    DeviceImageLines::LineColorType const lineColor =
        gray ? DeviceImageLines::LineTrueGray : DeviceImageLines::LineRgbRow;
    auto lines = std::make_unique<DeviceImageLines>(resolutionX, resolutionY, colorType, width, height);
    for (uint32_t row = 0; row < height; ++row) {
        lines->AppendLine(lineColor, DeviceImageLines::CompressionNone, static_cast<uint32_t>(stride),
                          pixels + static_cast<size_t>(row) * static_cast<size_t>(stride));
    }
    return lines;
}
