// The generation-2 dispatcher: blocks into pages, announced values into the
// info store, end and status codes into the scan status record, complete
// pages in order to the image processor.
#include "VexmorApi/Temp/ReadThread_v2.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "VexmorApi/ImageProcessor/ImageProcessor.h"
#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/SaturatingCast.h"
#include "VexmorApi/Utilities/Timer.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/ReadThread_v2";

uint16_t ToResolution(uint32_t value) { return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF)); }

uint32_t NonNegative(int64_t value) { return SaturateTo<uint32_t>(std::max<int64_t>(value, 0)); }

[[noreturn]] void ThrowInvalidPage(uint16_t pageNo, const char* function)
{
    VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument, "Invalid Page No. - " + std::to_string(pageNo));
}

// The device's colour codes in three classes: black and white (0), gray
// (1, either code) and colour (2).
unsigned ColorClass(IMAGE_COLOR color)
{
    switch (color) {
    case IMAGE_COLOR_BLACKWHITE:
        return 0;
    case IMAGE_COLOR_GRAY:
    case IMAGE_COLOR_GRAY_ALT:
        return 1;
    default:
        return 2;
    }
}

// The line kind of a line without data (a white line) in an image.
DeviceImageLines::LineColorType WhiteLineColor(DeviceImageInfo::ColorType color)
{
    return CReadThread_v2::ToDeviceImageLinesLineColorType(color == DeviceImageInfo::BlackAndWhite
                                                               ? IMAGE_COLOR_BLACKWHITE
                                                           : color == DeviceImageInfo::Color ? IMAGE_COLOR_FULLCOLOR
                                                                                             : IMAGE_COLOR_GRAY);
}

