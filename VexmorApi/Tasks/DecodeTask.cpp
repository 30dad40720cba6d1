// The decode task's steps and the area and height rules it hands the scan
// decoder.
#include "VexmorApi/Tasks/DecodeTask.h"

#include <algorithm>
#include <string>

#include "VexmorApi/JpegDecoder/JpegDecoder.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Tasks/DecodeTask";

// Device lines at the decoding resolution: the product first, in 64 bits, so
// that ratios that are not whole numbers scale as the decoder's widths do.
uint32_t ScaleLines(uint32_t lines, uint16_t outResolution, uint16_t inResolution, char const* function)
{
    if (inResolution == 0) {
        VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument, "Invalid device resolution: 0");
    }
    uint64_t const scaled = uint64_t{lines} * outResolution / inResolution;
    if (scaled > UINT32_MAX) {
        VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument,
                     "Invalid height. - lines: " + std::to_string(lines) + ", outResolution: " +
                         std::to_string(outResolution) + ", inResolution: " + std::to_string(inResolution));
    }
    return static_cast<uint32_t>(scaled);
}

}  // namespace

DecodeTask::DecodeTask(std::shared_ptr<Page> page, DecodeParameter const& decodeParameter)
    : page_(std::move(page)), decodeParameter_(decodeParameter)
{
}

DecodeTask::~DecodeTask() { WaitUntilFinished(); }

std::shared_ptr<Page> DecodeTask::GetPage()
{
    WaitUntilFinished();
    return page_;
}

int DecodeTask::Main()
{
    int const pageNo = page_->GetPageNo();
    g_DecodeLog.WriteLog(2, "%d page's decode task started", pageNo);
    if (page_->IsBlankPage()) {
        g_DecodeLog.WriteLog(2, "%d page is blank", pageNo);
        return 0;
    }
    if (IsCancelRequested()) {
        g_DecodeLog.WriteLog(1, "%d page's decode task canceled", pageNo);
        return 1;
    }
    if (page_->HasDeviceImageJpeg()) {
        std::unique_ptr<DeviceImageLines> lines =
            JpegDecoder().Decode(page_->GetDeviceImageJpeg(), ShouldConvertTo8bit(decodeParameter_));
        page_->SetImage(std::move(lines));
    }
    if (IsCancelRequested()) {
        g_DecodeLog.WriteLog(1, "%d page's decode task canceled", pageNo);
        return 1;
    }
    if (page_->HasDeviceImageLines()) {
        std::unique_ptr<DeviceImageLines> lines = page_->GetDeviceImageLines();
        DeviceImageInfo const info = lines->GetDeviceImageInfo();
        std::shared_ptr<DecodeParameter::Area> const area = GetSelectedAreaForScanDecoder(decodeParameter_, info);
        uint32_t const maxHeight =
            GetOutputMaxHeightForScanDecode(decodeParameter_, lines->GetHeight(), info.GetResolutionY(), area);
        InvertDirection const invert = decodeParameter_.GetReversal() ? InvertReversal : InvertNormal;
        uint32_t const requiredHeight = GetRequiredHeightForScanDecode(decodeParameter_, info.GetResolutionY(), area);
        std::unique_ptr<BitmapImage> bitmap =
            ScanDecoder().Proc(std::move(lines), decodeParameter_.GetResolution(), maxHeight, invert,
                               std::max(maxHeight, requiredHeight), area, GetCancelCheck());
        page_->SetImage(std::move(bitmap));
    }
    g_DecodeLog.WriteLog(2, "%d page's decode task finished", pageNo);
    return 0;
}

bool DecodeTask::ShouldConvertTo8bit(DecodeParameter const& parameter)
{
    return parameter.HasColorType() && parameter.GetColorType() == DecodeParameter::TrueGray;
}

std::shared_ptr<DecodeParameter::Area> DecodeTask::GetSelectedAreaForScanDecoder(DecodeParameter const& parameter,
                                                                                 DeviceImageInfo const& info)
{
    std::shared_ptr<DecodeParameter::Area> area = parameter.GetSelectedArea();
    if (!area) {
        return area;
    }
    // The received data's width in output pixels, as the decoder makes it.
    uint32_t const width =
        ScanDecoder::CalculateOutWidth(parameter.GetResolution(), info.GetResolutionX(), info.GetWidth());
    // An area starting at or beyond the data is left for the decoder to refuse.
    if (area->x < width && uint64_t{area->x} + area->width > width) {
        area->x = area->width < width ? width - area->width : 0;
    }
    if (area->width >= width) {
        area->width = width;
    }
    return area;
}

uint32_t DecodeTask::GetOutputMaxHeightForScanDecode(DecodeParameter const& parameter, uint32_t lineCount,
                                                     uint16_t resolutionY,
                                                     std::shared_ptr<DecodeParameter::Area> const& area)
{
    uint32_t lines = lineCount;
    if (parameter.HasHeight() && parameter.GetHeight() < lineCount) {
        lines = parameter.GetHeight();
    }
    uint32_t const height =
        ScaleLines(lines, parameter.GetResolution(), resolutionY, "GetOutputMaxHeightForScanDecode");
    if (area && area->height <= height) {
        return area->height;
    }
    return height;
}

uint32_t DecodeTask::GetRequiredHeightForScanDecode(DecodeParameter const& parameter, uint16_t resolutionY,
                                                    std::shared_ptr<DecodeParameter::Area> const& area)
{
    if (area) {
        return area->height;
    }
    uint32_t const lines = parameter.WillAppendHeight() ? parameter.GetHeight() : 0;
    return ScaleLines(lines, parameter.GetResolution(), resolutionY, "GetRequiredHeightForScanDecode");
}

}  // namespace vscore
