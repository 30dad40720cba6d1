// The generation-1 dispatcher: units into pages, announced sizes and
// corners kept per page, status codes into the scan status record, complete
// pages in order to the image processor.
#include "VexmorApi/Temp/ReadThread_v1.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "VexmorApi/ImageProcessor/ImageProcessor.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/SaturatingCast.h"
#include "VexmorApi/Utilities/Timer.h"
#include "diagnostics/VdCommonDefDescriptor.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/ReadThread_v1";

// Status codes of the stream.
constexpr uint16_t kAllPagesEnd = 0x80;
constexpr uint16_t kPageEnd = 0x82;
constexpr uint16_t kCanceled = 0x83;
constexpr uint16_t kStopKey = 0x86;
constexpr uint16_t kFourCorners = 0x87;
constexpr uint16_t kImageSize = 0x88;

// Compression 5 of a unit is a JPEG block; 1 to 4 are lines. An all-white
// line is parsed with compression 0 and goes into a lines image too.
constexpr uint8_t kCompressionJpeg = 5;

uint16_t ToResolution(uint32_t value) { return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF)); }

uint32_t NonNegative(int32_t value) { return value > 0 ? static_cast<uint32_t>(value) : 0; }

bool IsLinesCompression(uint8_t compression) { return compression <= 4; }

}  // namespace

CReadThread_v1::CReadThread_v1(const EngineTimings& timings) : CReadThread_base(timings) {}

CReadThread_v1::~CReadThread_v1() { End(); }

VSRSLT CReadThread_v1::ConvertDeviceErrorToVSRSLT(uint16_t deviceError)
{
    // clang-format off
    switch (deviceError) {
    case 0xC2: return 0x50000090;
    case 0xC3: return 0x50000091;
    case 0xC4: return 0x500000A0;
    case 0xC5: return 0x500000B0;
    case 0xC6: return 0x500000B1;
    case 0xC7: return 0x500000A2;
    case 0xC8: return 0x50000092;
    case 0xC9: return 0x50000084;
    case 0xCA: return 0x500000A2;
    case 0xCB: return 0x500000A4;
    case 0xCC: return 0x500000A5;
    case 0xCD: return 0x500000A6;
    case 0xCE: return 0x500000A7;
    case 0xCF: return 0x50000094;
    case 0xD1: return 0x50000087;
    case 0xD2: return 0x50000098;
    case 0xD3: return 0x50000099;
    case 0xD4: return 0x50000088;
    case 0xD5: return 0x5000009A;
    case 0xE0: return 0x500000B3;
    case 0xE8: return 0x500000A3;
    case 0xE9: return 0x500000B2;
    case 0xEA: return 0x50000093;
    case 0xEB: return 0x500000A8;
    case 0xEC: return 0x500000A9;
    case 0xED: return 0x50000095;
    case 0xEE: return 0x50000096;
    case 0xEF: return 0x50000097;
    default: return 0x500000FF;
    }
    // clang-format on
}

CReadThread_v1::UnitClass CReadThread_v1::GetReceivedImageInfoStatus(const SCANIMAGEINFO& unit)
{
    if (unit.isLineData) {
        if (unit.needMoreData) {
            return LineIncomplete;
        }
        return unit.nextUnit == nullptr ? LineLast : LineMore;
    }
    if (unit.needMoreData) {
        return StatusIncomplete;
    }
    return unit.nextUnit == nullptr ? StatusLast : StatusMore;
}

DeviceImageLines::CompressionType CReadThread_v1::ConvertToDeviceImageLinesCompressionType(uint8_t compression)
{
    switch (compression) {
    case 1:
        return DeviceImageLines::CompressionNoData;
    case 2:
        return DeviceImageLines::CompressionNone;
    default:
        return DeviceImageLines::CompressionPackBits;
    }
}

DeviceImageInfo::ColorType CReadThread_v1::GetDeviceImageInfoColorType() const
{
    switch (m_deviceParameters.colortype) {
    case BLACKWHITE:
        return DeviceImageInfo::BlackAndWhite;
    case ERRDIFFUSION:
        return DeviceImageInfo::Gray;
    case TRUEGRAY:
        return DeviceImageInfo::TrueGray;
    default:
        return DeviceImageInfo::Color;
    }
}

DeviceImageLines::LineColorType CReadThread_v1::GetDeviceImageLinesLineColorType() const
{
    switch (m_deviceParameters.colortype) {
    case BLACKWHITE:
    case ERRDIFFUSION:
        return DeviceImageLines::LineWholeRow;
    case TRUEGRAY:
        return DeviceImageLines::LineTrueGray;
    default:
        return DeviceImageLines::LineColor;
    }
}

// ---------------------------------------------------------------------------
// The dispatcher.

