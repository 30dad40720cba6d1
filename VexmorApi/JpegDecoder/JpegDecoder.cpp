// Choice between whole-page and band decoding, and the gray conversion.
#include "VexmorApi/JpegDecoder/JpegDecoder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "VexmorApi/JpegDecoder/JpegBandDecoder.h"
#include "VexmorApi/JpegDecoder/JpegPageDecoder.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/JpegDecoder/JpegDecoder";
}  // namespace

std::unique_ptr<DeviceImageLines> JpegDecoder::Decode(std::unique_ptr<DeviceImageJpeg> jpeg, bool toGray)
{
    uint64_t const required = jpeg ? jpeg->GetRequiredByteSize() : 0;
    std::unique_ptr<DeviceImageLines> lines;
    if (required > kPageDecodeLimit) {
        g_DecodeLog.WriteLog(2, "BandDecode RequiredByteSize:%llu", static_cast<unsigned long long>(required));
        std::string const description = jpeg->GetDescription();
        uint32_t const height = jpeg->GetHeight();
        JpegBandDecoder band;
        lines = band.DecodeJpegImage_Band(std::move(jpeg));
        // A short page is an error as on the page path; only a missing EOI
        // after all rows is not.
        if (!lines || lines->GetHeight() < height) {
            JpegPageDecoder::ThrowDecodeFailure(description);
        }
    } else {
        g_DecodeLog.WriteLog(2, "PageDecode RequiredByteSize:%llu", static_cast<unsigned long long>(required));
        lines = JpegPageDecoder::Decode(std::move(jpeg));
    }
    if (toGray && lines && lines->GetColorType() == DeviceImageInfo::Color) {
        lines = Convert24BitColorToTrueGrayImageDataStore(std::move(lines));
    }
    return lines;
}

std::unique_ptr<DeviceImageLines> JpegDecoder::Convert24BitColorToTrueGrayImageDataStore(
    std::unique_ptr<DeviceImageLines> image24bit)
{
    char const* const function = "Convert24BitColorToTrueGrayImageDataStore";
    vscore::OperationTrace const trace(g_DecodeLog, 2, function);
    trace.Enter();
    if (!image24bit) {
        throw TraceException(Exception::InvalidArgument, "image24bit is nullptr.", kOrigin, function, 48);
    }
    uint32_t const width = image24bit->GetWidth();
    uint32_t const height = image24bit->GetHeight();
    auto gray = std::make_unique<DeviceImageLines>(image24bit->GetResolutionX(), image24bit->GetResolutionY(),
                                                   DeviceImageInfo::TrueGray, width, height);
    if (height != 0) {
        std::vector<unsigned char> row(image24bit->GetLineLength(0) / 3);
        for (uint32_t y = 0; y < height; ++y) {
            unsigned char const* rgb = image24bit->GetLineHeadPointer(y);
            // A line shorter than the first is converted as far as it goes.
            size_t const pixels = std::min<size_t>({width, row.size(), image24bit->GetLineLength(y) / 3});
            std::fill(row.begin() + static_cast<long>(pixels), row.end(), 0);
            for (size_t x = 0; x < pixels; ++x) {
                row[x] = static_cast<unsigned char>((rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2]) / 3);
            }
            gray->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone,
                             static_cast<uint32_t>(row.size()), row.data());
        }
    }
    trace.LeaveResult(0);
    return gray;
}
