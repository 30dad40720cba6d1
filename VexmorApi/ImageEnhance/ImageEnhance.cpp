// The enhancement of one decoded page, in a fixed order: detection, colour
// reduction, fitting, appended length and rotation, then edge fill.
#include "VexmorApi/ImageEnhance/ImageEnhance.h"

#include "VexmorApi/ImageEnhance/AdjustDocLength.h"
#include "VexmorApi/ImageEnhance/BlankColorDetection.h"
#include "VexmorApi/ImageEnhance/BlankDetectionForMono.h"
#include "VexmorApi/ImageEnhance/EdgeFill.h"
#include "VexmorApi/ImageEnhance/ResizeImage.h"
#include "VexmorApi/ImageEnhance/RotateImage.h"
#include "VexmorApi/ImageEnhance/VdScnImgProcessor.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageEnhance/ImageEnhance";
constexpr char kEnhance[] = "EnhanceImageQualityFromScanImage";
// The line that the failure of a page's enhancement records.
constexpr unsigned kEnhanceFailureLine = 152;
constexpr int32_t kStaticThreshold = 128;

// Fits the page to the target width and height: white columns added or
// columns cut by the paper position, then rows cut at the bottom, or added
// when the append flag is set.
void FitToPaper(std::unique_ptr<BitmapImage>& page, _IMAGEPROC_PARAM const& parameters)
{
    uint32_t const targetWidth = parameters.outputSize.x;
    uint32_t const targetHeight = parameters.outputSize.y;
    uint32_t const width = page->GetImageInfo().GetWidth();
    if (width < targetWidth) {
        auto const [left, right] = CImageEnhance::GetPairOfLeftAndRight(parameters.paperPosition, targetWidth - width);
        page = ResizeImage().AddPaddingToWidth(std::move(page), left, right);
    } else {
        auto const [left, right] = CImageEnhance::GetPairOfLeftAndRight(parameters.paperPosition, width - targetWidth);
        page = ResizeImage().CutOffWidth(std::move(page), left, right);
    }
    uint32_t const rows = page->GetImageInfo().GetHeight();
    if (rows < targetHeight && parameters.appendLength) {
        page = AdjustDocLength().AdjustLength(std::move(page), targetHeight);
    } else if (rows > targetHeight) {
        page = ResizeImage().CutOffHeight(std::move(page), 0, rows - targetHeight);
    }
}

void FillEdges(std::unique_ptr<BitmapImage>& page, IMAGEPROC_EDGE_FILL_PARAM const& parameter)
{
    // The fill walks 4-byte rows.
    page = ResizeImage::PadRowsTo4Bytes(std::move(page));
    ImageInfo const info = page->GetImageInfo();
    CEdgeFill fill;
    CEdgeFill::Range const range = fill.ConvertToFillRange(info.GetResolution(), parameter);
    uint64_t const row = info.GetBytesPerRowFor4BytesAlignment();
    if (row > UINT32_MAX) {
        return;
    }
    fill.FillEdge(page->GetPixelsPointer(), info.GetWidth(), static_cast<unsigned>(row), info.GetHeight(),
                  static_cast<unsigned char>(info.GetBitsPerPixel()), range);
}

}  // namespace

void CImageEnhance::EnhanceImageQualityFromScanImage(std::unique_ptr<BitmapImage>& page,
                                                     _IMAGEPROC_PARAM const& parameters)
{
    _IMAGEPROC_PARAM param = parameters;
    VSRSLT result = 0;
    // The exit line of a page found blank after its colour conversion is
    // at level 1; a failure throws without one.
    OperationTrace const trace(g_ImageEnhanceLog, 2, kEnhance);
    trace.Enter();
    g_ImageEnhanceLog.WriteLog(2, "User select color type = %d", static_cast<int>(param.userColorType));
    if (param.userColorType == IMAGEPROC_USER_AUTOCOLOR) {
        g_ImageEnhanceLog.WriteLog(2, "Device detect color type = %d", static_cast<int>(param.detectedColorType));
    }
    if (!page) {
        VEXMOR_THROW(kOrigin, kEnhance, Exception::InvalidArgument, "image is nullptr.");
    }
    g_ImageEnhanceLog.WriteLog(2, "Input image bit per pixel = %d", static_cast<int>(page->GetBitsPerPixel()));
    // Detection, conversion and fill read rows of 4-byte multiples.
    page = ResizeImage::PadRowsTo4Bytes(std::move(page));

    bool const detectColor = param.ShouldDetectColor();
    bool const detectBlank = param.blankRemove.enabled != 0;
    if (detectColor || detectBlank) {
        ImageInfo const info = page->GetImageInfo();
        BlankColorDetection detection(
            page->GetPixelsPointer(), info.GetWidth(), info.GetHeight(),
            static_cast<unsigned char>(info.GetBitsPerPixel()), info.GetResolution(), param.blankRemove,
            {static_cast<uint8_t>(detectColor ? 1 : 0), param.monoColorDetectLevel, param.monoGrayDetectLevel});
        if (detectBlank && detection.DetectBlank()) {
            page.reset();
            g_ImageEnhanceLog.WriteLog(2, "This page is blank");
            trace.LeaveResult(result);
            return;
        }
        if (detectColor) {
            param.detectedColorType = detection.DetectColor();
            g_ImageEnhanceLog.WriteLog(2, "Detected color: %d", static_cast<int>(param.detectedColorType));
        }
    }

    if (ShouldConvertColor(param.userColorType, param.detectedColorType,
                           static_cast<unsigned char>(page->GetBitsPerPixel()))) {
        COLOR_CONVERT_PARAMETER const convert = CreateColorConvertParameter(param);
        page = VdScnImgProcessor().ColorConvert(std::move(page), convert, result);
        g_ImageEnhanceLog.WriteLog(1, "color convert result: 0x%08X", result);
        if (result == 0 && detectBlank && page && page->GetBitsPerPixel() == 1 && BlankDetectionForMono::Detect(page)) {
            page.reset();
            g_ImageEnhanceLog.WriteLog(1, "This page is blank");
            OperationTrace(g_ImageEnhanceLog, 1, kEnhance).LeaveResult(result);
            return;
        }
    }

    if (result == 0 && page && param.outputSizeGiven) {
        FitToPaper(page, param);
    }
    if (result == 0 && page) {
        ShapeAndRotateImage(page, param);
    }
    if (result != 0) {
        g_ImageEnhanceLog.WriteLog(1, "Throw Exception from %s, ret[VSRSLT] = %d", kEnhance, static_cast<int>(result));
        throw TraceException(ConvertToExceptionType(result), "Failed to Image Enhance.", kOrigin, kEnhance,
                             kEnhanceFailureLine);
    }
    if (page && param.edgeFill.on) {
        FillEdges(page, param.edgeFill);
    }
    trace.LeaveResult(result);
}