VSRSLT CReadThread_v1::DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength)
{
    OperationTrace const trace(g_ReadLog, 3, "DispatchReceivedData");
    trace.Enter();
    VSRSLT result = 0;
    uint8_t* cursor = data;
    uint32_t remaining = length;
    bool keep = false;
    while (remaining > 0) {
        SCANIMAGEINFO unit;
        int const parsed = CParseExeCmdRes_v1::ParseXcmdImageDataInfo(cursor, remaining, &unit);
        UnitClass const kind = GetReceivedImageInfoStatus(unit);
        bool const continues = kind == LineMore || kind == StatusMore;
        if (parsed != CParseExeCmdRes_v1::PARSE_OK ||
            (continues && (unit.nextUnit <= cursor || unit.nextUnit >= cursor + remaining))) {
            // The page being received gets the failure, so the caller
            // learns of it when it asks for that page.
            m_scanError->SetErrWithDevice(READTHREAD_UNREADABLE_DATA, 1, NextPageNo());
            g_ReadLog.WriteLog(1, "Error: Read unknown data");
            result = READTHREAD_UNREADABLE_DATA;
            remaining = 0;
            EndStream();
            break;
        }
        m_pages.Select(ConvertToDevicePageNo(static_cast<uint16_t>(unit.lineData.addedValue)), false);
        if (kind == LineIncomplete || kind == StatusIncomplete) {
            keep = true;
            break;
        }
        bool goOn = continues;
        if (kind == LineLast || kind == LineMore) {
            goOn = WriteBlockToPage(unit.lineData) && goOn;
        } else if (!DispatchStatusCode(unit)) {
            // The scan is over: what follows is never dispatched.
            goOn = false;
        }
        if (!goOn) {
            remaining = 0;
            break;
        }
        remaining -= static_cast<uint32_t>(unit.nextUnit - cursor);
        cursor = data + (unit.nextUnit - data);
    }
    *rest = nullptr;
    *restLength = 0;
    if (keep && remaining > 0) {
        *rest = SaveDataToEscapeBuffer(cursor, remaining);
        *restLength = remaining;
        g_ReadLog.WriteLog(3, "Escape %d bytes data", remaining);
    }
    trace.Leave();
    return result;
}

void CReadThread_v1::EndStream()
{
    // The failure may not be the one recorded (the first of a scan is), so
    // the loop cannot rely on it to stop; nothing after the failure can be
    // read, and bytes dispatched later would start inside a unit.
    CloseScanner();
}

void CReadThread_v1::RecordMisfit(uint16_t pageNo, const char* what)
{
    uint16_t const page = pageNo != 0 ? pageNo : NextPageNo();
    g_ReadLog.WriteLog(1, "Error: %s. Page No = %d", what, page);
    m_scanError->SetErr(READTHREAD_UNREADABLE_DATA, page);
}

DeviceDataLimits CReadThread_v1::Limits() const
{
    return LimitsAt(AXIS{m_deviceParameters.resolutionX, m_deviceParameters.resolutionY});
}

bool CReadThread_v1::AppendNewPageIfNeeded(uint8_t compression, const DeviceDataLimits& limits)
{
    if (m_pages.Exists()) {
        return true;
    }
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    uint32_t const width = NonNegative(m_deviceParameters.scanAreaInfo.selectArea.width);
    uint32_t const expectedLines = NonNegative(m_deviceParameters.scanAreaInfo.selectArea.height);
    // The area may come from the device's answers.
    if (!FitsDevice("scan area width", width, limits.maxWidth) ||
        !FitsDevice("scan area height", expectedLines, limits.maxHeight)) {
        return false;
    }
    DeviceImageInfo const info(ToResolution(m_deviceParameters.resolutionX),
                               ToResolution(m_deviceParameters.resolutionY), GetDeviceImageInfoColorType(), width);
    if (IsLinesCompression(compression)) {
        m_pages.Append(std::make_shared<Page>(std::make_unique<DeviceImageLines>(info, expectedLines), pageNo));
    } else if (compression == kCompressionJpeg) {
        m_pages.Append(std::make_shared<Page>(std::make_unique<DeviceImageJpeg>(info, expectedLines), pageNo));
    } else {
        return false;
    }
    return true;
}