bool IsEdgeKind(const IMAGE_HEADER& header, const PARSE_RESULT& result)
{
    if (!result.hasStatusCode) {
        return false;
    }
    switch (header.statusCode) {
    case IMAGE_STATUS_EDGE_WHITE_LINE:
    case IMAGE_STATUS_EDGE_LINE:
    case IMAGE_STATUS_EDGE_PAGE_END:
    case IMAGE_STATUS_BLANK_EDGE_PAGE_END:
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// The info store.

bool CReadThread_v2::InfoStore::GetHeight(uint16_t pageNo, uint32_t& height) const
{
    auto const found = heights_.find(pageNo);
    if (found == heights_.end()) {
        return false;
    }
    height = found->second;
    return true;
}

Page::AutoColorResult CReadThread_v2::InfoStore::GetAutoColor(uint16_t pageNo) const
{
    auto const found = colors_.find(pageNo);
    return found != colors_.end() ? found->second : Page::AutoColorNone;
}

void CReadThread_v2::InfoStore::Restore(Page& page) const
{
    auto const width = widths_.find(page.GetPageNo());
    if (width == widths_.end()) {
        return;
    }
    std::unique_ptr<DeviceImage> image = page.GetDeviceImage();
    if (image) {
        image->SetWidth(width->second);
        page.SetImage(std::move(image));
    }
}

void CReadThread_v2::InfoStore::Clear()
{
    widths_.clear();
    heights_.clear();
    colors_.clear();
}

// ---------------------------------------------------------------------------

CReadThread_v2::CReadThread_v2(const EngineTimings& timings) : CReadThread_base(timings) {}

CReadThread_v2::~CReadThread_v2() { End(); }

VSRSLT CReadThread_v2::ConvertDeviceErrorToVSRSLT(uint16_t deviceError)
{
    switch (deviceError) {
    case 0x84:
    case 0x86:
    case 0x87:
    case 0x88:
    case 0xA0:
        return 0x50000000u | deviceError;
    case 0xA1:
        return 0x500000A2u;
    default:
        break;
    }
    if ((deviceError >= 0x90 && deviceError <= 0x9A) || (deviceError >= 0xA2 && deviceError <= 0xA9) ||
        (deviceError >= 0xB0 && deviceError <= 0xB3)) {
        return 0x50000000u | deviceError;
    }
    return 0x500000FFu;
}

COLORTYPE CReadThread_v2::ToColorType(IMAGE_COLOR color)
{
    static COLORTYPE const kTypes[] = {BLACKWHITE, TRUEGRAY, COLOR24BIT};
    return kTypes[ColorClass(color)];
}

Page::AutoColorResult CReadThread_v2::ToAutoColorResultType(IMAGE_COLOR color)
{
    static Page::AutoColorResult const kResults[] = {Page::AutoColorBlackAndWhite, Page::AutoColorGray,
                                                     Page::AutoColorColor};
    return kResults[ColorClass(color)];
}

DeviceImageInfo::ColorType CReadThread_v2::ToDeviceImageInfoColorType(IMAGE_COLOR color)
{
    static DeviceImageInfo::ColorType const kTypes[] = {DeviceImageInfo::BlackAndWhite, DeviceImageInfo::TrueGray,
                                                        DeviceImageInfo::Color};
    return kTypes[ColorClass(color)];
}

DeviceImageLines::LineColorType CReadThread_v2::ToDeviceImageLinesLineColorType(IMAGE_COLOR color)
{
    static DeviceImageLines::LineColorType const kTypes[] = {
        DeviceImageLines::LineWholeRow, DeviceImageLines::LineTrueGray, DeviceImageLines::LineColor};
    return kTypes[ColorClass(color)];
}

DeviceImageLines::CompressionType CReadThread_v2::ToDeviceImageLinesCompressionType(IMAGE_COMPRESS compression)
{
    switch (compression) {
    case IMAGE_COMPRESS_NONE:
        return DeviceImageLines::CompressionNone;
    case IMAGE_COMPRESS_PACKBITS:
        return DeviceImageLines::CompressionPackBits;
    default:
        return DeviceImageLines::CompressionNoData;
    }
}

IMAGE_COLOR CReadThread_v2::ToDeviceColor(COLORTYPE type)
{
    switch (type) {
    case BLACKWHITE:
    case ERRDIFFUSION:
        return IMAGE_COLOR_BLACKWHITE;
    case TRUEGRAY:
        return IMAGE_COLOR_GRAY;
    default:
        return IMAGE_COLOR_FULLCOLOR;
    }
}

// ---------------------------------------------------------------------------
// The dispatcher.

VSRSLT CReadThread_v2::DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength)
{
    OperationTrace const trace(g_ReadLog, 3, "DispatchReceivedData");
    trace.Enter();
    *rest = nullptr;
    *restLength = 0;
    VSRSLT result = 0;
    uint8_t* cursor = data;
    uint32_t remaining = length;
    while (result == 0 && remaining > 0) {
        IMAGE_HEADER header;
        PARSE_RESULT parsed;
        unsigned char* next = nullptr;
        int const outcome = CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(cursor, remaining, &header, &parsed, &next);
        if (outcome == CParseExeCmdRes_v2::kParseNeedMore) {
            break;
        }
        if (outcome != CParseExeCmdRes_v2::kParseComplete || next <= cursor || next > cursor + remaining) {
            // The page after the last one received gets the failure, so the
            // caller learns of it when it asks for that page.
            SetUnreadableData();
            remaining = 0;
            break;
        }
        m_pages.Select(ConvertToDevicePageNo(header.pageNo), IsEdgeKind(header, parsed));
        uint32_t const blockSize = static_cast<uint32_t>(next - cursor);
        try {
            result = DispatchBlock(header, parsed);
        } catch (...) {
            // The blocks after the failing one stay for the next read, so the
            // stream stays in step while the scan is terminated.
            if (remaining > blockSize) {
                *rest = SaveDataToEscapeBuffer(next, remaining - blockSize);
                *restLength = remaining - blockSize;
            }
            throw;
        }
        remaining -= blockSize;
        cursor = next;
        // The receive loop ends after this read: what the device sent after
        // the end of the scan must not change it (else how the bytes were
        // cut into reads would decide the outcome).
        if (ShouldFinishReceiving()) {
            remaining = 0;
        }
    }
    if (remaining > 0) {
        *rest = SaveDataToEscapeBuffer(cursor, remaining);
        *restLength = remaining;
        g_ReadLog.WriteLog(3, "Escape %d bytes data", remaining);
    }
    m_waitingDocumentStatus->UpdateStatus();
    trace.LeaveResult(result);
    return result;
}

VSRSLT CReadThread_v2::DispatchBlock(const IMAGE_HEADER& header, const PARSE_RESULT& parsed)
{
    if (parsed.hasStatusCode && header.statusCode <= IMAGE_STATUS_EDGE_LINE) {
        VSRSLT const written = WriteDataBlockToImageDataArray(header);
        if (written != 0) {
            g_ReadLog.WriteLog(1, "Error: Failed to write data block to array. ret = %08x, pageNo = %d", written,
                               header.pageNo);
            m_scanError->SetErr(written, header.pageNo);
        }
        return written;
    }
    if (parsed.hasStatusCode) {
        DispatchEndCode(header.statusCode);
    } else if (parsed.hasDataInfo) {
        DispatchDataInfo(header, parsed);
    } else if (parsed.failed) {
        g_ReadLog.WriteLog(1, "Error: Received failed code = 0x%X", parsed.failKind);
    } else if (parsed.stopped || parsed.finishWaiting || parsed.timer || parsed.remainingTime || parsed.deviceError) {
        DispatchStatusCode(parsed);
    }
    // A block without any event (0x10) is passed over.
    return 0;
}

bool CReadThread_v2::MakeImageAndAppendToPageIfNeeded(IMAGE_COMPRESS compression, IMAGE_COLOR color,
                                                      const DeviceDataLimits& limits)
{
    if (m_pages.Exists()) {
        return true;
    }
    AXIS const resolution = GetImageResolution();
    AXIS const area = GetImageArea();
    // The area may come from the device's answers.
    if (!FitsDevice("scan area width", area.x, limits.maxWidth) ||
        !FitsDevice("scan area height", area.y, limits.maxHeight)) {
        return false;
    }
    m_colorType = ToColorType(color);
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    uint16_t const x = ToResolution(resolution.x);
    uint16_t const y = ToResolution(resolution.y);
    // Room for the expected lines is taken at once (the image caps it), so
    // a page's data are not copied again and again while they grow.
    switch (compression) {
    case IMAGE_COMPRESS_NONE:
    case IMAGE_COMPRESS_PACKBITS:
        m_pages.Append(std::make_shared<Page>(
            std::make_unique<DeviceImageLines>(x, y, ToDeviceImageInfoColorType(color), area.x, area.y), pageNo));
        break;
    case IMAGE_COMPRESS_JPEG:
        m_pages.Append(std::make_shared<Page>(
            std::make_unique<DeviceImageJpeg>(x, y, DeviceImageInfo::Color, area.x, area.y), pageNo));
        break;
    }
    return true;
}

uint32_t CReadThread_v2::ExpectedHeight(bool& limits) const
{
    uint64_t height = m_readPreparation->GetScanArea().height;
    EDGECUTPARAM const& edgeCut = m_userParameters.enhanced.edgeCut;
    if (edgeCut.adjust && m_readPreparation->IsSupportedMarginAdjustment(m_userParameters.scanAreaInfo.papertype)) {
        unsigned int const resolution = m_readPreparation->GetActualResolusion().y;
        int top = 0;
        int bottom = 0;
        if (CConvertUnit::ConvertToPixles(resolution, edgeCut.rect.top, edgeCut.unit, &top) &&
            CConvertUnit::ConvertToPixles(resolution, edgeCut.rect.bottom, edgeCut.unit, &bottom)) {
            height += NonNegative(int64_t{top} + bottom);
        }
    }
    limits =
        CPaperSize::IsFixedPaperType(m_userParameters.scanAreaInfo.papertype) && m_readPreparation->IsNormalAreaType();
    return SaturateTo<uint32_t>(static_cast<int64_t>(std::min<uint64_t>(height, UINT32_MAX)));
}

VSRSLT CReadThread_v2::WriteDataBlockToImageDataArray(const IMAGE_HEADER& header)
{
    static char const kFunc[] = "WriteDataBlockToImageDataArray";
    // White lines carry no image type: they say nothing about the page's
    // colour or compression, and a page they start takes the colour the
    // device was asked for.
    bool const white = !header.hasImageType;
    IMAGE_COMPRESS const compression = white ? IMAGE_COMPRESS_NONE : header.compress;
    IMAGE_COLOR const color = white ? ToDeviceColor(m_deviceParameters.colortype) : header.color;
    DeviceDataLimits const limits = LimitsAt(GetImageResolution());
    if (!FitsDevice("image width", header.width, limits.maxWidth) ||
        !MakeImageAndAppendToPageIfNeeded(compression, color, limits)) {
        return 0;  // recorded; the stream ends here
    }
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    std::shared_ptr<Page> const page = m_pages.Get();
    // A page that ended is with the image processor: its image is no longer
    // the dispatcher's.
    if (!page || page->IsReceivedAllData()) {
        ThrowInvalidPage(pageNo, kFunc);
    }
    unsigned int const userResolution = m_userParameters.resolutionY;
    unsigned int const deviceResolution = m_deviceParameters.resolutionY;
    bool const longPaper = m_capability.commandVersion == CommandVersion_KELP2;
    bool limitsHeight = false;
    if (compression == IMAGE_COMPRESS_JPEG) {
        std::unique_ptr<DeviceImageJpeg> image = page->GetDeviceImageJpeg();
        if (!image) {
            ThrowInvalidPage(pageNo, kFunc);  // a JPEG block for a page of lines
        }
        unsigned int const lineCount = header.lineCount;
        if (!CPaperSize::IsSupportImageSize(userResolution, deviceResolution, lineCount,
                                            m_userParameters.scanAreaInfo.papertype, longPaper)) {
            page->SetImage(std::move(image));
            page->SetTerminatedPage();
            return 0;
        }
        if (!FitsDevice("JPEG height", lineCount, limits.maxHeight) ||
            !FitsDevice("page data", uint64_t{image->GetBlockSize()} + header.dataSize, limits.maxPageBytes)) {
            page->SetImage(std::move(image));
            return 0;
        }
        uint32_t const expected = ExpectedHeight(limitsHeight);
        g_ReadLog.WriteDump(header.data, static_cast<int>(header.dataSize), "DumpJpeg", pageNo);
        image->AppendBlock(header.dataSize, header.data);
        if (header.width != 0) {
            image->SetWidth(header.width);
        }
        if (lineCount != 0) {
            image->SetHeight(limitsHeight && lineCount > expected ? expected : lineCount);
        }
        page->SetImage(std::move(image));
        return 0;
    }
    std::unique_ptr<DeviceImageLines> image = page->GetDeviceImageLines();
    if (!image) {
        ThrowInvalidPage(pageNo, kFunc);  // lines for a JPEG page
    }
    unsigned int const lineCount = image->GetHeight() + 1;
    if (!CPaperSize::IsSupportImageSize(userResolution, deviceResolution, lineCount,
                                        m_userParameters.scanAreaInfo.papertype, longPaper)) {
        page->SetImage(std::move(image));
        page->SetTerminatedPage();
        return 0;
    }
    uint32_t const expected = ExpectedHeight(limitsHeight);
    if (!(limitsHeight && lineCount > expected)) {
        if (!FitsDevice("line data", header.dataSize, limits.maxLineBytes) ||
            !FitsDevice("line count", lineCount, limits.maxHeight) ||
            !FitsDevice("page data", uint64_t{image->GetByteSize()} + header.dataSize, limits.maxPageBytes)) {
            page->SetImage(std::move(image));
            return 0;
        }
        if (white) {
            image->AppendLine(WhiteLineColor(image->GetColorType()), DeviceImageLines::CompressionNoData, 0, nullptr);
        } else {
            g_ReadLog.WriteDump(header.data, static_cast<int>(header.dataSize), "DumpPackBits", pageNo);
            image->AppendLine(ToDeviceImageLinesLineColorType(color), ToDeviceImageLinesCompressionType(compression),
                              header.dataSize, header.data);
        }
    }
    if (header.width != 0) {
        image->SetWidth(header.width);
    }
    page->SetImage(std::move(image));
    return 0;
}

bool CReadThread_v2::CompleteSelectedPage(bool blank)
{
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    std::shared_ptr<Page> page = m_pages.Get();
    if (!page) {
        if (!blank) {
            g_ReadLog.WriteLog(1, "Error: Page end without page data. Page No = %d", pageNo);
            m_scanError->SetErr(READTHREAD_UNREADABLE_DATA, pageNo);
            return false;
        }
        // The device found the page blank before it sent anything.
        page = std::make_shared<Page>(pageNo);
        m_pages.Append(page);
    }
    if (!FitsDevice(*page, LimitsAt(GetImageResolution()))) {
        return false;
    }
    // Throws for a second end of the page, before anything of it changes.
    page->NotifyRecivedAllData();
    if (blank) {
        page->SetBlankPage();
    }
    return true;
}

void CReadThread_v2::DispatchEndCode(IMAGE_STATUSCODE endCode)
{
    g_ReadLog.WriteLog(2, "DispatchEndCode status = %d", static_cast<int>(endCode));
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    switch (endCode) {
    case IMAGE_STATUS_ALL_PAGE_END:
        FinishToAppendPages();
        m_scanError->SetAllPageRecved();
        CloseScanner();
        g_ReadLog.WriteLog(1, "Status = All Page End");
        break;
    case IMAGE_STATUS_BLANK_PAGE_END:
    case IMAGE_STATUS_PAGE_END: {
        bool const blank = endCode == IMAGE_STATUS_BLANK_PAGE_END;
        if (blank) {
            g_ReadLog.WriteLog(1, "Status = White Page End. Page No = %d", pageNo);
        }
        if (!CompleteSelectedPage(blank)) {
            return;
        }
        AppendToImageProcessorIfPossible();
        if (m_pages.IsEdgeScanPage() && m_capability.autoCropType == AUTOCROPTYPE::CROP_2PASS) {
            VSRSLT const rescanned = Rescan();
            if (rescanned != 0) {
                m_scanError->SetErr(rescanned, 1);
                return;
            }
        }
        g_ReadLog.WriteLog(1, "Status = Page End. Page No = %d", pageNo);
        break;
    }
    case IMAGE_STATUS_PAGE_TOO_LONG_END: {
        if (!CompleteSelectedPage(false)) {
            return;
        }
        m_pages.Get()->SetTerminatedPage();
        AppendToImageProcessorIfPossible();
        g_ReadLog.WriteLog(1, "Status = Device Max Length Page End. Page No = %d", pageNo);
        break;
    }
    case IMAGE_STATUS_BLANK_EDGE_PAGE_END:
    case IMAGE_STATUS_EDGE_PAGE_END: {
        bool const blank = endCode == IMAGE_STATUS_BLANK_EDGE_PAGE_END;
        if (blank) {
            g_ReadLog.WriteLog(1, "Status = White Edge Page End. Page No = %d", pageNo);
        }
        if (!CompleteSelectedPage(blank)) {
            return;
        }
        AppendToImageProcessorIfPossible();
        g_ReadLog.WriteLog(1, "Status = Edge Page End. Page No = %d", pageNo);
        break;
    }
    default:
        g_ReadLog.WriteLog(1, "Error: Invalid Argument. (not end code)");
        VEXMOR_THROW(kOrigin, "DispatchEndCode", Exception::InvalidArgument, "Error: not end code");
    }
}

void CReadThread_v2::DispatchStatusCode(const PARSE_RESULT& result)
{
    if (result.timer) {
        // The device's own time, used as sent.
        SetScanTimeOutSec(int64_t{result.timerValue} * 1000);
        g_ReadLog.WriteLog(2, "Scan timeout postpone. time = %d[sec]", result.timerValue);
        if (result.timerKind == 0) {
            DiscardReadingPages();
            g_ReadLog.WriteLog(2, "Delete noncomplete scan images. last page no = %d", m_scanError->GetLastPageNo());
        }
        return;
    }
    DiscardReadingPages();
    if (!result.stopped && !result.deviceError) {
        if (result.finishWaiting) {
            FinishToAppendPages();
            m_scanError->SetAllPageRecved();
            CloseScanner();
            g_ReadLog.WriteLog(2, "Status = Finish to auto continuous scan");
        } else if (result.remainingTime) {
            if (result.remainingTimeValue != 0) {
                m_waitingDocumentStatus->ReadyStatus(static_cast<uint16_t>(result.remainingTimeValue));
            }
        } else {
            FinishToAppendPages();
            m_scanError->SetErrCausingCancellation(READTHREAD_INVALID_STATUS);
            g_ReadLog.WriteLog(2, "Error: Invalid stauts.");
        }
        return;
    }
    FinishToAppendPages();
    uint32_t responseCode = 0;
    if (result.stopped) {
        responseCode = result.stopKind;
        m_scanError->SetCanceled(result.stopKind == 0 ? CANCELTYPE_COMMAND : CANCELTYPE_STOPKEY);
    } else if (result.resultCode == 0x81 && IsAbortSent()) {
        // The device refuses to go on because the engine stopped it.
        responseCode = result.resultCode;
        m_scanError->SetCanceled(CANCELTYPE_COMMAND);
    } else {
        m_scanError->SetErrWithDevice(READTHREAD_DEVICE_ERROR, result.resultCode, NextPageNo());
        g_ReadLog.WriteLog(2, "Error: Device error code = 0x%X", result.resultCode);
        return;
    }
    g_ReadLog.WriteLog(2, "Cancel response code = 0x%X", responseCode);
}

void CReadThread_v2::DispatchDataInfo(const IMAGE_HEADER& header, const PARSE_RESULT& result)
{
    g_ReadLog.WriteLog(1, "DispatchDataInfo status = %d, pageNo = %d", static_cast<int>(result.dataInfoKind),
                       header.pageNo);
    if (result.dataInfoKind == 0) {
        DeviceDataLimits const limits = LimitsAt(GetImageResolution());
        if (!FitsDevice("image width", header.width, limits.maxWidth) ||
            !FitsDevice("image height", header.height, limits.maxHeight)) {
            return;
        }
        if (header.width != 0) {
            m_infoStore.SetWidth(header.pageNo, header.width);
        }
        if (header.height != 0) {
            m_infoStore.SetHeight(header.pageNo, header.height);
        }
        g_ReadLog.WriteLog(2, "Received image header : ImageSize = {%d, %d}", header.width, header.height);
    } else {
        Page::AutoColorResult const color = ToAutoColorResultType(header.color);
        m_infoStore.SetAutoColor(header.pageNo, color);
        g_ReadLog.WriteLog(2, "Received image header : ImageColor = %d", static_cast<int>(color));
    }
}

// ---------------------------------------------------------------------------
// Handing pages on.

void CReadThread_v2::DiscardReadingPages()
{
    uint16_t const added = AddedPageCount();
    m_pages.Erase([added](uint16_t pageNo, const Page&) { return pageNo > added; });
    m_infoStore.Clear();
}

void CReadThread_v2::AppendToImageProcessorIfPossible()
{
    if (DropCompletePagesAfterPcError()) {
        m_infoStore.Clear();
        return;
    }
    if (IsSimplex()) {
        AppendToImageProcessorInOrderSimplex();
    } else {
        AppendToImageProcessorInOrderDuplex();
    }
}

void CReadThread_v2::AppendToImageProcessorInOrderSimplex()
{
    for (;;) {
        uint16_t const added = AddedPageCount();
        if (added == UINT16_MAX || !m_pages.IsFinishedReceiving(added + 1)) {
            return;
        }
        m_pages.Select(added + 1, false);
        AppendToImageProcessor();
    }
}

void CReadThread_v2::AppendToImageProcessorInOrderDuplex()
{
    // A front side waits for its back side.
    for (;;) {
        uint16_t const added = AddedPageCount();
        if (added > UINT16_MAX - 2 || !m_pages.IsFinishedReceiving(added + 1) ||
            !m_pages.IsFinishedReceiving(added + 2)) {
            return;
        }
        m_pages.Select(added + 1, false);
        AppendToImageProcessor();
        m_pages.Select(added + 2, false);
        AppendToImageProcessor();
    }
}

void CReadThread_v2::FinishToAppendPages()
{
    if (m_scanError->IsPcErr() || IsSimplex()) {
        return;
    }
    uint16_t const added = AddedPageCount();
    if (added < UINT16_MAX && m_pages.IsFinishedReceiving(added + 1) &&
        (added + 1 == UINT16_MAX || !m_pages.Exists(added + 2))) {
        m_pages.Select(added + 1, false);
        AppendToImageProcessor();
    }
}

void CReadThread_v2::AppendToImageProcessor()
{
    static char const kFunc[] = "AppendToImageProcessor";
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    g_ReadLog.WriteLog(2, "Append to ImageProcessor. pageNo = %d", pageNo);
    std::shared_ptr<Page> const page = m_pages.Get();
    if (!page) {
        ThrowInvalidPage(pageNo, kFunc);
    }
    DecodeParameter const decode = CreateDecodeParameter(m_userParameters, m_deviceParameters);
    m_infoStore.Restore(*page);
    Page::AutoColorResult const autoColor = m_infoStore.GetAutoColor(pageNo);
    AXIS const userResolution{m_userParameters.resolutionX, m_userParameters.resolutionY};
    AXIS const deviceResolution{m_deviceParameters.resolutionX, m_deviceParameters.resolutionY};
    SCANAREA const selected = CalcScanAreaToPixel(m_userParameters.scanAreaInfo, m_userParameters.enhanced.edgeCut,
                                                  userResolution, deviceResolution);
    AXIS const outputSize = CConvertScanParam::ToImageEnhanceOutputSize(
        deviceResolution, decode.GetResolution(), m_deviceParameters.scanAreaInfo, selected,
        m_readPreparation->IsNormalAreaType(), m_readPreparation->GetPaperSource(),
        m_readPreparation->GetScanAreaIfPushScanHighSpeedMode());
    _IMAGEPROC_PARAM const enhancement = CConvertScanParam::ToImageEnhanceParam_v2(
        m_capability, m_userParameters, m_deviceParameters, autoColor, outputSize, GetPaperSourceSide(pageNo));
    m_imageProcessor->AddPage(page, decode, enhancement, static_cast<unsigned short>(m_userParameters.resolutionX));
    if (!m_pages.IsEdgeScanPage()) {
        m_scanError->SetRecvPageNo(0, pageNo);
    }
}

DecodeParameter CReadThread_v2::CreateDecodeParameter(const VS_SCANNER_PARAMETERS& user,
                                                      const VS_SCANNER_PARAMETERS& device)
{
    uint16_t const pageNo = m_pages.GetSelectedPageNo();
    DecodeParameter decode;
    AXIS const resolution = GetImageResolution();
    decode.SetResolution(ToResolution(std::max(resolution.x, resolution.y)));
    if (m_colorType == TRUEGRAY) {
        decode.SetColorType(DecodeParameter::TrueGray);
    }
    AXIS const pushScanArea = m_readPreparation->GetScanAreaIfPushScanHighSpeedMode();
    uint32_t height = 0;
    if (pushScanArea.y != 0) {
        decode.SetHeight(pushScanArea.y);
    } else if (CPaperSize::IsFixedPaperType(user.scanAreaInfo.papertype) && m_readPreparation->IsNormalAreaType()) {
        decode.SetHeight(NonNegative(device.scanAreaInfo.selectArea.height));
    } else if (m_infoStore.GetHeight(pageNo, height)) {
        decode.SetHeight(height);
    }
    decode.SetDetectEndOfPage(user.enhanced.detectEndOfPage);
    decode.SetReversal(user.duplextype == DUPLEX_SHORT && pageNo % 2 == 0);
    if (user.scanAreaInfo.areaSelected && (!IsSimplex() || !m_readPreparation->IsNormalAreaType())) {
        SCANAREA const area =
            CalcScanAreaToPixel(user.scanAreaInfo, user.enhanced.edgeCut, AXIS{user.resolutionX, user.resolutionY},
                                AXIS{device.resolutionX, device.resolutionY});
        decode.SetSelectedArea(DecodeParameter::Area{NonNegative(area.offsetX), NonNegative(area.offsetY),
                                                     NonNegative(area.width), NonNegative(area.height)});
    }
    g_ReadLog.WriteLog(2, "Decode Parameter: page = %d, parameter = %s", pageNo, decode.GetDescription().c_str());
    return decode;
}

SCANAREA CReadThread_v2::CalcScanAreaToPixel(const tagSCANAREAINFO& area, const EDGECUTPARAM& edgeCut,
                                             AXIS userResolution, AXIS deviceResolution) const
{
    if (!area.areaSelected) {
        return SCANAREA{};
    }
    SCANAREA pixels =
        CConvertUnit::ConvertToSpecifiedResolutionPixels(userResolution, deviceResolution, area.selectArea);
    if (edgeCut.adjust && m_readPreparation->IsSupportedMarginAdjustment(area.papertype)) {
        tagRECT const margins = CConvertUnit::ConvertToSpecifiedResolutionPixels(userResolution, deviceResolution,
                                                                                 edgeCut.rect, edgeCut.unit);
        pixels.width = SaturateTo<int32_t>(int64_t{pixels.width} + margins.left + margins.right);
        pixels.height = SaturateTo<int32_t>(int64_t{pixels.height} + margins.top + margins.bottom);
        pixels.unit = PIXEL;
    }
    return pixels;
}

AXIS CReadThread_v2::GetImageResolution() const
{
    if (!m_pages.IsEdgeScanPage()) {
        return AXIS{m_deviceParameters.resolutionX, m_deviceParameters.resolutionY};
    }
    switch (m_capability.autoCropType) {
    case AUTOCROPTYPE::CROP_1PASS:
        return m_readPreparation->GetEdgeScanResolusion();
    case AUTOCROPTYPE::CROP_2PASS:
        return m_capability.autoCrop2Pass.AutoCropResolutionDpi;
    default:
        return AXIS{0, 0};
    }
}

AXIS CReadThread_v2::GetImageArea() const
{
    if (!m_pages.IsEdgeScanPage()) {
        if (m_readPreparation->GetScanArea().type == SCANCMD_SCAN_AREA_OVER) {
            return m_readPreparation->GetMaxScanAreaPixel();
        }
        AXIS const actual = m_readPreparation->GetActualScanArea();
        if (m_capability.preScaningSup == SUPPORT && (actual.x != 0 || actual.y != 0)) {
            return actual;
        }
        return AXIS{NonNegative(m_deviceParameters.scanAreaInfo.selectArea.width),
                    NonNegative(m_deviceParameters.scanAreaInfo.selectArea.height)};
    }
    switch (m_capability.autoCropType) {
    case AUTOCROPTYPE::CROP_1PASS:
        return m_readPreparation->GetEdgeScanArea();
    case AUTOCROPTYPE::CROP_2PASS:
        return m_capability.autoCrop2Pass.AutoCropPixel;
    default:
        return AXIS{0, 0};
    }
}

CConvertScanParam::PaperSourceSide CReadThread_v2::GetPaperSourceSide(uint16_t pageNo) const
{
    CConvertScanParam::PaperSourceSide side{0, false};
    switch (m_readPreparation->GetPaperSource()) {
    case CARDSLOT:
        side.source = 2;
        break;
    case ADF:
        side.source = 1;
        break;
    default:
        return side;
    }
    side.backSide = !IsSimplex() && pageNo % 2 == 0;
    return side;
}

}  // namespace vscore