bool CImageEnhance::ShouldConvertColor(IMAGEPROC_USER_COLORTYPE user, DETECTED_COLOR detected,
                                       unsigned char bitsPerPixel)
{
    switch (user) {
    case IMAGEPROC_USER_AUTOCOLOR:
        return detected == DETECTED_COLOR_BLACKWHITE || detected == DETECTED_COLOR_GRAY;
    case IMAGEPROC_USER_BLACKWHITE:
    case IMAGEPROC_USER_ERRDIFFUSION:
        return bitsPerPixel == 24 || bitsPerPixel == 8;
    case IMAGEPROC_USER_TRUEGRAY:
        return bitsPerPixel == 24;
    default:
        return false;
    }
}

COLOR_CONVERT_PARAMETER CImageEnhance::CreateColorConvertParameter(_IMAGEPROC_PARAM const& parameters)
{
    COLOR_CONVERT_PARAMETER convert{AUTOCOLOR, 0};
    switch (parameters.userColorType) {
    case IMAGEPROC_USER_AUTOCOLOR:
        if (parameters.detectedColorType == DETECTED_COLOR_BLACKWHITE) {
            convert = {BLACKWHITE, kStaticThreshold};
            g_ImageEnhanceLog.WriteLog(2, "Convert to blackwhtie in auto color ( binarythreshold [static] = %d )",
                                       convert.value);
        } else if (parameters.detectedColorType == DETECTED_COLOR_GRAY) {
            convert = {TRUEGRAY, -1};
            g_ImageEnhanceLog.WriteLog(2, "Convert to truegray in auto color ( value [static] = %d )", convert.value);
        }
        break;
    case IMAGEPROC_USER_BLACKWHITE:
        if (parameters.monoThresholdMode == IMAGEPROC_THRESHOLD_USER) {
            convert = {BLACKWHITE, parameters.monoThresholdLevel};
            g_ImageEnhanceLog.WriteLog(2, "Convert to blackwhtie in user select color ( binarythreshold [UI] = %d )",
                                       convert.value);
        } else if (parameters.monoThresholdMode == IMAGEPROC_THRESHOLD_STATIC) {
            convert = {BLACKWHITE, kStaticThreshold};
            g_ImageEnhanceLog.WriteLog(
                2, "Convert to blackwhtie in user select color ( binarythreshold [static] = %d )", convert.value);
        } else {
            convert = {BLACKWHITE, 0};
        }
        break;
    case IMAGEPROC_USER_ERRDIFFUSION:
        convert = {ERRDIFFUSION, -1};
        g_ImageEnhanceLog.WriteLog(2, "Convert to errordifusion in user select color ( value [static] = %d )",
                                   convert.value);
        break;
    case IMAGEPROC_USER_TRUEGRAY:
        convert = {TRUEGRAY, -1};
        g_ImageEnhanceLog.WriteLog(2, "Convert to truegray in user select color ( value [static] = %d )",
                                   convert.value);
        break;
    default:
        g_ImageEnhanceLog.WriteLog(2, "Not convert color");
        break;
    }
    return convert;
}

std::pair<unsigned int, unsigned int> CImageEnhance::GetPairOfLeftAndRight(IMAGEPROC_PAPER_POSITION position,
                                                                           unsigned int amount)
{
    switch (position) {
    case IMAGEPROC_PAPER_LEFT:
        return {0, amount};
    case IMAGEPROC_PAPER_RIGHT:
        return {amount, 0};
    default:
        return {amount / 2, amount - amount / 2};
    }
}

std::pair<VSRSLT, IMAGEPROC_ORIENT_TYPE> CImageEnhance::ShapeAndRotateImage(std::unique_ptr<BitmapImage>& page,
                                                                            _IMAGEPROC_PARAM const& parameters)
{
    if (parameters.appendLength) {
        page = AdjustDocLength().AdjustLength(std::move(page), parameters.lengthToAppend);
    }
    page = CRotateImage().RotateImage(std::move(page), parameters.orientation);
    return {0, parameters.orientation};
}

Exception::Type CImageEnhance::ConvertToExceptionType(VSRSLT result)
{
    switch (result) {
    case 0x10701002:
    case 0x30702002:
    case 0x8070200A:
        return Exception::FailedToAllocateMemory;
    case 0x10701004:
    case 0x10702004:
    case 0x10702005:
        return Exception::InvalidArgument;
    case 0x80702007:
    case 0xA0702006:
    case 0xA070200C:
    case 0xA070200E:
    case 0xB0702003:
        return Exception::FailedToOperateFile;
    default:
        return Exception::Other;
    }
}

}  // namespace vscore