bool CReadThread_v1::WriteBlockToPage(const LINEDATA& line)
{
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    uint8_t const compression = line.compressionType;
    DeviceDataLimits const limits = Limits();
    if (!AppendNewPageIfNeeded(compression, limits)) {
        if (ShouldFinishReceiving()) {
            return false;
        }
        RecordMisfit(pageNo, "Unknown compression of image data");
        return true;
    }
    std::shared_ptr<Page> const page = m_pages.Get();
    if (page->IsReceivedAllData()) {
        // The page has ended and may be in the scheduler's hands already.
        RecordMisfit(NextPageNo(), "Image data after the page's end");
        return true;
    }
    if (line.data != nullptr && line.length != 0) {
        g_ReadLog.WriteDump(line.data, line.length, compression == kCompressionJpeg ? "DumpJpeg" : "DumpPackBits",
                            pageNo);
    }
    if (compression == kCompressionJpeg) {
        std::unique_ptr<DeviceImageJpeg> image = page->GetDeviceImageJpeg();
        if (!image) {
            RecordMisfit(pageNo, "JPEG data in a page of lines");
            return true;
        }
        if (!FitsDevice("JPEG height", line.addedValue32, limits.maxHeight) ||
            !FitsDevice("page data", uint64_t{image->GetBlockSize()} + line.length, limits.maxPageBytes)) {
            page->SetImage(std::move(image));
            return false;
        }
        try {
            image->AppendBlock(line.length, line.data);
            // A unit without the height (the short form) leaves the frame
            // header as the device wrote it.
            if (line.addedValue32 != 0) {
                image->SetHeight(line.addedValue32);
            }
        } catch (...) {
            page->SetImage(std::move(image));
            throw;
        }
        page->SetImage(std::move(image));
        return true;
    }
    std::unique_ptr<DeviceImageLines> image = page->GetDeviceImageLines();
    if (!image) {
        RecordMisfit(pageNo, "Line data in a JPEG page");
        return true;
    }
    if (!FitsDevice("line data", line.length, limits.maxLineBytes) ||
        !FitsDevice("line count", uint64_t{image->GetHeight()} + 1, limits.maxHeight) ||
        !FitsDevice("page data", uint64_t{image->GetByteSize()} + line.length, limits.maxPageBytes)) {
        page->SetImage(std::move(image));
        return false;
    }
    try {
        if (line.allWhite) {
            // The decoder makes the white row of a line without data.
            image->AppendLine(GetDeviceImageLinesLineColorType(), DeviceImageLines::CompressionNoData, 0, nullptr);
        } else {
            image->AppendLine(GetDeviceImageLinesLineColorType(), ConvertToDeviceImageLinesCompressionType(compression),
                              line.length, line.data);
        }
    } catch (...) {
        page->SetImage(std::move(image));
        throw;
    }
    page->SetImage(std::move(image));
    return true;
}

bool CReadThread_v1::DispatchStatusCode(const SCANIMAGEINFO& unit)
{
    uint16_t const code = unit.statusCode;
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    g_ReadLog.WriteLog(1, "DispatchStatusCode status = %d, pageNo = %d", code, pageNo);
    switch (code) {
    case kAllPagesEnd:
        FinishToAppendPages();
        m_scanError->SetAllPageRecved();
        CloseScanner();
        g_ReadLog.WriteLog(1, "Received last page end");
        return false;
    case kPageEnd: {
        std::shared_ptr<Page> const page = m_pages.Get();
        if (!page) {
            RecordMisfit(pageNo, "Page end without page data");
            return true;
        }
        if (!FitsDevice(*page, Limits())) {
            return false;
        }
        // Throws for a second end of the page, before anything changes.
        page->NotifyRecivedAllData();
        AppendToImageProcessorIfPossible();
        g_ReadLog.WriteLog(1, "Received page end");
        return true;
    }
    case kCanceled:
    case kStopKey:
        m_scanError->SetCanceled(CANCELTYPE_STOPKEY);
        CloseScanner();
        g_ReadLog.WriteLog(1, "Received canceled code");
        return false;
    case kFourCorners: {
        CConvertScanParam::Image4Corners corners{};
        for (size_t i = 0; i < 4; ++i) {
            corners.points[i] = unit.paperCorners.vertex[i];
        }
        m_corners[pageNo] = corners;
        g_ReadLog.WriteLog(2, "Received image info: 4 corners = {%s, %s, %s, %s}",
                           VdCommonDefDescriptor::GetAxisString(corners.points[0]).c_str(),
                           VdCommonDefDescriptor::GetAxisString(corners.points[1]).c_str(),
                           VdCommonDefDescriptor::GetAxisString(corners.points[2]).c_str(),
                           VdCommonDefDescriptor::GetAxisString(corners.points[3]).c_str());
        return true;
    }
    case kImageSize: {
        DeviceDataLimits const limits = Limits();
        if (!FitsDevice("image width", unit.imageSize.width, limits.maxWidth) ||
            !FitsDevice("image height", unit.imageSize.height, limits.maxHeight)) {
            return false;
        }
        m_imageSizes[pageNo] = ImageSize{unit.imageSize.width, unit.imageSize.height};
        g_ReadLog.WriteLog(2, "Received image info: image size = {%d, %d}", unit.imageSize.width,
                           unit.imageSize.height);
        return true;
    }
    default:
        m_scanError->SetErrWithDevice(READTHREAD_DEVICE_ERROR, code, NextPageNo());
        EndStream();
        return false;
    }
}

