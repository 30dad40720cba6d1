// Right-angle turns of page bitmaps: the page's rows, laid out in 4-byte
// rows when they are not, go through an image box and come back as a new
// page of the turned size.
#include "VexmorApi/ImageEnhance/RotateImage.h"

#include <climits>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Bytes/make_unique_bytes.h"
#include "VexmorApi/ImageEnhance/ResizeImage.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageEnhance/RotateImage";

}  // namespace

std::unique_ptr<BitmapImage> CRotateImage::RotateImage(std::unique_ptr<BitmapImage> page,
                                                       IMAGEPROC_ORIENT_TYPE orientation)
{
    g_ImageEnhanceLog.WriteLog(2, "%s", "RotateImage");
    g_ImageEnhanceLog.WriteLog(2, "Manual rotate = %d", static_cast<int>(orientation));
    return Rotate(std::move(page), ConvertRotateAngle(orientation));
}

std::unique_ptr<BitmapImage> CRotateImage::Rotate(std::unique_ptr<BitmapImage> page, vdtcl::CTRotImage::rotimg_t turn)
{
    if (!page || turn == vdtcl::CTRotImage::kRotNone) {
        return page;
    }
    if (turn != vdtcl::CTRotImage::kRotQuarterClockwise && turn != vdtcl::CTRotImage::kRotQuarterCounterClockwise &&
        turn != vdtcl::CTRotImage::kRotHalf) {
        VEXMOR_THROW(kOrigin, "Rotate", Exception::InvalidArgument, "Invalid rotation: " + std::to_string(turn));
    }
    ImageInfo info = page->GetImageInfo();
    bool const quarter = turn != vdtcl::CTRotImage::kRotHalf;
    if (info.GetWidth() == 0 || info.GetHeight() == 0) {
        // No pixel to move: only the size turns.
        if (quarter) {
            info.SetWidth(page->GetImageInfo().GetHeight());
            info.SetHeight(page->GetImageInfo().GetWidth());
        }
        auto turned = std::make_unique<BitmapImage>(info);
        turned->CreateWhiteImage();
        return turned;
    }
    page = ResizeImage::PadRowsTo4Bytes(std::move(page));
    unsigned char* const pixels = page->GetPixelsPointer();
    vdtcl::CTImgDataBox source;
    vdtcl::CTImgDataBox turned;
    bool const fits = info.GetWidth() <= INT_MAX && info.GetHeight() <= INT_MAX;
    if (pixels == nullptr || !fits ||
        !source.SetImageDataMemory(pixels, page->GetPixelSize(), static_cast<int>(info.GetWidth()),
                                   static_cast<int>(info.GetHeight()), CovertColorType(info.GetColorType()), 0) ||
        !RotateBox(source, turn, &turned)) {
        g_ImageEnhanceLog.WriteLog(1, "Error: Failed to rotate image. turn = %d", turn);
        VEXMOR_THROW(kOrigin, "Rotate", Exception::Other, "Failed to rotate image.");
    }
    if (turned.GetImageDataSize() > UINT32_MAX) {
        ThrowFailedToAllocate(turned.GetImageDataSize(), kOrigin, "Rotate");
    }
    if (quarter) {
        info.SetWidth(page->GetImageInfo().GetHeight());
        info.SetHeight(page->GetImageInfo().GetWidth());
    }
    auto block = std::make_unique<BytesMemory>(static_cast<unsigned>(turned.GetImageDataSize()),
                                               turned.GetPtrToImageData(), BytesMemory::Copy);
    return std::make_unique<BitmapImage>(info, std::move(block));
}

vdtcl::CTRotImage::rotimg_t CRotateImage::ConvertRotateAngle(IMAGEPROC_ORIENT_TYPE orientation)
{
    switch (orientation) {
    case IMAGEPROC_ORIENT_90:
        return vdtcl::CTRotImage::kRotQuarterClockwise;
    case IMAGEPROC_ORIENT_270:
        return vdtcl::CTRotImage::kRotQuarterCounterClockwise;
    case IMAGEPROC_ORIENT_180:
        return vdtcl::CTRotImage::kRotHalf;
    default:
        return vdtcl::CTRotImage::kRotNone;
    }
}

vdtcl::CTImgDataInfo::imgclr_t CRotateImage::CovertColorType(ImageInfo::ColorType colorType)
{
    switch (colorType) {
    case ImageInfo::BlackAndWhite:
        return vdtcl::CTImgDataInfo::kColorBW;
    case ImageInfo::Gray:
        return vdtcl::CTImgDataInfo::kColorBW1;
    case ImageInfo::TrueGray:
        return vdtcl::CTImgDataInfo::kColorGray;
    case ImageInfo::Color:
        return vdtcl::CTImgDataInfo::kColorRGB24;
    default:
        return vdtcl::CTImgDataInfo::kColorNone;
    }
}

bool CRotateImage::RotateBox(vdtcl::CTImgDataBox& source, vdtcl::CTRotImage::rotimg_t turn,
                             vdtcl::CTImgDataBox* destination)
{
    return vdtcl::CTRotImage().RotateImage(source, turn, destination, false);
}

}  // namespace vscore