// ---------------------------------------------------------------------------
// Handing pages on.

void CReadThread_v1::AppendToImageProcessorIfPossible()
{
    if (!DropCompletePagesAfterPcError()) {
        AppendCompletePagesInOrder();
    }
}

void CReadThread_v1::AppendCompletePagesInOrder()
{
    unsigned const sides = IsSimplex() ? 1 : 2;
    for (;;) {
        unsigned const added = AddedPageCount();
        if (added + sides > UINT16_MAX) {
            return;
        }
        for (unsigned side = 1; side <= sides; ++side) {
            if (!m_pages.IsFinishedReceiving(static_cast<uint16_t>(added + side))) {
                return;
            }
        }
        for (unsigned side = 1; side <= sides; ++side) {
            m_pages.Select(static_cast<uint16_t>(added + side), false);
            AppendToImageProcessor();
        }
    }
}

void CReadThread_v1::FinishToAppendPages()
{
    if (m_scanError->IsPcErr() || IsSimplex()) {
        return;
    }
    unsigned const next = AddedPageCount() + 1u;
    if (next <= UINT16_MAX && m_pages.IsFinishedReceiving(static_cast<uint16_t>(next)) &&
        (next == UINT16_MAX || !m_pages.Exists(static_cast<uint16_t>(next + 1)))) {
        m_pages.Select(static_cast<uint16_t>(next), false);
        AppendToImageProcessor();
    }
}

void CReadThread_v1::UpdateImageWidthIfNeeded(Page& page)
{
    auto const size = m_imageSizes.find(page.GetPageNo());
    if (size == m_imageSizes.end()) {
        return;
    }
    std::unique_ptr<DeviceImage> image = page.GetDeviceImage();
    if (image) {
        // A width of 0 says nothing; the width asked for stays.
        if (size->second.width != 0) {
            image->SetWidth(size->second.width);
        }
        page.SetImage(std::move(image));
    }
    m_imageSizes.erase(size);
}

void CReadThread_v1::AppendToImageProcessor()
{
    static char const kFunc[] = "AppendToImageProcessor";
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    g_ReadLog.WriteLog(2, "Append to ImageProcessor. pageNo = %d", pageNo);
    std::shared_ptr<Page> const page = m_pages.Get();
    if (!page) {
        VEXMOR_THROW(kOrigin, kFunc, Exception::InvalidArgument, "Invalid Page No. - " + std::to_string(pageNo));
    }
    UpdateImageWidthIfNeeded(*page);
    DecodeParameter const decode = CreateDecodeParameter();
    std::unique_ptr<CConvertScanParam::Image4Corners> corners;
    auto const found = m_corners.find(pageNo);
    if (found != m_corners.end()) {
        corners = std::make_unique<CConvertScanParam::Image4Corners>(found->second);
        m_corners.erase(found);
    }
    AXIS const deviceResolution{m_deviceParameters.resolutionX, m_deviceParameters.resolutionY};
    AXIS const outputSize = CConvertScanParam::ToImageEnhanceOutputSize(
        deviceResolution, decode.GetResolution(), m_deviceParameters.scanAreaInfo,
        m_userParameters.scanAreaInfo.selectArea, m_readPreparation->IsNormalAreaType(),
        m_readPreparation->GetPaperSource(), m_readPreparation->GetScanAreaIfPushScanHighSpeedMode());
    _IMAGEPROC_PARAM const enhancement = CConvertScanParam::ToImageEnhanceParam_v1(
        m_capability, m_userParameters, m_deviceParameters, outputSize, corners);
    m_imageProcessor->AddPage(page, decode, enhancement, static_cast<unsigned short>(m_userParameters.resolutionX));
    m_scanError->SetRecvPageNo(0, pageNo);
}

DecodeParameter CReadThread_v1::CreateDecodeParameter() const
{
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    DecodeParameter decode;
    decode.SetResolution(ToResolution(std::max(m_deviceParameters.resolutionX, m_deviceParameters.resolutionY)));
    // Only this command version sends 8-bit gray for true gray.
    if (m_userParameters.colortype == TRUEGRAY && m_capability.commandVersion == CommandVersion_2014_2) {
        decode.SetColorType(DecodeParameter::TrueGray);
    }
    if (m_deviceParameters.scanAreaInfo.selectArea.height > 0) {
        decode.SetHeight(NonNegative(m_deviceParameters.scanAreaInfo.selectArea.height));
    }
    decode.SetDetectEndOfPage(m_userParameters.enhanced.detectEndOfPage);
    decode.SetReversal(m_userParameters.duplextype == DUPLEX_SHORT && pageNo % 2 == 0);
    g_ReadLog.WriteLog(2, "Decode Parameter: page = %d, parameter = %s", pageNo, decode.GetDescription().c_str());
    return decode;
}

}  // namespace vscore
